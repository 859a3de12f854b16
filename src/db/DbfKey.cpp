#include "DbfKey.h"

#include "Cp1252.h"
#include "DbfCodec.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using Ranks = std::array<uchar, 256>;

// Ranks bytes by the character each one decodes to; the case-insensitive table
// ranks them by the case-folded character, giving equal ranks to both cases.
Ranks makeRanks(bool fold) {
    std::array<char16_t, 256> code{};
    for (int b = 0; b < 256; ++b) {
        const QChar c = Cp1252::charFor(uchar(b));
        code[b] = fold ? c.toCaseFolded().unicode() : c.unicode();
    }
    std::array<char16_t, 256> sorted = code;
    std::sort(sorted.begin(), sorted.end());
    const auto end = std::unique(sorted.begin(), sorted.end());
    Ranks ranks{};
    for (int b = 0; b < 256; ++b)
        ranks[b] = uchar(std::lower_bound(sorted.begin(), end, code[b]) - sorted.begin());
    return ranks;
}

const Ranks& ranks(bool fold) {
    static const Ranks exact = makeRanks(false);
    static const Ranks folded = makeRanks(true);
    return fold ? folded : exact;
}

} // namespace

DbfKeyMaker::DbfKeyMaker(const DbfHeader& header, const QVector<int>& fields)
    : fields_(fields), dialect_(header.dialect) {
    for (int f : fields)
        parts_.push_back({header.fields[f], header.offsets[f]});
}

bool DbfKeyMaker::hasText() const {
    for (const auto& p : parts_)
        if (p.def.type == FieldType::Character || p.def.isMemo()) return true;
    return false;
}

DbfKeyPart DbfKeyMaker::textPart(const uchar* text, int length) {
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0'))
        --length;
    DbfKeyPart part;
    if (length > 0) {
        part.kind = DbfKeyPart::Text;
        part.text = text;
        part.length = length;
    }
    return part;
}

void DbfKeyMaker::extract(const char* record, DbfKeyPart* out) const {
    for (const Field& f : parts_) {
        const char* bytes = record + f.offset;
        DbfKeyPart& part = *out++;
        part = DbfKeyPart();
        switch (f.def.type) {
        case FieldType::Character:
            part = textPart(reinterpret_cast<const uchar*>(bytes), f.def.length);
            break;
        case FieldType::Numeric:
        case FieldType::Float:
            if (DbfCodec::parseNumber(bytes, f.def.length, &part.number))
                part.kind = DbfKeyPart::Number;
            break;
        case FieldType::Date: {
            int v;
            if (DbfCodec::parseDate(bytes, f.def.length, &v)) {
                part.kind = DbfKeyPart::Number;
                part.number = v;
            }
            break;
        }
        case FieldType::Logical: {
            bool b;
            if (DbfCodec::parseLogical(bytes[0], &b)) {
                part.kind = DbfKeyPart::Number;
                part.number = b ? 1 : 0;
            }
            break;
        }
        default:
            if (!f.def.isMemo()) {
                const QVariant v = DbfCodec::decode(f.def, dialect_, bytes);
                if (v.typeId() == QMetaType::QDateTime) {
                    part.kind = DbfKeyPart::Number;
                    part.number = double(v.toDateTime().toMSecsSinceEpoch());
                } else if (!v.isNull()) {
                    part.kind = DbfKeyPart::Number;
                    part.number = v.toDouble();
                }
            }
            break;
        }
    }
}

int DbfKeyMaker::compare(const DbfKeyPart* a, const DbfKeyPart* b, int n, bool caseInsensitive) {
    const Ranks& rank = ranks(caseInsensitive);
    for (int i = 0; i < n; ++i, ++a, ++b) {
        if (a->kind != b->kind) return a->kind < b->kind ? -1 : 1;
        if (a->kind == DbfKeyPart::Number) {
            if (a->number != b->number) return a->number < b->number ? -1 : 1;
        } else if (a->kind == DbfKeyPart::Text) {
            const int common = std::min(a->length, b->length);
            int k = 0;
            // Skip the common prefix eight bytes at a time; only the first
            // difference needs the ranking (every byte has its own rank unless
            // case is ignored).
            for (quint64 x, y; k + 8 <= common; k += 8) {
                memcpy(&x, a->text + k, 8);
                memcpy(&y, b->text + k, 8);
                if (x != y) break;
            }
            for (; k < common; ++k) {
                const uchar x = a->text[k], y = b->text[k];
                if (x != y && rank[x] != rank[y]) return rank[x] < rank[y] ? -1 : 1;
            }
            if (a->length != b->length) return a->length < b->length ? -1 : 1;
        }
    }
    return 0;
}
