// A file of a table opened with POSIX calls, so that every write lands at a
// known offset and can be forced to disk before the next step depends on it.
// All failures raise EInOutError naming the file.
#pragma once

#include "KivError.h"

#include <QByteArray>
#include <QString>

class DbfFile {
public:
    DbfFile() = default;
    ~DbfFile();
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    // Opens for reading and writing, or for reading only when the file or its
    // folder refuses writes (then writable() is false).
    void open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    bool writable() const { return writable_; }
    const QString& path() const { return path_; }
    int handle() const { return fd_; } // for locking

    qint64 size() const;
    // Up to `length` bytes from `offset`; fewer at the end of the file.
    QByteArray read(qint64 offset, qint64 length) const;
    // Reads into `data` without asking for the file's size first; returns how
    // many bytes arrived (fewer than `length` at the end of the file).
    qint64 readInto(qint64 offset, char* data, qint64 length) const;
    void write(qint64 offset, const QByteArray& bytes);
    void sync();

    // Writes a whole file through a temporary file and a rename, so a crash
    // leaves either the old file or the new one.
    static void writeAtomically(const QString& path, const QByteArray& bytes);
    static void syncFolder(const QString& filePath);
    static bool exists(const QString& path);
    static void remove(const QString& path); // missing files are fine

private:
    [[noreturn]] void fail(const char* what) const;
    int fd_ = -1;
    bool writable_ = false;
    QString path_;
};
