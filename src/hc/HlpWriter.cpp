#include "HlpWriter.h"

#include "Cp1252.h"
#include "HlpBTree.h"
#include "HlpBytes.h"
#include "HlpLz77.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <map>

namespace Hlp {

namespace {

constexpr int kBlockSize = 4096; // |TOPIC blocks
constexpr int kBlockHeader = 12;
constexpr int kBlockData = kBlockSize - kBlockHeader;
// Topic positions count 16K per block: the block number in the upper bits,
// the offset behind the block header in the lower 14. So a block holds at
// most 16K less its header, compressed or not.
constexpr int kPositionBlock = 16384;
constexpr int kExpandedBlock = kPositionBlock - kBlockHeader;
constexpr quint32 kNone = 0xFFFFFFFF;

QByteArray enc(const QString& s) {
    QByteArray b = Cp1252::encode(s);
    b.replace('\0', ' ');
    return b;
}

// Twips to the half points that paragraph measures are stored in.
int halfPoints(int twips) {
    return std::clamp((twips >= 0 ? twips + 5 : twips - 5) / 10, -16000, 16000);
}

quint32 colorRef(quint32 rgb) { // 0x00RRGGBB -> COLORREF 0x00BBGGRR
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

// |TOPIC is first laid out as one stream of topic links, then cut into
// blocks. Some fields point at other links or topics, whose places are
// known only once the blocks are cut; they are written as placeholders the
// compressor keeps as literals and patched in the output afterwards.
struct Fixup {
    enum Kind { LinkPos, TopicOffset };
    qsizetype raw; // where the four bytes lie in the stream
    Kind kind;
    qint64 target; // link or topic index
};

struct Link {
    qsizetype raw;
    quint32 head;  // the link header and its first data part
    quint32 chars; // TopicLength of display records
    bool header;
};

class TopicFile {
public:
    TopicFile(const Project& p, const std::vector<int>& browsePrev,
              const std::vector<int>& browseNext, const QHash<QString, int>& windowNumbers)
        : p_(p), prev_(browsePrev), next_(browseNext), windows_(windowNumbers) {}

    QByteArray build();
    const std::vector<quint32>& topicOffsets() const { return topicOffsets_; }

private:
    struct Record {
        QByteArray data1, data2;
        quint32 chars;
    };
    void paragraph(const Paragraph& para, std::vector<Record>& into) const;
    void appendLink(quint8 type, const QByteArray& data1, const QByteArray& data2, quint32 chars,
                    bool header);
    void fixup(qsizetype at, Fixup::Kind kind, qint64 target) {
        if (target < 0)
            set32(raw_, at, kNone);
        else
            fixups_.push_back({at, kind, target});
    }

    const Project& p_;
    const std::vector<int>& prev_;
    const std::vector<int>& next_;
    const QHash<QString, int>& windows_;
    QByteArray raw_;
    std::vector<Link> links_;
    std::vector<Fixup> fixups_;
    std::vector<size_t> headerLinks_; // per topic
    std::vector<quint32> topicOffsets_;
};

void TopicFile::paragraph(const Paragraph& para, std::vector<Record>& into) const {
    const ParagraphFormat& f = para.format;
    QByteArray info;
    info.reserve(32);
    put8(info, 0);
    put8(info, 0x80);
    put16(info, 0); // paragraph id
    unsigned bits = 0;
    QByteArray args;
    auto measure = [&](int twips, unsigned bit) {
        const int v = halfPoints(twips);
        if (v == 0) return;
        bits |= bit;
        putCompressedShort(args, v);
    };
    measure(f.spaceBefore, 0x0002);
    measure(f.spaceAfter, 0x0004);
    measure(f.lineSpacing, 0x0008);
    measure(f.leftIndent, 0x0010);
    measure(f.rightIndent, 0x0020);
    measure(f.firstLineIndent, 0x0040);
    if (!f.tabs.empty()) {
        bits |= 0x0200;
        putCompressedShort(args, int(qMin<size_t>(f.tabs.size(), 32)));
        for (size_t i = 0; i < f.tabs.size() && i < 32; ++i) {
            const TabStop& t = f.tabs[i];
            const unsigned pos = unsigned(std::clamp(halfPoints(t.position), 0, 0x3FFF));
            if (t.kind == TabStop::Left) {
                putCompressedUShort(args, pos);
            } else {
                putCompressedUShort(args, pos | 0x4000);
                putCompressedUShort(args, t.kind == TabStop::Right ? 1 : 2);
            }
        }
    }
    if (f.align == Align::Right)
        bits |= 0x0400;
    else if (f.align == Align::Center)
        bits |= 0x0800;
    put16(info, bits);
    info.append(args);

    // The text as strings, each ended by a NUL that stands for the next
    // formatting command.
    QByteArray cmds, text, current;
    auto flush = [&](std::initializer_list<quint8> cmd) {
        text.append(current);
        text.append('\0');
        current.clear();
        for (quint8 c : cmd)
            cmds.append(char(c));
    };
    int font = -1;
    int open = 0; // hotspots not yet ended
    auto finish = [&] {
        Record r;
        r.data2 = text;
        r.chars = quint32(text.size());
        putCompressedLong(r.data1, int(info.size() + cmds.size()));
        putCompressedUShort(r.data1, qMin<unsigned>(unsigned(text.size()), 0x7FFF));
        r.data1.append(info);
        r.data1.append(cmds);
        into.push_back(std::move(r));
        text.clear();
        cmds.clear();
        font = -1;
    };
    for (const Span& s : para.spans) {
        switch (s.kind) {
        case Span::Text: {
            const QByteArray t = enc(s.text);
            if (t.isEmpty()) break;
            const int want = std::clamp(s.font, 0, qMax(0, int(p_.fonts.size()) - 1));
            if (want != font) {
                flush({0x80});
                put16(cmds, unsigned(want));
                font = want;
            }
            current.append(t);
            break;
        }
        case Span::Tab:
            flush({0x83});
            break;
        case Span::LineBreak:
            flush({0x81});
            break;
        case Span::Picture: {
            if (s.picture < 0 || s.picture >= int(p_.bitmaps.size())) break;
            const quint8 cmd = s.place == PicturePlace::Left    ? 0x87
                               : s.place == PicturePlace::Right ? 0x88
                                                                : 0x86;
            flush({cmd, 3});
            putCompressedULong(cmds, 4);
            put16(cmds, 0); // by reference to |bmN
            put16(cmds, unsigned(s.picture));
            // winhlp32 takes no formatting command after a picture in the same
            // record, so the paragraph goes on in a record of its own (one
            // without an end of paragraph continues the paragraph).
            if (open == 0) {
                flush({0xFF});
                finish();
            }
            break;
        }
        case Span::HotspotStart: {
            ++open;
            if (s.hotspot == HotspotKind::Macro) {
                const QByteArray m = enc(s.target);
                flush({0xC8});
                put16(cmds, unsigned(m.size() + 1));
                putSz(cmds, m);
                break;
            }
            const quint32 hash = contextHash(enc(s.target));
            const auto w = s.hotspot == HotspotKind::Jump && !s.window.isEmpty()
                               ? windows_.constFind(s.window.toLower())
                               : windows_.constEnd();
            if (w != windows_.constEnd()) {
                flush({0xEB});
                put16(cmds, 6);
                put8(cmds, 1);
                put32(cmds, hash);
                put8(cmds, unsigned(*w));
            } else {
                flush({quint8(s.hotspot == HotspotKind::Popup ? 0xE2 : 0xE3)});
                put32(cmds, hash);
            }
            break;
        }
        case Span::HotspotEnd:
            flush({0x89});
            open = qMax(0, open - 1);
            break;
        }
    }
    flush({0x82});
    flush({0xFF});
    finish();
}

void TopicFile::appendLink(quint8 type, const QByteArray& data1, const QByteArray& data2,
                           quint32 chars, bool header) {
    const qsizetype at = raw_.size();
    const qint64 index = qint64(links_.size());
    links_.push_back({at, quint32(21 + data1.size()), chars, header});
    put32(raw_, quint32(21 + data1.size() + data2.size()));
    put32(raw_, quint32(data2.size()));
    put32(raw_, 0);
    put32(raw_, 0);
    fixup(at + 8, Fixup::LinkPos, index - 1);
    fixup(at + 12, Fixup::LinkPos, index + 1); // past the last link: none
    put32(raw_, quint32(21 + data1.size()));
    put8(raw_, type);
    raw_.append(data1);
    raw_.append(data2);
}

QByteArray TopicFile::build() {
    qsizetype estimate = 0;
    for (const Topic& t : p_.topics) {
        estimate += 64 + t.title.size();
        for (const auto* list : {&t.nonScroll, &t.scroll})
            for (const Paragraph& para : *list) {
                estimate += 40;
                for (const Span& s : para.spans)
                    estimate += s.text.size() + 4;
            }
    }
    raw_.reserve(estimate + estimate / 4);
    links_.reserve(size_t(estimate / 64));
    headerLinks_.reserve(p_.topics.size());

    const Paragraph empty;
    for (size_t t = 0; t < p_.topics.size(); ++t) {
        const Topic& topic = p_.topics[t];
        std::vector<Record> records;
        records.reserve(topic.nonScroll.size() + topic.scroll.size() + 1);
        for (const Paragraph& para : topic.nonScroll)
            paragraph(para, records);
        const size_t nonScroll = records.size();
        for (const Paragraph& para : topic.scroll)
            paragraph(para, records);
        // Every topic has a scrolling region, if only an empty one.
        if (topic.scroll.empty()) paragraph(empty, records);

        const QByteArray title = enc(topic.title);
        quint32 topicSize = quint32(21 + 28 + title.size());
        for (const Record& r : records)
            topicSize += quint32(21 + r.data1.size() + r.data2.size());

        const size_t h = links_.size();
        const qsizetype at = raw_.size() + 21;
        QByteArray head(28, '\0');
        set32(head, 0, topicSize);
        set32(head, 12, quint32(t));
        headerLinks_.push_back(h);
        appendLink(0x02, head, title, 0, true);
        fixup(at + 4, Fixup::TopicOffset, prev_[t]);
        fixup(at + 8, Fixup::TopicOffset, next_[t]);
        fixup(at + 16, Fixup::LinkPos, nonScroll == 0 ? -1 : qint64(h + 1));
        fixup(at + 20, Fixup::LinkPos, qint64(h + 1 + nonScroll));
        fixup(at + 24, Fixup::LinkPos,
              t + 1 < p_.topics.size() ? qint64(h + 1 + records.size()) : -1);
        for (const Record& r : records)
            appendLink(0x20, r.data1, r.data2, r.chars, false);
    }

    // Cut into blocks.
    const bool compress = p_.compress;
    const qsizetype expanded = compress ? kExpandedBlock : kBlockData;
    std::vector<bool> pinned;
    std::vector<std::pair<qsizetype, qsizetype>> literals; // stream index -> output index
    if (compress) {
        pinned.assign(size_t(raw_.size()), false);
        for (const Fixup& f : fixups_)
            for (int k = 0; k < 4; ++k)
                pinned[size_t(f.raw + k)] = true;
        literals.reserve(fixups_.size() * 4);
    }
    QByteArray out;
    out.reserve(compress ? raw_.size() / 2 + kBlockSize
                         : raw_.size() + raw_.size() / 300 + kBlockSize);
    std::vector<qsizetype> blockStart;
    qsizetype pos = 0;
    size_t next = 0; // the first link not yet placed
    // A block may end inside a link's text, but not inside its header or
    // formatting part (the viewer reads those from one block): such a block
    // ends before that link instead, its rest unused, and the link starts the
    // next block.
    auto cut = [&](qsizetype end) -> qsizetype {
        while (next < links_.size() && links_[next].raw < end)
            ++next;
        if (next == 0) return end;
        const Link& last = links_[next - 1];
        if (last.raw > pos && last.raw + qsizetype(last.head) > end && end < raw_.size()) {
            --next;
            return last.raw;
        }
        return end;
    };
    do {
        blockStart.push_back(pos);
        const qsizetype headerAt = out.size();
        out.append(QByteArray(kBlockHeader, '\0'));
        if (compress) {
            const size_t before = literals.size();
            qsizetype taken =
                Lz77::compressBlock(raw_.constData() + pos, raw_.size() - pos, expanded, kBlockData,
                                    out, &pinned, pos, &literals);
            const qsizetype end = cut(pos + taken);
            if (end != pos + taken) {
                out.truncate(headerAt + kBlockHeader);
                literals.resize(before);
                taken = Lz77::compressBlock(raw_.constData() + pos, end - pos, expanded, kBlockData,
                                            out, &pinned, pos, &literals);
            }
            for (size_t k = before; k < literals.size(); ++k)
                literals[k].first += pos;
            pos += taken;
        } else {
            const qsizetype n = cut(pos + qMin<qsizetype>(kBlockData, raw_.size() - pos)) - pos;
            out.append(raw_.constData() + pos, n);
            pos += n;
        }
        if (pos < raw_.size()) out.append(QByteArray(headerAt + kBlockSize - out.size(), '\0'));
    } while (pos < raw_.size());
    blockStart.push_back(raw_.size() + 1);

    // Places of links and topics.
    std::vector<quint32> linkPos(links_.size());
    std::vector<quint32> linkOffset(links_.size()); // the character offset at the link
    std::vector<size_t> firstInBlock(blockStart.size() - 1, size_t(-1));
    {
        size_t b = 0;
        quint32 chars = 0;
        for (size_t k = 0; k < links_.size(); ++k) {
            while (links_[k].raw >= blockStart[b + 1]) {
                ++b;
                chars = 0;
            }
            if (firstInBlock[b] == size_t(-1)) firstInBlock[b] = k;
            linkPos[k] = quint32(kBlockHeader + qsizetype(b) * kPositionBlock +
                                 (links_[k].raw - blockStart[b]));
            linkOffset[k] = quint32(b) * 0x8000u + qMin<quint32>(chars, 0x7FFF);
            chars += links_[k].chars;
        }
    }
    topicOffsets_.resize(p_.topics.size());
    for (size_t t = 0; t < p_.topics.size(); ++t)
        topicOffsets_[t] = linkOffset[headerLinks_[t]];

    // Patch the placeholders.
    size_t lit = 0, blk = 0;
    for (const Fixup& f : fixups_) {
        quint32 v = kNone;
        if (f.kind == Fixup::LinkPos) {
            if (f.target < qint64(links_.size())) v = linkPos[size_t(f.target)];
        } else {
            v = topicOffsets_[size_t(f.target)];
        }
        for (int k = 0; k < 4; ++k) {
            const qsizetype r = f.raw + k;
            qsizetype o;
            if (compress) {
                while (literals[lit].first < r)
                    ++lit;
                o = literals[lit].second;
            } else {
                while (r >= blockStart[blk + 1])
                    ++blk;
                o = qsizetype(blk) * kBlockSize + kBlockHeader + (r - blockStart[blk]);
            }
            out[o] = char((v >> (8 * k)) & 0xFF);
        }
    }

    // Block headers: the last link before the block, the first link in it,
    // and the last topic header before it.
    size_t k = 0;
    qint64 lastHeader = -1;
    for (size_t b = 0; b + 1 < blockStart.size(); ++b) {
        const qsizetype at = qsizetype(b) * kBlockSize;
        while (k < links_.size() && links_[k].raw < blockStart[b]) {
            if (links_[k].header) lastHeader = qint64(k);
            ++k;
        }
        set32(out, at, k == 0 ? kNone : linkPos[k - 1]);
        set32(out, at + 4, firstInBlock[b] == size_t(-1) ? kNone : linkPos[firstInBlock[b]]);
        set32(out, at + 8, lastHeader < 0 ? 0 : linkPos[size_t(lastHeader)]);
    }
    return out;
}

// A .bmp file's DIB as a help file picture (one bitmap, no hotspots).
QByteArray rle(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 64 + 2);
    const auto* p = reinterpret_cast<const uchar*>(in.constData());
    const qsizetype n = in.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = 1;
        while (i + run < n && run < 127 && p[i + run] == p[i])
            ++run;
        if (run >= 3) {
            out.append(char(run));
            out.append(char(p[i]));
            i += run;
            continue;
        }
        qsizetype lit = 0;
        while (i + lit < n && lit < 127) {
            if (i + lit + 2 < n && p[i + lit] == p[i + lit + 1] && p[i + lit] == p[i + lit + 2])
                break;
            ++lit;
        }
        out.append(char(0x80 | lit));
        out.append(in.constData() + i, lit);
        i += lit;
    }
    return out;
}

QByteArray picture(const Bitmap& bitmap, bool compress) {
    const QByteArray& b = bitmap.bmp;
    Reader r(b, QStringLiteral("bitmap ") + bitmap.name);
    if (b.size() < 54 || b.left(2) != "BM") r.fail(QStringLiteral("not a .bmp file"));
    r.seek(10);
    const quint32 bits = r.u32();
    const quint32 infoSize = r.u32();
    const qint32 width = r.s32();
    qint32 height = r.s32();
    const unsigned planes = r.u16();
    const unsigned bitCount = r.u16();
    const quint32 compression = r.u32();
    r.u32();
    const qint32 xppm = r.s32(), yppm = r.s32();
    const quint32 colorsUsed = r.u32(), colorsImportant = r.u32();
    if (infoSize < 40 || compression != 0 || width <= 0 || height == 0 || width > 32767 ||
        height > 32767 || height < -32767 ||
        !(bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32))
        r.fail(QStringLiteral("only uncompressed 1, 4, 8, 24 and 32-bit bitmaps are supported"));
    const quint32 paletteCount = colorsUsed ? colorsUsed : (bitCount <= 8 ? 1u << bitCount : 0);
    if (paletteCount > 256) r.fail(QStringLiteral("the palette has %1 colours").arg(paletteCount));
    r.seek(14 + infoSize);
    const QByteArray palette = r.bytes(qsizetype(paletteCount) * 4);
    const qsizetype row = ((qsizetype(width) * bitCount + 31) / 32) * 4;
    const qsizetype rows = qAbs(height);
    r.seek(bits);
    QByteArray pixels = r.bytes(row * rows);
    if (height < 0) { // top-down: the help file stores bottom-up rows
        QByteArray flipped;
        flipped.reserve(pixels.size());
        for (qsizetype y = rows - 1; y >= 0; --y)
            flipped.append(pixels.constData() + y * row, row);
        pixels = flipped;
        height = -height;
    }
    int packing = 0;
    QByteArray data = pixels;
    const QByteArray runs = rle(pixels);
    if (runs.size() < data.size()) {
        packing = 1;
        data = runs;
    }
    if (compress) {
        const QByteArray lz = Lz77::compress(pixels);
        if (lz.size() < data.size()) {
            packing = 2;
            data = lz;
        }
    }
    auto dpi = [](qint32 ppm) {
        return ppm > 0 ? quint32((qint64(ppm) * 254 + 5000) / 10000) : 96u;
    };

    QByteArray pic;
    put8(pic, 6); // DIB
    put8(pic, unsigned(packing));
    putCompressedULong(pic, dpi(xppm));
    putCompressedULong(pic, dpi(yppm));
    putCompressedUShort(pic, planes);
    putCompressedUShort(pic, bitCount);
    putCompressedULong(pic, quint32(width));
    putCompressedULong(pic, quint32(height));
    putCompressedULong(pic, colorsUsed);
    putCompressedULong(pic, colorsImportant);
    putCompressedULong(pic, quint32(data.size()));
    putCompressedULong(pic, 0); // hotspots
    const qsizetype offsetAt = pic.size();
    put32(pic, 0);
    put32(pic, 0);
    pic.append(palette);
    set32(pic, offsetAt, quint32(pic.size()));
    pic.append(data);

    QByteArray file;
    put16(file, 0x506C); // "lP"
    put16(file, 1);
    put32(file, 8);
    file.append(pic);
    return file;
}

QByteArray systemFile(const Project& p, quint32 contentsOffset) {
    QByteArray s;
    put16(s, 0x036C);
    put16(s, 33); // HCW 4.00
    put16(s, 1);
    // Reproducible builds give the date to use.
    bool epochSet = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&epochSet);
    put32(s, quint32(epochSet ? epoch : QDateTime::currentSecsSinceEpoch()));
    put16(s, p.compress ? 4 : 0);
    auto record = [&](unsigned type, const QByteArray& data) {
        put16(s, type);
        put16(s, unsigned(data.size()));
        s.append(data);
    };
    auto text = [&](unsigned type, const QString& value) {
        if (value.isEmpty()) return;
        QByteArray d;
        putSz(d, enc(value));
        record(type, d);
    };
    text(1, p.title);
    text(2, p.copyright);
    if (!p.topics.empty()) {
        QByteArray d;
        put32(d, contentsOffset);
        record(3, d);
    }
    for (const QString& m : p.configMacros)
        text(4, m);
    for (const Window& w : p.windows) {
        unsigned flags = 0x0002;
        if (!w.caption.isEmpty()) flags |= 0x0004;
        if (w.x >= 0) flags |= 0x0008;
        if (w.y >= 0) flags |= 0x0010;
        if (w.width >= 0) flags |= 0x0020;
        if (w.height >= 0) flags |= 0x0040;
        if (w.state == 1) flags |= 0x0080;
        if (w.scrollColor >= 0) flags |= 0x0100;
        if (w.nonScrollColor >= 0) flags |= 0x0200;
        if (w.onTop) flags |= 0x0400;
        QByteArray d;
        put16(d, flags);
        putFixed(d, QByteArray(), 10);
        putFixed(d, enc(w.name), 9);
        putFixed(d, enc(w.caption), 51);
        for (int v : {w.x, w.y, w.width, w.height})
            put16(d, unsigned(qMax(0, v)));
        put16(d, w.state == 1 ? 1 : 0);
        put32(d, w.scrollColor >= 0 ? colorRef(quint32(w.scrollColor)) : 0);
        put32(d, w.nonScrollColor >= 0 ? colorRef(quint32(w.nonScrollColor)) : 0);
        record(6, d);
    }
    text(8, p.citation);
    {
        QByteArray d;
        put16(d, p.lcid);
        put16(d, 0);
        put16(d, 0);
        put16(d, 0);
        record(9, d);
    }
    text(10, p.contentsFile);
    for (const Font& f : p.fonts)
        if (f.charset != 0) {
            QByteArray d;
            put16(d, f.charset);
            record(11, d);
            break;
        }
    return s;
}

