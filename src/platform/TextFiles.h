// Whole-file reading and writing for the program's 8-bit text files: Windows-1252
// text with CR LF line ends, written through a temporary file and a rename so a
// failed write leaves the old file as it was.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file's bytes; EInOutError when it cannot be opened or read.
QByteArray ReadFileBytes(const QString& path);
// Replaces the file with `bytes` atomically; EInOutError on any failure.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);

// Splits decoded text into lines at LF, CR LF or a lone CR; a final line break
// does not start another line.
QStringList SplitTextLines(const QString& text);
// Every line followed by CR LF, encoded in Windows-1252.
QByteArray JoinTextLines(const QStringList& lines);

QStringList ReadTextLines(const QString& path);
void WriteTextLines(const QString& path, const QStringList& lines);
