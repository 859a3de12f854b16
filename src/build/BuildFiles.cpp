#include "BuildFiles.h"

#include "Cp1252.h"
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

// A topic file in one open, one write and one close: with thousands of small
// files, what a file object adds around those calls is a large part of the build.
void writeWhole(const QString& path, const QByteArray& bytes) {
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

QFile& openForWriting(QFile& file) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(QStringLiteral("Cannot create file %1: %2")
                              .arg(file.fileName(), file.errorString()));
    return file;
}

void writeLine(QFile& file, const QString& line) {
    const QByteArray bytes = Cp1252::encode(line) + "\r\n";
    if (file.write(bytes) != bytes.size())
        throw EInOutError(QStringLiteral("Cannot write file %1: %2")
                              .arg(file.fileName(), file.errorString()));
}

void closeChecked(QFile& file) {
    if (!file.flush())
        throw EInOutError(QStringLiteral("Cannot write file %1: %2")
                              .arg(file.fileName(), file.errorString()));
    file.close();
}

} // namespace

int BuildFiles(const QString& dir, const QString& stem, TopicSource& topics,
               const BuildProgress& progress) {
    QFile map(dir + stem + QStringLiteral(".map"));
    QFile list(dir + stem + QStringLiteral(".lst"));
    openForWriting(map);
    openForWriting(list);

    const int total = topics.count();
    int written = 0;
    TopicFields topic;
    QString ctx;
    while (topics.next(topic, ctx)) {
        const QString rtfName = stem + QLatin1Char('_') + topic.id + QStringLiteral(".rtf");
        writeWhole(dir + rtfName, TopicRtfBytes(topic));
        writeLine(list, rtfName);
        // A topic without ID has no context string to map.
        if (!ctx.isEmpty() && !topic.id.isEmpty())
            writeLine(map, QStringLiteral("#define ") + topic.id + QLatin1Char(' ') + ctx);
        ++written;
        if (progress) progress(written, total);
    }
    closeChecked(list);
    closeChecked(map);
    return written;
}
