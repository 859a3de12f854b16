#include "DbfHeader.h"

#include "DbfFile.h"

#include <QRegularExpression>
#include <QtEndian>

namespace {

constexpr int kMainHeader = 32;
constexpr int kLevel7Header = 68;
constexpr int kMaxFields = 255;

[[noreturn]] void damaged(const QString& path, const QString& why) {
    throw EDatabaseError(QStringLiteral("Table \"%1\" is damaged: %2").arg(path, why));
}

// Types this program does not decode (FoxPro's currency, varchar...) still
// open: their values read as null.
bool plausibleType(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '@';
}

DbfDialect dialectOf(quint8 version) {
    switch (version) {
    case 0x03:
    case 0x83:
        return DbfDialect::DBase3;
    case 0x04:
    case 0x8C:
        return DbfDialect::DBase7;
    case 0x30:
    case 0x31:
    case 0x32:
        return DbfDialect::VisualFoxPro;
    case 0xF5:
    case 0xFB:
        return DbfDialect::FoxPro;
    default:
        return DbfDialect::DBase4;
    }
}

} // namespace

bool DbfHeader::hasMemo() const {
    for (const auto& f : fields)
        if (f.isMemo()) return true;
    return false;
}

bool DbfHeader::writable() const {
    if (version != 0x03 && version != 0x83 && version != 0x8B) return false;
    for (const auto& f : fields) {
        switch (f.type) {
        case FieldType::Character:
        case FieldType::Numeric:
        case FieldType::Float:
        case FieldType::Date:
        case FieldType::Logical:
            break;
        case FieldType::Memo:
            if (f.length != 10) return false;
            break;
        default:
            return false;
        }
    }
    return true;
}

DbfHeader DbfHeader::read(const DbfFile& file) {
    const QString& path = file.path();
    const qint64 fileSize = file.size();
    const QByteArray main = file.read(0, kMainHeader);
    if (main.size() < kMainHeader) damaged(path, QStringLiteral("the header is cut short"));
    const auto* b = reinterpret_cast<const uchar*>(main.constData());

    DbfHeader h;
    h.version = b[0];
    h.dialect = dialectOf(h.version);
    h.recordCount = qFromLittleEndian<quint32>(b + 4);
    h.headerSize = qFromLittleEndian<quint16>(b + 8);
    h.recordSize = qFromLittleEndian<quint16>(b + 10);
    const bool level7 = h.dialect == DbfDialect::DBase7;
    const int first = level7 ? kLevel7Header : kMainHeader;
    const int descSize = level7 ? 48 : 32;
    if (h.headerSize < first + 1 || h.headerSize > fileSize)
        damaged(path, QStringLiteral("the header size %1 does not fit the file").arg(h.headerSize));
    if (h.recordSize < 1) damaged(path, QStringLiteral("the record size is 0"));

    const QByteArray head = file.read(0, h.headerSize);
    const auto* hb = reinterpret_cast<const uchar*>(head.constData());
    int offset = 0;
    for (int pos = first; pos < h.headerSize && hb[pos] != 0x0D; pos += descSize) {
        if (pos + descSize > h.headerSize)
            damaged(path, QStringLiteral("a field descriptor is cut short"));
        const uchar* d = hb + pos;
        const int nameLength = level7 ? 32 : 11;
        const int typeAt = level7 ? 32 : 11;
        const int lengthAt = level7 ? 33 : 16;
        DbfFieldDef f;
        const char* name = reinterpret_cast<const char*>(d);
        f.name = QString::fromLatin1(name, int(qstrnlen(name, nameLength))).trimmed().toUpper();
        const char type = char(d[typeAt]);
        if (!plausibleType(type))
            damaged(path, QStringLiteral("field %1 has the unknown type '%2'")
                              .arg(f.name, QString::fromLatin1(&type, 1)));
        f.type = FieldType(type);
        f.length = d[lengthAt];
        f.decimals = d[lengthAt + 1];
        // FoxPro's 'B' is an 8-byte double, not a binary memo.
        const bool fox = h.dialect == DbfDialect::FoxPro || h.dialect == DbfDialect::VisualFoxPro;
        if (fox && type == 'B' && f.length == 8) f.type = FieldType::Double;
        if (f.length == 0) damaged(path, QStringLiteral("field %1 has length 0").arg(f.name));
        h.fields.push_back(f);
        h.offsets.push_back(1 + offset);
        offset += f.length;
    }
    if (h.fields.isEmpty()) damaged(path, QStringLiteral("it has no fields"));
    if (offset + 1 != h.recordSize)
        damaged(path, QStringLiteral("the record size %1 does not match the fields (%2)")
                          .arg(h.recordSize)
                          .arg(offset + 1));
    return h;
}

