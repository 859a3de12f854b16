#include "HtmlExport.h"

#include "Cp1252.h"
#include "HtmlAssets.h"
#include "HtmlTopic.h"
#include "KivError.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSet>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

const QLatin1String kContentsPage("index.html");
const QLatin1String kKeywordsPage("keywords.html");
const QLatin1String kSearchPage("search.html");

struct Topic {
    TopicFields fields;
    QString page;
    TopicHtml html;
};

// File names from outside (IDs, picture names) keep only harmless characters.
QString safeFileName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '-' || u == '_' || u == '.';
        out += ok ? c : QLatin1Char('_');
    }
    if (out.startsWith(u'.')) out.prepend(u'_');
    return out;
}

// Strings in the search data: JSON, and safe inside a page as well.
void appendJsString(QByteArray& out, const QString& s) {
    out += '"';
    qsizetype wide = -1; // start of a run of characters above ASCII
    const auto flush = [&](qsizetype end) {
        if (wide >= 0) out += QStringView(s).mid(wide, end - wide).toUtf8();
        wide = -1;
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (u >= 0x80 && u != 0x2028 && u != 0x2029) {
            if (wide < 0) wide = i;
            continue;
        }
        flush(i);
        if (u == '"' || u == '\\') {
            out += '\\';
            out += char(u);
        } else if (u < 0x20 || u == '<' || u == '>' || u == '&' || u >= 0x80) {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1();
        } else {
            out += char(u);
        }
    }
    flush(s.size());
    out += '"';
}

QByteArray utf8(const QString& s) {
    return s.toUtf8();
}

QString folded(QStringView word) {
    bool ascii = true;
    for (const QChar c : word)
        if (c.unicode() >= 0x80) ascii = false;
    if (ascii) return word.toString().toLower();
    QString decomposed = word.toString().normalized(QString::NormalizationForm_D);
    decomposed.removeIf([](QChar c) { return c.isMark(); });
    return decomposed.toLower();
}

template <class F> void forEachWord(QStringView text, F&& f) {
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool word = i < text.size() && text[i].isLetterOrNumber();
        if (word && start < 0) start = i;
        if (!word && start >= 0) {
            f(text.mid(start, i - start));
            start = -1;
        }
    }
}

class Exporter : public HtmlTopicLinks {
public:
    Exporter(const QString& outDir, const HtmlExportProject& project,
             const std::function<void(const QString&)>& warn)
        : out_(QDir(outDir).absolutePath() + u'/'), project_(project), warn_(warn) {}

    HtmlExportResult run(TopicSource& source);

    QString pageOf(const QString& target) override;
    QString pictureUrl(const QString& name) override;

private:
    QString out_;
    const HtmlExportProject& project_;
    std::function<void(const QString&)> warn_;
    HtmlExportResult result_;
    HtmlLooks looks_;

    std::vector<Topic> topics_;
    QHash<QString, int> byContext_;
    const Topic* current_ = nullptr;
    QHash<QString, QString> pictures_;    // picture name (lower case) -> address, or empty
    QHash<QString, QString> folderFiles_; // file names of the project folder by lower case
    bool folderRead_ = false;
    std::vector<int> previous_, next_; // browse neighbours, -1 for none

    // The topic whose context string is `context`, or -1. Context strings are
    // the IDs' decimal text: "012" is topic 12.
    int find(const QString& context) const {
        const auto it = byContext_.constFind(context.toLower());
        if (it != byContext_.constEnd()) return *it;
        bool number = false;
        const qlonglong n = context.toLongLong(&number);
        return number ? byContext_.value(QString::number(n), -1) : -1;
    }
    void warn(const QString& text) {
        result_.warnings << text;
        if (warn_) warn_(text);
    }
    QString topicLabel(const Topic& t) const { return QStringLiteral("Topic %1").arg(t.fields.id); }
    void write(const QString& name, const QByteArray& bytes) { WriteWholeFile(out_ + name, bytes); }
    void readTopics(TopicSource& source);
    void convertTopics();
    void browseSequence();
    QString nav(int topic) const;
    QString pageStart(const QString& title) const;
    void writeTopicPage(int index);
    void writeContents();
    void writeKeywords();
    void writeSearch();
};

