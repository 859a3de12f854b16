#include "BuildFiles.h"

#include "Cp1252.h"
#include "KivError.h"
#include "WholeFile.h"

#include <QFile>

namespace {

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
        WriteWholeFile(dir + rtfName, TopicRtfBytes(topic));
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
