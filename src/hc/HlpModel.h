// A help file's content in the form the help file stores it: what the front
// end fills from the project file and the topic RTF files, and what the help
// file writer lays out as internal files. Measures are twips unless noted.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace Hlp {

// One character format of |FONT; spans refer to it by index.
struct Font {
    QString face = QStringLiteral("Arial");
    int halfPoints = 20;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    bool doubleUnderline = false, smallCaps = false;
    quint32 color = 0; // 0x00RRGGBB
    quint8 family = 0; // 0 any, 1 roman, 2 swiss, 3 modern, 4 script, 5 decorative
    quint8 charset = 0;
    bool operator==(const Font&) const = default;
};

enum class Align { Left, Right, Center };

struct TabStop {
    enum Kind { Left, Right, Center };
    int position = 0;
    Kind kind = Left;
    bool operator==(const TabStop&) const = default;
};

struct ParagraphFormat {
    int leftIndent = 0, rightIndent = 0, firstLineIndent = 0;
    int spaceBefore = 0, spaceAfter = 0, lineSpacing = 0;
    Align align = Align::Left;
    std::vector<TabStop> tabs;
    bool operator==(const ParagraphFormat&) const = default;
};

enum class HotspotKind { Jump, Popup, Macro };
enum class PicturePlace { Character, Left, Right }; // {bmc}, {bml}, {bmr}

// One piece of a paragraph. Hotspots are bracketed by HotspotStart and
// HotspotEnd spans around the text (or picture) that is clicked.
struct Span {
    enum Kind { Text, Tab, LineBreak, Picture, HotspotStart, HotspotEnd };
    Kind kind = Text;
    QString text; // Text: the characters
    int font = 0; // Text: index into Project::fonts
    int picture = -1; // Picture: index into Project::bitmaps
    PicturePlace place = PicturePlace::Character;
    HotspotKind hotspot = HotspotKind::Jump;
    QString target; // HotspotStart: context string, or the macro text
    QString window; // HotspotStart of a jump: window name, or empty
};

struct Paragraph {
    ParagraphFormat format;
    std::vector<Span> spans;
};

struct Topic {
    QString title; // $
    QStringList contexts; // # (the first names the topic in messages)
    QStringList keywords; // K, split at ';', trimmed
    QStringList aKeywords; // A
    QString browse; // + as written; the writer chains topics by it
    QString window; // >
    std::vector<Paragraph> nonScroll; // the region before {keepn}'s end
    std::vector<Paragraph> scroll;
    QString sourceFile; // for messages
};

// One [WINDOWS] definition. Positions and sizes are help units (0-1023);
// -1 leaves the value to the viewer.
struct Window {
    QString name, caption;
    int x = -1, y = -1, width = -1, height = -1;
    int state = 0; // 0 normal, 1 maximized
    qint64 scrollColor = -1, nonScrollColor = -1; // 0x00RRGGBB, or -1 for default
    bool onTop = false;
};

struct Bitmap {
    QString name; // the file name as the topic wrote it
    QByteArray bmp; // the .bmp file's bytes
};

struct Project {
    QString title, copyright, citation;
    QString contentsFile; // the .cnt file's name without folder, or empty
    quint16 lcid = 0x409;
    bool compress = false; // LZ77 on |TOPIC
    QStringList configMacros; // [CONFIG], in order
    std::vector<Window> windows;
    std::vector<std::pair<QString, quint32>> map; // context string, map number
    std::vector<Font> fonts; // at least one
    std::vector<Bitmap> bitmaps;
    std::vector<Topic> topics; // in file order
};

} // namespace Hlp
