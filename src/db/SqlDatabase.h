// SQL over a folder used as the database: every .dbf file in it is a table,
// named in statements by its double-quoted file name ("book.dbf").
//
// Keywords and column names are case-insensitive; string comparison and Like
// are case-sensitive. A statement that fails raises EDatabaseError naming the
// position or the unknown name, and changes nothing.
#pragma once

#include "DbfTable.h"

#include <QHash>

struct SqlColumn {
    QString name; // as the select names it (alias, field name or expression text)
    FieldType type = FieldType::Character;
    int length = 0;
    int decimals = 0;
    int tableField = -1; // field number in SqlResult::liveTable for a plain column
};

struct SqlResult {
    bool isSelect = false;
    QVector<SqlColumn> columns;
    // Rows of a read-only result. A live result leaves this empty: its values are
    // liveTable->value(tableRows[i], columns[c].tableField).
    QVector<DbfRecord> rows;
    // Set when the select reads one table with plain columns only: the result
    // can then be edited through the table.
    std::shared_ptr<DbfTable> liveTable;
    std::vector<int> tableRows;
    int rowsAffected = 0; // insert, update, delete

    int rowCount() const { return liveTable ? int(tableRows.size()) : int(rows.size()); }
    QVariant value(int row, int column) const;
};

class SqlDatabase {
public:
    explicit SqlDatabase(const QString& folder);

    QString folder() const { return folder_; }
    // `params` fills ":Name" placeholders; a string parameter may stand for a
    // table name. A placeholder without a value is an error.
    SqlResult execute(const QString& statement, const QHash<QString, QVariant>& params = {});

    // The .dbf files of the folder, sorted.
    QStringList tables() const;
    // Create Table and Create Index statements that would recreate the table.
    QString schema(const QString& table) const;

private:
    QString folder_;
};
