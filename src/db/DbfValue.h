// Value conversions shared by the table engine, the SQL layer and the dataset
// framework, so that all three read numbers, dates and flags alike.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

// Any of the number types a QVariant may carry.
bool isNumberValue(const QVariant& v);
// A number type holding a value that fits a qint64 exactly.
bool isWholeValue(const QVariant& v);
// Orders two numbers: exactly when both are whole, else as doubles.
int compareNumbers(const QVariant& a, const QVariant& b);

// `s` without the trailing blanks that fixed-width columns pad text with.
QStringView withoutTrailingBlanks(QStringView s);

// A date written as YYYY-MM-DD, YYYYMMDD, D.M.YYYY or the short form of the
// user's locale (also with the year in full, as shortDateText writes it) or
// of C; invalid when none fits.
QDate dateFromText(const QString& text);
// The date in the short form of the user's locale, its year always in full:
// a two-digit year would read back a century off.
QString shortDateText(const QDate& date);
// T, TRUE, Y, YES, 1 and F, FALSE, N, NO, 0 in any case; nothing for other text.
std::optional<bool> boolFromText(QStringView text);
