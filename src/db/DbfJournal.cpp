#include "DbfJournal.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace {

const QByteArray kMagic("KIVJRNL1");
constexpr int kHashSize = 20;

std::vector<DbfJournal::Write> parse(const QByteArray& bytes, bool* ok) {
    std::vector<DbfJournal::Write> writes;
    *ok = false;
    if (bytes.size() < kMagic.size() + 4 + kHashSize || !bytes.startsWith(kMagic)) return writes;
    const qsizetype body = bytes.size() - kHashSize;
    if (QCryptographicHash::hash(bytes.left(body), QCryptographicHash::Sha1) != bytes.mid(body))
        return writes;
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
    qsizetype at = kMagic.size();
    const quint32 count = qFromLittleEndian<quint32>(b + at);
    at += 4;
    for (quint32 i = 0; i < count; ++i) {
        if (at + 12 > body) return {};
        DbfJournal::Write w;
        w.offset = qint64(qFromLittleEndian<quint64>(b + at));
        const qint64 length = qFromLittleEndian<quint32>(b + at + 8);
        at += 12;
        if (w.offset < 0 || length > body - at) return {};
        w.bytes = bytes.mid(at, length);
        at += length;
        writes.push_back(std::move(w));
    }
    *ok = at == body;
    return writes;
}

} // namespace

namespace DbfJournal {

QString pathFor(const QString& tablePath) {
    QString stem = tablePath;
    if (stem.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive)) stem.chop(4);
    return stem + QStringLiteral(".kjn");
}

void write(const QString& path, const std::vector<Write>& writes) {
    QByteArray out = kMagic;
    uchar number[12];
    qToLittleEndian<quint32>(quint32(writes.size()), number);
    out.append(reinterpret_cast<const char*>(number), 4);
    for (const Write& w : writes) {
        qToLittleEndian<quint64>(quint64(w.offset), number);
        qToLittleEndian<quint32>(quint32(w.bytes.size()), number + 8);
        out.append(reinterpret_cast<const char*>(number), 12);
        out += w.bytes;
    }
    out += QCryptographicHash::hash(out, QCryptographicHash::Sha1);
    DbfFile::writeAtomically(path, out);
}

bool recover(const QString& path, DbfFile& table) {
    if (!DbfFile::exists(path)) return false;
    DbfFile journal;
    journal.open(path);
    const qint64 size = journal.size();
    const QByteArray bytes = size <= (qint64(1) << 31) ? journal.read(0, size) : QByteArray();
    journal.close();
    bool ok = false;
    const std::vector<Write> writes = parse(bytes, &ok);
    if (ok) {
        for (const Write& w : writes)
            table.write(w.offset, w.bytes);
        table.sync();
    }
    DbfFile::remove(path);
    DbfFile::syncFolder(path);
    return ok && !writes.empty();
}

} // namespace DbfJournal
