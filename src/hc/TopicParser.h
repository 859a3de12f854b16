// Reads the topic files of a help project (RTF, as our build and rich-edit
// authors write them) into the help file's content model: topics split at
// \page, footnotes # $ K A + >, fonts and paragraph formats, hotspots (double
// underline or strikeout = jump, underline = pop-up, then hidden text with the
// target), {bmc}/{bml}/{bmr} pictures, {button} and the \keepn region.
// Works on the bytes: the files can be many and large.
#pragma once

#include "HcMessages.h"
#include "HlpModel.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

namespace Hc {

// Fonts shared by every topic of a project: equal formats share one entry.
class FontTable {
public:
    explicit FontTable(std::vector<Hlp::Font>& fonts);
    // Index of (face, family, charset) in the face list the keys use.
    int face(const QString& name, quint8 family, quint8 charset);
    // The index of the font with these attributes, added when new. `flags`
    // are the bits of FontFlag.
    int font(int face, int halfPoints, unsigned flags, quint32 color);
    // The same font without underline, double underline and strikeout: a
    // hotspot's text shows as a hotspot, not in those attributes.
    int withoutHotspotLook(int font);

    enum FontFlag : unsigned {
        Bold = 1,
        Italic = 2,
        Underline = 4,
        Strike = 8,
        DoubleUnderline = 16,
        SmallCaps = 32
    };

private:
    struct Face {
        QString name;
        quint8 family, charset;
    };
    std::vector<Hlp::Font>& fonts_;
    std::vector<Face> faces_;
    QHash<QString, int> faceIndex_;
    QHash<quint64, int> fontIndex_;
    std::vector<quint64> keys_; // per font: its key
};

// What the parser asks the compiler for: the bitmap index of a picture file
// named in topic `topic` (its label in messages) of `file`, or -1 when it
// cannot be used (the compiler has said why).
using BitmapLookup =
    std::function<int(const QString& name, const QString& file, const QString& topic)>;

class TopicParser {
public:
    TopicParser(Hlp::Project& project, Messages& messages, BitmapLookup bitmaps);
    // Appends the topics of one file's bytes to the project; returns how many.
    int parse(const QByteArray& bytes, const QString& fileName);
    int hotspots() const { return hotspots_; }

    // "'12'" for a topic with a context string, else "#3" (its place in its file).
    static QString label(const Hlp::Topic& topic, int ordinal);

private:
    friend class TopicFileReader;
    Hlp::Project& project_;
    Messages& messages_;
    BitmapLookup bitmaps_;
    FontTable fonts_;
    int hotspots_ = 0;
};

} // namespace Hc
