#include "DbfCodec.h"

#include "Cp1252.h"
#include "DbfValue.h"

#include <QDateTime>
#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

int trimmedLength(const char* bytes, int length) {
    // Eight bytes at a time first: wide text columns are mostly padding. A
    // byte with no bit but 0x20 is a blank or a zero.
    while (length >= 8) {
        quint64 w;
        std::memcpy(&w, bytes + length - 8, 8);
        if ((w & 0xDFDFDFDFDFDFDFDFull) != 0) break;
        length -= 8;
    }
    while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == '\0'))
        --length;
    return length;
}

// dBase level 7 stores numbers so that their bytes sort like their values:
// big-endian with the sign bit flipped (and all bits for negative doubles).
qint32 level7Int(const char* bytes) {
    return qint32(qFromBigEndian<quint32>(bytes) ^ 0x80000000u);
}

double level7Double(const char* bytes) {
    quint64 u = qFromBigEndian<quint64>(bytes);
    u = (u & 0x8000000000000000ull) ? (u ^ 0x8000000000000000ull) : ~u;
    double d;
    memcpy(&d, &u, sizeof d);
    return d;
}

QVariant numberValue(double d, bool whole) {
    if (whole && std::fabs(d) < 9.0e15) return QVariant(qint64(d));
    return QVariant(d);
}

// Julian day number and milliseconds since midnight.
QVariant timestamp(qint64 julianDay, qint64 ms) {
    if (julianDay <= 0 || ms < 0 || ms >= 86400000) return {};
    const QDate date = QDate::fromJulianDay(julianDay);
    if (!date.isValid()) return {};
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

[[noreturn]] void refuse(const DbfFieldDef& field, const QString& table, const QString& why) {
    throw EDatabaseError(
        QStringLiteral("Field %1 of table \"%2\": %3").arg(field.name, table, why));
}

QString shown(const QVariant& v) {
    QString s = v.toString();
    if (s.size() > 40) s = s.left(37) + QStringLiteral("...");
    return s;
}

} // namespace

namespace DbfCodec {

bool parseNumber(const char* bytes, int length, double* out) {
    int start = 0;
    while (start < length && bytes[start] == ' ')
        ++start;
    const int end = trimmedLength(bytes, length);
    if (start >= end) return false;
    if (bytes[start] == '+') ++start;
    const auto r = std::from_chars(bytes + start, bytes + end, *out, std::chars_format::fixed);
    return r.ec == std::errc() && r.ptr == bytes + end && std::isfinite(*out);
}

bool parseDate(const char* bytes, int length, int* out) {
    if (length < 8) return false;
    int v = 0;
    for (int i = 0; i < 8; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return false;
        v = v * 10 + (bytes[i] - '0');
    }
    if (!QDate::isValid(v / 10000, v / 100 % 100, v % 100)) return false;
    *out = v;
    return true;
}

bool parseLogical(char byte, bool* out) {
    switch (byte) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        *out = true;
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        *out = false;
        return true;
    default:
        return false;
    }
}

QVariant decode(const DbfFieldDef& field, DbfDialect dialect, const char* bytes) {
    const int length = field.length;
    switch (field.type) {
    case FieldType::Character: {
        const int n = trimmedLength(bytes, length);
        if (n == 0) return {};
        return Cp1252::decode(bytes, n);
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        double d;
        if (!parseNumber(bytes, length, &d)) return {};
        return numberValue(d, field.decimals == 0 && d == std::trunc(d));
    }
    case FieldType::Date: {
        int v;
        if (!parseDate(bytes, length, &v)) return {};
        return QDate(v / 10000, v / 100 % 100, v % 100);
    }
    case FieldType::Logical: {
        bool b;
        if (!parseLogical(bytes[0], &b)) return {};
        return b;
    }
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (length != 4) return {};
        if (dialect == DbfDialect::DBase7) return qint64(level7Int(bytes));
        return qint64(qFromLittleEndian<qint32>(bytes));
    case FieldType::Double: {
        if (length != 8) return {};
        if (dialect == DbfDialect::DBase7) return level7Double(bytes);
        const double d = qFromLittleEndian<double>(bytes);
        return std::isfinite(d) ? QVariant(d) : QVariant();
    }
    case FieldType::Timestamp:
        if (length != 8) return {};
        return timestamp(qFromBigEndian<qint32>(bytes), qFromBigEndian<qint32>(bytes + 4));
    default:
        break;
    }
    // FoxPro's datetime and currency; anything else is not decoded.
    if (char(field.type) == 'T' && length == 8)
        return timestamp(qFromLittleEndian<qint32>(bytes), qFromLittleEndian<qint32>(bytes + 4));
    if (char(field.type) == 'Y' && length == 8)
        return double(qFromLittleEndian<qint64>(bytes)) / 10000.0;
    return {};
}

