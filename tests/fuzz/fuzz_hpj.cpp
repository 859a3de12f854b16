// Help project files: any bytes read without a crash; every map number and
// window that comes out is one the file could mean.
#include "HpjFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // Every include names a small fixed list, so includes cannot multiply the input.
    const Hc::IncludeReader include = [](const QString& name) -> std::optional<QByteArray> {
        if (name.endsWith(QLatin1String(".map"), Qt::CaseInsensitive))
            return QByteArray("#define a 1\r\n#include x.map\r\n");
        if (name.isEmpty()) return std::nullopt;
        return QByteArray("a.rtf\r\n");
    };
    Hc::Messages messages;
    const Hc::HpjProject project =
        Hc::ParseHpj(input, QStringLiteral("fuzz.hpj"), include, messages);
    for (const Hlp::Window& w : project.windows) {
        if (w.name.isEmpty()) std::abort();
        for (int v : {w.x, w.y, w.width, w.height})
            if (v < -1 || v > 1023) std::abort();
        for (qint64 c : {w.scrollColor, w.nonScrollColor})
            if (c < -1 || c > 0xFFFFFF) std::abort();
    }
    for (const auto& entry : project.map)
        if (entry.context.isEmpty()) std::abort();
    for (const Hc::Message& m : messages.all())
        if (m.line().isEmpty()) std::abort();
    return 0;
}
