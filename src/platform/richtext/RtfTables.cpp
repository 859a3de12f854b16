#include "RtfTables.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QVariant>
#include <cmath>

Q_DECLARE_METATYPE(RtfTables)

namespace {
constexpr const char* kTablesProperty = "kivRtfTables";
}

RtfTables rtfTables(const QTextDocument& doc) {
    return doc.property(kTablesProperty).value<RtfTables>();
}

void setRtfTables(QTextDocument& doc, const RtfTables& tables) {
    doc.setProperty(kTablesProperty, QVariant::fromValue(tables));
}

namespace Rtf {

int pixelsToTwips(double pixels) {
    return int(std::lround(pixels * kTwipsPerPixel));
}

QTextBlockFormat blockFormat(const ParaProps& ps) {
    QTextBlockFormat bf;
    switch (ps.align) {
    case Align::Left:
        break;
    case Align::Center:
        bf.setAlignment(Qt::AlignHCenter);
        break;
    case Align::Right:
        bf.setAlignment(Qt::AlignRight);
        break;
    case Align::Justify:
        bf.setAlignment(Qt::AlignJustify);
        break;
    }
    if (ps.firstIndent) bf.setTextIndent(twipsToPixels(ps.firstIndent));
    if (ps.leftIndent) bf.setLeftMargin(twipsToPixels(ps.leftIndent));
    if (ps.rightIndent) bf.setRightMargin(twipsToPixels(ps.rightIndent));
    return bf;
}

int charsetCodePage(int charset) {
    switch (charset) {
    case 2:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return 0;
    }
}

QString familyOf(const QTextCharFormat& format) {
    const QVariant families = format.property(QTextFormat::FontFamilies);
    if (families.isValid()) {
        const QStringList list = families.toStringList();
        if (!list.isEmpty()) return list.first();
    }
    return format.stringProperty(QTextFormat::FontFamily);
}

} // namespace Rtf
