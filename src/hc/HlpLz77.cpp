#include "HlpLz77.h"

#include <array>
#include <limits>

namespace Hlp::Lz77 {

QByteArray expand(const char* src, qsizetype size, qsizetype limit) {
    QByteArray out;
    out.reserve(qMin<qsizetype>(limit, size * 8));
    qsizetype i = 0;
    while (i < size && out.size() < limit) {
        const unsigned flags = quint8(src[i++]);
        for (int bit = 0; bit < 8 && i < size && out.size() < limit; ++bit) {
            if (flags & (1u << bit)) {
                if (i + 1 >= size) return out;
                const unsigned w = quint8(src[i]) | (quint8(src[i + 1]) << 8);
                i += 2;
                const qsizetype distance = (w & 0x0FFF) + 1;
                qsizetype len = ((w >> 12) & 0x0F) + 3;
                qsizetype from = out.size() - distance;
                // A distance before the start reads the empty window: blanks.
                while (len-- > 0 && out.size() < limit) {
                    out.append(from >= 0 ? out.at(from) : ' ');
                    ++from;
                }
            } else {
                out.append(src[i++]);
            }
        }
    }
    return out;
}

namespace {

constexpr int kWindow = 4095; // longest back distance used
constexpr int kMinMatch = 3, kMaxMatch = 18;
constexpr int kHashBits = 13;
constexpr int kChainDepth = 16;

inline unsigned hash3(const uchar* p) {
    return ((unsigned(p[0]) << 10) ^ (unsigned(p[1]) << 5) ^ p[2]) & ((1u << kHashBits) - 1);
}

} // namespace

qsizetype compressBlock(const char* inChars, qsizetype inSize, qsizetype maxIn, qsizetype maxOut,
                        QByteArray& out, const std::vector<bool>* pinned, qsizetype pinnedBase,
                        std::vector<std::pair<qsizetype, qsizetype>>* literals) {
    const auto* in = reinterpret_cast<const uchar*>(inChars);
    const qsizetype end = qMin(inSize, maxIn);

    // For each position the next pinned one at or after it (end when none):
    // no match may reach it.
    std::vector<qint32> nextPinned(size_t(end) + 1, qint32(end));
    if (pinned)
        for (qsizetype i = end - 1; i >= 0; --i)
            nextPinned[size_t(i)] =
                (*pinned)[size_t(pinnedBase + i)] ? qint32(i) : nextPinned[size_t(i) + 1];

    // Hash chains over input positions; -1 ends a chain.
    std::array<qint32, (1u << kHashBits)> head;
    head.fill(-1);
    std::vector<qint32> prev(size_t(qMax<qsizetype>(end, 1)), -1);
    auto insert = [&](qsizetype p) {
        if (p + kMinMatch > nextPinned[size_t(p)]) return;
        const unsigned h = hash3(in + p);
        prev[size_t(p)] = head[h];
        head[h] = qint32(p);
    };

    const qsizetype outStart = out.size();
    auto used = [&] { return out.size() - outStart; };
    qsizetype i = 0, flagAt = -1;
    int bit = 8;
    while (i < end) {
        if (bit == 8) {
            if (used() >= maxOut) break;
            flagAt = out.size();
            out.append('\0');
            bit = 0;
        }
        int bestLen = 0;
        qsizetype bestFrom = 0;
        const qsizetype room = qMin<qsizetype>(kMaxMatch, nextPinned[size_t(i)] - i);
        // When more input follows than the block takes, the output is to
        // fill the block exactly rather than end early with unused bytes a
        // reader would expand: near the end, literals only, which spend the
        // output faster than the input.
        const bool fill = inSize > maxIn && (end - i) * 9 <= (maxOut - used() + 16) * 8;
        if (room >= kMinMatch && !fill) {
            int depth = kChainDepth;
            for (qint32 c = head[hash3(in + i)]; c >= 0 && i - c <= kWindow && depth-- > 0;
                 c = prev[size_t(c)]) {
                const qsizetype maxLen = qMin<qsizetype>(room, nextPinned[size_t(c)] - c);
                if (maxLen <= bestLen || in[c + bestLen] != in[i + bestLen]) continue;
                int n = 0;
                while (n < maxLen && in[c + n] == in[i + n])
                    ++n;
                if (n > bestLen) {
                    bestLen = n;
                    bestFrom = c;
                    if (n == room) break;
                }
            }
        }
        if (bestLen >= kMinMatch && used() + 2 <= maxOut) {
            const unsigned w =
                unsigned(((bestLen - kMinMatch) << 12) | ((i - bestFrom - 1) & 0x0FFF));
            out.append(char(w & 0xFF));
            out.append(char(w >> 8));
            out[flagAt] = char(quint8(out[flagAt]) | (1u << bit));
            for (int k = 0; k < bestLen; ++k)
                insert(i + k);
            i += bestLen;
        } else if (used() + 1 <= maxOut) {
            if (literals && nextPinned[size_t(i)] == i) literals->emplace_back(i, out.size());
            out.append(char(in[i]));
            insert(i);
            ++i;
        } else {
            break;
        }
        ++bit;
    }
    return i;
}

QByteArray compress(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size() + data.size() / 8 + 16);
    compressBlock(data.constData(), data.size(), data.size(), std::numeric_limits<qsizetype>::max(),
                  out);
    return out;
}

} // namespace Hlp::Lz77
