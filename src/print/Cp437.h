// Code page 437, the character set of the IBM PC that dot-matrix printers
// print in their default character table; text mode sends its lines in it.
#pragma once

#include <QByteArray>
#include <QString>

namespace Cp437 {

// ASCII passes unchanged (control codes included). A character the code page
// lacks is printed as its base letter when it has one (a Ŝ as S), else as '?'.
QByteArray encode(const QString& text);
QChar charFor(unsigned char byte);

} // namespace Cp437
