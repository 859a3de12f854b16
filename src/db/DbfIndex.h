// One index of a table held in memory: the live rows in key order (ties in
// row order). Built by extracting every key once and sorting; kept current row
// by row as the table changes.
#pragma once

#include "DbfKey.h"

#include <functional>
#include <unordered_set>

struct DbfRows {
    const char* data = nullptr; // record 0, starting at its deleted flag
    int recordSize = 0;
    int count = 0;

    const char* record(int row) const { return data + qint64(row) * recordSize; }
    bool deleted(int row) const { return *record(row) == '*'; }
};

class DbfIndex {
public:
    DbfIndex(const DbfIndexDef& def, const DbfHeader& header, const QVector<int>& fields);

    const DbfIndexDef& def() const { return def_; }
    const DbfKeyMaker& keys() const { return keys_; }
    const std::vector<int>& rows() const { return rows_; }

    void build(const DbfRows& table);
    // `row` must already hold its new bytes in `table`.
    void insert(const DbfRows& table, int row);
    void remove(int row);

    // A row other than those in `ignore` whose key equals that of `record`, or -1.
    int findEqual(const DbfRows& table, const char* record,
                  const std::unordered_set<int>& ignore) const;
    // The first duplicate key among the live rows, as a row number, or -1.
    int firstDuplicate(const DbfRows& table) const;

    // Live rows sorted by `keys` (memo parts read through `memo`).
    static std::vector<int> sorted(const DbfRows& table, const DbfKeyMaker& keys,
                                   bool caseInsensitive,
                                   const std::function<QByteArray(int row, int part)>& memo);

private:
    std::vector<int>::const_iterator lowerBound(const DbfRows& table, const DbfKeyPart* key,
                                                int row) const;
    DbfIndexDef def_;
    DbfKeyMaker keys_;
    std::vector<int> rows_;
};
