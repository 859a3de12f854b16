// Source units: LoadUnit reads the bytes from a file, ParseInterface scans them.
#include "CollectingUI.h"
#include "EParser.h"
#include "fUnit.h"

#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bracket messages must not open boxes.
    static const CollectingUI::Scope quiet(false);
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open()) return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.flush();

    TParser parser;
    if (!parser.LoadUnit(file.fileName())) __builtin_trap();
    if (parser.Text.size() > qsizetype(size)) __builtin_trap();
    parser.ParseInterface();
    for (const TClassEntry& entry : parser.Classes) {
        const TClassItems items(entry.Members);
        if (items.Properties.size() + items.Methods.size() + items.Events.size() !=
            entry.Members.size())
            __builtin_trap();
    }
    return 0;
}
