// kivhelp --scan-unit FILE: reads and scans a source unit as the import does
// and prints the result as one JSON object on standard output.
#pragma once

#include <QString>

// Messages shown during the scan go to standard error and into the JSON.
// Returns the exit status: 0, or 1 with a message when the file cannot be read.
int runScanUnit(const QString& file);
