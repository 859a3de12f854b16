// The index definitions of a table, kept beside it in "<stem>.kix": a
// Windows-1252 text file with CR LF line ends, one index per line:
//
//     NAME KIND FIELD;FIELD...
//
// KIND is "plain", "unique" or "primary" (primary implies unique); names hold
// no blanks. Blank lines and lines starting with "#" are ignored.
#pragma once

#include "DbfTable.h"

namespace IndexCatalog {

// The companion file of a table file ("book.dbf" gives "book.kix").
QString pathFor(const QString& tablePath);
// The definitions stored at `path`; none when the file does not exist.
QVector<DbfIndexDef> read(const QString& path);
// Replaces the file whole (removes it when `defs` is empty).
void write(const QString& path, const QVector<DbfIndexDef>& defs);
QByteArray format(const QVector<DbfIndexDef>& defs);

} // namespace IndexCatalog
