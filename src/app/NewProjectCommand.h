// kivhelp --new PROJECT.hpj: creates a help project as the New project
// command does, without a window.
#pragma once

#include <QString>

// Messages go to standard error. Returns the exit status: 0 when the project
// was created, 1 otherwise.
int runNewProject(const QString& projectFile);
