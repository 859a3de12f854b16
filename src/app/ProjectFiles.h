// The text files of a help project with stem S in folder D (S.hpj, S.cnt,
// S.toc, S.lst, S.map), the program's settings file, and making sure the
// path of the help compiler is known. Free functions the data module calls.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TKivFilter;

// The project file's folder with its trailing "/" ("/help/" for /help/book.hpj).
QString ProjectDirOf(const QString& projectFile);
// The project file's name cut before its first "." ("a" for a.b.hpj; empty for
// ".hpj", which has no usable stem).
QString ProjectStemOf(const QString& projectFile);

// Which of the files a new project would write (and its table S.dbf) already
// exist in `dir`, as file names.
QStringList ExistingProjectFiles(const QString& dir, const QString& stem);
// Writes S.hpj and S.cnt from their templates and the empty S.toc, S.lst and
// S.map, in this order. EInOutError on the first file that cannot be written;
// the files written before it stay.
void WriteProjectFiles(const QString& dir, const QString& stem);

// The key names of the "Windows" section of the project file, in file order;
// empty when the file is missing or unreadable.
QStringList LoadWindowNames(const QString& projectFile);

// The lines of the contents body file; EInOutError when it cannot be read.
QStringList LoadContents(const QString& tocFile);
// Replaces the contents body file with `lines`, each followed by CR LF.
void SaveContents(const QString& tocFile, const QStringList& lines);

// The settings file beside the program: its path cut before the path's first
// "." followed by ".ini" (/My.Tools/KivHelp gives /My.ini).
QString SettingsFileBesideProgram(const QString& programPath);
// The same file name in $XDG_CONFIG_HOME/kivhelp/ when the program's folder
// cannot be written.
QString SettingsFilePath(const QString& programPath);
// The settings file of this program.
QString SettingsFilePath();

// The stored filters of a filter component: NAME.flt beside the program (or
// in the config folder, as for the settings), shared by all projects.
QString FilterFilePath(const QString& programPath, const QString& componentName);
QString FilterFilePath(const QString& componentName);
// Loads the filters of `filter` from `path` when the filter shows a dataset
// and the file exists; EInOutError when it cannot be read.
void LoadFilterFile(TKivFilter& filter, const QString& path);
// Creates or replaces the file; the old one stays when writing fails.
void SaveFilterFile(const TKivFilter& filter, const QString& path);

// The compiler path of section "Compiler", key "Name"; empty when missing.
QString LoadSettings(const QString& settingsFile);
// EInOutError when the settings cannot be written; the old file then stays.
void SaveSettings(const QString& settingsFile, const QString& compilerPath);

// Our own help compiler as installed: kivhc beside the program; empty when
// it is not there.
QString InstalledCompiler(const QString& programPath);
QString InstalledCompiler();

// When `compilerPath` is empty: takes the installed compiler for this run
// (not stored, so a moved installation keeps working); without one, proposes
// the program the desktop associates with the project file (empty when none)
// and runs the options command on it, which lets the author confirm, change
// and store it. Otherwise does nothing.
void EnsureCompiler(QString& compilerPath, const QString& projectFile,
                    const std::function<void(QString& compilerPath)>& optionsCommand,
                    const QString& installedCompiler = InstalledCompiler());
