#include "BuildCommand.h"

#include "CollectingUI.h"
#include "CompileProject.h"
#include "DMod.h"
#include "HelpCompiler.h"
#include "KivError.h"
#include "KivTable.h"
#include "ProjectFiles.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const char* const kUsage = "Usage: kivhelp --build PROJECT.hpj [--topic ID] [--no-compile]";

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

struct BuildOptions {
    QString projectFile;
    std::optional<int> topic;
    bool compile = true;
};

// Throws EKivError with the usage text for anything it does not understand.
BuildOptions parse(const QStringList& arguments) {
    const auto usage = [](const QString& reason) {
        return EKivError(reason + QLatin1Char('\n') + QLatin1String(kUsage));
    };
    BuildOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--no-compile")) {
            options.compile = false;
        } else if (arg == QLatin1String("--topic")) {
            if (++i == arguments.size()) throw usage(QStringLiteral("--topic needs an ID"));
            bool ok = false;
            const int id = arguments[i].trimmed().toInt(&ok);
            if (!ok) throw usage(QStringLiteral("Bad topic ID \"%1\"").arg(arguments[i]));
            options.topic = id;
        } else if (arg.startsWith(QLatin1String("--")) || !options.projectFile.isEmpty()) {
            throw usage(QStringLiteral("Unexpected argument \"%1\"").arg(arg));
        } else {
            options.projectFile = arg;
        }
    }
    if (options.projectFile.isEmpty()) throw usage(QStringLiteral("No project file given"));
    return options;
}

// No window: no dialog to ask for the compiler, no viewer to show the result.
class WindowlessHost : public CompileHost {
public:
    void EnsureCompiler() override {
        if (DM->CompilerPath.isEmpty()) DM->CompilerPath = InstalledCompiler();
        if (DM->CompilerPath.isEmpty())
            throw EKivError(QStringLiteral("No help compiler set: section [Compiler], key Name "
                                           "of %1")
                                .arg(DM->SettingsFile));
    }
    bool MainWindowExists() const override { return false; }
};

int build(const BuildOptions& options) {
    // The folder is the database: a relative name means the current folder.
    const QString path = QFileInfo(options.projectFile).absoluteFilePath();
    TDM dm;
    // Building stores nothing: it takes no write lock and works while the
    // project is open in a window.
    dm.TbMain->setReadOnly(true);
    dm.TbCalc->setReadOnly(true);
    dm.OpenProject(path);
    if (!dm.ProjectOpen()) {
        if (!dm.LastFailure().isEmpty()) print(stderr, dm.LastFailure());
        return 1;
    }
    if (options.topic && !dm.TbMain->Locate(QStringLiteral("ID"), *options.topic))
        throw EKivError(QStringLiteral("No topic with ID %1").arg(*options.topic));

    WindowlessHost host;
    const bool whole = !options.topic;
    // The link check's findings first, as the Error log page shows them.
    if (!options.compile) {
        for (const QString& line : BuildProjectFiles(whole, host).lines)
            print(stdout, line);
        return 0;
    }
    const LinkFindings findings = CompileProject(whole, host);
    for (const QString& line :
         findings.lines + ReadErrorLog(dm.ProjectFile(QStringLiteral(".err"))))
        print(stdout, line);
    return 0;
}

} // namespace

int runBuild(const QStringList& arguments) {
    CollectingUI::Scope ui(true);
    try {
        return build(parse(arguments));
    } catch (const std::exception& e) {
        print(stderr, QString::fromStdString(e.what()));
        return 1;
    }
}
