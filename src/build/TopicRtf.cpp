#include "TopicRtf.h"

#include "Cp1252.h"
#include "KivError.h"
#include "KivForms.h"

#include <QFileDevice>

#include <algorithm>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool isCodeWordChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

bool continuesControlWord(QChar c) {
    return (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('-');
}

// The first \pard that stands as a word of its own (not \pardirnatural).
qsizetype firstPard(const QString& b) {
    qsizetype at = b.indexOf(QLatin1String("\\pard"));
    while (at >= 0 && at + 5 < b.size() && continuesControlWord(b[at + 5]))
        at = b.indexOf(QLatin1String("\\pard"), at + 5);
    return at;
}

bool isBlankOrBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Unescaped groups left open in an RTF text that continues from `depth` open
// groups; escaped braces and \\ do not count.
int openGroups(QStringView rtf, int depth = 0) {
    const char16_t* c = rtf.utf16();
    for (qsizetype i = 0, n = rtf.size(); i < n; ++i) {
        if (c[i] == u'\\') {
            ++i; // the escaped character, whatever it is
        } else if (c[i] == u'{') {
            ++depth;
        } else if (c[i] == u'}' && depth > 0) {
            --depth;
        }
    }
    return depth;
}

// Whether the text starts with "{" after blanks and control characters.
bool startsAsDocument(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace()) return c == QLatin1Char('{');
    return false;
}

// Plain text (or none) stored where a document belongs: wrapped in a minimal
// document so the compiler still gets valid RTF and the author's words survive.
QString wrapPlainText(const TopicFields& topic) {
    QString body;
    for (const QChar c : topic.text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
            body += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            body += QStringLiteral("\\par ");
        else if (c != QLatin1Char('\r'))
            body += c;
    }
    return QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;}") +
           FootnoteLines(topic) + QStringLiteral("\\pard ") + EscapeRtfText(body) +
           QStringLiteral("}") + kCrLf;
}

} // namespace

int SystemRegionEnd(const QString& text) {
    const int length = int(text.size());
    if (length == 0) return 0;
    qint16 depth = 0; // 16-bit like the stored format's readers expect
    qint16 groups = 0;
    bool warned = false;
    int i = 2;
    const auto* c = reinterpret_cast<const char16_t*>(text.constData());
    while (i <= length && groups < 2) {
        // Only a brace changes the counters, so only a brace can warn.
        const char16_t ch = c[i - 1];
        if (ch == u'{' || ch == u'}') {
            if (ch == u'{')
                ++depth;
            else if (--depth == 0)
                ++groups;
            // One warning per document: a box per character would bury the author.
            if (depth < 0 && !warned) {
                warned = true;
                KivShowMessage(QStringLiteral("Bad system region in RTF"));
            }
        }
        ++i;
    }
    while (i <= length && (text[i - 1] == QLatin1Char('\n') || text[i - 1] == QLatin1Char('\r')))
        ++i;
    return i;
}

QString EscapeRtfText(const QString& text) {
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 127; }))
        return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() <= 127) {
            out += c;
            continue;
        }
        const int b = Cp1252::byteFor(c);
        if (b >= 0)
            out += QStringLiteral("\\'%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        else // outside the code page: a Unicode escape with '?' for old readers
            out += QStringLiteral("\\u%1?").arg(qint16(c.unicode()));
    }
    return out;
}

QString FootnoteLines(const TopicFields& topic) {
    const std::pair<QChar, const QString*> notes[] = {
        {QLatin1Char('#'), &topic.id},   {QLatin1Char('$'), &topic.name},
        {QLatin1Char('+'), &topic.bseq}, {QLatin1Char('>'), &topic.window},
        {QLatin1Char('K'), &topic.keys}, {QLatin1Char('A'), &topic.akeys}};
    QString out;
    out.reserve(160);
    for (const auto& [mark, value] : notes) {
        if (value->isEmpty()) continue;
        out.append(mark)
            .append(QLatin1String("{\\footnote "))
            .append(mark)
            .append(QLatin1Char(' '));
        out.append(EscapeRtfText(*value)).append(QLatin1Char('}')).append(kCrLf);
    }
    return out;
}

