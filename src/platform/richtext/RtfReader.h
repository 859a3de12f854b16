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

#include "RtfTables.h"

#include <QByteArray>

class QTextCharFormat;
class QTextDocument;

// The character format of the reader's properties, with the fonts and
// colours of the document's tables; made only for a receiver that asks.
class RtfFormats {
public:
    virtual const QTextCharFormat& charFormat(const Rtf::CharProps& props) = 0;

protected:
    ~RtfFormats() = default;
};

// What the reader hands on as it reads: paragraphs of text runs. Building a
// QTextDocument is one receiver; a receiver that only looks at the runs
// (the HTML export) saves the document's cost, which is most of reading.
class RtfContent {
public:
    virtual ~RtfContent() = default;
    // Text of the current paragraph in one look, as RTF has it; `formats`
    // makes it a character format.
    virtual void text(const QString& text, const Rtf::CharProps& props, RtfFormats& formats) = 0;
    // Ends the current paragraph, which has `props`; a new one starts.
    virtual void paragraph(const Rtf::ParaProps& props) = 0;
    // The end of the document. The current paragraph is the last one and has
    // `props`, unless `endedWithPar`: then it is the empty one after a final
    // \par, which the rich-edit control does not count as a paragraph.
    virtual void end(const Rtf::ParaProps& props, bool endedWithPar) = 0;
};

class RtfReader {
public:
    // Replaces the content of `doc` by the document in `rtf`; the document's font
    // and colour tables are kept on `doc` for the writer (see RtfTables.h).
    static void read(const QByteArray& rtf, QTextDocument& doc);
    // Hands the document in `rtf` to `content`, as read() would build it.
    static void read(const QByteArray& rtf, RtfContent& content);
};
