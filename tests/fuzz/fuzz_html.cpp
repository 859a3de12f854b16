// HTML export of one topic: any stored text becomes HTML without a crash, and
// what the text says never becomes markup: every tag is one the converter
// writes, and paragraphs open and close in pairs.
#include "HtmlTopic.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cstdint>
#include <cstdlib>

namespace {

struct Links : HtmlTopicLinks {
    QString pageOf(const QString& target) override {
        return target.startsWith(u'1') ? QStringLiteral("topic_") + target + ".html" : QString();
    }
    QString pictureUrl(const QString& name) override {
        return name.startsWith(u'a') ? QStringLiteral("images/") + name : QString();
    }
};

void check(const QString& html) {
    static const QRegularExpression tag(QStringLiteral("<(/?)([a-z]+)"));
    static const QStringList known{QStringLiteral("p"),   QStringLiteral("span"),
                                   QStringLiteral("a"),   QStringLiteral("br"),
                                   QStringLiteral("img"), QStringLiteral("button")};
    int open = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (!known.contains(m.captured(2))) std::abort();
        if (m.captured(2) == QLatin1String("p")) open += m.captured(1).isEmpty() ? 1 : -1;
        if (open < 0 || open > 1) std::abort();
    }
    if (open != 0) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "fuzz_html";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    Links links;
    HtmlLooks looks;
    const TopicHtml html =
        TopicToHtml(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), links, looks);
    check(html.header);
    check(html.body);
    return 0;
}