void WriteFootnotes(QIODevice& out, const TopicFields& topic) {
    const QByteArray bytes = Cp1252::encode(FootnoteLines(topic));
    if (out.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write: %1").arg(out.errorString()));
}

void TranslateCodes(QString& b) {
    // One pass that copies the body into a new string, so a body with many
    // codes is not shifted once per code. `in` is the body as it stands
    // before the scan point: everything the scan has passed is in `out`.
    const QStringView in(b);
    const char16_t* c = in.utf16();
    const qsizetype n = in.size();
    QString out;
    qsizetype copied = 0; // in[0, copied) is in `out`
    bool changed = false;
    for (qsizetype at = in.indexOf(u'\\'); at >= 0 && at + 1 < n; at = in.indexOf(u'\\', at + 1)) {
        if (c[at + 1] != u'{') continue; // an escaped opening brace
        qsizetype q = at + 2;
        while (q < n && c[q] <= 32)
            ++q;
        const qsizetype wordStart = q;
        while (q < n && isCodeWordChar(QChar(c[q])))
            ++q;
        const QStringView word = in.mid(wordStart, q - wordStart);
        const auto is = [&word](const char* name) {
            return word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        };
        if (is("KEEPN")) {
            while (q < n && isBlankOrBreak(QChar(c[q])))
                ++q;
            if (q + 1 < n && c[q] == u'\\' && c[q + 1] == u'}') {
                if (!changed) out.reserve(n + 64);
                changed = true;
                out.append(in.mid(copied, at - copied));
                out.append(QLatin1String("\\par\\pard"));
                // A letter, digit or '-' right after \pard would merge with it
                // into another control word and swallow the text.
                if (q + 2 < n && continuesControlWord(QChar(c[q + 2])))
                    out.append(QLatin1Char(' '));
                // The first paragraph reset of the body: at the latest the one just written.
                out.insert(firstPard(out) + 5, QLatin1String("\\keepn"));
                copied = q + 2;
                at = q + 1;
            }
        } else if (is("HREF")) {
            while (q < n && isBlankOrBreak(QChar(c[q])))
                ++q;
            if (q + 1 < n && c[q] == u'=') {
                const qsizetype r = in.indexOf(u'}', q + 1);
                if (r > 0 && c[r - 1] == u'\\') {
                    if (!changed) out.reserve(n + 64);
                    changed = true;
                    out.append(in.mid(copied, at - copied));
                    out.append(QLatin1String("{\\v "));
                    out.append(in.mid(q + 1, r - 2 - q));
                    // The code's closing brace now closes the hidden text.
                    copied = r;
                    at = r;
                }
            }
        }
    }
    if (!changed) return;
    out.append(in.mid(copied));
    b = std::move(out);
}

QString TopicRtf(const TopicFields& topic) {
    const QString& t = topic.text;
    // An empty text too: footnotes alone are no RTF file, and the compiler
    // would drop the topic with its title and keywords.
    if (!startsAsDocument(t)) return wrapPlainText(topic);

    const int p = SystemRegionEnd(t);
    const QStringView header = QStringView(t).left(p - 1);

    // The body runs to the document's final closing brace; only what follows
    // that brace (a stray terminator) is dropped, so the outer group stays closed.
    const QStringView rest = QStringView(t).mid(p - 1);
    const qsizetype lastBrace = rest.lastIndexOf(u'}');
    QString body = (lastBrace >= 0 ? rest.left(lastBrace + 1) : rest).toString();
    TranslateCodes(body);
    // A document whose braces do not balance still reaches the compiler closed.
    // (The header ends after a closed group, so it escapes nothing of the body.)
    const int open = openGroups(body, openGroups(header));

    const QString footnotes = FootnoteLines(topic);
    QString out;
    out.reserve(header.size() + footnotes.size() + body.size() + open + 2);
    out.append(header).append(footnotes).append(body).append(QString(open, QLatin1Char('}')));
    return out.append(kCrLf);
}

void WriteTopicRtf(QIODevice& out, const TopicFields& topic) {
    const QByteArray bytes = Cp1252::encode(TopicRtf(topic));
    if (out.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write: %1").arg(out.errorString()));
}
