// What an RTF document carries besides its text: the font and colour tables of
// its header, and the units and format properties shared by the RTF reader, the
// writer and the rich edit.
//
// The reader keeps the tables of the document it read on the QTextDocument, so
// the writer can put the same header back: the help build copies that header
// into every topic file it writes.
#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTextFormat>

class QTextDocument;
class QTextBlockFormat;
class QTextCharFormat;

struct RtfFont {
    QString family;   // font family keyword without backslash: "fnil", "froman", "fswiss"...
    int charset = -1; // \fcharset, -1 when the entry has none
    QString name;

    bool operator==(const RtfFont&) const = default;
};

struct RtfTables {
    QList<RtfFont> fonts; // in table order; index 0 is the default font (\deff0)
    QList<QColor> colors; // an invalid colour is the "auto" entry (";")

    bool isEmpty() const { return fonts.isEmpty() && colors.isEmpty(); }
};

// The tables kept on a document (empty when it was not read from RTF).
RtfTables rtfTables(const QTextDocument& doc);
void setRtfTables(QTextDocument& doc, const RtfTables& tables);

namespace Rtf {

// Indents live in the document as pixels at 96 dpi, so one pixel is 15 twips
// and one point 4/3 pixel.
constexpr double kTwipsPerPixel = 15.0;
inline double twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}
int pixelsToTwips(double pixels);

// Hidden text (\v) has no counterpart in QTextCharFormat; it is kept as a
// property so it survives a round trip.
constexpr int kHiddenProperty = QTextFormat::UserProperty + 1;

// Character and paragraph properties as RTF has them: the reader keeps them
// per group, the writer compares them between runs and paragraphs.
struct CharProps {
    int font = -1; // font number; -1 is the default font
    int halfPoints = 24;
    int color = 0; // colour table index; 0 is "auto" in a table that has it
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;

    bool operator==(const CharProps&) const = default;
};

enum class Align { Left, Center, Right, Justify };

struct ParaProps {
    Align align = Align::Left;
    int firstIndent = 0; // twips, relative to the left indent
    int leftIndent = 0;
    int rightIndent = 0;
    bool bullet = false;

    bool operator==(const ParaProps&) const = default;
};

// The paragraph format of `props` (indents in pixels); bullets are lists,
// which the document makes.
QTextBlockFormat blockFormat(const ParaProps& props);

// The Windows code page of a font's \fcharset; 0 when the document's code page
// applies (ANSI, default or unknown sets). The Symbol set keeps its bytes: 1252.
int charsetCodePage(int charset);

// The first family of a character format, or an empty string.
QString familyOf(const QTextCharFormat& format);

} // namespace Rtf
