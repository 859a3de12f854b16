// The parsed form of one SQL statement.
#pragma once

#include "DbfTable.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

struct SqlSelect;
class SqlLikePattern;

struct SqlExpr {
    enum Kind {
        Literal,  // value
        Column,   // qualifier.name; bound to (depth, source, field) before evaluation
        Unary,    // op: "-", "not"
        Binary,   // op: "+", "-", "*", "/", "||", "=", "<>", "<", ">", "<=", ">=", "and", "or"
        Like,     // args: value, pattern[, escape]; negated
        In,       // args: value, list...; or value and sub; negated
        Between,  // args: value, low, high; negated
        IsNull,   // args: value; negated
        Exists,   // sub
        Subquery, // sub: a select of one column, its first value
        Function, // name (upper case), args
        Aggregate // name: COUNT, MIN, MAX, SUM, AVG; args empty for count(*); distinct
    };

    Kind kind = Literal;
    QString op; // operator or function name
    QVariant value;
    QString qualifier;
    QString name;
    bool negated = false;
    bool distinct = false;
    std::vector<std::unique_ptr<SqlExpr>> args;
    std::unique_ptr<SqlSelect> sub;
    int pos = 0; // offsets in the statement text
    int end = 0;
    int height = 1; // levels of operands below and including this node

    // Column binding: how many select scopes outwards, which table of that
    // scope, which field of that table.
    int depth = -1;
    int source = -1;
    int field = -1;

    // The last compiled Like pattern and the text it came from.
    std::shared_ptr<const SqlLikePattern> likePattern;
    QString likeSource;
};

using SqlExprPtr = std::unique_ptr<SqlExpr>;

struct SqlTableName {
    QString name; // as written (or the parameter's value)
    int pos = 0;
};

struct SqlSelectItem {
    SqlExprPtr expr; // null for * and alias.*
    QString starOf;  // qualifier of alias.* (empty for a plain *)
    QString alias;
    QString text; // the item's text in the statement
};

struct SqlSource {
    SqlTableName table;
    QString alias;
    enum Join { Cross, Inner, Left } join = Cross;
    SqlExprPtr on;
};

struct SqlOrderItem {
    SqlExprPtr expr;
    int position = 0; // 1-based select item number, 0 when an expression
    bool descending = false;
};

struct SqlSelect {
    bool distinct = false;
    std::vector<SqlSelectItem> items;
    std::vector<SqlSource> from;
    SqlExprPtr where;
    std::vector<SqlExprPtr> groupBy;
    SqlExprPtr having;
    std::vector<SqlOrderItem> orderBy;
    qint64 limit = -1; // rows to keep after ordering, -1 for all
    qint64 offset = 0; // rows to skip first
};

struct SqlStatement {
    enum Kind { Select, Insert, Update, Delete, CreateTable, CreateIndex, DropTable, DropIndex };
    Kind kind = Select;
    std::unique_ptr<SqlSelect> select; // Select; Insert ... select
    SqlTableName table;
    QString alias;                               // Update, Delete
    QStringList columns;                         // Insert column list; CreateIndex fields
    std::vector<std::vector<SqlExprPtr>> values; // Insert ... values
    std::vector<std::pair<QString, SqlExprPtr>> assignments; // Update
    SqlExprPtr where;                                        // Update, Delete
    QVector<DbfFieldDef> fields;                             // CreateTable
    DbfIndexDef index;                                       // CreateIndex, DropIndex (name)
};
