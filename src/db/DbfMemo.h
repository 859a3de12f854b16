// The memo file of a table: .dbt (dBase III or dBase IV blocks) or .fpt
// (FoxPro). Memos are read on demand; new memos are appended after the last
// used block, so a row that still points at an old memo keeps reading it.
#pragma once

#include "DbfFile.h"

class DbfMemo {
public:
    enum class Style { DBase3, DBase4, FoxPro };

    // Opens the memo file of a table; `dbase3` selects dBase III blocks for a
    // .dbt whose table says so.
    void open(const QString& path, bool dbase3);
    bool isOpen() const { return file_.isOpen(); }
    bool writable() const { return file_.writable(); }
    const QString& path() const { return file_.path(); }
    Style style() const { return style_; }

    // The memo stored at `block`; a null QByteArray when the block lies outside
    // the file or does not hold a memo.
    QByteArray read(qint64 block) const;

    // Appends memos (one write) and returns their first blocks. The header's
    // next-free pointer is not moved yet: see commitAppend().
    std::vector<qint64> append(const std::vector<QByteArray>& memos);
    // Records the appended blocks as used in the header and flushes the file,
    // so the blocks are on disk before any row points at them.
    void commitAppend();

    // An empty memo file for a new table of this program's layout.
    static QByteArray emptyFile(const QString& tableStem);

private:
    QByteArray block(const QByteArray& memo) const;
    QByteArray readDBase3(qint64 start) const;
    bool inWindow(qint64 offset) const;
    void forgetWindow();
    DbfFile file_;
    Style style_ = Style::DBase4;
    qint64 blockSize_ = 512;
    qint64 nextFree_ = 1;
    qint64 pendingNextFree_ = 1;
    // The last large read of a walk in file order, and where the memo after
    // the last one read begins (-1 when unknown).
    mutable QByteArray window_;
    mutable qint64 windowStart_ = -1;
    mutable qint64 nextSequential_ = -1;
};
