#include "HtmlTopic.h"

#include "richtext/RtfReader.h"
#include "richtext/RtfTables.h"

#include <QColor>
#include <QTextCharFormat>

#include <algorithm>
#include <vector>

namespace {

// What a character format looks like on the page, worked out once per
// format of a document.
struct Look {
    int cls = -1;    // the whole look
    int hotCls = -1; // inside a link
    bool strike = false;
    bool underline = false;
};

enum class Kind { HRef, Keepn, Picture, Button };

struct Code {
    qsizetype start, end; // [start, end) in the block's text
    Kind kind;
    QString arg;            // target, picture file or "caption,macro"
    QChar align;            // c, l or r for pictures
    qsizetype hotspot = -1; // start of the hotspot before an HRef code, or -1
    bool popup = false;
};

// Font names go into a style attribute: only harmless characters.
QString cssFamily(const QString& name) {
    QString safe;
    for (const QChar c : name)
        if (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') ||
            c == QLatin1Char('_'))
            safe += c;
    safe = safe.trimmed();
    const QString lower = safe.toLower();
    const char* generic = "sans-serif";
    if (lower.contains(QLatin1String("courier")) || lower.contains(QLatin1String("mono")) ||
        lower.contains(QLatin1String("console")))
        generic = "monospace";
    else if ((lower.contains(QLatin1String("times")) || lower.contains(QLatin1String("roman")) ||
              lower.contains(QLatin1String("serif"))) &&
             !lower.contains(QLatin1String("sans")))
        generic = "serif";
    else if (lower == QLatin1String("symbol"))
        generic = "serif";
    if (safe.isEmpty()) return QLatin1String(generic);
    return QLatin1Char('\'') + safe + QStringLiteral("',") + QLatin1String(generic);
}

HtmlLooks::Key keyOf(const QTextCharFormat& f, bool inLink) {
    HtmlLooks::Key key;
    key.family = Rtf::familyOf(f);
    if (f.hasProperty(QTextFormat::FontPointSize)) key.points = f.fontPointSize();
    if (f.fontWeight() >= QFont::DemiBold) key.flags |= 1;
    if (f.fontItalic()) key.flags |= 2;
    if (inLink) return key;
    if (f.fontUnderline()) key.flags |= 4;
    if (f.fontStrikeOut()) key.flags |= 8;
    if (f.foreground().style() != Qt::NoBrush) {
        key.hasColor = true;
        key.color = f.foreground().color().rgb();
    }
    return key;
}

QString cssOf(const HtmlLooks::Key& key) {
    QString css;
    if (!key.family.isEmpty()) css += QStringLiteral("font-family:") + cssFamily(key.family) + u';';
    if (key.points > 0) css += QStringLiteral("font-size:%1pt;").arg(key.points);
    if (key.flags & 1) css += QStringLiteral("font-weight:bold;");
    if (key.flags & 2) css += QStringLiteral("font-style:italic;");
    if (key.hasColor) css += QStringLiteral("color:") + QColor(key.color).name() + u';';
    if (key.flags & 12)
        css += QStringLiteral("text-decoration:") +
               ((key.flags & 12) == 12 ? QStringLiteral("underline line-through")
                : key.flags & 4        ? QStringLiteral("underline")
                                       : QStringLiteral("line-through")) +
               u';';
    return css;
}

bool isWordChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

bool isBlank(QChar c) {
    return c.unicode() <= 32 || c == QChar::LineSeparator;
}

// The codes of one paragraph's text, in order.
std::vector<Code> findCodes(const QString& t) {
    std::vector<Code> codes;
    const qsizetype n = t.size();
    for (qsizetype i = t.indexOf(u'{'); i >= 0; i = t.indexOf(u'{', i + 1)) {
        qsizetype q = i + 1;
        while (q < n && isBlank(t[q]))
            ++q;
        const qsizetype wordStart = q;
        while (q < n && isWordChar(t[q]))
            ++q;
        const QString word = t.mid(wordStart, q - wordStart).toLower();
        const qsizetype close = t.indexOf(u'}', q);
        if (close < 0) break; // no code can end in this paragraph
        qsizetype k = q;
        while (k < n && isBlank(t[k]))
            ++k;
        Code code{i, close + 1, Kind::HRef, {}, {}};
        if (word == QLatin1String("href")) {
            if (k >= n || t[k] != u'=') continue;
            code.arg = t.mid(k + 1, close - k - 1).trimmed();
        } else if (word == QLatin1String("keepn")) {
            if (k != close) continue;
            code.kind = Kind::Keepn;
        } else if (word.size() >= 3 && word.size() <= 4 && word.startsWith(QLatin1String("bm")) &&
                   QStringLiteral("clr").contains(word[2]) &&
                   (word.size() == 3 || word[3] == u't')) {
            if (q == k && q != close) continue; // "{bmcx ...}" is no picture
            code.kind = Kind::Picture;
            code.align = word[2];
            code.arg = t.mid(q, close - q).trimmed();
        } else if (word == QLatin1String("button")) {
            if (q == k && q != close) continue;
            code.kind = Kind::Button;
            code.arg = t.mid(q, close - q).trimmed();
        } else {
            continue;
        }
        codes.push_back(code);
        i = close;
    }
    return codes;
}

// Receives the reader's paragraphs one by one and writes each as it ends.
class Converter : public RtfContent {
public:
    Converter(HtmlTopicLinks& links, HtmlLooks& looks) : links_(links), htmlLooks_(looks) {}
    TopicHtml take() { return std::move(result_); }

