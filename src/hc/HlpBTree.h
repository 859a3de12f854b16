// The B+ trees of the help file (the internal directory, |CONTEXT, |TTLBTREE,
// the keyword trees and others): written in one pass from sorted entries,
// and walked leaf by leaf when reading.
#pragma once

#include "HlpBytes.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace Hlp {

struct BTreeEntry {
    QByteArray key;   // as stored, e.g. a NUL-terminated string or four bytes
    QByteArray value; // the rest of the leaf entry
};

struct BTreeLeaf {
    int page = 0;
    int firstEntry = 0; // index of the leaf's first entry
};

// The internal file of a tree over entries already in key order. Leaves are
// filled in order, then index pages above them up to one root page.
QByteArray buildBTree(const std::vector<BTreeEntry>& sorted, const char* structure, int pageSize,
                      bool directory, std::vector<BTreeLeaf>* leaves = nullptr);

// Walks the leaves of a tree in key order; read is called with a reader at
// each entry and must consume exactly that entry. Throws EHlpFormat naming
// the file for damaged pages, loops and counts.
void walkBTree(const QByteArray& file, const QString& name,
               const std::function<void(Reader&)>& read);

} // namespace Hlp
