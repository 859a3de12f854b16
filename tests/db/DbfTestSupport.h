// Shared helpers of the dBase engine tests: a scratch folder and the shape of
// the program's topic table.
#pragma once

#include "DbTest.h"
#include "DbfTable.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dbftest {

// A scratch folder; path() names a file in it, the table S.dbf by default.
class DbfFolder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name = "S.dbf") const {
        return dir.filePath(QString::fromLatin1(name));
    }
};

inline QVector<DbfFieldDef> topicFields() {
    return {{"Id", FieldType::Numeric, 8},        {"Name", FieldType::Character, 60},
            {"Keys", FieldType::Character, 254},  {"AKeys", FieldType::Character, 254},
            {"BSeq", FieldType::Character, 20},   {"CTX", FieldType::Character, 20},
            {"Window", FieldType::Character, 20}, {"State", FieldType::Numeric, 1},
            {"Text", FieldType::Memo, 10},        {"Unit", FieldType::Character, 20},
            {"Class", FieldType::Character, 40},  {"Declar", FieldType::Memo, 10}};
}

inline DbfIndexDef indexDef(const char* name, const char* field, bool unique = false) {
    DbfIndexDef d;
    d.name = QString::fromLatin1(name);
    d.fields = QStringList{QString::fromLatin1(field)};
    d.unique = unique;
    return d;
}

inline void addTopicIndexes(DbfTable& t) {
    t.addIndex(indexDef("I_Id", "Id", true));
    t.addIndex(indexDef("I_Name", "Name"));
    t.addIndex(indexDef("I_BSeq", "BSeq"));
    t.addIndex(indexDef("I_State", "State"));
}

inline DbfRecord topic(qint64 id, const QString& name, const QVariant& text = {}, int state = 1) {
    DbfRecord r(12);
    r[0] = id;
    r[1] = name;
    r[4] = QStringLiteral("seq:%1").arg(id % 7);
    r[7] = state;
    r[8] = text;
    return r;
}

// The live rows ordered by decoded values, as an index over `fields` must be.
inline std::vector<int> orderByValues(const DbfTable& t, const QVector<int>& fields) {
    std::vector<int> rows;
    for (int r = 0; r < t.rowCount(); ++r)
        if (!t.isDeleted(r)) rows.push_back(r);
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (int f : fields) {
            const int c = compareDbfValues(t.value(a, f), t.value(b, f));
            if (c != 0) return c < 0;
        }
        return false;
    });
    return rows;
}

// Builds table files byte by byte, as other programs write them.
struct RawField {
    const char* name;
    char type;
    int length;
    int decimals = 0;
};

// `v` as `bytes` bytes, most significant first (be) or last (le).
inline QByteArray be(quint64 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char((v >> (8 * (bytes - 1 - i))) & 0xFF);
    return b;
}

inline QByteArray le(quint64 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// A .dbf with 32-byte descriptors (or 48-byte ones for dBase level 7) and the
// given records (each without its deleted flag, which is added as a blank);
// `trailer` bytes follow the descriptors (FoxPro's backlink).
inline QByteArray rawDbf(quint8 version, const std::vector<RawField>& fields,
                         const std::vector<QByteArray>& records, bool level7 = false,
                         int trailer = 0) {
    const int first = level7 ? 68 : 32, desc = level7 ? 48 : 32;
    const int headerSize = first + desc * int(fields.size()) + 1 + trailer;
    int recordSize = 1;
    for (const auto& f : fields)
        recordSize += f.length;
    QByteArray b(headerSize, '\0');
    b[0] = char(version);
    b[1] = char(124);
    b[2] = 5;
    b[3] = 17;
    b.replace(4, 4, le(records.size(), 4));
    b.replace(8, 2, le(headerSize, 2));
    b.replace(10, 2, le(recordSize, 2));
    int at = first;
    for (const auto& f : fields) {
        memcpy(b.data() + at, f.name, strlen(f.name));
        const int typeAt = level7 ? 32 : 11, lengthAt = level7 ? 33 : 16;
        b[at + typeAt] = f.type;
        b[at + lengthAt] = char(f.length);
        b[at + lengthAt + 1] = char(f.decimals);
        at += desc;
    }
    b[at] = '\r';
    for (const QByteArray& r : records)
        b += ' ' + r;
    return b + '\x1A';
}

} // namespace dbftest
