// Reads any Windows help file back into an indented JSON description: its
// internal files, |SYSTEM, fonts, map, bitmaps and every topic's title,
// context strings, keywords, window, browse neighbours and text.
#pragma once

#include "KivError.h"

#include <QByteArray>

namespace Hlp {

// A help file that cannot be read; the message names the internal file, e.g.
// "|TOPIC: block 3 points past the end of the file".
class EHlpFormat : public EKivError {
public:
    using EKivError::EKivError;
};

// JSON (UTF-8, indented); throws EHlpFormat on damaged input.
QByteArray DumpHelpFile(const QByteArray& bytes);

} // namespace Hlp
