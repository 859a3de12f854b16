#include "DbfLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Far past any offset a table or another dBase program's record locks use.
constexpr off_t kBase = off_t(1) << 62;
constexpr off_t kWriter = kBase;
constexpr off_t kWriterGate = kBase + 1;
constexpr off_t kData = kBase + 2;
constexpr off_t kDataGate = kBase + 3;
// Readers load a table in well under this; a longer wait means a process hangs.
constexpr int kDataWaitMs = 30000;

int& writerWaitMs() {
    static int ms = 5000;
    return ms;
}

enum class Lock { Taken, Busy };

// File systems without locks (some network and FUSE ones) are used without
// them, as before there were any.
Lock setLock(int fd, off_t at, short type, const QString& path) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return Lock::Taken;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return Lock::Busy;
        if (errno == EINVAL || errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return Lock::Taken;
        throw EInOutError(QStringLiteral("Cannot lock file \"%1\": %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

void unlock(int fd, off_t at) {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
    }
}

// Takes `gate`, then `at`, then lets the gate go: whoever waits holds the gate,
// so a holder that lets go and comes back at once queues behind it. False
// when `giveUp` says so or the time is up.
bool acquire(int fd, off_t gate, off_t at, short type, int waitMs,
             const std::function<bool()>& giveUp, const QString& path) {
    QElapsedTimer clock;
    clock.start();
    int pause = 1;
    const auto wait = [&] {
        if (giveUp() || clock.elapsed() >= waitMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        pause = std::min(pause * 2, 10);
        return true;
    };
    while (setLock(fd, gate, type, path) == Lock::Busy)
        if (!wait()) return false;
    while (setLock(fd, at, type, path) == Lock::Busy) {
        if (!wait()) {
            unlock(fd, gate);
            return false;
        }
    }
    unlock(fd, gate);
    return true;
}

QString programName() {
    return QString::fromLocal8Bit(program_invocation_short_name);
}

bool alive(const DbfHolder& h) {
    if (h.pid <= 0) return false;
    if (h.host != QSysInfo::machineHostName()) return true; // cannot tell: trust it
    return ::kill(pid_t(h.pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString DbfHolder::text() const {
    if (pid <= 0) return QStringLiteral("another process");
    QString out = program.isEmpty() ? QStringLiteral("a program") : program;
    out += QStringLiteral(" (process %1").arg(pid);
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        out += QStringLiteral(" on host %1").arg(host);
    return out + QLatin1Char(')');
}

DbfLock::DbfLock(const DbfFile& file) : fd_(file.handle()), path_(file.path()) {}

DbfLock::~DbfLock() {
    // The note goes while the lock is still held, so it is never someone else's.
    if (noteWritten_) ::unlink(QFile::encodeName(notePath(path_)).constData());
}

QString DbfLock::notePath(const QString& tablePath) {
    QString stem = tablePath;
    if (stem.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive)) stem.chop(4);
    return stem + QStringLiteral(".lck");
}

int DbfLock::writerWait() {
    return writerWaitMs();
}

void DbfLock::setWriterWait(int ms) {
    writerWaitMs() = ms;
}

DbfHolder DbfHolder::parse(const QByteArray& note) {
    DbfHolder h;
    for (const QByteArray& raw : note.left(4096).split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "program")
            h.program = value;
        else if (key == "pid")
            h.pid = value.toLongLong();
        else if (key == "host")
            h.host = value;
        else if (key == "since")
            h.since = QDateTime::fromString(value, Qt::ISODate);
        else if (key == "holds")
            h.lasting = value == QLatin1String("long");
    }
    return h;
}

DbfHolder DbfLock::holder() const {
    QFile f(notePath(path_));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const DbfHolder h = DbfHolder::parse(f.read(4096));
    // A note left by a process that is gone describes no one.
    if (!alive(h)) return {};
    return h;
}

bool DbfLock::lockWriter(bool lasting, DbfHolder* other) {
    if (writer_) return true;
    const auto keptOpen = [this] { return holder().lasting; };
    if (!acquire(fd_, kWriterGate, kWriter, F_WRLCK, writerWaitMs(), keptOpen, path_)) {
        if (other) *other = holder();
        return false;
    }
    // Someone may have removed or replaced the table while we waited: writing
    // to the old file would lose every change.
    struct stat open {
    }, named{};
    if (::fstat(fd_, &open) != 0 || ::stat(QFile::encodeName(path_).constData(), &named) != 0 ||
        open.st_ino != named.st_ino || open.st_dev != named.st_dev) {
        unlock(fd_, kWriter);
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" was removed or replaced by another program").arg(path_));
    }
    writer_ = true;
    const QByteArray note =
        QStringLiteral("program=%1\r\npid=%2\r\nhost=%3\r\nsince=%4\r\nholds=%5\r\n")
            .arg(programName())
            .arg(::getpid())
            .arg(QSysInfo::machineHostName(), QDateTime::currentDateTime().toString(Qt::ISODate),
                 lasting ? QStringLiteral("long") : QStringLiteral("short"))
            .toUtf8();
    // Through a rename, so a reader never sees half a note. Not flushed: after
    // a power cut the locks are gone anyway, and a stale note is ignored.
    const QByteArray target = QFile::encodeName(notePath(path_));
    const QByteArray temp = target + ".tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const bool whole = ::write(fd, note.constData(), size_t(note.size())) == note.size();
        ::close(fd);
        noteWritten_ = whole && ::rename(temp.constData(), target.constData()) == 0;
        if (!noteWritten_) ::unlink(temp.constData());
    }
    return true;
}

DbfLock::Data::Data(DbfLock& lock, bool exclusive) : lock_(lock) {
    const int flags = ::fcntl(lock.fd_, F_GETFL);
    const bool canWrite = flags != -1 && (flags & O_ACCMODE) != O_RDONLY;
    const short type = exclusive && canWrite ? F_WRLCK : F_RDLCK;
    const auto never = [] { return false; };
    if (!acquire(lock.fd_, kDataGate, kData, type, kDataWaitMs, never, lock.path_))
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" is busy: another process has been reading or writing it "
                           "for %2 seconds")
                .arg(lock.path_)
                .arg(kDataWaitMs / 1000));
}

DbfLock::Data::~Data() {
    unlock(lock_.fd_, kData);
}
