#include "HpjFile.h"

#include "Cp1252.h"

namespace Hc {

namespace {

// Includes within includes stop here, so a file that includes itself ends.
constexpr int kMaxIncludeDepth = 8;

enum class Section { None, Options, Files, Map, Windows, Config, Alias, Bitmaps, Ignored };

Section sectionOf(const QString& name) {
    const QString n = name.toUpper();
    if (n == QLatin1String("OPTIONS")) return Section::Options;
    if (n == QLatin1String("FILES")) return Section::Files;
    if (n == QLatin1String("MAP")) return Section::Map;
    if (n == QLatin1String("WINDOWS")) return Section::Windows;
    if (n == QLatin1String("CONFIG")) return Section::Config;
    if (n == QLatin1String("ALIAS")) return Section::Alias;
    if (n == QLatin1String("BITMAPS")) return Section::Bitmaps;
    // Macros for one window only ([CONFIG-main], [CONFIG:1]): the help file
    // keeps one list, for the main window.
    if (n.startsWith(QLatin1String("CONFIG-")) || n.startsWith(QLatin1String("CONFIG:")))
        return Section::Ignored;
    return Section::None;
}

// Options other help compilers know that make no difference here.
bool isIgnoredOption(const QString& key) {
    static const char* const known[] = {
        "OLDKEYPHRASE",     "OPTCDROM",  "WARNING",   "NOTES",         "VERSION",  "CHARSET",
        "DEFFONT",          "FTS",       "FORCEFONT", "MAPFONTSIZE",   "MULTIKEY", "TMPDIR",
        "INDEX_SEPARATORS", "REVISIONS", "ICON",      "LANGUAGE",      "DBCS",     "PREFIX",
        "REPLACE",          "HCW",       "NOTE",      "CONTENTS_FILE", "BUILD",    "ERRORS"};
    for (const char* k : known)
        if (key == QLatin1String(k)) return true;
    return false;
}

bool isOff(const QString& value) {
    const QString v = value.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toLower();
    return v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no") ||
           v == QLatin1String("none") || v == QLatin1String("off");
}

bool isOn(const QString& value) {
    const QString v = value.trimmed().toLower();
    return v == QLatin1String("yes") || v == QLatin1String("1") || v == QLatin1String("true") ||
           v == QLatin1String("on");
}

// Top-level comma-separated parts: commas inside quotes or parentheses stay.
QStringList splitTopLevel(const QString& text) {
    QStringList parts;
    QString part;
    int depth = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('(')) ++depth;
        if (!quoted && c == QLatin1Char(')') && depth > 0) --depth;
        if (!quoted && depth == 0 && c == QLatin1Char(',')) {
            parts << part.trimmed();
            part.clear();
            continue;
        }
        part += c;
    }
    parts << part.trimmed();
    return parts;
}

QString unparenthesized(QString s) {
    s = s.trimmed();
    if (s.startsWith(QLatin1Char('('))) s.remove(0, 1);
    if (s.endsWith(QLatin1Char(')'))) s.chop(1);
    return s.trimmed();
}

// (r,g,b), or a COLORREF written (rNNN) or NNN: 0x00RRGGBB, or -1.
qint64 parseColor(const QString& text) {
    const QString inner = unparenthesized(text);
    if (inner.isEmpty()) return -1;
    const QStringList rgb = inner.split(QLatin1Char(','));
    if (rgb.size() == 3) {
        quint32 value = 0;
        for (const QString& part : rgb) {
            const auto n = ParseNumber(part);
            if (!n || *n > 255) return -1;
            value = value << 8 | *n;
        }
        return value;
    }
    QString ref = inner;
    if (ref.startsWith(QLatin1Char('r'), Qt::CaseInsensitive)) ref.remove(0, 1);
    const auto n = ParseNumber(ref);
    if (!n) return -1;
    // COLORREF is 0x00BBGGRR.
    return qint64((*n & 0xFF) << 16 | (*n & 0xFF00) | (*n >> 16 & 0xFF));
}

QString stripComment(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) ? QString() : t;
}

class Reader {
public:
    Reader(const IncludeReader& include, Messages& messages)
        : include_(include), messages_(messages) {}

    void read(const QByteArray& bytes, const QString& fileName) {
        lines(bytes, fileName, Section::None, 0);
    }
    HpjProject project;

private:
    const IncludeReader& include_;
    Messages& messages_;

