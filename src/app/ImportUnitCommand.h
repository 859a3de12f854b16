// kivhelp --import-unit FILE.pas PROJECT.hpj [options]: the unit import
// without a window. The import window is filled from the scan as the import
// shows it, the options change its choices, and the generation runs as its
// OK button does.
#pragma once

#include <QStringList>

// `arguments` are those after --import-unit. "Generated N topics" goes to
// standard output; messages and errors go to standard error. Returns the exit
// status: 0 when topics were generated, 1 otherwise, with the topic table and
// the contents file as they were.
int runImportUnit(const QStringList& arguments);
