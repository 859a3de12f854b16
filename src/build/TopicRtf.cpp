#include "TopicRtf.h"

#include "Cp1252.h"
#include "KivError.h"
#include "KivForms.h"

#include <QFileDevice>

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

bool isBlankOrBreak(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// Unescaped groups left open in an RTF text; escaped braces and \\ do not count.
int openGroups(const QString& rtf) {
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const QChar c = rtf[i];
        if (c == QLatin1Char('\\')) {
            ++i; // the escaped character, whatever it is
        } else if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}') && depth > 0) {
            --depth;
        }
    }
    return depth;
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
    qint16 depth = 0;  // 16-bit like the stored format's readers expect
    qint16 groups = 0;
    bool warned = false;
    int i = 2;
    while (i <= length && groups < 2) {
        const QChar c = text[i - 1];
        if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}')) {
            --depth;
            if (depth == 0) ++groups;
        }
        // One warning per document: a box per character would bury the author.
        if (depth < 0 && !warned) {
            warned = true;
            KivShowMessage(QStringLiteral("Bad system region in RTF"));
        }
        ++i;
    }
    while (i <= length && (text[i - 1] == QLatin1Char('\n') || text[i - 1] == QLatin1Char('\r'))) ++i;
    return i;
}

QString EscapeRtfText(const QString& text) {
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
        {QLatin1Char('#'), &topic.id},     {QLatin1Char('$'), &topic.name},
        {QLatin1Char('+'), &topic.bseq},   {QLatin1Char('>'), &topic.window},
        {QLatin1Char('K'), &topic.keys},   {QLatin1Char('A'), &topic.akeys}};
    QString out;
    for (const auto& [mark, value] : notes) {
        if (value->isEmpty()) continue;
        out += mark + QStringLiteral("{\\footnote ") + mark + QLatin1Char(' ') +
               EscapeRtfText(*value) + QLatin1Char('}') + kCrLf;
    }
    return out;
}

void WriteFootnotes(QIODevice& out, const TopicFields& topic) {
    const QByteArray bytes = Cp1252::encode(FootnoteLines(topic));
    if (out.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write: %1").arg(out.errorString()));
}

void TranslateCodes(QString& b) {
    // Positions are 1-based as in the scan's description: at(i) is B[i].
    auto at = [&b](int i) { return b[i - 1]; };
    int i = 2;
    while (i <= b.size()) {
        if (at(i - 1) == QLatin1Char('\\') && at(i) == QLatin1Char('{')) {
            int q = i + 1;
            while (q <= b.size() && at(q).unicode() <= 32) ++q;
            const int wordStart = q;
            while (q <= b.size() && isCodeWordChar(at(q))) ++q;
            const QString word = b.mid(wordStart - 1, q - wordStart).toUpper();
            if (word == QLatin1String("KEEPN")) {
                while (q <= b.size() && isBlankOrBreak(at(q))) ++q;
                if (q < b.size() && at(q) == QLatin1Char('\\') && at(q + 1) == QLatin1Char('}')) {
                    // A letter, digit or '-' right after \pard would merge with it
                    // into another control word and swallow the text.
                    QString reset = QStringLiteral("\\par\\pard");
                    if (q + 2 <= b.size() && continuesControlWord(at(q + 2))) reset += QLatin1Char(' ');
                    b.replace(i - 2, q + 1 - (i - 1) + 1, reset);
                    i += int(reset.size()) - 1;
                    b.insert(firstPard(b) + 5, QStringLiteral("\\keepn"));
                    i += 6;
                }
            } else if (word == QLatin1String("HREF")) {
                while (q <= b.size() && isBlankOrBreak(at(q))) ++q;
                if (q < b.size() && at(q) == QLatin1Char('=')) {
                    const int r = int(b.indexOf(QLatin1Char('}'), q)) + 1; // at or after q + 1
                    if (r > 0 && at(r - 1) == QLatin1Char('\\')) {
                        const QString target = b.mid(q, (r - 2) - (q + 1) + 1);
                        b.replace(i - 2, (r - 1) - (i - 1) + 1, QStringLiteral("{\\v ") + target);
                        i = i - 1 + 4 + int(target.size());
                    }
                }
            }
        }
        ++i;
    }
}

QString TopicRtf(const TopicFields& topic) {
    const QString& t = topic.text;
    // An empty text too: footnotes alone are no RTF file, and the compiler
    // would drop the topic with its title and keywords.
    if (!t.trimmed().startsWith(QLatin1Char('{'))) return wrapPlainText(topic);

    const int p = SystemRegionEnd(t);
    const QString header = p > 0 ? t.left(p - 1) : QString();

    // The body runs to the document's final closing brace; only what follows
    // that brace (a stray terminator) is dropped, so the outer group stays closed.
    QString body = p > 0 ? t.mid(p - 1) : QString();
    const qsizetype lastBrace = body.lastIndexOf(QLatin1Char('}'));
    if (lastBrace >= 0) body.truncate(lastBrace + 1);
    TranslateCodes(body);
    // A document whose braces do not balance still reaches the compiler closed.
    const QString closing(openGroups(header + body), QLatin1Char('}'));
    return header + FootnoteLines(topic) + body + closing + kCrLf;
}

void WriteTopicRtf(QIODevice& out, const TopicFields& topic) {
    const QByteArray bytes = Cp1252::encode(TopicRtf(topic));
    if (out.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write: %1").arg(out.errorString()));
}
