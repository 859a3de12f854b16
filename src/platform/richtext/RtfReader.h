// Reads an RTF document into a QTextDocument.
//
// Takes what the usual writers produce (the Windows rich-edit control in its
// versions, WordPad, Word and our own RtfWriter): font and colour tables,
// character formatting (\f \fs \cf \b \i \ul \strike \v), paragraph formatting
// (\pard \ql \qc \qr \qj \fi \li \ri and bullets), \par \line \tab, \'hh in the
// document's code page, \uN, and the escaped symbols. Destinations it does not
// show (\info, \stylesheet, \pict, \* groups...) are skipped, unknown control
// words ignored.
//
// Bad input never throws nor crashes: groups are kept on an explicit stack of
// bounded depth, numbers are clamped, \bin never reads past the end, and the
// text read up to a fault is kept. Input that does not start with "{\rtf" is
// taken as plain Windows-1252 text, as the rich-edit control does.
#pragma once

#include <QByteArray>

class QTextDocument;

class RtfReader {
public:
    // Replaces the content of `doc` by the document in `rtf`; the document's font
    // and colour tables are kept on `doc` for the writer (see RtfTables.h).
    static void read(const QByteArray& rtf, QTextDocument& doc);
};