QByteArray fontFile(const Project& p) {
    std::vector<Font> fonts = p.fonts;
    if (fonts.empty()) fonts.emplace_back();
    QStringList faces;
    std::vector<int> faceOf;
    for (const Font& f : fonts) {
        int i = int(faces.indexOf(f.face));
        if (i < 0) {
            i = int(faces.size());
            faces.append(f.face);
        }
        faceOf.push_back(i);
    }
    constexpr int kFaceSize = 32;
    QByteArray s;
    put16(s, unsigned(faces.size()));
    put16(s, unsigned(fonts.size()));
    put16(s, 8);
    put16(s, unsigned(8 + faces.size() * kFaceSize));
    for (const QString& face : faces)
        putFixed(s, enc(face), kFaceSize);
    static constexpr quint8 kFamily[6] = {0, 2, 3, 1, 4, 5}; // the file's order differs
    for (size_t i = 0; i < fonts.size(); ++i) {
        const Font& f = fonts[i];
        unsigned attr = 0;
        if (f.bold) attr |= 0x01;
        if (f.italic) attr |= 0x02;
        if (f.underline) attr |= 0x04;
        if (f.strikeOut) attr |= 0x08;
        if (f.doubleUnderline) attr |= 0x10;
        if (f.smallCaps) attr |= 0x20;
        put8(s, attr);
        put8(s, unsigned(std::clamp(f.halfPoints, 1, 255)));
        put8(s, f.family < 6 ? kFamily[f.family] : 0);
        put16(s, unsigned(faceOf[i]));
        put8(s, (f.color >> 16) & 0xFF);
        put8(s, (f.color >> 8) & 0xFF);
        put8(s, f.color & 0xFF);
        put8(s, 0xFF);
        put8(s, 0xFF);
        put8(s, 0xFF);
    }
    return s;
}

