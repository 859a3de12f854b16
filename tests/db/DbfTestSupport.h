// Shared helpers of the dBase engine tests: a scratch folder and the shape of
// the program's topic table.
#pragma once

#include "DbfTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace dbftest {

inline QVector<DbfFieldDef> topicFields() {
    auto f = [](const char* name, FieldType type, int length, int decimals = 0) {
        DbfFieldDef d;
        d.name = QString::fromLatin1(name);
        d.type = type;
        d.length = length;
        d.decimals = decimals;
        return d;
    };
    return {f("Id", FieldType::Numeric, 8),        f("Name", FieldType::Character, 60),
            f("Keys", FieldType::Character, 254),  f("AKeys", FieldType::Character, 254),
            f("BSeq", FieldType::Character, 20),   f("CTX", FieldType::Character, 20),
            f("Window", FieldType::Character, 20), f("State", FieldType::Numeric, 1),
            f("Text", FieldType::Memo, 10),        f("Unit", FieldType::Character, 20),
            f("Class", FieldType::Character, 40),  f("Declar", FieldType::Memo, 10)};
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

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

} // namespace dbftest
