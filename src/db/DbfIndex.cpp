#include "DbfIndex.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>

DbfIndex::DbfIndex(const DbfIndexDef& def, const DbfHeader& header, const QVector<int>& fields)
    : def_(def), keys_(header, fields) {}

std::vector<int> DbfIndex::sorted(const DbfRows& table, const DbfKeyMaker& keys,
                                  bool caseInsensitive,
                                  const std::function<QByteArray(int, int)>& memo) {
    const int n = keys.size();
    std::vector<int> rows;
    rows.reserve(size_t(table.count));
    for (int r = 0; r < table.count; ++r)
        if (!table.deleted(r)) rows.push_back(r);
    std::vector<DbfKeyPart> parts(rows.size() * size_t(n));
    std::vector<QByteArray> memoTexts; // keeps memo key bytes alive while sorting
    QVector<int> memoParts;
    for (int p = 0; p < n && memo; ++p)
        if (keys.isMemo(p)) memoParts.push_back(p);
    memoTexts.reserve(rows.size() * size_t(memoParts.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        keys.extract(table.record(rows[i]), &parts[i * size_t(n)]);
        for (int p : memoParts) {
            memoTexts.push_back(memo(rows[i], p));
            const QByteArray& text = memoTexts.back();
            parts[i * size_t(n) + size_t(p)] = DbfKeyMaker::textPart(
                reinterpret_cast<const uchar*>(text.constData()), int(text.size()));
        }
    }
    // Sorting jumps between rows at random; copying the key text out of the
    // records first keeps those jumps inside a small, cache-friendly buffer.
    qsizetype textBytes = 0;
    for (const DbfKeyPart& part : parts)
        if (part.kind == DbfKeyPart::Text) textBytes += part.length;
    QByteArray arena(textBytes, Qt::Uninitialized);
    uchar* at = reinterpret_cast<uchar*>(arena.data());
    for (DbfKeyPart& part : parts) {
        if (part.kind != DbfKeyPart::Text) continue;
        memcpy(at, part.text, size_t(part.length));
        part.text = at;
        at += part.length;
    }
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = DbfKeyMaker::compare(&parts[size_t(a) * size_t(n)],
                                           &parts[size_t(b) * size_t(n)], n, caseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    for (int& i : order)
        i = rows[size_t(i)];
    return order;
}

void DbfIndex::build(const DbfRows& table) {
    rows_ = sorted(table, keys_, false, {});
}

std::vector<int>::const_iterator DbfIndex::lowerBound(const DbfRows& table, const DbfKeyPart* key,
                                                      int row) const {
    const int n = keys_.size();
    std::vector<DbfKeyPart> probe(static_cast<size_t>(n));
    return std::lower_bound(rows_.begin(), rows_.end(), row, [&](int existing, int wanted) {
        keys_.extract(table.record(existing), probe.data());
        const int c = DbfKeyMaker::compare(probe.data(), key, n, false);
        return c != 0 ? c < 0 : existing < wanted;
    });
}

void DbfIndex::insert(const DbfRows& table, int row) {
    std::vector<DbfKeyPart> key(size_t(keys_.size()));
    keys_.extract(table.record(row), key.data());
    const auto at = lowerBound(table, key.data(), row);
    rows_.insert(rows_.begin() + (at - rows_.cbegin()), row);
}

void DbfIndex::remove(int row) {
    const auto at = std::find(rows_.begin(), rows_.end(), row);
    if (at != rows_.end()) rows_.erase(at);
}

int DbfIndex::findEqual(const DbfRows& table, const char* record,
                        const std::unordered_set<int>& ignore) const {
    const int n = keys_.size();
    std::vector<DbfKeyPart> key(static_cast<size_t>(n)), probe(static_cast<size_t>(n));
    keys_.extract(record, key.data());
    for (auto it = lowerBound(table, key.data(), -1); it != rows_.end(); ++it) {
        keys_.extract(table.record(*it), probe.data());
        if (DbfKeyMaker::compare(probe.data(), key.data(), n, false) != 0) break;
        if (!ignore.count(*it)) return *it;
    }
    return -1;
}

int DbfIndex::firstDuplicate(const DbfRows& table) const {
    const int n = keys_.size();
    std::vector<DbfKeyPart> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    for (size_t i = 1; i < rows_.size(); ++i) {
        keys_.extract(table.record(rows_[i - 1]), a.data());
        keys_.extract(table.record(rows_[i]), b.data());
        if (DbfKeyMaker::compare(a.data(), b.data(), n, false) == 0) return rows_[i];
    }
    return -1;
}
