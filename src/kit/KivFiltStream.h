// The filter file: every stored filter of one filter component, little-endian,
// strings as a 16-bit length and Windows-1252 bytes, values as a text or a
// 16-byte VARIANT record (null, integers, floating point, currency, dates,
// booleans).
#pragma once

#include "KivFiltItems.h"

class QIODevice;

struct TFilterList {
    QString FileName; // as stored; the writer's own name for the file
    int Current = -1; // -1 when there is no filter
    QList<TFilterItem> Filters;
};

// Raises EInOutError "Error loading filter data" when a count is out of range
// or the data ends early. The current index is kept within the filters read.
TFilterList ReadFilterList(QIODevice& in);
// Raises EInOutError when the device fails.
void WriteFilterList(QIODevice& out, const TFilterList& list);
