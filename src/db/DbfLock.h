// Locks between processes on one table, and the note that names the writer.
//
// The locks are Linux open-file-description locks on single bytes of the
// .dbf far past any data. The kernel drops them when the file is closed or
// the process dies, so a crash never leaves a lock behind.
// - The writer lock (exclusive) belongs to the one process that may change
//   the table. It is taken before the table is read in and kept until the
//   table is closed, so the writer's image of the table is never stale.
// - The data lock is exclusive while a change is written and shared while
//   the table is read in: a reader never sees half a change, and a journal
//   left by a crash is replayed only while no one writes.
// Each lock has a gate taken just before it, so that a waiting process gets
// its turn even when the holder takes the lock again at once.
//
// The writer also writes "<stem>.lck": program, process, host, since when,
// and whether it keeps the table while open ("holds=long", an editor) or only
// for a statement ("holds=short"). A note is believed only while its writer
// lock is really held and its process lives; otherwise it is stale and the
// next writer replaces it.
#pragma once

#include "DbfFile.h"

#include <QDateTime>

struct DbfHolder {
    QString program;
    qint64 pid = 0; // 0: unknown
    QString host;
    QDateTime since;
    bool lasting = false;

    // "kivhelp (process 1234)", with " on host H" for another machine;
    // "another process" when the note says nothing useful.
    QString text() const;
    // The holder's note as written (key=value lines); unknown keys and bad
    // values are passed over.
    static DbfHolder parse(const QByteArray& note);
};

class DbfLock {
public:
    // Locks of the table open in `file`; the file must outlive this object.
    explicit DbfLock(const DbfFile& file);
    ~DbfLock(); // removes this process's note; closing the file drops the locks
    DbfLock(const DbfLock&) = delete;
    DbfLock& operator=(const DbfLock&) = delete;

    // Takes the writer lock, waiting up to writerWait() for a holder that
    // writes for a statement (never for one that holds the table open).
    // Returns false with `holder` filled when another process keeps it.
    // `lasting` goes into the note. Throws when the file on disk is no longer
    // the one open (removed or replaced meanwhile).
    bool lockWriter(bool lasting, DbfHolder* holder);
    bool holdsWriter() const { return writer_; }

    // The data lock for the duration of a scope. Shared for reading; an
    // exclusive lock on a file open only for reading is taken shared.
    class Data {
    public:
        Data(DbfLock& lock, bool exclusive);
        ~Data();
        Data(const Data&) = delete;
        Data& operator=(const Data&) = delete;

    private:
        DbfLock& lock_;
    };

    static QString notePath(const QString& tablePath);
    // How long a writer waits for another one (milliseconds; 5 s by default).
    static int writerWait();
    static void setWriterWait(int ms);

private:
    DbfHolder holder() const;
    int fd_;
    QString path_;
    bool writer_ = false;
    bool noteWritten_ = false;
};
