#include "SqlDatabase.h"

#include "SqlParser.h"
#include "SqlRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A frame without rows: values of insert statements may not name columns.
const SqlFrame noRows;

SqlSelect singleTable(const SqlStatement& st, SqlExprPtr where) {
    SqlSelect s;
    SqlSource src;
    src.table = st.table;
    src.alias = st.alias;
    s.from.push_back(std::move(src));
    s.where = std::move(where);
    return s;
}

int fieldOf(const DbfTable& table, const QString& name) {
    const int f = table.fieldIndex(name);
    if (f < 0)
        throw EDatabaseError(QStringLiteral("Unknown column \"%1\" in table \"%2\"")
                                 .arg(name, QFileInfo(table.path()).fileName()));
    return f;
}

SqlResult insert(SqlRunner& runner, SqlStatement& st) {
    const auto table = runner.openTable(st.table);
    const auto& fields = table->fields();
    QVector<int> targets;
    if (st.columns.isEmpty()) {
        for (int f = 0; f < fields.size(); ++f)
            targets.append(f);
    } else {
        for (const QString& c : st.columns) {
            const int f = fieldOf(*table, c);
            if (targets.contains(f))
                throw EDatabaseError(QStringLiteral("Column \"%1\" is named twice").arg(c));
            targets.append(f);
        }
    }
    auto fill = [&](DbfBatch& batch, int count, const auto& valueAt) {
        if (count != targets.size())
            throw EDatabaseError(QStringLiteral("Insert gives %1 values for %2 columns")
                                     .arg(count)
                                     .arg(targets.size()));
        DbfRecord rec(fields.size());
        for (int i = 0; i < count; ++i)
            rec[targets[i]] = valueAt(i);
        batch.appends.push_back(std::move(rec));
    };

    DbfBatch batch;
    if (st.select) {
        const SqlResult rows = runner.select(*st.select);
        for (int r = 0; r < rows.rowCount(); ++r)
            fill(batch, int(rows.columns.size()), [&](int i) { return rows.value(r, i); });
    } else {
        SqlSubqueryRunner& sub = runner;
        for (auto& row : st.values) {
            for (auto& e : row)
                runner.bindFree(*e);
            fill(batch, int(row.size()),
                 [&](int i) { return sqlEval(*row[size_t(i)], noRows, sub); });
        }
    }
    table->applyBatch(batch);
    SqlResult r;
    r.rowsAffected = int(batch.appends.size());
    return r;
}

SqlResult update(SqlRunner& runner, SqlStatement& st) {
    SqlSelect s = singleTable(st, std::move(st.where));
    const SqlScope& scope = runner.scopeOf(s);
    DbfTable& table = *scope.sources[0].table;
    std::vector<int> fields;
    for (auto& [name, e] : st.assignments) {
        fields.push_back(fieldOf(table, name));
        runner.bindInScopeOf(s, *e);
    }
    const std::vector<int> rows = runner.matchingRows(s);
    // Every new value is computed from the old rows before anything is written.
    DbfBatch batch;
    int row = -1;
    SqlFrame frame;
    frame.scope = &scope;
    frame.rows = &row;
    for (int r : rows) {
        row = r;
        DbfRecord rec = table.record(r);
        for (size_t i = 0; i < fields.size(); ++i)
            rec[fields[i]] = sqlEval(*st.assignments[i].second, frame, runner);
        batch.updates.emplace_back(r, std::move(rec));
    }
    if (!batch.updates.empty()) table.applyBatch(batch);
    SqlResult res;
    res.rowsAffected = int(rows.size());
    return res;
}

SqlResult remove(SqlRunner& runner, SqlStatement& st) {
    SqlSelect s = singleTable(st, std::move(st.where));
    DbfTable& table = *runner.scopeOf(s).sources[0].table;
    DbfBatch batch;
    batch.deletes = runner.matchingRows(s);
    if (!batch.deletes.empty()) table.applyBatch(batch);
    SqlResult res;
    res.rowsAffected = int(batch.deletes.size());
    return res;
}

