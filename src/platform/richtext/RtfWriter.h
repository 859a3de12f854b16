// Writes a QTextDocument as RTF in the shape the help build relies on:
//
//   {\rtf1\ansi\deff0{\fonttbl...}CR LF{\colortbl;...}CR LF\pard...body...}
//
// The font table group and the colour table group come directly after the
// first control words: the build copies everything up to the end of the
// second group as the topic file's header. The tables kept from the document's
// source (RtfTables.h) come first and keep their order; fonts and colours used
// but not in them are appended. The colour table always starts with the empty
// "auto" entry.
//
// The body starts with \pard and repeats it only where the paragraph format
// changes, so the paragraphs before a {keepn} code share the first \pard.
// Braces and backslashes in the text are escaped; characters above 127 are
// \'XX in Windows-1252 or \uN? outside it. Bullets are written as the
// rich-edit control writes them. Lines end with CR LF before a control word
// once they grow long and before every \par, never inside the text of a code
// in braces such as \{HRef=12\}.
#pragma once

#include <QByteArray>

class QTextDocument;

class RtfWriter {
public:
    static QByteArray write(const QTextDocument& doc);
};
