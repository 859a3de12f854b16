#include "IniFile.h"

#include "Cp1252.h"
#include "KivError.h"
#include "TextFiles.h"

#include <QFileInfo>

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

} // namespace

IniFile::IniFile(const QString& path) : path_(path) {
    if (!QFileInfo::exists(path)) return;
    try {
        parse(ReadFileBytes(path));
    } catch (const EInOutError&) {
        unreadable_ = true;
    }
}

IniFile IniFile::fromBytes(const QByteArray& bytes) {
    IniFile ini;
    ini.parse(bytes);
    return ini;
}

void IniFile::parse(const QByteArray& bytes) {
    sections_.clear();
    sections_.push_back(Section{});
    for (const QString& text : SplitTextLines(Cp1252::decode(bytes))) {
        const QString t = text.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']'))) {
            sections_.push_back(Section{t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed(), {}});
            sections_.back().lines.push_back(Line{text, {}, {}});
            continue;
        }
        Line line{text, {}, {}};
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (!t.startsWith(QLatin1Char(';')) && eq > 0) {
            line.key = t.left(eq).trimmed();
            line.value = t.mid(eq + 1).trimmed();
            // As the system's own INI reader does: a quoted value loses its quotes,
            // so a hand-written path with blanks in quotes reads as the path.
            if (line.value.size() >= 2 && line.value.startsWith(QLatin1Char('"')) &&
                line.value.endsWith(QLatin1Char('"')))
                line.value = line.value.mid(1, line.value.size() - 2);
        }
        sections_.back().lines.push_back(line);
    }
}

const IniFile::Section* IniFile::findSection(const QString& name) const {
    if (name.trimmed().isEmpty()) return nullptr;
    for (const Section& s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, name.trimmed())) return &s;
    return nullptr;
}

IniFile::Section* IniFile::findSection(const QString& name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const IniFile::Line* IniFile::findKey(const Section& section, const QString& key) {
    for (const Line& line : section.lines)
        if (!line.key.isEmpty() && sameName(line.key, key.trimmed())) return &line;
    return nullptr;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const Section* s = findSection(section);
    const Line* line = s ? findKey(*s, key) : nullptr;
    return line ? line->value : defaultValue;
}

QStringList IniFile::readSection(const QString& section) const {
    QStringList keys;
    if (const Section* s = findSection(section))
        for (const Line& line : s->lines)
            if (!line.key.isEmpty() && findKey(*s, line.key) == &line) keys << line.key;
    return keys;
}

QStringList IniFile::sections() const {
    QStringList names;
    for (const Section& s : sections_)
        if (!s.name.isEmpty() && findSection(s.name) == &s) names << s.name;
    return names;
}

bool IniFile::sectionExists(const QString& section) const {
    return findSection(section);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString sec = section.trimmed(), k = key.trimmed(), v = value.trimmed();
    // Anything that would read back as a different structure is refused.
    if (sec.isEmpty() || k.isEmpty() || sec.contains(QLatin1Char(']')) ||
        k.contains(QLatin1Char('=')) || k.startsWith(QLatin1Char(';')) ||
        k.startsWith(QLatin1Char('[')) || hasLineBreak(sec) || hasLineBreak(k) || hasLineBreak(v))
        throw EKivError(QStringLiteral("Invalid INI entry [%1] %2").arg(section, key));
    if (unreadable_)
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\"; it is left unchanged").arg(path_));

    std::vector<Section> before = sections_;
    Section* s = findSection(sec);
    if (!s) {
        sections_.push_back(
            Section{sec, {Line{QLatin1Char('[') + sec + QLatin1Char(']'), {}, {}}}});
        s = &sections_.back();
    }
    auto& lines = s->lines;
    if (const Line* found = findKey(*s, k)) {
        Line& line = lines[found - lines.data()];
        line.value = v;
        line.text = line.key + QLatin1Char('=') + v;
    } else {
        // After the last non-blank line, so blank lines keep separating sections.
        auto at = lines.end();
        while (at != lines.begin() && std::prev(at)->text.trimmed().isEmpty())
            --at;
        lines.insert(at, Line{k + QLatin1Char('=') + v, k, v});
    }
    try {
        WriteFileAtomically(path_, toBytes());
    } catch (...) {
        sections_ = std::move(before);
        throw;
    }
}

QByteArray IniFile::toBytes() const {
    QStringList lines;
    for (const Section& s : sections_)
        for (const Line& line : s.lines)
            lines << line.text;
    return JoinTextLines(lines);
}