    void text(const QString& text, const Rtf::CharProps& props, RtfFormats& formats) override;
    void paragraph(const Rtf::ParaProps& props) override {
        block(props);
        any_ = true;
    }
    void end(const Rtf::ParaProps& props, bool endedWithPar) override {
        // An empty document has no paragraph at all.
        if (!endedWithPar && (any_ || !text_.isEmpty())) block(props);
        closePara();
    }

private:
    HtmlTopicLinks& links_;
    HtmlLooks& htmlLooks_;
    TopicHtml result_;
    QString* out_ = &result_.body;
    bool split_ = false;
    bool any_ = false;
    // The looks of this document, by the reader's properties: few per document.
    std::vector<std::pair<Rtf::CharProps, Look>> looks_;

    // The paragraph being written.
    QString paraTag_;
    bool paraOpen_ = false;

    // The block's visible text and, per character, the format index it has.
    QString text_;
    std::vector<int> formats_;

    const Look& look(int index) const { return looks_[size_t(index)].second; }
    void block(const Rtf::ParaProps& props);
    void openPara() {
        if (paraOpen_) return;
        out_->append(paraTag_);
        paraOpen_ = true;
    }
    void closePara() {
        if (!paraOpen_) return;
        out_->append(QLatin1String("</p>\n"));
        paraOpen_ = false;
    }
    void emitText(qsizetype from, qsizetype to, bool inHotspot);
    void emitCode(const Code& code);
    void words(QStringView text) { result_.text.append(text).append(u' '); }
};

QString paragraphTag(const Rtf::ParaProps& p) {
    QString style;
    switch (p.align) {
    case Rtf::Align::Center:
        style += QStringLiteral("text-align:center;");
        break;
    case Rtf::Align::Right:
        style += QStringLiteral("text-align:right;");
        break;
    case Rtf::Align::Justify:
        style += QStringLiteral("text-align:justify;");
        break;
    case Rtf::Align::Left:
        break;
    }
    const auto px = [](int twips) { return Rtf::twipsToPixels(twips); };
    if (p.leftIndent) style += QStringLiteral("margin-left:%1px;").arg(px(p.leftIndent));
    if (p.rightIndent) style += QStringLiteral("margin-right:%1px;").arg(px(p.rightIndent));
    if (p.firstIndent) style += QStringLiteral("text-indent:%1px;").arg(px(p.firstIndent));
    if (p.leftIndent == 0 && p.rightIndent == 0 && p.firstIndent == 0 &&
        p.align == Rtf::Align::Left && !p.bullet)
        return QStringLiteral("<p>");
    QString tag = QStringLiteral("<p");
    if (p.bullet) tag += QStringLiteral(" class=\"kh-bullet\"");
    if (!style.isEmpty()) tag += QStringLiteral(" style=\"") + style + u'"';
    return tag + u'>';
}

void Converter::text(const QString& text, const Rtf::CharProps& props, RtfFormats& formats) {
    if (props.hidden) return; // hidden text is not shown by the viewer either
    size_t index = 0;
    while (index < looks_.size() && !(looks_[index].first == props))
        ++index;
    if (index == looks_.size()) {
        const QTextCharFormat& format = formats.charFormat(props);
        Look look;
        look.cls = htmlLooks_.classOf(format, false);
        look.hotCls = htmlLooks_.classOf(format, true);
        look.underline = format.fontUnderline();
        look.strike = format.fontStrikeOut();
        looks_.emplace_back(props, look);
    }
    text_ += text;
    formats_.insert(formats_.end(), size_t(text.size()), int(index));
}

void Converter::block(const Rtf::ParaProps& props) {
    std::vector<Code> codes = findCodes(text_);

    // A link's hotspot is the run right before its code that is struck through
    // (a jump) or underlined (a pop-up), as the help compiler reads it.
    qsizetype previousEnd = 0;
    for (Code& c : codes) {
        if (c.kind == Kind::HRef && c.start > previousEnd) {
            const Look& before = look(formats_[size_t(c.start - 1)]);
            if (before.strike || before.underline) {
                c.popup = !before.strike;
                qsizetype s = c.start - 1;
                while (s > previousEnd) {
                    const Look& l = look(formats_[size_t(s - 1)]);
                    if ((c.popup ? l.underline && !l.strike : l.strike) == false) break;
                    --s;
                }
                c.hotspot = s;
            }
        }
        previousEnd = c.end;
    }

    paraTag_ = paragraphTag(props);
    qsizetype at = 0;
    bool wroteSomething = false;
    for (const Code& c : codes) {
        const qsizetype textEnd = c.hotspot >= 0 ? c.hotspot : c.start;
        if (textEnd > at) {
            emitText(at, textEnd, false);
            wroteSomething = true;
        }
        if (c.kind == Kind::Keepn) {
            if (!split_) {
                // Everything so far was the title region.
                closePara();
                result_.header = std::move(result_.body);
                result_.body.clear();
                out_ = &result_.body;
                split_ = true;
                paraTag_ = QStringLiteral("<p>");
                wroteSomething = true; // the rest of this paragraph may be empty
            }
        } else if (c.kind == Kind::HRef) {
            if (c.hotspot >= 0) {
                openPara();
                if (c.arg.startsWith(u'!')) {
                    out_->append(QLatin1String("<span class=\"kh-macro\" title=\""));
                    AppendHtmlEscaped(*out_, QStringView(c.arg).mid(1).trimmed());
                    out_->append(QLatin1String("\">"));
                    emitText(c.hotspot, c.start, true);
                    out_->append(QLatin1String("</span>"));
                } else {
                    const qsizetype gt = c.arg.indexOf(u'>');
                    const QString target = (gt >= 0 ? c.arg.left(gt) : c.arg).trimmed();
                    const QString page = links_.pageOf(target);
                    if (page.isEmpty()) {
                        out_->append(QLatin1String("<span class=\"kh-broken\" title=\"No topic "));
                        AppendHtmlEscaped(*out_, target);
                        out_->append(QLatin1String("\">"));
                        emitText(c.hotspot, c.start, true);
                        out_->append(QLatin1String("</span>"));
                    } else {
                        out_->append(QLatin1String(c.popup ? "<a class=\"kh-popup\" href=\""
                                                           : "<a class=\"kh-jump\" href=\""));
                        AppendHtmlEscaped(*out_, page);
                        if (c.popup) {
                            out_->append(QLatin1String("\" data-popup=\""));
                            AppendHtmlEscaped(*out_, target);
                            if (!result_.popups.contains(target)) result_.popups << target;
                        } else if (gt >= 0) {
                            out_->append(QLatin1String("\" data-window=\""));
                            AppendHtmlEscaped(*out_, c.arg.mid(gt + 1).trimmed());
                        }
                        out_->append(QLatin1String("\">"));
                        emitText(c.hotspot, c.start, true);
                        out_->append(QLatin1String("</a>"));
                    }
                }
                wroteSomething = true;
            }
        } else {
            emitCode(c);
            wroteSomething = true;
        }
        at = c.end;
    }
    if (at < text_.size()) {
        emitText(at, text_.size(), false);
        wroteSomething = true;
    }
    if (!wroteSomething) {
        openPara();
        out_->append(QLatin1String("<br>")); // an empty line keeps its height
    }
    closePara();
    result_.text.append(u'\n');
    text_.clear();
    formats_.clear();
}

void Converter::emitText(qsizetype from, qsizetype to, bool inHotspot) {
    openPara();
    words(QStringView(text_).mid(from, to - from));
    qsizetype runStart = from;
    while (runStart < to) {
        const int format = formats_[size_t(runStart)];
        qsizetype runEnd = runStart + 1;
        while (runEnd < to && formats_[size_t(runEnd)] == format)
            ++runEnd;
        const Look& l = look(format);
        const int cls = inHotspot ? l.hotCls : l.cls;
        if (cls >= 0) {
            out_->append(QLatin1String("<span class=\"k"));
            out_->append(QString::number(cls));
            out_->append(QLatin1String("\">"));
        }
        const QStringView piece = QStringView(text_).mid(runStart, runEnd - runStart);
        qsizetype line = 0;
        for (qsizetype k = 0; k < piece.size(); ++k) {
            const QChar c = piece[k];
            if (c == QChar::LineSeparator || (c.unicode() < 32 && c != u'\t')) {
                AppendHtmlEscaped(*out_, piece.mid(line, k - line));
                if (c == QChar::LineSeparator) out_->append(QLatin1String("<br>"));
                line = k + 1;
            }
        }
        AppendHtmlEscaped(*out_, piece.mid(line));
        if (cls >= 0) out_->append(QLatin1String("</span>"));
        runStart = runEnd;
    }
}

void Converter::emitCode(const Code& c) {
    openPara();
    if (c.kind == Kind::Button) {
        const qsizetype comma = c.arg.indexOf(u',');
        const QString caption = (comma >= 0 ? c.arg.left(comma) : c.arg).trimmed();
        const QString macro = comma >= 0 ? c.arg.mid(comma + 1).trimmed() : QString();
        out_->append(QLatin1String("<button type=\"button\" class=\"kh-button\" title=\""));
        AppendHtmlEscaped(*out_, macro);
        out_->append(QLatin1String("\">"));
        AppendHtmlEscaped(*out_, caption);
        out_->append(QLatin1String("</button>"));
        words(caption);
        return;
    }
    // Pictures: the name without any folder; the project folder holds them.
    QString name = c.arg;
    name = name.mid(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    const QString url = name.isEmpty() ? QString() : links_.pictureUrl(name);
    const char* cls = c.align == u'l' ? "kh-bml" : c.align == u'r' ? "kh-bmr" : "kh-bmc";
    if (url.isEmpty()) {
        out_->append(QStringLiteral("<span class=\"kh-missing %1\" title=\"Missing picture\">")
                         .arg(QLatin1String(cls)));
        AppendHtmlEscaped(*out_, name.isEmpty() ? QStringLiteral("picture") : name);
        out_->append(QLatin1String("</span>"));
        return;
    }
    out_->append(QStringLiteral("<img class=\"%1\" src=\"").arg(QLatin1String(cls)));
    AppendHtmlEscaped(*out_, url);
    out_->append(QLatin1String("\" alt=\""));
    AppendHtmlEscaped(*out_, name);
    out_->append(QLatin1String("\">"));
}

} // namespace

void AppendHtmlEscaped(QString& out, QStringView text) {
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char* entity = nullptr;
        switch (c) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&#39;";
            break;
        default:
            continue;
        }
        out.append(text.mid(plain, i - plain));
        out.append(QLatin1String(entity));
        plain = i + 1;
    }
    out.append(text.mid(plain));
}

QString HtmlEscaped(QStringView text) {
    QString out;
    AppendHtmlEscaped(out, text);
    return out;
}

int HtmlLooks::classOf(const QTextCharFormat& format, bool inLink) {
    const Key key = keyOf(format, inLink);
    if (key == Key()) return -1; // nothing to say: the page's own look
    const auto it = classes_.constFind(key);
    if (it != classes_.constEnd()) return *it;
    css_ << cssOf(key);
    return *classes_.insert(key, int(css_.size() - 1));
}

QByteArray HtmlLooks::styleSheet() const {
    QByteArray out = "/* The character looks of the topics. */\n";
    for (qsizetype i = 0; i < css_.size(); ++i)
        out += ".k" + QByteArray::number(i) + " { " + css_[i].toUtf8() + " }\n";
    return out;
}

size_t qHash(const HtmlLooks::Key& key, size_t seed) {
    return qHashMulti(seed, key.family, key.points, key.color, key.hasColor, key.flags);
}

TopicHtml TopicToHtml(const QByteArray& rtf, HtmlTopicLinks& links, HtmlLooks& looks) {
    Converter converter(links, looks);
    RtfReader::read(rtf, converter);
    return converter.take();
}
