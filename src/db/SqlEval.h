// Values and expressions of the SQL layer: comparison, Like patterns and the
// evaluation of a bound expression against the current rows of its scopes.
//
// Values are QVariants: null, qint64 or double, QString, QDate, bool.
// Comparisons involving null are unknown (a null QVariant), and so are the
// logical operators over unknown operands, as in SQL.
#pragma once

#include "SqlAst.h"

#include <QDate>

#include <memory>

struct SqlScopeSource {
    QString alias;     // alias, else the table name as written
    QString tableName; // file name as written
    std::shared_ptr<DbfTable> table;
};

struct SqlScope {
    std::vector<SqlScopeSource> sources;
};

// The current row of every source of a scope (-1: the null row of a left join),
// and for an aggregate the rows of its group, each a row tuple.
struct SqlFrame {
    const SqlFrame* outer = nullptr;
    const SqlScope* scope = nullptr;
    const int* rows = nullptr;
    const std::vector<const int*>* group = nullptr;
};

// Runs the subqueries that expressions contain.
class SqlSubqueryRunner {
public:
    virtual ~SqlSubqueryRunner() = default;
    virtual bool exists(SqlSelect& select, const SqlFrame& outer) = 0;
    // The first column of every row.
    virtual QVector<QVariant> column(SqlSelect& select, const SqlFrame& outer) = 0;
};

// Orders two non-null values after converting a text operand to the other
// side's kind; raises EDatabaseError when the text cannot be converted.
int sqlCompare(const QVariant& a, const QVariant& b);
// The text form used by || and by text functions: numbers in their shortest
// decimal form (whole numbers without a fraction), dates as YYYY-MM-DD,
// booleans as true and false.
QString sqlText(const QVariant& v);

// A compiled Like pattern: % any run, _ one character, [abc] [a-z] [^abc] a
// class; an escape character makes the next character literal.
class SqlLikePattern {
public:
    explicit SqlLikePattern(const QString& pattern, QChar escape = QChar());
    bool matches(QStringView text) const;

private:
    struct Element {
        enum Kind { Char, One, Many, Class } kind = Char;
        QChar c;
        QString set; // class members, ranges as a-z triples
        bool negated = false;
    };
    bool matchOne(const Element& e, QChar c) const;
    std::vector<Element> elements_;
    enum Shape { General, Exact, Prefix, Suffix, Contains } shape_ = General;
    QString literal_; // for the simple shapes
};

bool sqlIsKnownFunction(const QString& upperName, int argCount);

// Evaluates `e` in `frame`. The expression must be bound.
QVariant sqlEval(SqlExpr& e, const SqlFrame& frame, SqlSubqueryRunner& runner);
// True only when the value is a true boolean (unknown and false are not).
bool sqlIsTrue(const QVariant& v);
