#include "HelpCompiler.h"

#include "Cp1252.h"

#include <QFile>
#include <QFileInfo>

CompilerCall CompileCommand(const QString& compilerPath, const QString& projectFile) {
    CompilerCall call{compilerPath, {}, compilerPath};
    // The file name part after the last separator, whichever kind the user typed.
    const QString fileName = compilerPath.mid(
        qMax(compilerPath.lastIndexOf(QLatin1Char('/')), compilerPath.lastIndexOf(QLatin1Char('\\'))) + 1);
    if (fileName.toUpper() == QLatin1String("HCW.EXE")) {
        call.arguments << QStringLiteral("/A/C/E/M");
        call.commandLine += QStringLiteral(" /A/C/E/M");
    }
    call.arguments << projectFile;
    call.commandLine += QLatin1Char(' ') + projectFile;
    return call;
}

CompilerCall InteractiveCommand(const QString& compilerPath, const QString& projectFile) {
    return {compilerPath, {projectFile}, compilerPath + QLatin1Char(' ') + projectFile};
}

QString JumpIdMacro(const QString& id) {
    return id.isEmpty() ? QString() : QStringLiteral("JumpId(\"\",\"%1\")").arg(id);
}

QStringList ReadErrorLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = Cp1252::decode(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast(); // the final line break
    return lines;
}
