#include "TopicRtf.h"

#include "CodeScan.h"
#include "Cp1252.h"
#include "KivError.h"
#include "KivForms.h"

#include <QFileDevice>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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

namespace {

// The first { or } at or after `from`, or -1.
qsizetype nextBrace(const char16_t* c, qsizetype from, qsizetype n) {
    for (; from < n; ++from)
        if (c[from] == u'{' || c[from] == u'}') return from;
    return -1;
}

// The same over bytes, sixteen at a time where the platform allows.
qsizetype nextBrace(const uchar* c, qsizetype from, qsizetype n) {
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    for (; from + 16 <= n; from += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + from));
        const unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close))));
        if (mask != 0) return from + __builtin_ctz(mask);
    }
#endif
    for (; from < n; ++from)
        if (c[from] == '{' || c[from] == '}') return from;
    return -1;
}

// Unescaped groups left open in an RTF text that continues from `depth` open
// groups. Goes from brace to brace: a brace after an odd run of backslashes is
// escaped, and \\ escapes nothing. For 16-bit text and for bytes.
template <class Unit> int openGroups(const Unit* c, qsizetype n, int depth) {
    for (qsizetype p = nextBrace(c, 0, n); p >= 0; p = nextBrace(c, p + 1, n)) {
        qsizetype run = 0;
        while (run < p && c[p - 1 - run] == '\\')
            ++run;
        if (run % 2) continue;
        if (c[p] == '{')
            ++depth;
        else if (depth > 0)
            --depth;
    }
    return depth;
}

int openGroups(QStringView rtf, int depth = 0) {
    return openGroups(rtf.utf16(), rtf.size(), depth);
}

// Goes from brace to brace: nothing else moves the counters. For 16-bit
// text and for bytes.
template <class Unit> int regionEnd(const Unit* c, int length) {
    if (length == 0) return 0;
    qint16 depth = 0; // 16-bit like the stored format's readers expect
    qint16 groups = 0;
    bool warned = false;
    int i = 2;
    while (i <= length && groups < 2) {
        const qsizetype brace = nextBrace(c, i - 1, length);
        if (brace < 0) {
            i = length + 1;
            break;
        }
        i = int(brace) + 1;
        if (c[i - 1] == '{')
            ++depth;
        else if (--depth == 0)
            ++groups;
        // One warning per document: a box per character would bury the author.
        if (depth < 0 && !warned) {
            warned = true;
            KivShowMessage(QStringLiteral("Bad system region in RTF"));
        }
        ++i;
    }
    while (i <= length && (c[i - 1] == '\n' || c[i - 1] == '\r'))
        ++i;
    return i;
}

} // namespace

int SystemRegionEnd(const QString& text) {
    return regionEnd(reinterpret_cast<const char16_t*>(text.constData()), int(text.size()));
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
    // codes is not shifted once per code. Everything before `copied` is in `out`.
    const QStringView in(b);
    const auto* c = reinterpret_cast<const char16_t*>(in.utf16());
    const qsizetype n = in.size();
    QString out;
    qsizetype copied = 0;
    bool changed = false;
    ScanTopicCodes(c, n, [&](const TopicCode& code) {
        if (code.kind == TopicCode::Other) return;
        if (!changed) out.reserve(n + 64);
        changed = true;
        out.append(in.mid(copied, code.begin - copied));
        if (code.kind == TopicCode::Keepn) {
            out.append(QLatin1String("\\par\\pard"));
            // A letter, digit or '-' right after \pard would merge with it
            // into another control word and swallow the text.
            if (code.end < n && continuesControlWord(QChar(c[code.end])))
                out.append(QLatin1Char(' '));
            // The first paragraph reset of the body: at the latest the one just written.
            out.insert(firstPard(out) + 5, QLatin1String("\\keepn"));
            copied = code.end;
        } else {
            out.append(QLatin1String("{\\v "));
            out.append(in.mid(code.argBegin, code.argEnd - code.argBegin));
            // The code's closing brace now closes the hidden text.
            copied = code.end - 1;
        }
    });
    if (!changed) return;
    out.append(in.mid(copied));
    b = std::move(out);
}

QString TopicText(const TopicFields& topic) {
    return topic.storedText.isNull() ? topic.text : Cp1252::decode(topic.storedText);
}

