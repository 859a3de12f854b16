#include "DbfValue.h"

#include <QLocale>

#include <limits>

bool isNumberValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isWholeValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    case QMetaType::ULongLong:
        // Larger ones would wrap to negative through toLongLong().
        return v.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
    default:
        return false;
    }
}

int compareNumbers(const QVariant& a, const QVariant& b) {
    if (isWholeValue(a) && isWholeValue(b)) {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

QStringView withoutTrailingBlanks(QStringView s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

namespace {
QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}
} // namespace

QString shortDateText(const QDate& date) {
    return QLocale().toString(date, shortDateFormat());
}

QDate dateFromText(const QString& text) {
    const QString s = text.trimmed();
    QDate d = QDate::fromString(s, Qt::ISODate);
    if (!d.isValid()) d = QDate::fromString(s, QStringLiteral("yyyyMMdd"));
    if (!d.isValid()) d = QDate::fromString(s, QStringLiteral("d.M.yyyy"));
    if (!d.isValid()) d = QLocale().toDate(s, shortDateFormat());
    if (!d.isValid()) d = QLocale().toDate(s, QLocale::ShortFormat);
    if (!d.isValid()) d = QLocale::c().toDate(s, QLocale::ShortFormat);
    return d;
}

std::optional<bool> boolFromText(QStringView text) {
    const QString s = text.trimmed().toString().toUpper();
    for (const char* yes : {"T", "TRUE", "Y", "YES", "1"})
        if (s == QLatin1String(yes)) return true;
    for (const char* no : {"F", "FALSE", "N", "NO", "0"})
        if (s == QLatin1String(no)) return false;
    return std::nullopt;
}
