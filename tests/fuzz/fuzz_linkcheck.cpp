// Link check: any stored topic text is checked without a crash, and the
// findings are the same whether the check gets the stored bytes or the text.
#include "Cp1252.h"
#include "LinkCheck.h"

#include <QDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored(reinterpret_cast<const char*>(data), qsizetype(size));
    TopicFields topic;
    topic.id = QStringLiteral("1");
    topic.name = QStringLiteral("Fuzz");
    topic.storedText = stored.isNull() ? QByteArray("") : stored;
    // A folder without pictures: every picture is missing, none is looked up outside.
    const QString nowhere = QDir::tempPath() + QStringLiteral("/kivhelp-fuzz-no-such-folder/");
    LinkCheck bytes(nowhere, {QStringLiteral("main")}, {QStringLiteral("1 A=1")});
    bytes.add(topic);
    topic.text = Cp1252::decode(topic.storedText);
    topic.storedText = QByteArray();
    LinkCheck text(nowhere, {QStringLiteral("main")}, {QStringLiteral("1 A=1")});
    text.add(topic);
    if (bytes.findings(true).lines != text.findings(true).lines) std::abort();
    return 0;
}
