#include "DbfFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

[[noreturn]] void failOn(const QString& path, const char* what) {
    throw EInOutError(
        QStringLiteral("Cannot %1 file \"%2\": %3").arg(QLatin1String(what), path, reason()));
}

void writeAll(int fd, qint64 offset, const char* data, qint64 length, const QString& path) {
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(length), off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            failOn(path, "write");
        }
        data += n;
        offset += n;
        length -= n;
    }
}

} // namespace

DbfFile::~DbfFile() {
    close();
}

void DbfFile::open(const QString& path) {
    close();
    path_ = path;
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) fail("open");
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
        close();
        throw EInOutError(QStringLiteral("\"%1\" is not a file").arg(path));
    }
}

void DbfFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writable_ = false;
}

qint64 DbfFile::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail("read");
    return st.st_size;
}

QByteArray DbfFile::read(qint64 offset, qint64 length) const {
    QByteArray out;
    if (length <= 0 || offset < 0) return out;
    const qint64 available = size() - offset;
    if (available <= 0) return out;
    out.resize(std::min(length, available));
    out.truncate(readInto(offset, out.data(), out.size()));
    return out;
}

qint64 DbfFile::readInto(qint64 offset, char* data, qint64 length) const {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, data + done, size_t(length - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("read");
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

void DbfFile::write(qint64 offset, const QByteArray& bytes) {
    if (!writable_) {
        errno = EACCES;
        fail("write");
    }
    writeAll(fd_, offset, bytes.constData(), bytes.size(), path_);
}

void DbfFile::sync() {
    if (::fdatasync(fd_) != 0 && errno != EINVAL) fail("flush");
}

void DbfFile::fail(const char* what) const {
    failOn(path_, what);
}

void DbfFile::writeAtomically(const QString& path, const QByteArray& bytes) {
    const QString temp = path + QStringLiteral(".tmp");
    const QByteArray nativeTemp = QFile::encodeName(temp);
    const int fd = ::open(nativeTemp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) failOn(path, "create");
    try {
        writeAll(fd, 0, bytes.constData(), bytes.size(), path);
        if (::fsync(fd) != 0) failOn(path, "flush");
    } catch (...) {
        ::close(fd);
        ::unlink(nativeTemp.constData());
        throw;
    }
    ::close(fd);
    if (::rename(nativeTemp.constData(), QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        ::unlink(nativeTemp.constData());
        errno = err;
        failOn(path, "write");
    }
    syncFolder(path);
}

void DbfFile::syncFolder(const QString& filePath) {
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return; // best effort: some file systems do not allow it
    ::fsync(fd);
    ::close(fd);
}

bool DbfFile::exists(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

void DbfFile::remove(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        failOn(path, "remove");
}
