// The desktop shell: the program associated with a file, and opening a document
// or an address with the desktop's own choice of program.
#pragma once

#include <QString>

namespace Shell {

// The program the desktop would open `file` with: the file's MIME type, its
// default application from the mimeapps.list files (or, failing that, the
// desktop files that declare the type), and that application's Exec program,
// found on PATH. Empty when there is no association.
QString FindExecutable(const QString& file);

// Opens a local file, or an address such as "mailto:..." or "https://...", with
// the desktop's program for it. False when nothing could be started.
bool Open(const QString& documentOrAddress);

} // namespace Shell
