#include "ProjectFiles.h"

#include "Cp1252.h"
#include "IniFile.h"
#include "KivError.h"
#include "KivFilt.h"
#include "Shell.h"
#include "TextFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char* const kProjectTemplate[] = {"[OPTIONS]",
                                        "ERRORLOG=%0:s.err",
                                        "COMPRESS=12 Hall Zeck",
                                        "CITATION=Created by KIVHELP",
                                        "TITLE=%0:s",
                                        "LCID=0x409 0x0 0x0",
                                        "REPORT=Yes",
                                        "HLP=%0:s.hlp",
                                        "[FILES]",
                                        "#include %0:s.lst",
                                        "[MAP]",
                                        "#include %0:s.map",
                                        "[WINDOWS]",
                                        "",
                                        "[CONFIG]",
                                        "BrowseButtons()",
                                        ""};

const char* const kContentsTemplate[] = {":Base %0:s.hlp", ":Title %0:s", ":Index %0:s=%0:s.hlp",
                                         ":Include %0:s.toc", ""};

// The template's lines with %0:s replaced, as one text followed by CR LF.
template <std::size_t N>
QByteArray fillTemplate(const char* const (&lines)[N], const QString& stem) {
    QStringList filled;
    for (const char* line : lines)
        filled << QString::fromLatin1(line).replace("%0:s", stem);
    return Cp1252::encode(filled.join(QStringLiteral("\r\n"))) + "\r\n";
}

} // namespace

QString ProjectDirOf(const QString& projectFile) {
    return projectFile.left(projectFile.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ProjectStemOf(const QString& projectFile) {
    const QString name = projectFile.mid(projectFile.lastIndexOf(QLatin1Char('/')) + 1);
    return name.left(name.indexOf(QLatin1Char('.')));
}

QStringList ExistingProjectFiles(const QString& dir, const QString& stem) {
    QStringList existing;
    for (const char* ext : {".hpj", ".cnt", ".toc", ".lst", ".map", ".dbf"})
        if (QFileInfo::exists(dir + stem + QLatin1String(ext)))
            existing << stem + QLatin1String(ext);
    return existing;
}

void WriteProjectFiles(const QString& dir, const QString& stem) {
    WriteFileAtomically(dir + stem + ".hpj", fillTemplate(kProjectTemplate, stem));
    WriteFileAtomically(dir + stem + ".cnt", fillTemplate(kContentsTemplate, stem));
    for (const char* ext : {".toc", ".lst", ".map"})
        WriteFileAtomically(dir + stem + QLatin1String(ext), QByteArray());
}

QStringList LoadWindowNames(const QString& projectFile) {
    return IniFile(projectFile).readSection(QStringLiteral("Windows"));
}

QStringList LoadContents(const QString& tocFile) {
    return ReadTextLines(tocFile);
}

void SaveContents(const QString& tocFile, const QStringList& lines) {
    WriteTextLines(tocFile, lines);
}

QString SettingsFileBesideProgram(const QString& programPath) {
    const qsizetype dot = programPath.indexOf(QLatin1Char('.'));
    return (dot < 0 ? programPath : programPath.left(dot)) + QStringLiteral(".ini");
}

namespace {
// An installed program's folder cannot be written: the config folder then.
QString besideOrInConfig(const QString& beside) {
    const QFileInfo info(beside);
    if (QFileInfo(info.absolutePath()).isWritable()) return beside;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kivhelp/") + info.fileName();
}
} // namespace

QString SettingsFilePath(const QString& programPath) {
    return besideOrInConfig(SettingsFileBesideProgram(programPath));
}

QString FilterFilePath(const QString& programPath, const QString& componentName) {
    return besideOrInConfig(QFileInfo(programPath).absolutePath() + QLatin1Char('/') +
                            componentName + QStringLiteral(".flt"));
}

QString FilterFilePath(const QString& componentName) {
    return FilterFilePath(QCoreApplication::applicationFilePath(), componentName);
}

void LoadFilterFile(TKivFilter& filter, const QString& path) {
    if (!filter.DataSource() || !filter.DataSource()->DataSet() || !QFile::exists(path)) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file %1: %2").arg(path, file.errorString()));
    filter.ReadFilters(file);
}

void SaveFilterFile(const TKivFilter& filter, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(
            QStringLiteral("Cannot create file %1: %2").arg(path, file.errorString()));
    filter.WriteFilters(file, path);
    if (!file.commit())
        throw EInOutError(QStringLiteral("Cannot write file %1: %2").arg(path, file.errorString()));
}

QString SettingsFilePath() {
    return SettingsFilePath(QCoreApplication::applicationFilePath());
}

QString LoadSettings(const QString& settingsFile) {
    return IniFile(settingsFile).readString(QStringLiteral("Compiler"), QStringLiteral("Name"));
}

void SaveSettings(const QString& settingsFile, const QString& compilerPath) {
    QDir().mkpath(QFileInfo(settingsFile).absolutePath());
    IniFile(settingsFile)
        .writeString(QStringLiteral("Compiler"), QStringLiteral("Name"), compilerPath);
}

QString InstalledCompiler(const QString& programPath) {
    const QFileInfo compiler(QFileInfo(programPath).absolutePath() + QStringLiteral("/kivhc"));
    return compiler.isFile() && compiler.isExecutable() ? compiler.absoluteFilePath() : QString();
}

QString InstalledCompiler() {
    return InstalledCompiler(QCoreApplication::applicationFilePath());
}

void EnsureCompiler(QString& compilerPath, const QString& projectFile,
                    const std::function<void(QString& compilerPath)>& optionsCommand,
                    const QString& installedCompiler) {
    if (!compilerPath.isEmpty()) return;
    if (!installedCompiler.isEmpty()) {
        compilerPath = installedCompiler;
        return;
    }
    compilerPath = Shell::FindExecutable(projectFile);
    optionsCommand(compilerPath);
}
