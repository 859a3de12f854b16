// The header of a .dbf file: version, record count, sizes and field
// descriptors. Reads the dBase III/IV layout (32-byte descriptors, also used by
// FoxPro) and the dBase level 7 layout (48-byte descriptors); writes only the
// dBase III/IV one.
#pragma once

#include "DbfTable.h"

#include <QDate>

class DbfFile;

enum class DbfDialect { DBase3, DBase4, DBase7, FoxPro, VisualFoxPro };

struct DbfHeader {
    quint8 version = 0x03;
    DbfDialect dialect = DbfDialect::DBase4;
    int headerSize = 0;
    int recordSize = 0;
    qint64 recordCount = 0; // as the header states it
    QVector<DbfFieldDef> fields;
    QVector<int> offsets; // of each field inside a record (after the deleted flag)

    bool hasMemo() const;
    // Whether this program may change the file: its own layout and field kinds.
    bool writable() const;

    // Reads and checks the header; errors name `file`'s path.
    static DbfHeader read(const DbfFile& file);
    // The header of a new empty table. `fields` must have been checked.
    static QByteArray build(const QVector<DbfFieldDef>& fields, const QDate& today);
    // Checked, normalised field definitions for a new table (upper-case names,
    // fixed lengths of D, L and M); raises EDatabaseError naming `path`.
    static QVector<DbfFieldDef> normalise(const QVector<DbfFieldDef>& fields, const QString& path);
    // Bytes 1..7 of the header: last update date and record count.
    static QByteArray countBytes(qint64 count, const QDate& today);
};
