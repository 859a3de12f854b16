#include "LinkCheck.h"

#include "CodeScan.h"
#include "Cp1252.h"

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>

namespace {

bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexDigit(uchar c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What a piece of stored RTF inside a code says as text: line breaks (which
// RTF ignores), groups and control words dropped, escapes decoded.
QString codeText(const uchar* c, qsizetype n) {
    // Most codes are plain ASCII, written as they read.
    qsizetype plain = 0;
    while (plain < n && c[plain] < 128 && c[plain] != '\\' && c[plain] != '{' && c[plain] != '}' &&
           c[plain] != '\r' && c[plain] != '\n')
        ++plain;
    if (plain == n) return QString::fromLatin1(reinterpret_cast<const char*>(c), n).trimmed();
    QString out;
    for (qsizetype i = 0; i < n; ++i) {
        const uchar ch = c[i];
        if (ch == '\r' || ch == '\n' || ch == '{' || ch == '}') continue;
        if (ch != '\\' || i + 1 == n) {
            out += Cp1252::charFor(ch);
            continue;
        }
        const uchar d = c[++i];
        if (d == '\\' || d == '{' || d == '}') {
            out += QChar(d);
        } else if (d == '\'') {
            const int hi = i + 1 < n ? hexDigit(c[i + 1]) : -1;
            const int lo = i + 2 < n ? hexDigit(c[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out += Cp1252::charFor(uchar(hi * 16 + lo));
                i += 2;
            }
        } else if (d == '~') {
            out += QLatin1Char(' ');
        } else if (isLetter(d)) {
            const qsizetype word = i;
            while (i + 1 < n && isLetter(c[i + 1]))
                ++i;
            const bool unicode = i == word && d == 'u';
            qsizetype digits = i + 1;
            if (digits < n && c[digits] == '-') ++digits;
            while (digits < n && c[digits] >= '0' && c[digits] <= '9')
                ++digits;
            if (unicode && digits > i + 1) {
                const int value = QByteArrayView(c + i + 1, digits - i - 1).toInt();
                out += QChar(char16_t(value));
                // The character for readers without Unicode follows.
                if (digits < n && c[digits] == '\\' && digits + 1 < n && c[digits + 1] == '\'')
                    digits += 4;
                else if (digits < n && c[digits] != '\\' && c[digits] != '{' && c[digits] != '}')
                    ++digits;
                i = digits - 1;
                continue;
            }
            i = digits - 1;
            if (digits < n && c[digits] == ' ') ++i; // the blank ends the word
        }
    }
    return out.trimmed();
}

// Whether the control word at `at` ("\ul", "\strike") turns its mark on:
// exactly that word, without a 0 after it.
bool markOn(const uchar* c, qsizetype at, qsizetype size, qsizetype n) {
    const qsizetype after = at + size;
    if (after < n && (isLetter(c[after]) || c[after] == '0')) return false;
    return true;
}

// The hotspot mark nearest before `to` that is switched on, looking back no
// further than `from`: 1 for a jump (struck through or double underlined), 2
// for a pop-up (underlined); else `mark`, the one before `from`. The mark
// stands right before its code, so the search is short.
int lastMark(const uchar* c, qsizetype from, qsizetype to, qsizetype n, int mark) {
    for (qsizetype at = to - 1; at >= from; --at) {
        if (c[at] != '\\') continue;
        const QByteArrayView rest(c + at, n - at);
        if ((rest.startsWith("\\strike") && markOn(c, at, 7, n)) ||
            (rest.startsWith("\\uldb") && markOn(c, at, 5, n)))
            return 1;
        if (rest.startsWith("\\ul") && markOn(c, at, 3, n)) return 2;
    }
    return mark;
}

QString label(const QString& id, const QString& name) {
    return id.isEmpty() ? QStringLiteral("Topic without ID (%1)").arg(name)
                        : QStringLiteral("Topic %1 (%2)").arg(id, name);
}

} // namespace

LinkCheck::LinkCheck(const QString& projectDir, const QStringList& windowNames,
                     const QStringList& contents)
    : dir_(projectDir) {
    for (const QString& w : windowNames)
        windows_.insert(w.toLower());
    // "level Title=context[@file][>window]"; books and commands reach nothing.
    for (const QString& raw : contents) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || !line[0].isDigit()) continue;
        qsizetype eq = -1;
        for (qsizetype i = 0; i < line.size(); ++i)
            if (line[i] == QLatin1Char('=') && (i == 0 || line[i - 1] != QLatin1Char('\\'))) {
                eq = i;
                break;
            }
        if (eq < 0) continue;
        QString context = line.mid(eq + 1);
        if (context.contains(QLatin1Char('@'))) continue; // a topic of another help file
        context = context.section(QLatin1Char('>'), 0, 0).trimmed();
        if (!context.isEmpty()) contentsTargets_.insert(context);
    }
}

bool LinkCheck::pictureExists(const QString& file) {
    if (file.contains(QLatin1Char('/')) || file.contains(QLatin1Char('\\')))
        return QFileInfo::exists(dir_ + QString(file).replace(QLatin1Char('\\'), QLatin1Char('/')));
    // One listing for all pictures; the compiler finds names in any case.
    if (!listed_) {
        listed_ = true;
        for (const QString& name : QDir(dir_).entryList(QDir::Files | QDir::Hidden))
            files_.insert(name.toLower());
    }
    return files_.contains(file.toLower());
}

void LinkCheck::scan(Topic& topic, const QByteArray& text) {
    const auto* c = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    qsizetype markedTo = 0;
    int mark = 0;
    ScanTopicCodes(c, n, [&](const TopicCode& code) {
        if (code.kind == TopicCode::HRef) {
            const QString target = codeText(c + code.argBegin, code.argEnd - code.argBegin);
            if (target.startsWith(QLatin1Char('!'))) return; // a macro
            mark = lastMark(c, markedTo, code.begin, n, mark);
            markedTo = code.begin;
            const bool popup = mark == 2;
            const qsizetype gt = target.indexOf(QLatin1Char('>'));
            const QString context = QStringView(target).left(gt).trimmed().toString();
            if (gt >= 0) {
                const QStringView window = QStringView(target).mid(gt + 1).trimmed();
                // Links mostly name one window: it is looked up once.
                if (!window.isEmpty() && window != lastWindow_) {
                    if (windows_.contains(window.toString().toLower()))
                        lastWindow_ = window.toString();
                    else
                        topic.own << QStringLiteral("%1 to topic %2 in undefined window %3")
                                         .arg(popup ? QStringLiteral("pop-up")
                                                    : QStringLiteral("jump"),
                                              context, window);
                }
            }
            // Another help file's topic ("ctx@file") is not this project's to check.
            if (!context.contains(QLatin1Char('@'))) topic.links.push_back({context, popup});
        } else if (code.kind == TopicCode::Other && code.argBegin >= 0) {
            const qsizetype size = code.wordEnd - code.wordBegin;
            const uchar* word = c + code.wordBegin;
            if (!topiccodes::sameWord(word, size, "BMC") &&
                !topiccodes::sameWord(word, size, "BML") &&
                !topiccodes::sameWord(word, size, "BMR"))
                return;
            const QString file = codeText(c + code.argBegin, code.argEnd - code.argBegin);
            if (file.isEmpty())
                topic.own << QStringLiteral("picture without a file name");
            else if (!pictureExists(file))
                topic.own << QStringLiteral("missing picture %1").arg(file);
        }
    });
}

void LinkCheck::add(const TopicFields& fields) {
    Topic topic{fields.id, fields.name, {}, {}};
    scan(topic, fields.storedText.isNull() ? Cp1252::encode(fields.text) : fields.storedText);
    const QString window = fields.window.isEmpty() ? QString() : fields.window.trimmed();
    if (!window.isEmpty() && !windows_.contains(window.toLower()))
        topic.own << QStringLiteral("shown in undefined window %1").arg(window);
    // A browse sequence reaches the topic with the browse buttons.
    if (!QStringView(fields.bseq).trimmed().isEmpty()) topic.reached = true;
    ids_.insert(fields.id, qsizetype(topics_.size()));
    topics_.push_back(std::move(topic));
}

LinkFindings LinkCheck::findings(bool wholeProject) const {
    LinkFindings result;
    // One look-up per link: whether its target exists, and which topic it reaches.
    std::vector<char> reached(topics_.size(), 0);
    std::vector<const Link*> missing;
    for (qsizetype i = 0; i < qsizetype(topics_.size()); ++i) {
        for (const Link& link : topics_[size_t(i)].links) {
            const auto target = ids_.constFind(link.target);
            if (target == ids_.cend())
                missing.push_back(&link);
            else if (*target >= 0 && *target != i) // a link to itself reaches nothing new
                reached[size_t(*target)] = 1;
        }
    }
    auto nextMissing = missing.cbegin();
    QHash<QString, QString> titles; // title -> the first topic's ID
    for (qsizetype i = 0; i < qsizetype(topics_.size()); ++i) {
        const Topic& t = topics_[size_t(i)];
        QString who; // made for topics with findings only
        const auto report = [&](const QString& what) {
            if (who.isEmpty()) who = label(t.id, t.name) + QStringLiteral(": ");
            result.lines << who + what;
        };
        for (const Link& link : t.links) {
            if (nextMissing == missing.cend() || *nextMissing != &link) continue;
            ++nextMissing;
            result.missingTargets = true;
            const QString kind = link.popup ? QStringLiteral("pop-up") : QStringLiteral("jump");
            report(link.target.isEmpty()
                       ? kind + QStringLiteral(" without a target topic")
                       : kind + QStringLiteral(" to missing topic ") + link.target);
        }
        for (const QString& line : t.own)
            report(line);
        if (!wholeProject) continue;
        const QString title = t.name.trimmed();
        if (!title.isEmpty()) {
            const auto first = titles.constFind(title);
            if (first == titles.cend())
                titles.insert(title, t.id);
            else
                report(QStringLiteral("title also used by topic %1").arg(*first));
        }
        // The help file opens on its first topic.
        if (i > 0 && !t.reached && !reached[size_t(i)] && !contentsTargets_.contains(t.id))
            report(QStringLiteral("not reached by any jump, pop-up, contents line or browse "
                                  "sequence"));
    }
    return result;
}
