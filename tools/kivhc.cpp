// kivhc [/A/C/E/M] PROJECT.hpj: compiles a help project into its .hlp file.
// kivhc --dump FILE.hlp: prints what a help file holds, as JSON.
//
// The compile prints the lines of the message file as they arise and exits
// with 0 when the help file was written (warnings allowed), 1 when not.
// Switches of other help compilers (/A /C /E /M, in any case and grouping)
// are accepted and change nothing.
#include "HcCompiler.h"
#include "HlpDump.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

const char* const kUsage = "Usage: kivhc [/A/C/E/M] PROJECT.hpj\n"
                           "       kivhc --dump FILE.hlp";

void line(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
}

// "/A/C/E/M", "/a", "/C/e": letters after slashes. A file of that name is a
// file all the same.
bool isSwitch(const QString& arg) {
    static const QRegularExpression pattern(QStringLiteral("^(/[A-Za-z])+$"));
    return pattern.match(arg).hasMatch() && !QFileInfo::exists(arg);
}

int dump(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        line(stderr, QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
        return 1;
    }
    try {
        const QByteArray json = Hlp::DumpHelpFile(file.readAll());
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        if (!json.endsWith('\n')) std::fputc('\n', stdout);
        return 0;
    } catch (const EKivError& e) {
        line(stderr, QStringLiteral("%1: %2").arg(path, e.message()));
        return 1;
    }
}

int compile(const QString& project) {
    const Hc::CompileResult result =
        Hc::Compile(project, [](const QString& text) { line(stdout, text); });
    std::fflush(stdout);
    if (result.errorLogFailed)
        line(stderr, QStringLiteral("Cannot write the message file %1").arg(result.errorLog));
    return result.written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--dump")) return dump(args[1]);

    QString project;
    for (const QString& arg : args) {
        if (isSwitch(arg)) continue;
        if (arg.startsWith(QLatin1String("--")) || !project.isEmpty()) {
            line(stderr, QStringLiteral("Unexpected argument \"%1\"\n%2").arg(arg, kUsage));
            return 1;
        }
        project = arg;
    }
    if (project.isEmpty()) {
        line(stderr, QStringLiteral("No project file given\n%1").arg(kUsage));
        return 1;
    }
    return compile(project);
}
