// Topic writer: any stored topic text (and title) is written without a crash,
// and the byte-level writer the build uses makes exactly what the 16-bit one
// makes, warnings included, whether it gets the text or the stored bytes.
#include "CollectingUI.h"
#include "Cp1252.h"
#include "TopicRtf.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first line is the title, the rest the stored document.
    const qsizetype eol = input.indexOf('\n');
    TopicFields topic;
    topic.id = QStringLiteral("1");
    topic.name = Cp1252::decode(eol < 0 ? QByteArray() : input.left(eol));
    const QByteArray stored = eol < 0 ? input : input.mid(eol + 1);
    topic.text = Cp1252::decode(stored);

    CollectingUI::Scope wideUi(false);
    const QByteArray wide = Cp1252::encode(TopicRtf(topic));
    const QStringList wideMessages = wideUi.ui().messages;
    CollectingUI::Scope narrowUi(false);
    const QByteArray narrow = TopicRtfBytes(topic);
    if (narrow != wide || narrowUi.ui().messages != wideMessages) std::abort();

    TopicFields asStored = topic;
    asStored.text.clear();
    asStored.storedText = stored.isNull() ? QByteArray("") : stored;
    CollectingUI::Scope storedUi(false);
    if (TopicRtfBytes(asStored) != wide || storedUi.ui().messages != wideMessages ||
        Cp1252::encode(TopicRtf(asStored)) != wide)
        std::abort();
    return 0;
}
