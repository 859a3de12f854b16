// Filter files: any bytes are read or refused with the loading error, and
// what was read, written and read again stays the same from then on.
#include "KivError.h"
#include "KivFiltStream.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

TFilterList readBytes(const QByteArray& bytes) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return ReadFilterList(in);
}

QByteArray writeBytes(const TFilterList& list) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    WriteFilterList(out, list);
    return out.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFilterList list;
    try {
        list = readBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const EInOutError& e) {
        if (e.message() != QLatin1String("Error loading filter data")) std::abort();
        return 0;
    }
    if (list.Current < -1 || list.Current >= list.Filters.size() ||
        (list.Current < 0) != list.Filters.isEmpty())
        std::abort();
    // Writing may settle a value's type once (a float becomes a double);
    // after that the bytes must stay the same.
    const QByteArray once = writeBytes(readBytes(writeBytes(list)));
    if (writeBytes(readBytes(once)) != once) std::abort();
    return 0;
}
