// RTF reader: any bytes read without a crash, and what the writer makes of the
// result reads back to a document that writes the same bytes again.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QCoreApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "fuzz_rtf";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QTextDocument first;
    RtfReader::read(input, first);
    const QByteArray written = RtfWriter::write(first);
    QTextDocument second;
    RtfReader::read(written, second);
    if (second.toRawText() != first.toRawText()) std::abort();
    if (RtfWriter::write(second) != written) std::abort();
    return 0;
}
