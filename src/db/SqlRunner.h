// Binds parsed selects to the tables of a folder and runs them: finds the rows
// (through an index for equality on an indexed field), groups, orders and
// projects them. One runner serves one statement.
#pragma once

#include "SqlDatabase.h"
#include "SqlEval.h"

#include <map>
#include <unordered_map>

class SqlRunner : public SqlSubqueryRunner {
public:
    explicit SqlRunner(const QString& folder);
    ~SqlRunner() override;

    // The path a table name stands for; with mustExist, an existing file
    // (matched without regard to case when the exact name is missing) or an error.
    QString tablePath(const SqlTableName& name, bool mustExist) const;
    std::shared_ptr<DbfTable> openTable(const SqlTableName& name) const;

    SqlResult select(SqlSelect& select);

    // For update and delete: binds `where` and the expressions over one table
    // (named `alias` in them) and returns the matching rows in file order.
    std::vector<int> matchingRows(SqlSelect& single);
    void bindInScopeOf(SqlSelect& single, SqlExpr& e);
    const SqlScope& scopeOf(SqlSelect& single);
    // Binds an expression that may not name any column (insert values).
    void bindFree(SqlExpr& e) { bindExpr(e, {}, false); }

    bool exists(SqlSelect& select, const SqlFrame& outer) override;
    QVector<QVariant> column(SqlSelect& select, const SqlFrame& outer) override;

private:
    struct Bound;
    struct Walk;
    Bound& bind(SqlSelect& s, const std::vector<const SqlScope*>& chain);
    void bindExpr(SqlExpr& e, const std::vector<const SqlScope*>& chain, bool allowAggregate);
    void resolveColumn(SqlExpr& e, const std::vector<const SqlScope*>& chain);
    SqlResult run(Bound& b, const SqlFrame* outer);
    const std::vector<int>& liveRows(DbfTable& table);
    const std::vector<int>& sortedBy(DbfTable& table, int field);

    QString folder_;
    std::unordered_map<const SqlSelect*, std::unique_ptr<Bound>> bound_;
    std::unordered_map<const DbfTable*, std::vector<int>> liveRows_;
    std::map<std::pair<const DbfTable*, int>, std::vector<int>> sortedBy_;
};