    void warn(int code, const QString& file, const QString& text) {
        messages_.warn(code, file, QString(), text);
    }

    // An included file's lines belong to the section it was included from.
    Section lines(const QByteArray& bytes, const QString& file, Section section, int depth) {
        const QString text = Cp1252::decode(bytes);
        for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
            QString line = raw.toString().trimmed();
            if (line.isEmpty()) continue;
            if (depth == 0 && line.startsWith(QLatin1Char('['))) {
                const qsizetype close = line.indexOf(QLatin1Char(']'));
                const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
                section = sectionOf(name);
                if (section == Section::None) {
                    warn(UnknownSection, file,
                         QStringLiteral("Unknown section [%1] ignored").arg(name));
                    section = Section::Ignored;
                }
                continue;
            }
            if (line.startsWith(QLatin1String("#include"), Qt::CaseInsensitive) &&
                section != Section::Options && section != Section::Config) {
                includeFile(line.mid(8).trimmed(), file, section, depth);
                continue;
            }
            take(line, file, section);
        }
        return section;
    }

    void includeFile(QString name, const QString& from, Section section, int depth) {
        if (name.size() >= 2 &&
            (name.startsWith(QLatin1Char('"')) || name.startsWith(QLatin1Char('<'))))
            name = name.mid(1, name.size() - 2).trimmed();
        if (depth >= kMaxIncludeDepth) {
            warn(IncludeUnreadable, from,
                 QStringLiteral("Includes nested too deeply: '%1' ignored").arg(name));
            return;
        }
        const std::optional<QByteArray> bytes = include_ ? include_(name) : std::nullopt;
        if (!bytes) {
            // Without the file list there is nothing to compile: an error.
            if (section == Section::Files)
                messages_.error(IncludeUnreadable, from, QString(),
                                QStringLiteral("Cannot open the included file '%1'").arg(name));
            else
                warn(IncludeUnreadable, from,
                     QStringLiteral("Cannot open the included file '%1'").arg(name));
            return;
        }
        lines(*bytes, name.section(QLatin1Char('/'), -1), section, depth + 1);
    }

    void take(const QString& line, const QString& file, Section section) {
        switch (section) {
        case Section::Options:
            option(line, file);
            break;
        case Section::Files: {
            QString name = stripComment(line);
            if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) &&
                name.endsWith(QLatin1Char('"')))
                name = name.mid(1, name.size() - 2);
            if (!name.isEmpty()) project.files << name;
            break;
        }
        case Section::Map:
            mapLine(line, file);
            break;
        case Section::Windows: {
            if (line.startsWith(QLatin1Char(';'))) break;
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            Hlp::Window window;
            const QString name = line.left(eq).trimmed();
            if (eq <= 0 || name.isEmpty() || !ParseWindow(name, line.mid(eq + 1), window)) {
                warn(BadWindow, file,
                     QStringLiteral("Window definition cannot be read: %1").arg(line));
                break;
            }
            project.windows.push_back(window);
            break;
        }
        case Section::Config: {
            const QString macro = stripComment(line);
            if (!macro.isEmpty()) project.config << macro;
            break;
        }
        case Section::Alias: {
            const QString t = stripComment(line);
            if (t.isEmpty()) break;
            const qsizetype eq = t.indexOf(QLatin1Char('='));
            const QString alias = t.left(eq).trimmed(), target = t.mid(eq + 1).trimmed();
            if (eq <= 0 || alias.isEmpty() || target.isEmpty())
                warn(BadAlias, file, QStringLiteral("Alias cannot be read: %1").arg(line));
            else
                project.aliases.emplace_back(alias, target);
            break;
        }
        case Section::Bitmaps: {
            const QString t = stripComment(line);
            if (!t.isEmpty()) project.bitmaps << t;
            break;
        }
        case Section::None:
        case Section::Ignored:
            break;
        }
    }

    void option(const QString& line, const QString& file) {
        if (line.startsWith(QLatin1Char(';'))) return;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq < 0 ? line.size() : eq).trimmed().toUpper();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        if (key == QLatin1String("ERRORLOG"))
            project.errorLog = value;
        else if (key == QLatin1String("CONTENTS") || key == QLatin1String("CNT"))
            project.contents = value;
        else if (key == QLatin1String("HLP"))
            project.helpFile = value;
        else if (key == QLatin1String("TITLE"))
            project.title = value;
        else if (key == QLatin1String("COPYRIGHT"))
            project.copyright = value;
        else if (key == QLatin1String("CITATION"))
            project.citation = value;
        else if (key == QLatin1String("COMPRESS"))
            project.compress = !value.isEmpty() && !isOff(value);
        else if (key == QLatin1String("REPORT"))
            project.report = isOn(value);
        else if (key == QLatin1String("LCID")) {
            const auto n =
                ParseNumber(value.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
            if (n && *n <= 0xFFFF)
                project.lcid = quint16(*n);
            else
                warn(UnknownOption, file, QStringLiteral("LCID cannot be read: %1").arg(value));
        } else if (key == QLatin1String("ROOT"))
            project.roots << value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (key == QLatin1String("BMROOT"))
            project.bitmapRoots << value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (!isIgnoredOption(key))
            warn(UnknownOption, file, QStringLiteral("Unknown option %1 ignored").arg(key));
    }

    // "#define ctx number", "ctx number" or "ctx=number"; other preprocessor
    // lines of an included header say nothing to the help file.
    void mapLine(QString line, const QString& file) {
        const qsizetype comment = line.indexOf(QLatin1String("//"));
        if (comment >= 0) line = line.left(comment).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) return;
        if (line.startsWith(QLatin1String("#define"), Qt::CaseInsensitive))
            line = line.mid(7);
        else if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1String("/*")))
            return;
        line.replace(QLatin1Char('='), QLatin1Char(' '));
        line.replace(QLatin1Char('\t'), QLatin1Char(' '));
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto number = parts.size() == 2 ? ParseNumber(parts[1]) : std::nullopt;
        if (!number) {
            warn(BadMapLine, file,
                 QStringLiteral("Map line cannot be read: %1").arg(line.trimmed()));
            return;
        }
        project.map.push_back({parts[0], *number, file});
    }
};

} // namespace

