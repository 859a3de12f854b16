// Turns one stored topic into the RTF file the help compiler reads: the
// document's own header, the topic's footnotes, and the body with the editor's
// visible {keepn} and {HRef=...} codes rewritten as compiler constructs.
#pragma once

#include <QIODevice>
#include <QString>

// The fields of a topic row that the build reads, each in its string form.
struct TopicFields {
    QString id, name, bseq, window, keys, akeys, text;
    // The text as the table stores it (Windows-1252), when the source read it
    // that way; `text` is then unused. Saves decoding a document only to
    // encode it again.
    QByteArray storedText;
};

// The topic's text, from whichever of the two forms the source gave.
QString TopicText(const TopicFields& topic);

// Where the body of a stored document begins (1-based; 0 for an empty text):
// after the second brace group inside the outer one, plus the line breaks
// that follow it. Warns once through the message service when closing braces
// outnumber opening ones inside the header.
int SystemRegionEnd(const QString& text);

// One "#{\footnote # 12}" line per non-empty value, in the order # $ + > K A.
QString FootnoteLines(const TopicFields& topic);
void WriteFootnotes(QIODevice& out, const TopicFields& topic);

// Characters above 127 as \'XX (their Windows-1252 code); others unchanged.
QString EscapeRtfText(const QString& text);

// Rewrites the escaped {keepn} and {HRef=target} codes of a body in place.
void TranslateCodes(QString& body);

// The whole file for one topic, as it is written.
QString TopicRtf(const TopicFields& topic);
// TopicRtf as the 8-bit bytes of the file.
QByteArray TopicRtfBytes(const TopicFields& topic);
// Writes TopicRtf as 8-bit text; raises EInOutError when the device fails.
void WriteTopicRtf(QIODevice& out, const TopicFields& topic);
