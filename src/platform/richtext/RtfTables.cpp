#include "RtfTables.h"

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

QString familyOf(const QTextCharFormat& format) {
    const QVariant families = format.property(QTextFormat::FontFamilies);
    if (families.isValid()) {
        const QStringList list = families.toStringList();
        if (!list.isEmpty()) return list.first();
    }
    return format.stringProperty(QTextFormat::FontFamily);
}

} // namespace Rtf