HtmlExportResult Exporter::run(TopicSource& source) {
    if (!QDir().mkpath(out_) || !QFileInfo(out_).isDir())
        throw EInOutError(QStringLiteral("Cannot create folder %1").arg(out_));
    readTopics(source);
    convertTopics();
    browseSequence();
    for (int i = 0; i < int(topics_.size()); ++i)
        writeTopicPage(i);
    writeContents();
    writeKeywords();
    writeSearch();
    write(QLatin1String(HtmlAssets::kStyleSheetName), HtmlAssets::styleSheet());
    write(QLatin1String(HtmlAssets::kLooksName), looks_.styleSheet());
    write(QLatin1String(HtmlAssets::kPopupScriptName), HtmlAssets::popupScript());
    write(QLatin1String(HtmlAssets::kSearchScriptName), HtmlAssets::searchScript());
    result_.pages = int(topics_.size());
    return std::move(result_);
}

void Exporter::readTopics(TopicSource& source) {
    TopicFields fields;
    QString ctx;
    while (source.next(fields, ctx)) {
        if (fields.id.isEmpty()) {
            warn(QStringLiteral("A topic without ID is left out: \"%1\"").arg(fields.name));
            continue;
        }
        Topic t;
        t.page = QStringLiteral("topic_") + safeFileName(fields.id) + QStringLiteral(".html");
        t.fields = std::move(fields);
        fields = TopicFields();
        byContext_.insert(t.fields.id.toLower(), int(topics_.size()));
        topics_.push_back(std::move(t));
    }
}

void Exporter::convertTopics() {
    for (Topic& t : topics_) {
        current_ = &t;
        t.html = TopicToHtml(t.fields.storedText.isNull() ? Cp1252::encode(t.fields.text)
                                                          : t.fields.storedText,
                             *this, looks_);
        // The page has what it needs; the stored text is not kept twice.
        t.fields.text.clear();
        t.fields.storedText.clear();
    }
    current_ = nullptr;
}

QString Exporter::pageOf(const QString& target) {
    const int found = find(target);
    if (found >= 0) return topics_[size_t(found)].page;
    if (current_)
        warn(QStringLiteral("%1: link to missing topic \"%2\"").arg(topicLabel(*current_), target));
    return {};
}

QString Exporter::pictureUrl(const QString& name) {
    const QString key = name.toLower();
    auto known = pictures_.constFind(key);
    if (known != pictures_.constEnd()) {
        if (known->isEmpty() && current_)
            warn(QStringLiteral("%1: picture %2 not shown").arg(topicLabel(*current_), name));
        return *known;
    }
    // Windows names: the code may spell the file's name in another case.
    QString path = project_.folder + name;
    if (!QFileInfo(path).isFile()) {
        if (!folderRead_) {
            folderRead_ = true;
            for (const QString& f : QDir(project_.folder).entryList(QDir::Files))
                folderFiles_.insert(f.toLower(), f);
        }
        const QString actual = folderFiles_.value(key);
        path = actual.isEmpty() ? QString() : project_.folder + actual;
    }
    QString url;
    const QString label = current_ ? topicLabel(*current_) : QStringLiteral("Picture");
    if (path.isEmpty()) {
        warn(QStringLiteral("%1: picture %2 not found in %3").arg(label, name, project_.folder));
    } else {
        // Named after the file found, so every spelling of it gives one picture.
        const QString found = QFileInfo(path).fileName();
        const QString suffix = QFileInfo(found).suffix().toLower();
        const bool asIs = suffix == QLatin1String("png") || suffix == QLatin1String("gif") ||
                          suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
        const QString base = safeFileName(asIs ? found : QFileInfo(found).completeBaseName());
        const QString target = QStringLiteral("images/") + base + (asIs ? "" : ".png");
        QDir().mkpath(out_ + QStringLiteral("images"));
        if (asIs) {
            QFile in(path);
            if (in.open(QIODevice::ReadOnly)) {
                write(target, in.readAll());
                url = target;
            }
        } else {
            QImage image(path);
            if (!image.isNull()) {
                if (!image.save(out_ + target, "PNG"))
                    throw EInOutError(QStringLiteral("Cannot write file %1").arg(out_ + target));
                url = target;
            }
        }
        if (url.isEmpty()) warn(QStringLiteral("%1: picture %2 cannot be read").arg(label, name));
    }
    pictures_.insert(key, url);
    return url;
}

// One sequence: the topics with a browse string, by that string, then by ID.
void Exporter::browseSequence() {
    std::vector<int> order;
    for (int i = 0; i < int(topics_.size()); ++i)
        if (!topics_[size_t(i)].fields.bseq.trimmed().isEmpty()) order.push_back(i);
    const auto idLess = [this](int a, int b) {
        bool na = false, nb = false;
        const qlonglong x = topics_[size_t(a)].fields.id.toLongLong(&na);
        const qlonglong y = topics_[size_t(b)].fields.id.toLongLong(&nb);
        if (na && nb) return x < y;
        return topics_[size_t(a)].fields.id < topics_[size_t(b)].fields.id;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c =
            QString::compare(topics_[size_t(a)].fields.bseq.trimmed(),
                             topics_[size_t(b)].fields.bseq.trimmed(), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : idLess(a, b);
    });
    previous_.assign(topics_.size(), -1);
    next_.assign(topics_.size(), -1);
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0) previous_[size_t(order[k])] = order[k - 1];
        if (k + 1 < order.size()) next_[size_t(order[k])] = order[k + 1];
    }
}

