// Writes a whole file in one open, one write and one close: with thousands of
// small files, what a file object adds around those calls is a large part of
// a build or an export.
#pragma once

#include <QByteArray>
#include <QString>

// Creates or truncates `path` and writes `bytes`; EInOutError naming the file
// when it cannot be created or written.
void WriteWholeFile(const QString& path, const QByteArray& bytes);
