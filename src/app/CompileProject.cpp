#include "CompileProject.h"

#include "CalcTopicSource.h"
#include "DMod.h"
#include "HelpCompiler.h"
#include "HelpViewer.h"
#include "KivForms.h"
#include "KivTable.h"

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

void BuildProjectFiles(bool wholeProject, CompileHost& host) {
    // Without a project the file names would be bare extensions in the working folder.
    if (!projectOpen()) return;
    DM->TbMain->CheckBrowseMode();
    DM->SaveContents();
    CalcTopicSource topics(*DM, wholeProject);
    BuildFiles(DM->ProjectDir, DM->ProjectName, topics,
               [&host](int written, int total) { host.BuildProgress(written, total); });
}

void CompileProject(bool wholeProject, CompileHost& host) {
    if (!projectOpen()) return;
    HourGlass cursor;
    BuildProjectFiles(wholeProject, host);

    host.EnsureCompiler();
    if (DM->CompilerPath.isEmpty()) return;
    if (host.MainWindowExists()) CloseHelpWindow();

    const CompilerCall call =
        CompileCommand(DM->CompilerPath, DM->ProjectFile(QStringLiteral(".hpj")));
    KivRunProgram(call.program, call.arguments, call.commandLine, QStringLiteral("Help compiler"),
                  true, true);
    DM->LoadErrorLog();
    if (host.MainWindowExists())
        HelpViewer::instance().open(DM->ProjectFile(QStringLiteral(".hlp")),
                                    JumpIdMacro(currentTopicId()));
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