QString TopicRtf(const TopicFields& topic) {
    if (!topic.storedText.isNull()) {
        TopicFields wide = topic;
        wide.text = TopicText(topic);
        wide.storedText = QByteArray();
        return TopicRtf(wide);
    }
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

// The same file made from the stored bytes, without widening the document to
// 16 bits and narrowing it again: each step mirrors its 16-bit counterpart above.
namespace {

bool continuesControlWord(uchar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
}

// The first \pard at or after `from` that stands as a word of its own.
qsizetype firstPard(const QByteArray& b, qsizetype from) {
    qsizetype at = b.indexOf("\\pard", from);
    while (at >= 0 && at + 5 < b.size() && continuesControlWord(uchar(b[at + 5])))
        at = b.indexOf("\\pard", at + 5);
    return at;
}

// TranslateCodes on bytes, appending the translated body to `out`.
void appendTranslated(QByteArray& out, const uchar* c, qsizetype n) {
    const char* in = reinterpret_cast<const char*>(c);
    const qsizetype bodyStart = out.size();
    qsizetype copied = 0;
    ScanTopicCodes(c, n, [&](const TopicCode& code) {
        if (code.kind == TopicCode::Other) return;
        out.append(in + copied, code.begin - copied);
        if (code.kind == TopicCode::Keepn) {
            out.append("\\par\\pard");
            if (code.end < n && continuesControlWord(c[code.end])) out.append(' ');
            out.insert(firstPard(out, bodyStart) + 5, "\\keepn");
            copied = code.end;
        } else {
            out.append("{\\v ");
            out.append(in + code.argBegin, code.argEnd - code.argBegin);
            copied = code.end - 1;
        }
    });
    out.append(in + copied, n - copied);
}

void appendEscaped(QByteArray& out, const QString& text) {
    static const char kHex[] = "0123456789ABCDEF";
    // Values are mostly plain ASCII: that part goes over in one piece.
    const auto* u = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype ascii = 0;
    while (ascii < text.size() && u[ascii] <= 127)
        ++ascii;
    const qsizetype start = out.size();
    out.resize(start + ascii);
    char* dst = out.data() + start;
    for (qsizetype i = 0; i < ascii; ++i)
        dst[i] = char(u[i]);
    for (const QChar c : QStringView(text).mid(ascii)) {
        if (c.unicode() <= 127) {
            out.append(char(c.unicode()));
            continue;
        }
        const int b = Cp1252::byteFor(c);
        if (b >= 0) {
            const char escape[4] = {'\\', '\'', kHex[b >> 4], kHex[b & 15]};
            out.append(escape, 4);
        } else {
            out.append("\\u").append(QByteArray::number(int(qint16(c.unicode())))).append('?');
        }
    }
}

void appendFootnotes(QByteArray& out, const TopicFields& topic) {
    const std::pair<char, const QString*> notes[] = {{'#', &topic.id},   {'$', &topic.name},
                                                     {'+', &topic.bseq}, {'>', &topic.window},
                                                     {'K', &topic.keys}, {'A', &topic.akeys}};
    for (const auto& [mark, value] : notes) {
        if (value->isEmpty()) continue;
        out.append(mark).append("{\\footnote ").append(mark).append(' ');
        appendEscaped(out, *value);
        out.append("}\r\n");
    }
}

bool startsAsDocument(const QByteArray& text) {
    for (const char c : text)
        if (!Cp1252::charFor(uchar(c)).isSpace()) return c == '{';
    return false;
}

} // namespace

QByteArray TopicRtfBytes(const TopicFields& topic) {
    bool complete = true;
    const QByteArray t =
        topic.storedText.isNull() ? Cp1252::encode(topic.text, &complete) : topic.storedText;
    // A character the code page lacks would read as '?' here; such texts and
    // plain texts take the 16-bit way.
    if (!complete || !startsAsDocument(t)) return Cp1252::encode(TopicRtf(topic));

    const auto* c = reinterpret_cast<const uchar*>(t.constData());
    const qsizetype headerSize = regionEnd(c, int(t.size())) - 1;
    const qsizetype lastBrace = t.lastIndexOf('}');
    const qsizetype bodyEnd = lastBrace >= headerSize ? lastBrace + 1 : t.size();

    QByteArray out;
    out.reserve(t.size() + 256);
    out.append(t.constData(), headerSize);
    appendFootnotes(out, topic);
    const qsizetype bodyStart = out.size();
    appendTranslated(out, c + headerSize, bodyEnd - headerSize);
    const auto* o = reinterpret_cast<const uchar*>(out.constData());
    const int open =
        openGroups(o + bodyStart, out.size() - bodyStart, openGroups(c, headerSize, 0));
    out.append(open, '}');
    return out.append("\r\n");
}

void WriteTopicRtf(QIODevice& out, const TopicFields& topic) {
    const QByteArray bytes = TopicRtfBytes(topic);
    if (out.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write: %1").arg(out.errorString()));
}
