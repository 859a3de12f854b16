#include "CompileProject.h"

#include "CalcTopicSource.h"
#include "DMod.h"
#include "HelpCompiler.h"
#include "HelpViewer.h"
#include "KivForms.h"
#include "KivTable.h"
#include "LinkCheck.h"
#include "ProjectFiles.h"

#include <QGuiApplication>

namespace {

// The hourglass for the length of a compile, restored also when an error
// escapes. A windowless run has no cursor to change.
class HourGlass {
public:
    HourGlass() : gui_(qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (gui_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~HourGlass() {
        if (gui_) QGuiApplication::restoreOverrideCursor();
    }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;

private:
    bool gui_;
};

QString currentTopicId() {
    const TField* id = DM->TbMain->FieldByName(QStringLiteral("Id"));
    return id->IsNull() ? QString() : QString::number(id->AsInteger());
}

bool projectOpen() {
    return DM && DM->ProjectOpen();
}

} // namespace

LinkCheck ProjectLinkCheck(TDM& dm, bool wholeProject) {
    QStringList contents;
    try {
        contents = ::LoadContents(dm.ProjectFile(QStringLiteral(".toc")));
    } catch (const std::exception&) {
        // Without a contents file no contents line reaches a topic.
    }
    LinkCheck check(dm.ProjectDir, dm.WindowNames, contents);
    if (!wholeProject) {
        // The one topic's links are checked against all stored topics.
        TKivTable& calc = *dm.TbCalc;
        const TField* id = calc.FieldByName(QStringLiteral("ID"));
        calc.Refresh();
        for (calc.First(); !calc.Eof(); calc.Next())
            check.addTarget(id->IsNull() ? QString() : QString::number(id->AsInteger()));
    }
    return check;
}

LinkFindings BuildProjectFiles(bool wholeProject, CompileHost& host) {
    // Without a project the file names would be bare extensions in the working folder.
    if (!projectOpen()) return {};
    DM->TbMain->CheckBrowseMode();
    DM->SaveContents();
    LinkCheck check = ProjectLinkCheck(*DM, wholeProject);
    CalcTopicSource topics(*DM, wholeProject);
    CheckedTopicSource checked(topics, check);
    BuildFiles(DM->ProjectDir, DM->ProjectName, checked,
               [&host](int written, int total) { host.BuildProgress(written, total); });
    return check.findings(wholeProject);
}

LinkFindings CompileProject(bool wholeProject, CompileHost& host) {
    if (!projectOpen()) return {};
    HourGlass cursor;
    const LinkFindings findings = BuildProjectFiles(wholeProject, host);

    host.EnsureCompiler();
    if (DM->CompilerPath.isEmpty()) return findings;
    if (host.MainWindowExists()) CloseHelpWindow();

    const CompilerCall call =
        CompileCommand(DM->CompilerPath, DM->ProjectFile(QStringLiteral(".hpj")));
    KivRunProgram(call.program, call.arguments, call.commandLine, QStringLiteral("Help compiler"),
                  true, true);
    // The link check's findings come first, then the compiler's messages.
    DM->LoadErrorLog(findings.lines);
    if (host.MainWindowExists())
        HelpViewer::instance().open(DM->ProjectFile(QStringLiteral(".hlp")),
                                    JumpIdMacro(currentTopicId()));
    return findings;
}

void InvokeHelpCompiler(CompileHost& host) {
    if (!projectOpen()) return;
    host.EnsureCompiler();
    if (DM->CompilerPath.isEmpty()) return;
    CloseHelpWindow();
    const CompilerCall call =
        InteractiveCommand(DM->CompilerPath, DM->ProjectFile(QStringLiteral(".hpj")));
    KivRunProgram(call.program, call.arguments, call.commandLine, QString(), true, false);
    DM->LoadWindowNames();
    DM->LoadErrorLog();
    host.RefillWindowLists();
}

void CloseHelpWindow() {
    if (DM && DM->ProjectOpen())
        HelpViewer::instance().close(DM->ProjectFile(QStringLiteral(".hlp")));
}
