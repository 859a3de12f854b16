// kivhelp --build PROJECT.hpj [--topic ID] [--no-compile]: writes the build
// files of a project (or of one topic) without a window and, unless told not
// to, runs the help compiler as the compile command does and prints its
// message file.
#pragma once

#include <QStringList>

// `arguments` are those after --build. The message file goes to standard
// output; messages and errors go to standard error. Returns the exit status:
// 0 on success, 1 on any failure.
int runBuild(const QStringList& arguments);