QString Exporter::pageStart(const QString& title) const {
    QString s = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>");
    AppendHtmlEscaped(s, title);
    s +=
        QStringLiteral("</title>\n<link rel=\"stylesheet\" href=\"%1\">\n"
                       "<link rel=\"stylesheet\" href=\"%2\">\n</head>\n")
            .arg(QLatin1String(HtmlAssets::kStyleSheetName), QLatin1String(HtmlAssets::kLooksName));
    return s;
}

// The bar above every page; topic pages in the browse sequence add their neighbours.
QString Exporter::nav(int topic) const {
    QString s = QStringLiteral("<nav class=\"kh-nav\"><a href=\"index.html\">Contents</a>"
                               "<a href=\"keywords.html\">Index</a>"
                               "<a href=\"search.html\">Search</a>");
    if (topic >= 0 && (previous_[size_t(topic)] >= 0 || next_[size_t(topic)] >= 0)) {
        const auto link = [&](int to, const char* rel, const char* label) {
            if (to < 0) {
                s += QStringLiteral("<span class=\"kh-off\">%1</span>").arg(QLatin1String(label));
                return;
            }
            s += QStringLiteral("<a rel=\"%1\" href=\"").arg(QLatin1String(rel));
            AppendHtmlEscaped(s, topics_[size_t(to)].page);
            s += QStringLiteral("\" title=\"");
            AppendHtmlEscaped(s, topics_[size_t(to)].fields.name);
            s += QStringLiteral("\">%1</a>").arg(QLatin1String(label));
        };
        link(previous_[size_t(topic)], "prev", "&laquo; Previous");
        link(next_[size_t(topic)], "next", "Next &raquo;");
    }
    return s + QStringLiteral("</nav>\n");
}

void Exporter::writeTopicPage(int index) {
    const Topic& t = topics_[size_t(index)];
    const QString title = t.fields.name.isEmpty() ? topicLabel(t) : t.fields.name;
    QString s = pageStart(title);
    s.reserve(s.size() + t.html.header.size() + t.html.body.size() + 1024);
    s += QStringLiteral("<body data-topic=\"");
    AppendHtmlEscaped(s, t.fields.id);
    s += QStringLiteral("\">\n<header class=\"kh-top\">\n") + nav(index);
    if (!t.html.header.isEmpty())
        s += QStringLiteral("<div class=\"kh-title\">\n") + t.html.header +
             QStringLiteral("</div>\n");
    s += QStringLiteral("</header>\n<main class=\"kh-body\">\n") + t.html.body +
         QStringLiteral("</main>\n");
    // Each pop-up target's text, for the script to show over the page.
    for (const QString& target : t.html.popups) {
        const Topic& p = topics_[size_t(find(target))]; // pageOf found it
        s += QStringLiteral("<template id=\"kh-pop-");
        AppendHtmlEscaped(s, target);
        s += QStringLiteral("\">") + p.html.header + p.html.body + QStringLiteral("</template>\n");
    }
    s += QStringLiteral("<script src=\"%1\"></script>\n</body></html>\n")
             .arg(QLatin1String(HtmlAssets::kPopupScriptName));
    write(t.page, utf8(s));
}

