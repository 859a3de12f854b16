// The help compiler: a project file and what it names (topic RTF files,
// bitmaps, map files, the contents file) become one .hlp file, with the
// messages in the project's error log. A help file is written whole or not
// at all: through a temporary file in its folder, renamed over the old one.
#pragma once

#include "HcMessages.h"
#include "HlpModel.h"

#include <QString>

#include <functional>

namespace Hc {

struct CompileResult {
    bool written = false;        // the help file was replaced
    QString helpFile;            // its path
    QString errorLog;            // the message file's path, or empty when the project names none
    bool errorLogFailed = false; // it could not be written
    QStringList log;             // the message file's lines
    int topics = 0, jumps = 0, keywords = 0, bitmaps = 0;
    qint64 bytes = 0; // size of the help file written
    Messages messages;
};

// Everything the project gives the help file, checked (jumps, windows,
// contexts, bitmaps, contents) but not written; `result` gets the messages
// and counts. Empty optional fields keep the model's defaults.
Hlp::Project ReadProject(const QString& projectFile, CompileResult& result);

// Reads, checks and writes. `print` gets each line of the message file as it
// is made (the command line shows them). The result says whether the help
// file was written; it was not when any error was reported.
CompileResult Compile(const QString& projectFile,
                      const std::function<void(const QString&)>& print = {});

} // namespace Hc
