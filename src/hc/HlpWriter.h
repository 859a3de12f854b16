// Lays a help file's content out as a Windows Help 4 file (the .hlp file that
// HCW 4.00 writes and WinHelp 4 and wine's winhlp32 show).
#pragma once

#include "HlpModel.h"

#include <QByteArray>

namespace Hlp {

// The whole .hlp file's bytes. A bitmap that is not a readable .bmp throws
// EHlpFormat naming it.
QByteArray WriteHelpFile(const Project& project);

} // namespace Hlp