qint64 memoBlock(const DbfFieldDef& field, const char* bytes) {
    if (field.length == 4) {
        const quint32 block = qFromLittleEndian<quint32>(bytes);
        return block == 0 ? -1 : qint64(block);
    }
    qint64 block = 0;
    bool digits = false;
    for (int i = 0; i < field.length; ++i) {
        const char c = bytes[i];
        if (c == ' ' || c == '\0') {
            if (digits) break;
            continue;
        }
        if (c < '0' || c > '9' || block > 100000000000LL) return -1;
        block = block * 10 + (c - '0');
        digits = true;
    }
    return digits && block > 0 ? block : -1;
}

void encodeMemoBlock(qint64 block, char* out, int length) {
    memset(out, ' ', size_t(length));
    if (block <= 0) return;
    const QByteArray digits = QByteArray::number(block);
    memcpy(out + length - digits.size(), digits.constData(), size_t(digits.size()));
}

QByteArray memoBytes(const QVariant& value) {
    if (value.isNull()) return {};
    if (value.typeId() == QMetaType::QByteArray) return value.toByteArray();
    return Cp1252::encode(value.toString());
}

void encode(const DbfFieldDef& field, const QVariant& value, char* out, const QString& table) {
    const int length = field.length;
    memset(out, ' ', size_t(length));
    if (value.isNull() || !value.isValid()) return;
    switch (field.type) {
    case FieldType::Character: {
        QByteArray text = value.typeId() == QMetaType::QByteArray
                              ? value.toByteArray()
                              : Cp1252::encode(value.toString());
        const int n = trimmedLength(text.constData(), int(text.size()));
        if (n > length)
            refuse(field, table,
                   QStringLiteral("the text \"%1\" is longer than %2 characters")
                       .arg(shown(value))
                       .arg(length));
        memcpy(out, text.constData(), size_t(n));
        return;
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) return;
        QByteArray text;
        if (isWholeValue(value) && field.decimals == 0) {
            text = QByteArray::number(value.toLongLong());
        } else {
            bool ok = false;
            const double d = value.typeId() == QMetaType::Bool ? -1 : value.toDouble(&ok);
            if (!ok || !std::isfinite(d))
                refuse(field, table, QStringLiteral("\"%1\" is not a number").arg(shown(value)));
            text = QByteArray::number(d, 'f', field.decimals);
            if (text.startsWith('-') && text.count('0') + text.count('.') == text.size() - 1)
                text.remove(0, 1); // no "-0"
        }
        if (text.size() > length)
            refuse(field, table,
                   QStringLiteral("the number %1 does not fit a width of %2")
                       .arg(QString::fromLatin1(text))
                       .arg(length));
        memcpy(out + length - text.size(), text.constData(), size_t(text.size()));
        return;
    }
    case FieldType::Date: {
        QDate date;
        if (value.typeId() == QMetaType::QDate)
            date = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            date = value.toDateTime().date();
        else if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.isEmpty()) return;
            date = QDate::fromString(s, Qt::ISODate);
            if (!date.isValid()) date = QDate::fromString(s, QStringLiteral("yyyyMMdd"));
        }
        if (!date.isValid() || date.year() < 1 || date.year() > 9999)
            refuse(field, table, QStringLiteral("\"%1\" is not a date").arg(shown(value)));
        const QByteArray text = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
        memcpy(out, text.constData(), 8);
        return;
    }
    case FieldType::Logical: {
        bool b = false;
        if (value.typeId() == QMetaType::Bool || isWholeValue(value)) {
            b = value.toBool();
        } else {
            const QString s = value.toString();
            if (s.trimmed().isEmpty()) return;
            const auto flag = boolFromText(s);
            if (!flag)
                refuse(field, table,
                       QStringLiteral("\"%1\" is not true or false").arg(shown(value)));
            b = *flag;
        }
        out[0] = b ? 'T' : 'F';
        return;
    }
    default:
        refuse(field, table, QStringLiteral("this program cannot write fields of this type"));
    }
}

} // namespace DbfCodec