void Exporter::writeContents() {
    struct Node {
        QString text, page, missing;
        bool book = false;
        std::vector<std::unique_ptr<Node>> children;
    };
    Node root;
    std::vector<std::pair<int, Node*>> open{{0, &root}};
    for (const QString& raw : project_.contents) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u':') || line.startsWith(u';')) continue;
        qsizetype digits = 0;
        while (digits < line.size() && line[digits].isDigit())
            ++digits;
        const int level = digits > 0 ? std::clamp(line.left(digits).toInt(), 1, 9) : 1;
        QString text = line.mid(digits).trimmed();
        auto node = std::make_unique<Node>();
        const qsizetype eq = text.lastIndexOf(u'=');
        if (eq < 0) {
            node->book = true;
            node->text = text;
        } else {
            node->text = text.left(eq).trimmed();
            QString context = text.mid(eq + 1).trimmed();
            context =
                context.left(context.indexOf(u'>')).trimmed(); // a window changes nothing here
            if (context.contains(u'@')) {
                node->missing = context; // a topic of another help file
            } else {
                const int found = find(context);
                if (found >= 0) {
                    node->page = topics_[size_t(found)].page;
                } else {
                    node->missing = context;
                    warn(QStringLiteral("Contents: \"%1\" names missing topic \"%2\"")
                             .arg(node->text, context));
                }
            }
        }
        while (open.size() > 1 && open.back().first >= level)
            open.pop_back();
        Node* parent = open.back().second;
        Node* added = node.get();
        parent->children.push_back(std::move(node));
        if (added->book) open.emplace_back(level, added);
    }
    // Without contents every topic is listed, so the pages can still be reached.
    if (root.children.empty()) {
        for (const Topic& t : topics_) {
            auto node = std::make_unique<Node>();
            node->text = t.fields.name.isEmpty() ? topicLabel(t) : t.fields.name;
            node->page = t.page;
            root.children.push_back(std::move(node));
        }
    }

    QString s = pageStart(project_.title + QStringLiteral(" - Contents"));
    s += QStringLiteral("<body>\n<header class=\"kh-top\">\n") + nav(-1) + QStringLiteral("<h1>");
    AppendHtmlEscaped(s, project_.title);
    s += QStringLiteral("</h1>\n</header>\n<main class=\"kh-body\">\n<ul class=\"kh-tree\">\n");
    const std::function<void(const Node&)> list = [&](const Node& n) {
        for (const auto& c : n.children) {
            if (c->book) {
                s += QStringLiteral("<li class=\"kh-book\"><details open><summary>");
                AppendHtmlEscaped(s, c->text);
                s += QStringLiteral("</summary>\n<ul>\n");
                list(*c);
                s += QStringLiteral("</ul></details></li>\n");
            } else if (!c->page.isEmpty()) {
                s += QStringLiteral("<li><a href=\"");
                AppendHtmlEscaped(s, c->page);
                s += QStringLiteral("\">");
                AppendHtmlEscaped(s, c->text);
                s += QStringLiteral("</a></li>\n");
            } else {
                s += QStringLiteral("<li><span class=\"kh-broken\" title=\"No topic ");
                AppendHtmlEscaped(s, c->missing);
                s += QStringLiteral("\">");
                AppendHtmlEscaped(s, c->text);
                s += QStringLiteral("</span></li>\n");
            }
        }
    };
    list(root);
    s += QStringLiteral("</ul>\n</main>\n</body></html>\n");
    write(kContentsPage, utf8(s));
}

void Exporter::writeKeywords() {
    struct Entry {
        QString shown;
        std::vector<int> topics;
    };
    std::map<QString, Entry> entries; // by the folded keyword, so "Print" and "print" meet
    for (int i = 0; i < int(topics_.size()); ++i) {
        for (const QString& k : topics_[size_t(i)].fields.keys.split(u';')) {
            const QString keyword = k.trimmed();
            if (keyword.isEmpty()) continue;
            Entry& e = entries[SearchWords(keyword).join(u' ') + u'\x01' + keyword.toLower()];
            if (e.shown.isEmpty()) e.shown = keyword;
            if (e.topics.empty() || e.topics.back() != i) e.topics.push_back(i);
        }
    }
    QString s = pageStart(project_.title + QStringLiteral(" - Index"));
    s += QStringLiteral("<body>\n<header class=\"kh-top\">\n") + nav(-1) +
         QStringLiteral("<h1>Index</h1>\n</header>\n<main class=\"kh-body\">\n"
                        "<ul class=\"kh-keywords\">\n");
    const auto topicLink = [&](int i, const QString& text) {
        s += QStringLiteral("<a href=\"");
        AppendHtmlEscaped(s, topics_[size_t(i)].page);
        s += QStringLiteral("\">");
        AppendHtmlEscaped(s, text);
        s += QStringLiteral("</a>");
    };
    for (const auto& [key, e] : entries) {
        s += QStringLiteral("<li>");
        if (e.topics.size() == 1) {
            topicLink(e.topics[0], e.shown);
        } else {
            AppendHtmlEscaped(s, e.shown);
            s += QStringLiteral("<ul>\n");
            for (const int i : e.topics) {
                s += QStringLiteral("<li>");
                const Topic& t = topics_[size_t(i)];
                topicLink(i, t.fields.name.isEmpty() ? topicLabel(t) : t.fields.name);
                s += QStringLiteral("</li>\n");
            }
            s += QStringLiteral("</ul>");
        }
        s += QStringLiteral("</li>\n");
    }
    s += QStringLiteral("</ul>\n</main>\n</body></html>\n");
    write(kKeywordsPage, utf8(s));
}

