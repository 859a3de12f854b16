#include "TextFiles.h"

#include "Cp1252.h"
#include "KivError.h"

#include <QFile>
#include <QSaveFile>

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Cannot open file \"%1\": %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\": %2").arg(path, file.errorString()));
    return bytes;
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Never fall back to writing in place: that is what could lose the old file.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (a full disk) shows here instead of being
    // swallowed by the buffer's flush and committed as a truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit())
        throw EInOutError(
            QStringLiteral("Cannot write file \"%1\": %2").arg(path, file.errorString()));
}

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

QByteArray JoinTextLines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += Cp1252::encode(line) + "\r\n";
    return bytes;
}

QStringList ReadTextLines(const QString& path) {
    return SplitTextLines(Cp1252::decode(ReadFileBytes(path)));
}

void WriteTextLines(const QString& path, const QStringList& lines) {
    WriteFileAtomically(path, JoinTextLines(lines));
}