QString typeText(const DbfFieldDef& f) {
    switch (f.type) {
    case FieldType::Character:
        return QStringLiteral("char(%1)").arg(f.length);
    case FieldType::Numeric:
        return f.decimals ? QStringLiteral("numeric(%1,%2)").arg(f.length).arg(f.decimals)
                          : QStringLiteral("numeric(%1)").arg(f.length);
    case FieldType::Float:
        return QStringLiteral("float(%1,%2)").arg(f.length).arg(f.decimals);
    case FieldType::Date:
    case FieldType::Timestamp:
        return QStringLiteral("date");
    case FieldType::Logical:
        return QStringLiteral("boolean");
    case FieldType::Integer:
    case FieldType::AutoInc:
        return QStringLiteral("integer");
    case FieldType::Double:
        return QStringLiteral("float(20,6)");
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General:
        return QStringLiteral("blob(10)");
    }
    return {};
}

// Field names written by other programs may be keywords or hold odd characters.
QString columnName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (plain.match(name).hasMatch() && !sqlIsReservedWord(name)) return name;
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace

QVariant SqlResult::value(int row, int column) const {
    if (liveTable) return liveTable->value(tableRows[size_t(row)], columns[column].tableField);
    return rows[row][column];
}

SqlDatabase::SqlDatabase(const QString& folder) : folder_(QDir::cleanPath(folder)) {}

SqlResult SqlDatabase::execute(const QString& statement, const QHash<QString, QVariant>& params) {
    SqlStatement st = parseSql(statement, params);
    SqlRunner runner(folder_);
    // A statement that writes holds the write lock of its table from before it
    // reads the table until it ends, so another process's rows are never lost.
    std::shared_ptr<DbfTable> writing;
    switch (st.kind) {
    case SqlStatement::Insert:
    case SqlStatement::Update:
    case SqlStatement::Delete:
    case SqlStatement::CreateIndex:
    case SqlStatement::DropIndex:
        writing = DbfTable::open(runner.tablePath(st.table, true), DbfAccess::Write);
        break;
    default:
        break;
    }
    switch (st.kind) {
    case SqlStatement::Select:
        return runner.select(*st.select);
    case SqlStatement::Insert:
        return insert(runner, st);
    case SqlStatement::Update:
        return update(runner, st);
    case SqlStatement::Delete:
        return remove(runner, st);
    case SqlStatement::CreateTable:
        DbfTable::create(runner.tablePath(st.table, false), st.fields);
        break;
    case SqlStatement::CreateIndex: {
        const auto table = runner.openTable(st.table);
        for (QString& f : st.index.fields)
            f = table->fields()[fieldOf(*table, f)].name;
        table->addIndex(st.index);
        break;
    }
    case SqlStatement::DropTable:
        DbfTable::drop(runner.tablePath(st.table, true));
        break;
    case SqlStatement::DropIndex: {
        const auto table = runner.openTable(st.table);
        bool found = false;
        for (const DbfIndexDef& d : table->indexes())
            if (d.name.compare(st.index.name, Qt::CaseInsensitive) == 0) {
                found = true;
                st.index.name = d.name;
            }
        if (!found)
            throw EDatabaseError(QStringLiteral("Index \"%1\" does not exist in table \"%2\"")
                                     .arg(st.index.name, st.table.name));
        table->removeIndex(st.index.name);
        break;
    }
    }
    return {};
}

QStringList SqlDatabase::tables() const {
    QDir dir(folder_);
    QStringList names =
        dir.entryList({QStringLiteral("*.dbf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    return names;
}

QString SqlDatabase::schema(const QString& tableName) const {
    SqlRunner runner(folder_);
    SqlTableName tn;
    tn.name = tableName;
    const QString path = runner.tablePath(tn, true);
    const auto table = DbfTable::open(path);
    const QString quoted = QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
    QStringList columns;
    for (const DbfFieldDef& f : table->fields())
        columns << columnName(f.name) + QLatin1Char(' ') + typeText(f);
    QString out =
        QStringLiteral("Create Table %1 (%2);\n").arg(quoted, columns.join(QLatin1Char(',')));
    for (const DbfIndexDef& d : table->indexes()) {
        const QString kind = d.primary  ? QStringLiteral("primary ")
                             : d.unique ? QStringLiteral("unique ")
                                        : QString();
        QStringList fields;
        for (const QString& f : d.fields)
            fields << columnName(f);
        out += QStringLiteral("Create %1Index %2 on %3 (%4);\n")
                   .arg(kind, columnName(d.name), quoted, fields.join(QLatin1Char(',')));
    }
    return out;
}
