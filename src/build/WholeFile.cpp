#include "WholeFile.h"

#include "KivError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw EInOutError(QStringLiteral("Cannot create file %1: %2").arg(path, reason(errno)));
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            throw EInOutError(QStringLiteral("Cannot write file %1: %2").arg(path, reason(error)));
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0 && errno != EINTR)
        throw EInOutError(QStringLiteral("Cannot write file %1: %2").arg(path, reason(errno)));
}
