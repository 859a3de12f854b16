#include "Cp1252.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// 0x80..0x9F; the five holes of the code page map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

namespace Cp1252 {

QChar charFor(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return QChar(kHigh[byte - 0x80]);
    return QChar(byte);
}

int byteFor(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u) return 0x80 + i;
    return -1;
}

// Tables, memos and topic files move through here in bulk, so both ways take
// Qt's vectorised Latin-1 conversion and then mend only the characters where
// the code page differs from Latin-1 (0x80..0x9F), which are rare. The checks
// look at eight bytes at a time: a lane is zero after the mask and xor
// exactly when it lies in that range, and (v - 1) & ~v & high finds a zero lane.

namespace {

bool bytesSameAsLatin1(const char* data, qsizetype size) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i top3 = _mm_set1_epi8(char(0xE0));
    const __m128i c1 = _mm_set1_epi8(char(0x80));
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top3), c1)) != 0) return false;
    }
#endif
    for (; i + 8 <= size; i += 8) {
        quint64 w;
        std::memcpy(&w, data + i, 8);
        const quint64 v = (w & 0xE0E0E0E0E0E0E0E0ull) ^ 0x8080808080808080ull;
        if ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) return false;
    }
    for (; i < size; ++i)
        if ((static_cast<unsigned char>(data[i]) & 0xE0) == 0x80) return false;
    return true;
}

bool charsSameAsLatin1(const char16_t* c, qsizetype size) {
    qsizetype i = 0;
#if defined(__SSE2__)
    // A lane is wrong when it has bits above 0xFF or lies in 0x80..0x9F.
    const __m128i high = _mm_set1_epi16(short(0xFF00));
    const __m128i top11 = _mm_set1_epi16(short(0xFFE0));
    const __m128i c1 = _mm_set1_epi16(0x0080);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i));
        const __m128i bad =
            _mm_or_si128(_mm_and_si128(v, high), _mm_cmpeq_epi16(_mm_and_si128(v, top11), c1));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(bad, zero)) != 0xFFFF) return false;
    }
#endif
    for (; i + 4 <= size; i += 4) {
        quint64 w;
        std::memcpy(&w, c + i, 8);
        if (w & 0xFF00FF00FF00FF00ull) return false; // above 0xFF
        const quint64 v = (w & 0x00E000E000E000E0ull) ^ 0x0080008000800080ull;
        if ((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) return false;
    }
    for (; i < size; ++i)
        if (c[i] > 0xFF || (c[i] & 0xE0) == 0x80) return false;
    return true;
}

} // namespace

QString decode(const char* data, qsizetype size) {
    QString out = QString::fromLatin1(data, size);
    if (bytesSameAsLatin1(data, size)) return out;
    char16_t* c = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < size; ++i)
        if ((c[i] & 0xFFE0) == 0x80) c[i] = kHigh[c[i] - 0x80];
    return out;
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

QByteArray encode(const QString& text, bool* complete) {
    const auto* c = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    if (complete) *complete = true;
    if (charsSameAsLatin1(c, size)) return text.toLatin1();

    QByteArray out(size, Qt::Uninitialized);
    char* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const int b = byteFor(QChar(c[i]));
        if (b < 0 && complete) *complete = false;
        dst[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

QByteArray encode(const QString& text) {
    return encode(text, nullptr);
}

} // namespace Cp1252
