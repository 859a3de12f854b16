// Fuzz target for the dBase table and memo readers. The input is a .dbf file,
// optionally followed by the marker "KIVMEMO:" and the bytes of its memo file
// (written both as .dbt and .fpt). Every value and every ordering is read.
#include "DbfTable.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype marker = input.indexOf("KIVMEMO:");
    const QString path = dir.filePath(QStringLiteral("F.dbf"));
    QFile::remove(dir.filePath(QStringLiteral("F.dbt")));
    QFile::remove(dir.filePath(QStringLiteral("F.fpt")));
    writeFile(path, marker < 0 ? input : input.left(marker));
    if (marker >= 0) {
        const QByteArray memo = input.mid(marker + 8);
        writeFile(dir.filePath(QStringLiteral("F.dbt")), memo);
        writeFile(dir.filePath(QStringLiteral("F.fpt")), memo);
    }
    try {
        auto table = DbfTable::open(path);
        const int fields = int(table->fields().size());
        for (int row = 0; row < table->rowCount(); ++row) {
            (void)table->isDeleted(row);
            for (int f = 0; f < fields; ++f) {
                const QVariant v = table->value(row, f);
                (void)compareDbfValues(v, v, true);
            }
        }
        for (int f = 0; f < fields && f < 8; ++f) {
            (void)table->orderedRows({f});
            (void)table->orderedRows({f}, true);
        }
    } catch (const EKivError&) {
        // A clear error is a fine answer to a damaged file.
    }
    return 0;
}
