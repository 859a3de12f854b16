// Conversion between the bytes of one field in a record and its value.
#pragma once

#include "DbfHeader.h"

namespace DbfCodec {

// The value of a field that is not a memo; blank or unreadable bytes read as null.
QVariant decode(const DbfFieldDef& field, DbfDialect dialect, const char* bytes);
// The memo block a memo field points at, or -1 when it is blank or unreadable.
qint64 memoBlock(const DbfFieldDef& field, const char* bytes);
void encodeMemoBlock(qint64 block, char* out, int length);

// Writes `value` into `out` (field.length bytes) for a field of this program's
// layout; raises EDatabaseError naming the field and `table` when the value
// does not fit or has the wrong kind. Memo fields are not handled here.
void encode(const DbfFieldDef& field, const QVariant& value, char* out, const QString& table);
// The bytes a memo value is stored as (empty for a null or empty memo).
QByteArray memoBytes(const QVariant& value);

// A number in a numeric field's text; false for blank or garbage.
bool parseNumber(const char* bytes, int length, double* out);
// A date "YYYYMMDD" as year*10000 + month*100 + day; false when blank or invalid.
bool parseDate(const char* bytes, int length, int* out);
// A logical field's byte: T or Y, F or N in either case; false when blank or unknown.
bool parseLogical(char byte, bool* out);

} // namespace DbfCodec
