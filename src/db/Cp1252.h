// Windows-1252, the code page of every 8-bit file the program reads or writes.
#pragma once

#include <QByteArray>
#include <QString>

namespace Cp1252 {

QString decode(const QByteArray& bytes);
QString decode(const char* data, qsizetype size);
// Characters outside the code page become '?'.
QByteArray encode(const QString& text);
// The same, and whether every character had a byte of its own (no '?' added).
QByteArray encode(const QString& text, bool* complete);
// The byte for a character, or -1 when the code page has none.
int byteFor(QChar c);
QChar charFor(unsigned char byte);

} // namespace Cp1252