QVector<DbfFieldDef> DbfHeader::normalise(const QVector<DbfFieldDef>& fields, const QString& path) {
    auto refuse = [&](const QString& why) {
        throw EDatabaseError(QStringLiteral("Cannot create table \"%1\": %2").arg(path, why));
    };
    if (fields.isEmpty()) refuse(QStringLiteral("a table needs at least one field"));
    if (fields.size() > kMaxFields) refuse(QStringLiteral("more than 255 fields"));
    static const QRegularExpression validName(QStringLiteral("^[A-Z_][A-Z0-9_]{0,9}$"));
    QVector<DbfFieldDef> out;
    int recordSize = 1;
    for (DbfFieldDef f : fields) {
        f.name = f.name.trimmed().toUpper();
        if (!validName.match(f.name).hasMatch())
            refuse(QStringLiteral("\"%1\" is not a valid field name (letters, digits and _, at "
                                  "most 10 characters)")
                       .arg(f.name));
        for (const auto& seen : out)
            if (seen.name == f.name) refuse(QStringLiteral("field %1 appears twice").arg(f.name));
        switch (f.type) {
        case FieldType::Character:
            f.decimals = 0;
            if (f.length < 1 || f.length > 254)
                refuse(QStringLiteral("field %1: a character field holds 1 to 254 characters")
                           .arg(f.name));
            break;
        case FieldType::Numeric:
        case FieldType::Float:
            if (f.length < 1 || f.length > 20)
                refuse(QStringLiteral("field %1: a number has 1 to 20 digits").arg(f.name));
            if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.length - 2) || f.decimals > 15)
                refuse(QStringLiteral("field %1: %2 decimals do not fit a width of %3")
                           .arg(f.name)
                           .arg(f.decimals)
                           .arg(f.length));
            break;
        case FieldType::Date:
            f.length = 8;
            f.decimals = 0;
            break;
        case FieldType::Logical:
            f.length = 1;
            f.decimals = 0;
            break;
        case FieldType::Memo:
            f.length = 10;
            f.decimals = 0;
            break;
        default:
            refuse(QStringLiteral("field %1: this program cannot write fields of type '%2'")
                       .arg(f.name, QChar(char(f.type))));
        }
        recordSize += f.length;
        out.push_back(f);
    }
    if (recordSize > 65535) refuse(QStringLiteral("a record would exceed 65535 bytes"));
    return out;
}

QByteArray DbfHeader::countBytes(qint64 count, const QDate& today) {
    QByteArray out(7, '\0');
    auto* b = reinterpret_cast<uchar*>(out.data());
    b[0] = uchar(qBound(0, today.year() - 1900, 255));
    b[1] = uchar(today.month());
    b[2] = uchar(today.day());
    qToLittleEndian<quint32>(quint32(count), b + 3);
    return out;
}

QByteArray DbfHeader::build(const QVector<DbfFieldDef>& fields, const QDate& today) {
    bool memo = false;
    int recordSize = 1;
    for (const auto& f : fields) {
        memo = memo || f.isMemo();
        recordSize += f.length;
    }
    const int headerSize = kMainHeader + 32 * int(fields.size()) + 1;
    QByteArray out(headerSize, '\0');
    auto* b = reinterpret_cast<uchar*>(out.data());
    // dBase IV with a memo file, dBase III layout without.
    b[0] = memo ? 0x8B : 0x03;
    const QByteArray stamp = countBytes(0, today);
    memcpy(b + 1, stamp.constData(), 7);
    qToLittleEndian<quint16>(quint16(headerSize), b + 8);
    qToLittleEndian<quint16>(quint16(recordSize), b + 10);
    b[29] = 0x03; // language driver: Windows ANSI, code page 1252
    uchar* d = b + kMainHeader;
    for (const auto& f : fields) {
        const QByteArray name = f.name.toLatin1();
        memcpy(d, name.constData(), size_t(qMin<qsizetype>(name.size(), 10)));
        d[11] = uchar(char(f.type));
        d[16] = uchar(f.length);
        d[17] = uchar(f.decimals);
        d += 32;
    }
    *d = 0x0D;
    return out;
}
