// kivhelp --check PROJECT.hpj: the link check of a build, without building.
#pragma once

#include <QStringList>

// `arguments` are those after --check. The findings go to standard output,
// one a line. Returns the exit status: 1 when a jump or pop-up leads to a
// missing topic or the project cannot be opened (the message on standard
// error), 0 otherwise, also when there are warnings.
int runCheck(const QStringList& arguments);