void Exporter::writeSearch() {
    // Word -> the pages that have it, as indexes into the page list. Looked
    // up by view, so a word already known costs no copy.
    struct ViewHash {
        size_t operator()(std::u16string_view v) const {
            return qHash(QStringView(v.data(), qsizetype(v.size())));
        }
    };
    std::unordered_map<std::u16string_view, int, ViewHash> wordIds;
    std::deque<QString> words; // the keys' storage: a deque does not move them
    std::vector<std::vector<int>> pages;
    QString lower;
    for (int i = 0; i < int(topics_.size()); ++i) {
        const Topic& t = topics_[size_t(i)];
        const auto add = [&](QStringView w) {
            bool ascii = true, upper = false;
            for (const QChar c : w) {
                ascii &= c.unicode() < 0x80;
                upper |= c.unicode() >= 'A' && c.unicode() <= 'Z';
            }
            QStringView word = w;
            if (!ascii) {
                lower = folded(w);
                word = lower;
            } else if (upper) {
                lower.resize(w.size());
                for (qsizetype k = 0; k < w.size(); ++k) {
                    const char16_t u = w[k].unicode();
                    lower[k] = QChar(u >= 'A' && u <= 'Z' ? u + 32 : u);
                }
                word = lower;
            }
            if (word.isEmpty()) return;
            const std::u16string_view key(word.utf16(), size_t(word.size()));
            auto it = wordIds.find(key);
            if (it == wordIds.end()) {
                words.push_back(word.toString());
                const QString& stored = words.back();
                it = wordIds
                         .emplace(std::u16string_view(
                                      reinterpret_cast<const char16_t*>(stored.constData()),
                                      size_t(stored.size())),
                                  int(pages.size()))
                         .first;
                pages.emplace_back();
            }
            std::vector<int>& p = pages[size_t(it->second)];
            if (p.empty() || p.back() != i) p.push_back(i);
        };
        forEachWord(t.fields.name, add);
        forEachWord(t.html.text, add);
    }
    QByteArray js = "// Made by the HTML export: the pages and the words they have.\n"
                    "var KIVHELP_SEARCH = {\"pages\": [\n";
    for (size_t i = 0; i < topics_.size(); ++i) {
        const Topic& t = topics_[i];
        js += i ? ",[" : "[";
        appendJsString(js, t.page);
        js += ',';
        appendJsString(js, t.fields.name.isEmpty() ? topicLabel(t) : t.fields.name);
        js += "]\n";
    }
    js += "],\n\"words\": {\n";
    for (size_t w = 0; w < words.size(); ++w) {
        if (w) js += ",\n";
        appendJsString(js, words[w]);
        js += ":[";
        char digits[16];
        for (size_t k = 0; k < pages[w].size(); ++k) {
            // Half a million numbers: written by hand, not through a string each.
            int n = pages[w][k], at = 16;
            do
                digits[--at] = char('0' + n % 10);
            while ((n /= 10) > 0);
            if (k) digits[--at] = ',';
            js.append(digits + at, 16 - at);
        }
        js += ']';
    }
    js += "\n}};\n";
    write(QLatin1String(HtmlAssets::kSearchDataName), js);

    QString s = pageStart(project_.title + QStringLiteral(" - Search"));
    s += QStringLiteral("<body>\n<header class=\"kh-top\">\n") + nav(-1) +
         QStringLiteral("<h1>Search</h1>\n<form action=\"search.html\" method=\"get\">"
                        "<input id=\"kh-q\" name=\"q\" type=\"search\" size=\"40\"> "
                        "<button type=\"submit\">Search</button></form>\n</header>\n"
                        "<main class=\"kh-body\">\n<p id=\"kh-status\"></p>\n"
                        "<ol id=\"kh-results\" class=\"kh-results\"></ol>\n</main>\n");
    s += QStringLiteral("<script src=\"%1\"></script>\n<script src=\"%2\"></script>\n")
             .arg(QLatin1String(HtmlAssets::kSearchDataName),
                  QLatin1String(HtmlAssets::kSearchScriptName));
    s += QStringLiteral("</body></html>\n");
    write(kSearchPage, utf8(s));
}

} // namespace

HtmlExportResult ExportHtml(const QString& outDir, const HtmlExportProject& project,
                            TopicSource& topics, const std::function<void(const QString&)>& warn) {
    return Exporter(outDir, project, warn).run(topics);
}

QStringList SearchWords(QStringView text) {
    QStringList out;
    forEachWord(text, [&out](QStringView w) { out << folded(w); });
    return out;
}
