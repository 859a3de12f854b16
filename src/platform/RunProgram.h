// Runs an external program as a new process with the caller's folder and
// environment, its window shown or hidden, optionally waiting for its end.
#pragma once

#include <QString>
#include <QStringList>

// Starts `program` with `arguments` (each one whole, blanks and all; a Windows
// program goes through wine, see Wine.h). `commandLine` is only the text shown
// when the start fails: EKivError "Impossible to run" + " " + name + " / " +
// commandLine. With `wait`, blocks without a time limit and returns the exit
// code (-1 when the program crashed); otherwise returns 0 at once.
//
// A hidden program's output is discarded; a shown one writes to our own
// standard output and error. Neither reads our standard input.
int RunProgram(const QString& program, const QStringList& arguments, const QString& commandLine,
               const QString& name, bool wait, bool hidden);