QByteArray key32(quint32 v) {
    QByteArray k;
    put32(k, v);
    return k;
}

QByteArray keySz(const QByteArray& s) {
    QByteArray k = s.left(255);
    k.append('\0');
    return k;
}

// |xWBTREE, |xWDATA and |xWMAP of one keyword footnote letter.
void keywordFiles(const Project& p, bool aKeywords, const std::vector<quint32>& offsets,
                  std::map<QByteArray, QByteArray>& files) {
    struct Use {
        QByteArray sortKey, word;
        quint32 topic;
    };
    std::vector<Use> uses;
    for (size_t t = 0; t < p.topics.size(); ++t) {
        const QStringList& list = aKeywords ? p.topics[t].aKeywords : p.topics[t].keywords;
        for (const QString& k : list) {
            const QString trimmed = k.trimmed();
            if (trimmed.isEmpty()) continue;
            uses.push_back({enc(trimmed.toUpper()).left(255), enc(trimmed).left(255), quint32(t)});
        }
    }
    if (uses.empty()) return;
    std::stable_sort(uses.begin(), uses.end(),
                     [](const Use& a, const Use& b) { return a.sortKey < b.sortKey; });
    std::vector<BTreeEntry> entries;
    QByteArray data;
    for (size_t i = 0; i < uses.size();) {
        size_t j = i;
        const qsizetype at = data.size();
        int count = 0;
        qint64 last = -1;
        while (j < uses.size() && uses[j].sortKey == uses[i].sortKey) {
            if (qint64(uses[j].topic) != last) {
                put32(data, offsets[uses[j].topic]);
                last = uses[j].topic;
                ++count;
            }
            ++j;
        }
        QByteArray value;
        put16(value, unsigned(qMin(count, 0xFFFF)));
        put32(value, quint32(at));
        entries.push_back({keySz(uses[i].word), value});
        i = j;
    }
    std::vector<BTreeLeaf> leaves;
    const QByteArray prefix = aKeywords ? "|AW" : "|KW";
    files[prefix + "BTREE"] = buildBTree(entries, "F24", 2048, false, &leaves);
    files[prefix + "DATA"] = data;
    QByteArray map;
    put16(map, unsigned(leaves.size()));
    for (const BTreeLeaf& l : leaves) {
        put32(map, quint32(l.firstEntry));
        put16(map, unsigned(l.page));
    }
    files[prefix + "MAP"] = map;
}

} // namespace

