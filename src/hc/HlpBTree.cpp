#include "HlpBTree.h"

namespace Hlp {

namespace {

constexpr quint16 kMagic = 0x293B;
constexpr int kHeaderSize = 38;

struct Child {
    int page;
    QByteArray firstKey;
};

} // namespace

QByteArray buildBTree(const std::vector<BTreeEntry>& sorted, const char* structure, int pageSize,
                      bool directory, std::vector<BTreeLeaf>* leaves) {
    QByteArray pages;
    int pageCount = 0;
    std::vector<Child> level;

    // Leaves: header (free bytes, entries, previous, next), then the entries.
    std::vector<std::pair<qsizetype, int>> leafStarts; // page offset, entry count
    size_t i = 0;
    do {
        const qsizetype at = pages.size();
        pages.append(QByteArray(pageSize, '\0'));
        const int page = pageCount++;
        qsizetype used = 8;
        int n = 0;
        if (leaves) leaves->push_back({page, int(i)});
        if (i < sorted.size())
            level.push_back({page, sorted[i].key});
        else
            level.push_back({page, {}});
        while (i < sorted.size()) {
            const BTreeEntry& e = sorted[i];
            const qsizetype len = e.key.size() + e.value.size();
            if (used + len > pageSize) {
                if (n == 0)
                    throw EHlpFormat(
                        QStringLiteral("B-tree entry of %1 bytes does not fit a page").arg(len));
                break;
            }
            char* p = pages.data() + at + used;
            memcpy(p, e.key.constData(), size_t(e.key.size()));
            memcpy(p + e.key.size(), e.value.constData(), size_t(e.value.size()));
            used += len;
            ++n;
            ++i;
        }
        set16(pages, at, unsigned(pageSize - used));
        set16(pages, at + 2, unsigned(n));
        set16(pages, at + 4, page == 0 ? 0xFFFF : unsigned(page - 1));
        set16(pages, at + 6, 0xFFFF);
        if (page > 0) set16(pages, at - pageSize + 6, unsigned(page));
    } while (i < sorted.size());

    // Index levels: the first child of a page is its "previous page", every
    // further child an entry of its first key and page number.
    int levels = 1;
    while (level.size() > 1) {
        std::vector<Child> up;
        size_t c = 0;
        while (c < level.size()) {
            const qsizetype at = pages.size();
            pages.append(QByteArray(pageSize, '\0'));
            const int page = pageCount++;
            up.push_back({page, level[c].firstKey});
            set16(pages, at + 4, unsigned(level[c].page));
            ++c;
            qsizetype used = 6;
            int n = 0;
            while (c < level.size()) {
                const qsizetype len = level[c].firstKey.size() + 2;
                if (used + len > pageSize) break;
                char* p = pages.data() + at + used;
                memcpy(p, level[c].firstKey.constData(), size_t(level[c].firstKey.size()));
                used += level[c].firstKey.size();
                set16(pages, at + used, unsigned(level[c].page));
                used += 2;
                ++n;
                ++c;
            }
            set16(pages, at, unsigned(pageSize - used));
            set16(pages, at + 2, unsigned(n));
        }
        level = std::move(up);
        ++levels;
    }
    if (pageCount > 0xFFFF)
        throw EHlpFormat(QStringLiteral("B-tree of %1 pages is too large").arg(pageCount));

    QByteArray out;
    out.reserve(kHeaderSize + pages.size());
    put16(out, kMagic);
    put16(out, directory ? 0x0402 : 0x0002);
    put16(out, unsigned(pageSize));
    putFixed(out, QByteArray(structure), 16);
    put16(out, 0);
    put16(out, unsigned(pageCount - 1));      // page splits
    put16(out, unsigned(level.front().page)); // root
    put16(out, 0xFFFF);
    put16(out, unsigned(pageCount));
    put16(out, unsigned(levels));
    put32(out, quint32(sorted.size()));
    out.append(pages);
    return out;
}

void walkBTree(const QByteArray& file, const QString& name,
               const std::function<void(Reader&)>& read) {
    Reader h(file, name);
    if (h.u16() != kMagic) h.fail(QStringLiteral("not a B-tree (wrong magic)"));
    h.u16();
    const int pageSize = h.u16();
    h.skip(16 + 2 + 2);
    const int root = h.u16();
    h.u16();
    const int total = h.u16();
    const int levels = h.u16();
    const quint32 entries = h.u32();
    if (pageSize < 16) h.fail(QStringLiteral("page size %1 is too small").arg(pageSize));
    if (levels < 1 || levels > 16) h.fail(QStringLiteral("%1 levels").arg(levels));
    const qsizetype pagesAt = h.pos();
    auto page = [&](int number) {
        if (number < 0 || number >= total ||
            pagesAt + qsizetype(number + 1) * pageSize > file.size())
            h.fail(QStringLiteral("page %1 points past the end of the file").arg(number));
        return file.mid(pagesAt + qsizetype(number) * pageSize, pageSize);
    };
    int number = root;
    for (int l = 1; l < levels; ++l) {
        const QByteArray index = page(number);
        Reader r(index, name);
        r.skip(4);
        number = r.s16();
    }
    quint32 seen = 0;
    for (int visited = 0; number != -1; ++visited) {
        if (visited >= total) h.fail(QStringLiteral("the leaf pages form a loop"));
        const QByteArray leaf = page(number);
        Reader r(leaf, name);
        r.u16();
        const int n = r.s16();
        r.s16();
        const int next = r.s16();
        if (n < 0) r.fail(QStringLiteral("page %1 has %2 entries").arg(number).arg(n));
        for (int k = 0; k < n; ++k) {
            if (++seen > entries) h.fail(QStringLiteral("more entries than the header counts"));
            read(r);
        }
        number = next;
    }
}

} // namespace Hlp
