// Holder notes of locked tables: another program writes them, so any bytes
// must read as some holder, and naming it in a message never fails.
#include "DbfLock.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const DbfHolder h = DbfHolder::parse(input);
    if (h.text().isEmpty()) std::abort();
    if (h.program.size() > 4096 || h.host.size() > 4096) std::abort();
    return 0;
}
