#include "HlpDump.h"

#include "Cp1252.h"
#include "HlpBTree.h"
#include "HlpBytes.h"
#include "HlpLz77.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace Hlp {

namespace {

QString str(const QByteArray& b) {
    return Cp1252::decode(b);
}
QString hex(quint32 v) {
    return QStringLiteral("0x%1")
        .arg(v, 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

struct Phrases {
    std::vector<QByteArray> list;
    bool hall = false;
    bool any() const { return !list.empty(); }
};

struct TopicOut {
    QString title;
    quint32 offset = 0;
    quint32 browseBack = 0xFFFFFFFF, browseFor = 0xFFFFFFFF;
    QString nonScroll, text;
    QJsonArray paragraphs;
    // A record that ends without an end of paragraph: the next record goes on.
    bool pending = false;
    QJsonObject pendingParagraph;
    void flush() {
        if (pending) paragraphs.append(pendingParagraph);
        pending = false;
    }
};

class Dumper {
public:
    explicit Dumper(const QByteArray& bytes) : bytes_(bytes) {}
    QJsonObject run();

private:
    QByteArray file(const QByteArray& name) const;
    bool has(const QByteArray& name) const { return files_.count(name) > 0; }
    void readDirectory();
    QJsonObject readSystem();
    QJsonArray readFonts();
    void readPhrases();
    void readTopics();
    void readRecord(quint8 type, const QByteArray& data1, const QByteArray& data2, TopicOut& topic,
                    bool nonScroll);
    QByteArray expandPhrases(const QByteArray& data, qsizetype size) const;
    int topicAt(quint32 offset) const;
    QString target(quint32 hash) const;

    const QByteArray& bytes_;
    std::map<QByteArray, std::pair<qsizetype, qsizetype>> files_; // data start, size
    QJsonArray fileList_;
    int minor_ = 0;
    unsigned flags_ = 0;
    QStringList windowNames_;
    Phrases phrases_;
    std::vector<TopicOut> topics_;
    std::vector<std::pair<quint32, int>> byOffset_; // sorted topic offsets
    QHash<quint32, QString> names_;                 // context hash -> string
};

QByteArray Dumper::file(const QByteArray& name) const {
    const auto it = files_.find(name);
    if (it == files_.end()) return {};
    return bytes_.mid(it->second.first, it->second.second);
}

void Dumper::readDirectory() {
    Reader h(bytes_, QStringLiteral("header"));
    if (bytes_.size() < 16) h.fail(QStringLiteral("the file is too short for a help file"));
    if (h.u32() != 0x00035F3F) h.fail(QStringLiteral("wrong magic, not a Windows help file"));
    const quint32 dirAt = h.u32();
    const QString dirName = QStringLiteral("internal directory");
    Reader d(bytes_, dirName);
    if (qint64(dirAt) + 9 > bytes_.size())
        d.fail(QStringLiteral("starts at %1, past the end of the file (%2 bytes)")
                   .arg(dirAt)
                   .arg(bytes_.size()));
    d.seek(qsizetype(dirAt));
    d.u32();
    const quint32 used = d.u32();
    d.u8();
    if (used > quint32(d.left()))
        d.fail(QStringLiteral("runs past the end of the file (truncated?)"));
    const QByteArray dir = d.bytes(qsizetype(used));
    walkBTree(dir, dirName, [&](Reader& r) {
        const QByteArray name = r.sz();
        const quint32 at = r.u32();
        const QString shown = str(name);
        Reader f(bytes_, shown);
        if (qint64(at) + 9 > bytes_.size())
            f.fail(QStringLiteral("starts at %1, past the end of the file (truncated?)").arg(at));
        f.seek(qsizetype(at));
        f.u32();
        const quint32 size = f.u32();
        f.u8();
        if (size > quint32(f.left()))
            f.fail(QStringLiteral("runs past the end of the file (truncated?)"));
        files_[name] = {f.pos(), qsizetype(size)};
        fileList_.append(
            QJsonObject{{QStringLiteral("name"), shown}, {QStringLiteral("size"), qint64(size)}});
    });
}

QJsonObject Dumper::readSystem() {
    const QByteArray data = file("|SYSTEM");
    Reader r(data, QStringLiteral("|SYSTEM"));
    if (!has("|SYSTEM")) r.fail(QStringLiteral("missing"));
    if (r.u16() != 0x036C) r.fail(QStringLiteral("wrong magic"));
    minor_ = r.u16();
    r.u16();
    r.u32();
    flags_ = r.u16();
    QJsonObject s{{QStringLiteral("version"), minor_}};
    if (minor_ <= 16) {
        s.insert(QStringLiteral("title"), str(r.sz()));
        r.fail(QStringLiteral("Windows 3.0 help files (version %1) are not supported").arg(minor_));
    }
    s.insert(QStringLiteral("compressed"), (flags_ & 0x0C) != 0);
    QJsonArray macros, windows;
    while (r.left() >= 4) {
        const unsigned type = r.u16();
        const unsigned size = r.u16();
        const QByteArray d = r.bytes(size);
        Reader rec(d, QStringLiteral("|SYSTEM"));
        auto text = [&] { return str(rec.sz()); };
        switch (type) {
        case 1:
            s.insert(QStringLiteral("title"), d.isEmpty() ? QString() : text());
            break;
        case 2:
            s.insert(QStringLiteral("copyright"), d.isEmpty() ? QString() : text());
            break;
        case 3:
            if (d.size() >= 4) s.insert(QStringLiteral("contentsOffset"), qint64(rec.u32()));
            break;
        case 4:
            if (!d.isEmpty()) macros.append(text());
            break;
        case 6: {
            if (d.size() < 90) break;
            const unsigned f = rec.u16();
            const QString wtype = str(rec.fixed(10));
            const QString name = str(rec.fixed(9));
            const QString caption = str(rec.fixed(51));
            int v[5];
            for (int& x : v)
                x = rec.s16();
            const quint32 rgb = rec.u32(), nsr = rec.u32();
            auto color = [](quint32 c) {
                return QStringLiteral("#%1%2%3")
                    .arg(c & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg((c >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg((c >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                    .toUpper();
            };
            windowNames_.append(name);
            QJsonObject w{{QStringLiteral("name"), name},
                          {QStringLiteral("caption"), caption},
                          {QStringLiteral("type"), wtype},
                          {QStringLiteral("x"), (f & 0x0008) ? v[0] : -1},
                          {QStringLiteral("y"), (f & 0x0010) ? v[1] : -1},
                          {QStringLiteral("width"), (f & 0x0020) ? v[2] : -1},
                          {QStringLiteral("height"), (f & 0x0040) ? v[3] : -1},
                          {QStringLiteral("state"), (f & 0x0080) || (v[4] & 1) ? 1 : 0},
                          {QStringLiteral("onTop"), (f & 0x0400) != 0}};
            w.insert(QStringLiteral("scrollColor"),
                     (f & 0x0100) ? QJsonValue(color(rgb)) : QJsonValue());
            w.insert(QStringLiteral("nonScrollColor"),
                     (f & 0x0200) ? QJsonValue(color(nsr)) : QJsonValue());
            windows.append(w);
            break;
        }
        case 8:
            s.insert(QStringLiteral("citation"), d.isEmpty() ? QString() : text());
            break;
        case 9:
            if (d.size() >= 2) s.insert(QStringLiteral("lcid"), rec.u16());
            break;
        case 10:
            s.insert(QStringLiteral("contents"), d.isEmpty() ? QString() : text());
            break;
        case 11:
            if (d.size() >= 2) s.insert(QStringLiteral("charset"), rec.u16());
            break;
        default:
            break;
        }
    }
    s.insert(QStringLiteral("macros"), macros);
    s.insert(QStringLiteral("windows"), windows);
    return s;
}

QJsonArray Dumper::readFonts() {
    QJsonArray fonts;
    if (!has("|FONT")) return fonts;
    const QByteArray data = file("|FONT");
    Reader r(data, QStringLiteral("|FONT"));
    const unsigned faces = r.u16(), count = r.u16(), faceAt = r.u16(), descAt = r.u16();
    if (faces == 0 || descAt < faceAt) r.fail(QStringLiteral("no face names"));
    const int faceSize = int((descAt - faceAt) / faces);
    QStringList names;
    r.seek(faceAt);
    for (unsigned i = 0; i < faces; ++i)
        names.append(str(r.fixed(faceSize)));
    r.seek(descAt);
    auto rgb = [](unsigned red, unsigned green, unsigned blue) {
        return QStringLiteral("#%1%2%3")
            .arg(red, 2, 16, QLatin1Char('0'))
            .arg(green, 2, 16, QLatin1Char('0'))
            .arg(blue, 2, 16, QLatin1Char('0'))
            .toUpper();
    };
    static constexpr int kFamily[6] = {0, 3, 1, 2, 4, 5}; // to 1 roman, 2 swiss, 3 modern
    for (unsigned i = 0; i < count; ++i) {
        QJsonObject f;
        unsigned face;
        if (faceAt < 12) {
            const unsigned attr = r.u8(), half = r.u8(), family = r.u8();
            face = r.u16();
            const unsigned red = r.u8(), green = r.u8(), blue = r.u8();
            r.skip(3);
            f = {{QStringLiteral("halfPoints"), int(half)},
                 {QStringLiteral("bold"), (attr & 0x01) != 0},
                 {QStringLiteral("italic"), (attr & 0x02) != 0},
                 {QStringLiteral("underline"), (attr & 0x04) != 0},
                 {QStringLiteral("strikeOut"), (attr & 0x08) != 0},
                 {QStringLiteral("doubleUnderline"), (attr & 0x10) != 0},
                 {QStringLiteral("smallCaps"), (attr & 0x20) != 0},
                 {QStringLiteral("color"), rgb(red, green, blue)},
                 {QStringLiteral("family"), family < 6 ? kFamily[family] : 0}};
        } else { // multimedia viewer descriptors: measures in twips
            const qsizetype start = r.pos();
            if (faceAt < 16) {
                r.u8();
                face = r.u16();
            } else {
                face = r.u16();
                r.skip(4);
            }
            const unsigned red = r.u8(), green = r.u8(), blue = r.u8();
            r.skip(3);
            if (faceAt < 16) r.skip(5);
            const qint32 height = r.s32();
            r.skip(12);
            const int weight = r.s16();
            r.skip(2);
            const bool italic = r.u8(), underline = r.u8(), strike = r.u8(), dbl = r.u8(),
                       caps = r.u8();
            r.skip(2);
            const unsigned pitchFamily = r.u8();
            r.seek(start + 42);
            f = {{QStringLiteral("halfPoints"), int(qAbs(height) / 10)},
                 {QStringLiteral("bold"), weight >= 600},
                 {QStringLiteral("italic"), italic},
                 {QStringLiteral("underline"), underline},
                 {QStringLiteral("strikeOut"), strike},
                 {QStringLiteral("doubleUnderline"), dbl},
                 {QStringLiteral("smallCaps"), caps},
                 {QStringLiteral("color"), rgb(red, green, blue)},
                 {QStringLiteral("family"), int(pitchFamily >> 4)}};
        }
        f.insert(QStringLiteral("face"), face < unsigned(names.size()) ? names[face] : QString());
        fonts.append(f);
    }
    return fonts;
}

void Dumper::readPhrases() {
    if (has("|Phrases")) {
        const QByteArray data = file("|Phrases");
        Reader r(data, QStringLiteral("|Phrases"));
        unsigned n = r.u16();
        if (n == 0x0800 && data.size() > 6 && quint8(data[4]) == 0 && quint8(data[5]) == 1) {
            n = r.u16(); // the multimedia layout
            r.u16();
            r.u32();
            r.skip(30);
        } else {
            r.u16();
        }
        qsizetype expanded = -1;
        if (minor_ > 16) expanded = qsizetype(r.u32());
        std::vector<unsigned> offsets(n + 1);
        for (unsigned& o : offsets)
            o = r.u16();
        QByteArray text = r.bytes(r.left());
        if (expanded >= 0) {
            if (expanded > 64 * 1024 * 1024) r.fail(QStringLiteral("phrase table too large"));
            text = Lz77::expand(text.constData(), text.size(), expanded);
        }
        const unsigned base = offsets[0];
        for (unsigned i = 0; i < n; ++i) {
            if (offsets[i + 1] < offsets[i] || offsets[i] < base ||
                offsets[i + 1] - base > unsigned(text.size()))
                r.fail(QStringLiteral("phrase %1 lies outside the table").arg(i));
            phrases_.list.push_back(text.mid(offsets[i] - base, offsets[i + 1] - offsets[i]));
        }
    } else if (has("|PhrIndex")) {
        const QByteArray index = file("|PhrIndex");
        Reader r(index, QStringLiteral("|PhrIndex"));
        r.u32();
        const quint32 n = r.u32();
        r.u32();
        const quint32 imageSize = r.u32(), imageCompressed = r.u32();
        r.u32();
        const unsigned bitCount = r.u16() & 0x0F;
        r.u16();
        if (n > 0x100000) r.fail(QStringLiteral("%1 phrases").arg(n));
        const qsizetype bitsAt = r.pos();
        qsizetype bit = 0;
        auto next = [&]() -> bool {
            const qsizetype word = bitsAt + (bit / 32) * 4;
            if (word + 4 > index.size()) r.fail(QStringLiteral("phrase lengths run past the end"));
            Reader w(index, r.name(), word);
            const bool set = (w.u32() >> (bit % 32)) & 1;
            ++bit;
            return set;
        };
        std::vector<quint32> offsets{0};
        for (quint32 i = 0; i < n; ++i) {
            quint32 len = 1;
            while (next())
                len += 1u << bitCount;
            for (unsigned k = 0; k < bitCount && k < 5; ++k)
                if (next()) len += 1u << k;
            offsets.push_back(offsets.back() + len);
        }
        const QByteArray raw = file("|PhrImage");
        if (imageSize > 64 * 1024 * 1024) r.fail(QStringLiteral("phrase image too large"));
        const QByteArray image =
            imageCompressed != imageSize
                ? Lz77::expand(raw.constData(), raw.size(), qsizetype(imageSize))
                : raw;
        for (quint32 i = 0; i < n; ++i) {
            if (offsets[i + 1] > quint32(image.size()))
                throw EHlpFormat(QStringLiteral("|PhrImage: phrase %1 lies past its end").arg(i));
            phrases_.list.push_back(image.mid(offsets[i], offsets[i + 1] - offsets[i]));
        }
        phrases_.hall = true;
    }
}

QByteArray Dumper::expandPhrases(const QByteArray& data, qsizetype size) const {
    QByteArray out;
    out.reserve(size);
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    auto phrase = [&](size_t i) {
        if (i >= phrases_.list.size())
            throw EHlpFormat(QStringLiteral("|TOPIC: phrase %1 is not in the phrase table").arg(i));
        out.append(phrases_.list[i]);
    };
    for (qsizetype i = 0; i < n && out.size() < size;) {
        const unsigned c = p[i++];
        if (!phrases_.hall) {
            if (c == 0 || c > 15) {
                out.append(char(c));
            } else if (i < n) {
                const unsigned code = c * 256 - 256 + p[i++];
                phrase(code / 2);
                if (code & 1) out.append(' ');
            }
        } else if (!(c & 1)) {
            phrase(c / 2);
        } else if ((c & 3) == 1) {
            if (i < n) phrase(c * 64 + 64 + p[i++]);
        } else if ((c & 7) == 3) {
            const qsizetype len = qMin<qsizetype>(c / 8 + 1, n - i);
            out.append(data.constData() + i, len);
            i += len;
        } else if ((c & 15) == 7) {
            out.append(QByteArray(c / 16 + 1, ' '));
        } else {
            out.append(QByteArray(c / 16 + 1, '\0'));
        }
    }
    out.truncate(size);
    return out;
}

int Dumper::topicAt(quint32 offset) const {
    auto it = std::upper_bound(byOffset_.begin(), byOffset_.end(), offset,
                               [](quint32 v, const auto& e) { return v < e.first; });
    if (it == byOffset_.begin()) return -1;
    return std::prev(it)->second;
}

QString Dumper::target(quint32 hash) const {
    const auto it = names_.constFind(hash);
    return it != names_.constEnd() ? *it : hex(hash);
}

// One display or table record: paragraph formats, then the text with its
// formatting commands.
void Dumper::readRecord(quint8 type, const QByteArray& data1, const QByteArray& data2,
                        TopicOut& topic, bool nonScroll) {
    Reader f(data1, QStringLiteral("|TOPIC"));
    Reader t(data2, QStringLiteral("|TOPIC"));
    QString& out = nonScroll ? topic.nonScroll : topic.text;
    f.compressedLong();
    f.compressedUShort();
    const bool table = type == 0x23;
    if (table) {
        const unsigned cols = f.u8();
        const unsigned tableType = f.u8();
        if (tableType == 0 || tableType == 2) f.s16();
        f.skip(qsizetype(cols) * 4);
    }
    QStringList open; // hotspot kinds awaiting their end
    bool firstCell = true;
    for (;;) {
        if (table) {
            const int column = f.s16();
            if (column == -1) break;
            f.s16();
            f.u8();
            if (!firstCell) out.append(QLatin1Char('\t'));
            firstCell = false;
        }
        f.u8();
        f.u8();
        f.u16();
        const unsigned bits = f.u16();
        QJsonObject para;
        auto measure = [&](unsigned bit, const char* key) {
            if (bits & bit)
                para.insert(QLatin1String(key), f.compressedShort() * 10);
            else
                para.insert(QLatin1String(key), 0);
        };
        if (bits & 0x0001) f.compressedLong();
        measure(0x0002, "spaceBefore");
        measure(0x0004, "spaceAfter");
        measure(0x0008, "lineSpacing");
        measure(0x0010, "leftIndent");
        measure(0x0020, "rightIndent");
        measure(0x0040, "firstLineIndent");
        if (bits & 0x0100) {
            para.insert(QStringLiteral("border"), int(f.u8()));
            f.s16();
        }
        QJsonArray tabs;
        if (bits & 0x0200) {
            const int n = f.compressedShort();
            for (int i = 0; i < n; ++i) {
                const unsigned stop = f.compressedUShort();
                unsigned kind = 0;
                if (stop & 0x4000) kind = f.compressedUShort();
                tabs.append(
                    QJsonObject{{QStringLiteral("position"), int(stop & 0x3FFF) * 10},
                                {QStringLiteral("kind"), kind == 1   ? QStringLiteral("right")
                                                         : kind == 2 ? QStringLiteral("center")
                                                                     : QStringLiteral("left")}});
            }
        }
        para.insert(QStringLiteral("tabs"), tabs);
        para.insert(QStringLiteral("align"), (bits & 0x0800)   ? QStringLiteral("center")
                                             : (bits & 0x0400) ? QStringLiteral("right")
                                                               : QStringLiteral("left"));
        para.insert(QStringLiteral("nonScroll"), nonScroll);
        QJsonArray fonts;
        bool paragraphOpen = false;
        if (topic.pending && !table) {
            fonts = topic.pendingParagraph[QStringLiteral("fonts")].toArray();
            topic.pending = false;
        }
        auto endParagraph = [&] {
            QJsonObject p = para;
            p.insert(QStringLiteral("fonts"), fonts);
            topic.paragraphs.append(p);
            fonts = QJsonArray();
            paragraphOpen = false;
        };
        for (;;) {
            if (!t.atEnd()) {
                const QByteArray s = t.sz();
                if (!s.isEmpty()) {
                    out.append(str(s));
                    paragraphOpen = true;
                }
            }
            const unsigned cmd = f.u8();
            if (cmd == 0xFF) break;
            switch (cmd) {
            case 0x20:
                f.u32();
                break;
            case 0x21:
                f.u16();
                break;
            case 0x80:
                fonts.append(int(f.u16()));
                break;
            case 0x81:
                out.append(QLatin1Char('\n'));
                break;
            case 0x82:
                out.append(QLatin1Char('\n'));
                endParagraph();
                break;
            case 0x83:
                out.append(QLatin1Char('\t'));
                break;
            case 0x86:
            case 0x87:
            case 0x88: {
                const unsigned kind = f.u8();
                const quint32 size = f.compressedULong();
                if (kind == 0x22) f.compressedUShort();
                const qsizetype start = f.pos();
                const QString place = cmd == 0x86   ? QStringLiteral("bmc")
                                      : cmd == 0x87 ? QStringLiteral("bml")
                                                    : QStringLiteral("bmr");
                if (kind == 3 || kind == 0x22) {
                    const int embedded = f.s16();
                    out.append(embedded == 0 ? QStringLiteral("[%1 %2]").arg(place).arg(f.s16())
                                             : QStringLiteral("[%1 embedded]").arg(place));
                } else if (kind == 5) {
                    f.skip(6);
                    out.append(QStringLiteral("[ew%1 %2]").arg(place.mid(2), str(f.sz())));
                }
                if (qint64(size) > f.size() - start)
                    f.fail(QStringLiteral("a picture runs past its record"));
                f.seek(start + qsizetype(size));
                paragraphOpen = true;
                break;
            }
            case 0x89:
                if (!open.isEmpty()) out.append(QStringLiteral("[/%1]").arg(open.takeLast()));
                break;
            case 0x8B:
                out.append(QChar(0xA0));
                break;
            case 0x8C:
                break;
            case 0xC8:
            case 0xCC: {
                f.u16();
                out.append(QStringLiteral("[macro %1]").arg(str(f.sz())));
                open.append(QStringLiteral("macro"));
                break;
            }
            case 0xE0:
            case 0xE1:
            case 0xE2:
            case 0xE3:
            case 0xE6:
            case 0xE7: {
                const quint32 v = f.u32();
                const bool popup = !(cmd & 1);
                const int hit = cmd < 0xE2 ? topicAt(v) : -2;
                const QString to = hit == -2  ? target(v)
                                   : hit >= 0 ? QStringLiteral("@%1").arg(hit)
                                              : hex(v);
                out.append(QStringLiteral("[%1 %2]").arg(
                    popup ? QStringLiteral("popup") : QStringLiteral("jump"), to));
                open.append(popup ? QStringLiteral("popup") : QStringLiteral("jump"));
                break;
            }
            case 0xEA:
            case 0xEB:
            case 0xEE:
            case 0xEF: {
                const int size = f.u16();
                const qsizetype start = f.pos();
                const unsigned kind = f.u8();
                QString to = target(f.u32());
                if (kind == 1) {
                    const unsigned w = f.u8();
                    to +=
                        QLatin1Char('>') + (w < unsigned(windowNames_.size()) ? windowNames_[int(w)]
                                                                              : QString::number(w));
                } else if (kind == 4 || kind == 6) {
                    const QString fileName = str(f.sz());
                    if (kind == 6) to += QLatin1Char('>') + str(f.sz());
                    to += QLatin1Char('@') + fileName;
                }
                if (size > f.size() - start) f.fail(QStringLiteral("a jump runs past its record"));
                f.seek(start + size);
                const bool popup = !(cmd & 1);
                out.append(QStringLiteral("[%1 %2]").arg(
                    popup ? QStringLiteral("popup") : QStringLiteral("jump"), to));
                open.append(popup ? QStringLiteral("popup") : QStringLiteral("jump"));
                break;
            }
            default:
                f.fail(QStringLiteral("unknown formatting command 0x%1 at byte %2 of a record")
                           .arg(cmd, 2, 16, QLatin1Char('0'))
                           .arg(f.pos() - 1));
            }
        }
        if (paragraphOpen || !fonts.isEmpty()) {
            if (table) {
                endParagraph();
            } else {
                para.insert(QStringLiteral("fonts"), fonts);
                topic.pendingParagraph = para;
                topic.pending = true;
            }
        }
        if (!table) break;
    }
}

void Dumper::readTopics() {
    if (!has("|TOPIC")) throw EHlpFormat(QStringLiteral("|TOPIC: missing"));
    const auto [start, size] = files_.at("|TOPIC");
    const bool compressed = (flags_ & 0x0C) != 0;
    const qsizetype blockSize = (flags_ & 0x08) ? 2048 : 4096;
    const qsizetype expanded = compressed ? 16384 - 12 : blockSize - 12;
    const qsizetype posBlock = 16384; // topic positions count 16K per block, compressed or not
    const QString name = QStringLiteral("|TOPIC");

    // All blocks expanded one after the other; a link that spills over a
    // block boundary continues at the next block's start.
    QByteArray all;
    std::vector<qsizetype> base;
    const qsizetype blocks = (size + blockSize - 1) / blockSize;
    all.reserve(compressed ? qMin<qsizetype>(blocks * expanded, 1 << 28) : size);
    for (qsizetype b = 0; b < blocks; ++b) {
        const qsizetype at = start + b * blockSize + 12;
        const qsizetype n = qMin(blockSize - 12, start + size - at);
        base.push_back(all.size());
        if (n <= 0) continue;
        if (compressed)
            all.append(Lz77::expand(bytes_.constData() + at, n, expanded));
        else
            all.append(bytes_.constData() + at, n);
        if (all.size() > (1 << 30)) throw EHlpFormat(name + QStringLiteral(": too large"));
    }
    base.push_back(all.size());
    // Positions count 16K per block (the offset behind the block header in
    // the low 14 bits); some uncompressed files count the data linearly
    // instead, which the second block's first link tells.
    bool linear = false;
    if (!compressed && blocks > 1) {
        Reader second(bytes_, name, start + blockSize + 4);
        const quint32 first = second.u32();
        linear = first != 0xFFFFFFFF && first < 16384;
    }
    auto split = [&](quint32 pos) -> std::pair<qsizetype, qsizetype> {
        if (linear) return {qsizetype(pos - 12) / expanded, qsizetype(pos - 12) % expanded};
        return {qsizetype(pos / posBlock), qsizetype(pos % posBlock) - 12};
    };
    auto place = [&](quint32 pos) -> qsizetype {
        const auto [b, o] = split(pos);
        if (pos < 12 || o < 0)
            throw EHlpFormat(name + QStringLiteral(": topic position %1 is invalid").arg(pos));
        if (b >= blocks || base[size_t(b)] + o >= base[size_t(b) + 1])
            throw EHlpFormat(name +
                             QStringLiteral(": block %1 points past the end of the file").arg(b));
        return base[size_t(b)] + o;
    };
    if (blocks == 0) return;
    Reader head(bytes_, name, start);
    head.u32();
    quint32 pos = head.u32(); // the first block's first link

    TopicOut* topic = nullptr;
    quint32 nonScrollAt = 0xFFFFFFFF, scrollAt = 0xFFFFFFFF;
    bool inNonScroll = false;
    qsizetype lastBlock = -1, lastAt = -1;
    quint32 chars = 0;
    while (pos != 0xFFFFFFFF && pos != 0) {
        const qsizetype at = place(pos);
        if (at <= lastAt)
            throw EHlpFormat(name +
                             QStringLiteral(": the topic links loop back at position %1").arg(pos));
        lastAt = at;
        const qsizetype block = split(pos).first;
        if (block != lastBlock) chars = 0;
        lastBlock = block;
        Reader l(all, name, at);
        const quint32 blockLen = l.u32();
        const quint32 len2 = l.u32();
        l.u32();
        const quint32 next = l.u32();
        const quint32 len1 = l.u32();
        const quint8 type = l.u8();
        if (len1 < 21 || blockLen < len1 || qint64(blockLen) > all.size() - at)
            throw EHlpFormat(
                name +
                QStringLiteral(
                    ": block %1: the topic link at position %2 runs past the end of the file")
                    .arg(block)
                    .arg(pos));
        const QByteArray data1 = all.mid(at + 21, len1 - 21);
        QByteArray data2 = all.mid(at + len1, blockLen - len1);
        if (len2 > blockLen - len1) {
            if (!phrases_.any())
                throw EHlpFormat(name +
                                 QStringLiteral(": phrase-compressed text without a phrase table"));
            if (len2 > 16 * 1024 * 1024)
                throw EHlpFormat(name + QStringLiteral(": a record claims %1 bytes").arg(len2));
            data2 = expandPhrases(data2, len2);
        } else {
            data2.truncate(len2);
        }
        const quint32 offset = quint32(block) * 0x8000u + qMin<quint32>(chars, 0x7FFF);
        if (type == 0x02) {
            if (topic) topic->flush();
            topics_.emplace_back();
            topic = &topics_.back();
            Reader h(data1, name);
            h.u32();
            topic->browseBack = h.u32();
            topic->browseFor = h.u32();
            h.u32();
            nonScrollAt = h.u32();
            scrollAt = h.u32();
            topic->offset = offset;
            const qsizetype nul = data2.indexOf('\0');
            topic->title = str(nul >= 0 ? data2.left(nul) : data2);
            inNonScroll = nonScrollAt != 0xFFFFFFFF && nonScrollAt != scrollAt;
            byOffset_.emplace_back(offset, int(topics_.size()) - 1);
        } else if (type == 0x20 || type == 0x23) {
            Reader c(data1, name);
            c.compressedLong();
            chars += c.compressedUShort();
            if (pos == scrollAt && inNonScroll) {
                inNonScroll = false;
                if (topic) topic->flush();
            }
            if (topic) readRecord(type, data1, data2, *topic, inNonScroll);
        } else if (type == 0x01) {
            throw EHlpFormat(name + QStringLiteral(": Windows 3.0 text records are not supported"));
        }
        pos = next;
    }
    if (topic) topic->flush();
    std::stable_sort(byOffset_.begin(), byOffset_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

QJsonObject Dumper::run() {
    readDirectory();
    QJsonObject root{{QStringLiteral("files"), fileList_}};
    root.insert(QStringLiteral("system"), readSystem());
    root.insert(QStringLiteral("fonts"), readFonts());
    readPhrases();

    // Context strings first, so hotspot targets read as names.
    std::vector<std::pair<quint32, QString>> ids;
    if (has("|TopicId"))
        walkBTree(file("|TopicId"), QStringLiteral("|TopicId"), [&](Reader& r) {
            const quint32 offset = r.u32();
            const QString context = str(r.sz());
            ids.emplace_back(offset, context);
            names_.insert(contextHash(Cp1252::encode(context)), context);
        });
    readTopics();

    std::vector<QJsonArray> contexts(topics_.size()), keywords(topics_.size()),
        aKeywords(topics_.size());
    std::vector<QJsonValue> windows(topics_.size());
    if (!ids.empty()) {
        for (const auto& [offset, context] : ids) {
            const int t = topicAt(offset);
            if (t >= 0) contexts[size_t(t)].append(context);
        }
    } else if (has("|CONTEXT")) {
        walkBTree(file("|CONTEXT"), QStringLiteral("|CONTEXT"), [&](Reader& r) {
            const quint32 hash = r.u32();
            const int t = topicAt(r.u32());
            if (t >= 0) contexts[size_t(t)].append(hex(hash));
        });
    }
    auto readKeywords = [&](const char* prefix, std::vector<QJsonArray>& into) {
        const QByteArray tree = QByteArray(prefix) + "BTREE";
        if (!has(tree)) return;
        const QByteArray data = file(QByteArray(prefix) + "DATA");
        walkBTree(file(tree), str(tree), [&](Reader& r) {
            const QString word = str(r.sz());
            const unsigned count = r.u16();
            const quint32 at = r.u32();
            Reader d(data, str(QByteArray(prefix) + "DATA"));
            d.seek(qsizetype(at));
            for (unsigned i = 0; i < count; ++i) {
                const int t = topicAt(d.u32());
                if (t >= 0) into[size_t(t)].append(word);
            }
        });
    };
    readKeywords("|KW", keywords);
    readKeywords("|AW", aKeywords);
    if (has("|Viola"))
        walkBTree(file("|Viola"), QStringLiteral("|Viola"), [&](Reader& r) {
            const int t = topicAt(r.u32());
            const quint32 w = r.u32();
            if (t >= 0)
                windows[size_t(t)] =
                    w < quint32(windowNames_.size()) ? windowNames_[int(w)] : QString::number(w);
        });

    QJsonArray map;
    if (has("|CTXOMAP")) {
        const QByteArray data = file("|CTXOMAP");
        Reader r(data, QStringLiteral("|CTXOMAP"));
        const unsigned n = r.u16();
        for (unsigned i = 0; i < n; ++i) {
            const quint32 number = r.u32();
            const int t = topicAt(r.u32());
            map.append(
                QJsonObject{{QStringLiteral("number"), qint64(number)},
                            {QStringLiteral("topic"), t >= 0 ? QJsonValue(t) : QJsonValue()}});
        }
    }
    root.insert(QStringLiteral("map"), map);
    QJsonArray bitmaps;
    for (const auto& [name, where] : files_)
        if (name.startsWith("|bm") || name.startsWith("bm")) bitmaps.append(str(name));
    root.insert(QStringLiteral("bitmaps"), bitmaps);

    auto neighbour = [&](quint32 offset) -> QJsonValue {
        if (offset == 0xFFFFFFFF) return QJsonValue();
        const int t = topicAt(offset);
        return t >= 0 ? QJsonValue(t) : QJsonValue();
    };
    QJsonArray topics;
    for (size_t i = 0; i < topics_.size(); ++i) {
        const TopicOut& t = topics_[i];
        topics.append(QJsonObject{{QStringLiteral("title"), t.title},
                                  {QStringLiteral("contexts"), contexts[i]},
                                  {QStringLiteral("keywords"), keywords[i]},
                                  {QStringLiteral("akeywords"), aKeywords[i]},
                                  {QStringLiteral("window"), windows[i]},
                                  {QStringLiteral("browsePrev"), neighbour(t.browseBack)},
                                  {QStringLiteral("browseNext"), neighbour(t.browseFor)},
                                  {QStringLiteral("nonScroll"), t.nonScroll},
                                  {QStringLiteral("text"), t.text},
                                  {QStringLiteral("paragraphs"), t.paragraphs}});
    }
    root.insert(QStringLiteral("topics"), topics);
    return root;
}

} // namespace

QByteArray DumpHelpFile(const QByteArray& bytes) {
    Dumper d(bytes);
    return QJsonDocument(d.run()).toJson(QJsonDocument::Indented);
}

} // namespace Hlp
