// Topic files for the help compiler: any bytes read without a crash, and what
// comes out is a model the writer can lay out: fonts and pictures that exist,
// hotspots that open and close in turn around something to click.
#include "TopicParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    Hlp::Project project;
    Hc::Messages messages;
    Hc::TopicParser parser(project, messages,
                           [&project](const QString& name, const QString&, const QString&) {
                               if (name.startsWith(QLatin1Char('x'))) return -1;
                               project.bitmaps.push_back({name, QByteArray("BM")});
                               return int(project.bitmaps.size() - 1);
                           });
    const int topics = parser.parse(input, QStringLiteral("fuzz.rtf"));
    if (topics != int(project.topics.size()) || project.fonts.empty()) std::abort();
    for (const Hlp::Topic& topic : project.topics)
        for (const auto* region : {&topic.nonScroll, &topic.scroll})
            for (const Hlp::Paragraph& para : *region) {
                bool open = false;
                for (const Hlp::Span& span : para.spans) {
                    if (span.font < 0 || std::size_t(span.font) >= project.fonts.size())
                        std::abort();
                    if (span.kind == Hlp::Span::Picture &&
                        (span.picture < 0 || std::size_t(span.picture) >= project.bitmaps.size()))
                        std::abort();
                    if (span.kind == Hlp::Span::HotspotStart) {
                        if (open) std::abort();
                        open = true;
                    }
                    if (span.kind == Hlp::Span::HotspotEnd) {
                        if (!open) std::abort();
                        open = false;
                    }
                }
                if (open) std::abort();
            }
    return 0;
}