QByteArray WriteHelpFile(const Project& project) {
    const Project& p = project;
    const size_t n = p.topics.size();

    // Browse chains: topics with a browse string, in the order of the
    // strings, equal strings in file order.
    std::vector<int> prev(n, -1), next(n, -1);
    {
        std::vector<int> chain;
        for (size_t t = 0; t < n; ++t)
            if (!p.topics[t].browse.trimmed().isEmpty()) chain.push_back(int(t));
        std::stable_sort(chain.begin(), chain.end(), [&](int a, int b) {
            return p.topics[size_t(a)].browse.trimmed() < p.topics[size_t(b)].browse.trimmed();
        });
        for (size_t i = 1; i < chain.size(); ++i) {
            prev[size_t(chain[i])] = chain[i - 1];
            next[size_t(chain[i - 1])] = chain[i];
        }
    }
    QHash<QString, int> windowNumbers;
    for (size_t i = 0; i < p.windows.size(); ++i)
        if (!windowNumbers.contains(p.windows[i].name.toLower()))
            windowNumbers.insert(p.windows[i].name.toLower(), int(i));

    std::map<QByteArray, QByteArray> files; // the directory's order
    TopicFile topicFile(p, prev, next, windowNumbers);
    files["|TOPIC"] = topicFile.build();
    const std::vector<quint32>& offsets = topicFile.topicOffsets();

    files["|SYSTEM"] = systemFile(p, n ? offsets[0] : 0);
    files["|FONT"] = fontFile(p);

    {
        std::vector<std::pair<qint32, quint32>> ctx;
        std::vector<BTreeEntry> ids, titles, viola;
        QHash<quint32, quint32> byHash;
        ctx.reserve(n);
        ids.reserve(n);
        titles.reserve(n);
        for (size_t t = 0; t < n; ++t) {
            const Topic& topic = p.topics[t];
            for (const QString& c : topic.contexts) {
                const QByteArray name = enc(c);
                const quint32 h = contextHash(name);
                ctx.emplace_back(qint32(h), offsets[t]);
                byHash.insert(h, offsets[t]);
                ids.push_back({key32(offsets[t]), keySz(name)});
            }
            titles.push_back({key32(offsets[t]), keySz(enc(topic.title))});
            if (!topic.window.isEmpty()) {
                const auto w = windowNumbers.constFind(topic.window.toLower());
                if (w != windowNumbers.constEnd())
                    viola.push_back({key32(offsets[t]), key32(quint32(*w))});
            }
        }
        std::stable_sort(ctx.begin(), ctx.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<BTreeEntry> ctxEntries;
        ctxEntries.reserve(ctx.size());
        for (const auto& [h, off] : ctx)
            ctxEntries.push_back({key32(quint32(h)), key32(off)});
        files["|CONTEXT"] = buildBTree(ctxEntries, "L4", 2048, false);
        files["|TTLBTREE"] = buildBTree(titles, "Lz", 2048, false);
        files["|TopicId"] = buildBTree(ids, "Lz", 2048, false);
        if (!viola.empty()) files["|Viola"] = buildBTree(viola, "L4", 2048, false);

        std::vector<std::pair<quint32, quint32>> map;
        for (const auto& [context, number] : p.map) {
            const auto it = byHash.constFind(contextHash(enc(context)));
            if (it != byHash.constEnd()) map.emplace_back(number, *it);
        }
        std::stable_sort(map.begin(), map.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QByteArray m;
        put16(m, unsigned(qMin<size_t>(map.size(), 0xFFFF)));
        for (size_t i = 0; i < map.size() && i < 0xFFFF; ++i) {
            put32(m, map[i].first);
            put32(m, map[i].second);
        }
        files["|CTXOMAP"] = m;
    }
    keywordFiles(p, false, offsets, files);
    keywordFiles(p, true, offsets, files);
    for (size_t i = 0; i < p.bitmaps.size(); ++i)
        files["|bm" + QByteArray::number(qulonglong(i))] = picture(p.bitmaps[i], p.compress);

    // The file system: header, the internal files each behind its file
    // header, the directory last.
    qsizetype total = 16 + 1024;
    for (const auto& [name, data] : files)
        total += 9 + data.size() + 16;
    QByteArray out;
    out.reserve(total + total / 100);
    put32(out, 0x00035F3F);
    put32(out, 0);
    put32(out, kNone);
    put32(out, 0);
    std::vector<BTreeEntry> dir;
    for (const auto& [name, data] : files) {
        dir.push_back({keySz(name), key32(quint32(out.size()))});
        put32(out, quint32(data.size() + 9));
        put32(out, quint32(data.size()));
        put8(out, 0);
        out.append(data);
    }
    const QByteArray directory = buildBTree(dir, "z4", 1024, true);
    const qsizetype dirAt = out.size();
    put32(out, quint32(directory.size() + 9));
    put32(out, quint32(directory.size()));
    put8(out, 4);
    out.append(directory);
    set32(out, 4, quint32(dirAt));
    set32(out, 12, quint32(out.size()));
    return out;
}

} // namespace Hlp
