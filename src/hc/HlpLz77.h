// The LZ77 variant of help files: groups of eight items behind a flag byte
// (low bit first); a set bit is a 12-bit back distance and a 4-bit length
// (3..18 bytes), a clear bit one literal byte.
#pragma once

#include <QByteArray>

#include <utility>
#include <vector>

namespace Hlp::Lz77 {

// Expands src, producing at most limit bytes.
QByteArray expand(const char* src, qsizetype size, qsizetype limit);

// Compresses a whole buffer (pictures).
QByteArray compress(const QByteArray& data);

// Compresses a prefix of in[0, inSize) into out, using at most maxOut bytes of
// output and maxIn bytes of input, and returns how many input bytes it took.
// A fresh window starts here (every topic block is expanded on its own). Bytes
// whose pinned[pinnedBase + i] is set are only ever written as literals and
// never copied from, so their values may be patched into the output afterwards:
// for each the pair (input index, output index) is appended to literals.
qsizetype compressBlock(const char* in, qsizetype inSize, qsizetype maxIn, qsizetype maxOut,
                        QByteArray& out, const std::vector<bool>* pinned = nullptr,
                        qsizetype pinnedBase = 0,
                        std::vector<std::pair<qsizetype, qsizetype>>* literals = nullptr);

} // namespace Hlp::Lz77
