// Help files: any bytes give a dump or an EHlpFormat, never a crash or
// another exception.
#include "HlpDump.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        Hlp::DumpHelpFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const Hlp::EHlpFormat&) {
    }
    return 0;
}
