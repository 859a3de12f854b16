// Turns the text of one SQL statement into its parsed form. ":Name"
// placeholders are replaced by their values here, so an unassigned one is
// reported like a syntax error; a string value may stand for a table name.
#pragma once

#include "SqlAst.h"

#include <QHash>

// Words that cannot stand for a column or an alias without double quotes.
bool sqlIsReservedWord(const QString& word);

SqlStatement parseSql(const QString& statement, const QHash<QString, QVariant>& params = {});

// The field definition a create-table type names: numeric(n[,d]), char(n),
// blob(n), memo, text, date, boolean, logical, float(n,d), integer...
// Returns false for an unknown type name.
bool sqlFieldType(const QString& type, int size, int decimals, bool sized, DbfFieldDef& out);
