// What a compiler run passes and reads: the command line for the help
// compiler, the viewer macro for a topic, and the compiler's message file.
#pragma once

#include <QString>
#include <QStringList>

struct CompilerCall {
    QString program;
    QStringList arguments; // each passed whole, blanks and all
    QString commandLine;   // the text shown when the run fails
};

// The hidden compile run: HCW.EXE (in any case) gets " /A/C/E/M" before the
// project file; no quotes are added to the shown command line.
CompilerCall CompileCommand(const QString& compilerPath, const QString& projectFile);
// The interactive run: the project file only.
CompilerCall InteractiveCommand(const QString& compilerPath, const QString& projectFile);

// JumpId("","12") for topic 12; empty for a topic without ID.
QString JumpIdMacro(const QString& id);

// The lines of the message file; empty when it cannot be read.
QStringList ReadErrorLog(const QString& path);
