// INI text (the settings file, a project file's sections): any bytes must parse,
// and what is written back must read back the same.
#include "IniFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini =
        IniFile::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    if (again.sections() != ini.sections()) std::abort();
    for (const QString& section : ini.sections()) {
        const QStringList keys = ini.readSection(section);
        if (again.readSection(section) != keys) std::abort();
        for (const QString& key : keys)
            if (again.readString(section, key) != ini.readString(section, key)) std::abort();
    }
    return 0;
}
