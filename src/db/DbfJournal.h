// The redo journal that makes a change of existing rows all-or-nothing.
// Before any byte of a row is overwritten, every write of the change goes to
// "<stem>.kjn" with a checksum and is flushed; then the table is written and the
// journal removed. On open, a whole journal is replayed (its writes are
// idempotent) and a torn one is dropped: the table was not touched yet.
//
// File: "KIVJRNL1", entry count (uint32 LE), then per entry offset (uint64 LE),
// length (uint32 LE) and the bytes; last the SHA-1 of everything before it.
#pragma once

#include "DbfFile.h"

#include <vector>

namespace DbfJournal {

struct Write {
    qint64 offset = 0;
    QByteArray bytes;
};

QString pathFor(const QString& tablePath);
// Writes and flushes the journal of a change.
void write(const QString& path, const std::vector<Write>& writes);
// Applies the writes of a whole journal at `path` to `table` (flushed) and
// removes the journal; drops a torn one. Returns whether writes were applied.
bool recover(const QString& path, DbfFile& table);

} // namespace DbfJournal