std::optional<quint32> ParseNumber(const QString& text) {
    QString t = text.trimmed();
    while (t.endsWith(QLatin1Char('L'), Qt::CaseInsensitive) ||
           t.endsWith(QLatin1Char('U'), Qt::CaseInsensitive))
        t.chop(1);
    bool ok = false;
    const qulonglong n = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                             ? t.mid(2).toULongLong(&ok, 16)
                             : t.toULongLong(&ok, 10);
    if (!ok || n > 0xFFFFFFFFu) return std::nullopt;
    return quint32(n);
}

bool ParseWindow(const QString& name, const QString& definition, Hlp::Window& window) {
    window = Hlp::Window();
    window.name = name.trimmed();
    const QStringList parts = splitTopLevel(definition);
    bool any = false;
    if (!parts.isEmpty()) {
        QString caption = parts[0];
        if (caption.startsWith(QLatin1Char('"'))) {
            caption.remove(0, 1);
            if (caption.endsWith(QLatin1Char('"'))) caption.chop(1);
        }
        window.caption = caption;
        any = true;
    }
    if (parts.size() > 1 && !parts[1].isEmpty()) {
        const QStringList place = unparenthesized(parts[1]).split(QLatin1Char(','));
        int* fields[] = {&window.x, &window.y, &window.width, &window.height};
        for (int i = 0; i < 4 && i < place.size(); ++i) {
            const auto n = ParseNumber(place[i]);
            if (n && *n <= 1023) *fields[i] = int(*n);
        }
    }
    if (parts.size() > 2 && !parts[2].isEmpty()) {
        // Some editors keep further flags in the upper bits.
        const auto n = ParseNumber(parts[2]);
        if (n) window.state = *n & 1;
    }
    if (parts.size() > 3) window.scrollColor = parseColor(parts[3]);
    if (parts.size() > 4) window.nonScrollColor = parseColor(parts[4]);
    if (parts.size() > 5 && !parts[5].isEmpty()) {
        QString flags = parts[5];
        if (flags.startsWith(QLatin1Char('f'), Qt::CaseInsensitive)) flags.remove(0, 1);
        const auto n = ParseNumber(flags);
        if (n) window.onTop = *n & 1;
    }
    return any && !window.name.isEmpty();
}

HpjProject ParseHpj(const QByteArray& bytes, const QString& fileName, const IncludeReader& include,
                    Messages& messages) {
    Reader reader(include, messages);
    reader.read(bytes, fileName);
    return std::move(reader.project);
}

} // namespace Hc
