#include "SqlRunner.h"

#include "DbfValue.h"
#include "KivError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <optional>

namespace {

bool hasAggregate(const SqlExpr& e) {
    if (e.kind == SqlExpr::Aggregate) return true;
    for (const auto& a : e.args)
        if (hasAggregate(*a)) return true;
    return false; // subqueries aggregate on their own
}

bool hasSubquery(const SqlExpr& e) {
    if (e.sub) return true;
    for (const auto& a : e.args)
        if (hasSubquery(*a)) return true;
    return false;
}

bool hasColumn(const SqlExpr& e) {
    if (e.kind == SqlExpr::Column) return true;
    for (const auto& a : e.args)
        if (hasColumn(*a)) return true;
    return false;
}

// The highest source of the select's own scope that `e` reads, -1 for none.
int maxSource(const SqlExpr& e) {
    int m = e.kind == SqlExpr::Column && e.depth == 0 ? e.source : -1;
    for (const auto& a : e.args)
        m = std::max(m, maxSource(*a));
    return m;
}

bool refersOutside(const SqlSelect& s, int level);

// Whether `e`, standing `level` selects deep inside the one asked about,
// reads a column of a select outside that one.
bool refersOutside(const SqlExpr& e, int level) {
    if (e.kind == SqlExpr::Column && e.depth > level) return true;
    for (const auto& a : e.args)
        if (refersOutside(*a, level)) return true;
    return e.sub && refersOutside(*e.sub, level + 1);
}

bool refersOutside(const SqlSelect& s, int level) {
    auto check = [&](const SqlExprPtr& e) { return e && refersOutside(*e, level); };
    for (const auto& i : s.items)
        if (check(i.expr)) return true;
    for (const auto& f : s.from)
        if (check(f.on)) return true;
    for (const auto& g : s.groupBy)
        if (check(g)) return true;
    for (const auto& o : s.orderBy)
        if (check(o.expr)) return true;
    return check(s.where) || check(s.having);
}

void splitConjuncts(SqlExpr* e, std::vector<SqlExpr*>& out) {
    if (!e) return;
    if (e->kind == SqlExpr::Binary && e->op == QLatin1String("and")) {
        splitConjuncts(e->args[0].get(), out);
        splitConjuncts(e->args[1].get(), out);
    } else {
        out.push_back(e);
    }
}

bool nameMatches(const QString& written, const QString& alias, const QString& tableName) {
    if (written.compare(alias, Qt::CaseInsensitive) == 0) return true;
    if (written.compare(tableName, Qt::CaseInsensitive) == 0) return true;
    // book for "book.dbf"
    const QString base = QFileInfo(tableName).completeBaseName();
    return written.compare(base, Qt::CaseInsensitive) == 0;
}

// Null first, then sqlCompare; used by every sort and grouping here.
int compareKeys(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) return int(!a.isNull()) - int(!b.isNull());
    return sqlCompare(a, b);
}

// Entry numbers ordered by their keys: `k` keys per entry, stored flat. Stable.
std::vector<int> sortedOrder(const std::vector<QVariant>& keys, size_t k,
                             const std::vector<bool>& descending) {
    std::vector<int> perm(k ? keys.size() / k : 0);
    for (size_t i = 0; i < perm.size(); ++i)
        perm[i] = int(i);
    std::stable_sort(perm.begin(), perm.end(), [&](int x, int y) {
        for (size_t j = 0; j < k; ++j) {
            const int c = compareKeys(keys[size_t(x) * k + j], keys[size_t(y) * k + j]);
            if (c) return descending[j] ? c > 0 : c < 0;
        }
        return false;
    });
    return perm;
}

template <typename Rows> void applyLimit(const SqlSelect& s, Rows& rows) {
    const qint64 n = qint64(rows.size());
    const qint64 from = std::min(s.offset, n);
    const qint64 to = s.limit < 0 ? n : std::min(n, from + s.limit);
    rows.erase(rows.begin() + to, rows.end());
    rows.erase(rows.begin(), rows.begin() + from);
}

SqlColumn fieldColumn(const DbfFieldDef& f) {
    SqlColumn c;
    c.name = f.name;
    c.type = f.type;
    c.length = f.length;
    c.decimals = f.decimals;
    return c;
}

SqlColumn typed(FieldType type, int length, int decimals) {
    SqlColumn c;
    c.type = type;
    c.length = length;
    c.decimals = decimals;
    return c;
}

bool isNumericType(FieldType t) {
    return t == FieldType::Numeric || t == FieldType::Float || t == FieldType::Integer ||
           t == FieldType::Double || t == FieldType::AutoInc;
}

} // namespace

struct SqlRunner::Bound {
    SqlSelect* select = nullptr;
    SqlScope scope;
    struct Item {
        SqlExpr* expr = nullptr; // null for a field of *
        int source = -1;         // a plain column of this scope
        int field = -1;
        SqlColumn column;
    };
    std::vector<Item> items;
    struct Order {
        int item = -1;
        SqlExpr* expr = nullptr;
        bool descending = false;
    };
    std::vector<Order> order;
    std::vector<bool> descending; // per order item
    bool grouped = false;
    bool live = false;
    std::vector<SqlExpr*> preFilters;             // read no source of this scope
    std::vector<std::vector<SqlExpr*>> filters;   // per source: checked once it has a row
    std::vector<std::vector<SqlExpr*>> onFilters; // per left-joined source: its join condition
    // Rows found by equality on `field`: through index `index`, or, when the
    // key changes from row to row (a join or a correlated subquery) and no
    // index serves, through the field's order sorted once per statement.
    struct Access {
        int index = -1;
        int field = -1;
        SqlExpr* key = nullptr;
        bool sortOnce = false;

        bool used() const { return index >= 0 || sortOnce; }
    };
    std::vector<Access> access;
    // A subquery that reads nothing of the outer rows gives the same answer
    // every time: it runs once.
    bool correlated = true;
    std::optional<bool> exists;
    std::optional<QVector<QVariant>> column;
};

// Visits every combination of rows that passes the conditions.
struct SqlRunner::Walk {
    SqlRunner& runner;
    Bound& b;
    std::vector<int> rows;
    SqlFrame frame;
    bool stopAtFirst = false;
    bool stopped = false;
    std::vector<int> tuples; // flat, scope size per tuple
    int tupleCount = 0;

    Walk(SqlRunner& r, Bound& bound, const SqlFrame* outer) : runner(r), b(bound) {
        rows.assign(b.scope.sources.size(), -1);
        frame.outer = outer;
        frame.scope = &b.scope;
        frame.rows = rows.data();
    }

    bool pass(const std::vector<SqlExpr*>& conditions) {
        for (SqlExpr* c : conditions)
            if (!sqlIsTrue(sqlEval(*c, frame, runner))) return false;
        return true;
    }

    void run() {
        if (pass(b.preFilters)) visit(0);
    }

    void visit(size_t k) {
        if (k == rows.size()) {
            tuples.insert(tuples.end(), rows.begin(), rows.end());
            ++tupleCount;
            stopped = stopAtFirst;
            return;
        }
        std::vector<int> own;
        const int* cand = nullptr;
        size_t count = 0;
        const Bound::Access& a = b.access[k];
        DbfTable& table = *b.scope.sources[k].table;
        const QVariant key = a.used() ? sqlEval(*a.key, frame, runner) : QVariant();
        // A text field is ordered as text: a key of another kind compares by
        // converting each row's text, which that order does not follow.
        const bool textField = a.used() && table.fields()[a.field].type == FieldType::Character;
        if (a.used() && (!textField || key.isNull() || key.typeId() == QMetaType::QString)) {
            if (!key.isNull()) {
                const std::vector<int>& ordered =
                    a.index >= 0 ? table.indexRows(a.index) : runner.sortedBy(table, a.field);
                auto cmp = [&](int row) {
                    const QVariant v = table.value(row, a.field);
                    return v.isNull() ? -1 : sqlCompare(v, key);
                };
                auto lo = std::partition_point(ordered.begin(), ordered.end(),
                                               [&](int row) { return cmp(row) < 0; });
                auto hi =
                    std::partition_point(lo, ordered.end(), [&](int row) { return cmp(row) == 0; });
                own.assign(lo, hi);
                std::sort(own.begin(), own.end()); // file order, as a scan gives
            }
            cand = own.data();
            count = own.size();
        } else {
            const std::vector<int>& all = runner.liveRows(table);
            cand = all.data();
            count = all.size();
        }
        const bool left = b.select->from[k].join == SqlSource::Left;
        bool matched = false;
        for (size_t i = 0; i < count && !stopped; ++i) {
            rows[k] = cand[i];
            if (left) {
                if (!pass(b.onFilters[k])) continue;
                matched = true;
            }
            if (pass(b.filters[k])) visit(k + 1);
        }
        if (left && !matched && !stopped) {
            rows[k] = -1;
            if (pass(b.filters[k])) visit(k + 1);
        }
        rows[k] = -1;
    }

    const int* tuple(int i) const { return tuples.data() + size_t(i) * rows.size(); }
};

SqlRunner::SqlRunner(const QString& folder) : folder_(folder) {}
SqlRunner::~SqlRunner() = default;

QString SqlRunner::tablePath(const SqlTableName& tn, bool mustExist) const {
    QString name = tn.name.trimmed();
    if (name.isEmpty()) throw EDatabaseError(QStringLiteral("Table name missing"));
    QString path = QFileInfo(name).isAbsolute() ? name : folder_ + QLatin1Char('/') + name;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".dbf");
    if (!mustExist || QFileInfo(path).isFile()) return path;
    // Files copied from other systems often carry upper-case names.
    const QFileInfo fi(path);
    const QStringList entries = fi.dir().entryList(QDir::Files);
    for (const QString& e : entries)
        if (e.compare(fi.fileName(), Qt::CaseInsensitive) == 0) return fi.dir().filePath(e);
    throw EDatabaseError(QStringLiteral("Table \"%1\" does not exist").arg(tn.name));
}

std::shared_ptr<DbfTable> SqlRunner::openTable(const SqlTableName& name) const {
    return DbfTable::open(tablePath(name, true));
}

const std::vector<int>& SqlRunner::sortedBy(DbfTable& table, int field) {
    auto it = sortedBy_.find({&table, field});
    if (it != sortedBy_.end()) return it->second;
    return sortedBy_.emplace(std::make_pair(&table, field), table.orderedRows({field}))
        .first->second;
}

const std::vector<int>& SqlRunner::liveRows(DbfTable& table) {
    auto it = liveRows_.find(&table);
    if (it != liveRows_.end()) return it->second;
    std::vector<int> rows;
    const int n = table.rowCount();
    rows.reserve(size_t(n));
    for (int r = 0; r < n; ++r)
        if (!table.isDeleted(r)) rows.push_back(r);
    return liveRows_.emplace(&table, std::move(rows)).first->second;
}

void SqlRunner::resolveColumn(SqlExpr& e, const std::vector<const SqlScope*>& chain) {
    for (int depth = 0; depth < int(chain.size()); ++depth) {
        const SqlScope& scope = *chain[chain.size() - 1 - size_t(depth)];
        int found = 0;
        for (size_t s = 0; s < scope.sources.size(); ++s) {
            const SqlScopeSource& src = scope.sources[s];
            if (!e.qualifier.isEmpty() && !nameMatches(e.qualifier, src.alias, src.tableName))
                continue;
            const int field = src.table->fieldIndex(e.name);
            if (field < 0) {
                if (!e.qualifier.isEmpty())
                    throw EDatabaseError(
                        QStringLiteral("Unknown column \"%1.%2\"").arg(e.qualifier, e.name));
                continue;
            }
            if (++found > 1)
                throw EDatabaseError(QStringLiteral("Ambiguous column \"%1\"").arg(e.name));
            e.depth = depth;
            e.source = int(s);
            e.field = field;
        }
        if (found) return;
    }
    if (!e.qualifier.isEmpty())
        throw EDatabaseError(QStringLiteral("Unknown column \"%1.%2\"").arg(e.qualifier, e.name));
    throw EDatabaseError(QStringLiteral("Unknown column \"%1\"").arg(e.name));
}

void SqlRunner::bindExpr(SqlExpr& e, const std::vector<const SqlScope*>& chain,
                         bool allowAggregate) {
    switch (e.kind) {
    case SqlExpr::Column:
        resolveColumn(e, chain);
        return;
    case SqlExpr::Aggregate:
        if (!allowAggregate)
            throw EDatabaseError(QStringLiteral("Aggregate %1 is not allowed at position %2")
                                     .arg(e.op)
                                     .arg(e.pos + 1));
        for (auto& a : e.args)
            bindExpr(*a, chain, false);
        return;
    case SqlExpr::Function:
        if (!sqlIsKnownFunction(e.op, int(e.args.size())))
            throw EDatabaseError(
                QStringLiteral("Unknown function %1 with %2 arguments at position %3")
                    .arg(e.op)
                    .arg(e.args.size())
                    .arg(e.pos + 1));
        break;
    default:
        break;
    }
    for (auto& a : e.args)
        bindExpr(*a, chain, allowAggregate);
    if (e.sub) {
        Bound& sub = bind(*e.sub, chain);
        if (e.kind != SqlExpr::Exists && sub.items.size() != 1)
            throw EDatabaseError(
                QStringLiteral("A subquery at position %1 must select one column").arg(e.pos + 1));
    }
}

SqlRunner::Bound& SqlRunner::bind(SqlSelect& s, const std::vector<const SqlScope*>& outerChain) {
    if (auto it = bound_.find(&s); it != bound_.end()) return *it->second;
    auto owned = std::make_unique<Bound>();
    Bound& b = *owned;
    b.select = &s;
    for (const SqlSource& src : s.from) {
        SqlScopeSource ss;
        ss.tableName = src.table.name;
        ss.alias = src.alias.isEmpty() ? src.table.name : src.alias;
        ss.table = openTable(src.table);
        b.scope.sources.push_back(std::move(ss));
    }
    std::vector<const SqlScope*> chain = outerChain;
    chain.push_back(&b.scope);
    const size_t n = b.scope.sources.size();

    for (SqlSelectItem& item : s.items) {
        if (!item.expr) {
            bool any = false;
            for (size_t src = 0; src < n; ++src) {
                const SqlScopeSource& ss = b.scope.sources[src];
                if (!item.starOf.isEmpty() && !nameMatches(item.starOf, ss.alias, ss.tableName))
                    continue;
                any = true;
                const auto& fields = ss.table->fields();
                for (int f = 0; f < fields.size(); ++f) {
                    Bound::Item it;
                    it.source = int(src);
                    it.field = f;
                    it.column = fieldColumn(fields[f]);
                    b.items.push_back(it);
                }
            }
            if (!any) {
                if (item.starOf.isEmpty())
                    throw EDatabaseError(QStringLiteral("\"*\" needs a FROM clause"));
                throw EDatabaseError(
                    QStringLiteral("Unknown table \"%1\" in %1.*").arg(item.starOf));
            }
            continue;
        }
        bindExpr(*item.expr, chain, true);
        Bound::Item it;
        it.expr = item.expr.get();
        if (it.expr->kind == SqlExpr::Column && it.expr->depth == 0) {
            it.source = it.expr->source;
            it.field = it.expr->field;
        }
        b.items.push_back(it);
    }

    for (SqlSource& src : s.from)
        if (src.on) bindExpr(*src.on, chain, false);
    if (s.where) bindExpr(*s.where, chain, false);
    for (auto& g : s.groupBy)
        bindExpr(*g, chain, false);
    if (s.having) bindExpr(*s.having, chain, true);

    b.grouped = !s.groupBy.empty() || s.having;
    for (const Bound::Item& it : b.items)
        if (it.expr && hasAggregate(*it.expr)) b.grouped = true;

    for (SqlOrderItem& o : s.orderBy) {
        Bound::Order ord;
        ord.descending = o.descending;
        if (o.position > 0) {
            // "*" may have widened the list: count the expanded columns.
            if (o.position > int(b.items.size()))
                throw EDatabaseError(
                    QStringLiteral("ORDER BY %1: no select column %1, the select has %2")
                        .arg(o.position)
                        .arg(b.items.size()));
            ord.item = o.position - 1;
        } else {
            SqlExpr& e = *o.expr;
            if (e.kind == SqlExpr::Column && e.qualifier.isEmpty()) {
                for (size_t i = 0; i < s.items.size() && ord.item < 0; ++i)
                    if (!s.items[i].alias.isEmpty() &&
                        s.items[i].alias.compare(e.name, Qt::CaseInsensitive) == 0)
                        for (size_t k = 0; k < b.items.size(); ++k)
                            if (b.items[k].expr == s.items[i].expr.get()) ord.item = int(k);
            }
            if (ord.item < 0) {
                bindExpr(e, chain, b.grouped);
                ord.expr = &e;
                if (e.kind == SqlExpr::Column && e.depth == 0)
                    for (size_t k = 0; k < b.items.size(); ++k)
                        if (b.items[k].source == e.source && b.items[k].field == e.field)
                            ord.item = int(k);
            }
        }
        b.order.push_back(ord);
        b.descending.push_back(ord.descending);
    }

    b.live = n == 1 && !s.distinct && !b.grouped && !b.items.empty();
    for (const Bound::Item& it : b.items)
        if (it.source != 0) b.live = false;

    // Place every condition at the first source after which it can be decided.
    b.filters.resize(n);
    b.onFilters.resize(n);
    b.access.resize(n);
    std::vector<SqlExpr*> conj;
    splitConjuncts(s.where.get(), conj);
    std::vector<std::vector<SqlExpr*>> joinConj(n);
    for (size_t k = 0; k < n; ++k) {
        if (s.from[k].join == SqlSource::Left)
            splitConjuncts(s.from[k].on.get(), joinConj[k]);
        else
            splitConjuncts(s.from[k].on.get(), conj);
    }
    auto level = [&](SqlExpr* c) { return hasSubquery(*c) ? int(n) - 1 : maxSource(*c); };
    for (SqlExpr* c : conj) {
        const int l = level(c);
        if (l < 0)
            b.preFilters.push_back(c);
        else
            b.filters[size_t(l)].push_back(c);
    }
    for (size_t k = 0; k < n; ++k)
        for (SqlExpr* c : joinConj[k])
            b.onFilters[k].push_back(c);

    // Equality on the first field of an index reads that index instead of every row.
    for (size_t k = 0; k < n; ++k) {
        const std::vector<SqlExpr*>& candidates =
            s.from[k].join == SqlSource::Left ? b.onFilters[k] : b.filters[k];
        const DbfTable& table = *b.scope.sources[k].table;
        for (SqlExpr* c : candidates) {
            if (c->kind != SqlExpr::Binary || c->op != QLatin1String("=")) continue;
            for (int side = 0; side < 2 && b.access[k].index < 0; ++side) {
                SqlExpr& col = *c->args[size_t(side)];
                SqlExpr& key = *c->args[size_t(1 - side)];
                if (col.kind != SqlExpr::Column || col.depth != 0 || col.source != int(k)) continue;
                if (hasSubquery(key) || hasAggregate(key) || maxSource(key) >= int(k)) continue;
                const DbfFieldDef& field = table.fields()[col.field];
                const auto& indexes = table.indexes();
                for (int i = 0; i < indexes.size(); ++i) {
                    if (!indexes[i].fields.isEmpty() &&
                        indexes[i].fields.first().compare(field.name, Qt::CaseInsensitive) == 0) {
                        b.access[k] = {i, col.field, &key, false};
                        break;
                    }
                }
                // A constant key is found faster by one scan than by a sort.
                if (!b.access[k].used() && hasColumn(key) && !field.isMemo())
                    b.access[k] = {-1, col.field, &key, true};
            }
            if (b.access[k].index >= 0) break;
        }
    }

    b.correlated = refersOutside(s, 0);
    bound_.emplace(&s, std::move(owned));
    return b;
}

// ---- column types ----

namespace {

SqlColumn inferColumn(const SqlExpr& e, const SqlScope* const* chainEnd) {
    switch (e.kind) {
    case SqlExpr::Column: {
        const SqlScope& scope = **(chainEnd - 1 - e.depth);
        return fieldColumn(scope.sources[size_t(e.source)].table->fields()[e.field]);
    }
    case SqlExpr::Literal:
        if (isWholeValue(e.value)) return typed(FieldType::Numeric, 20, 0);
        if (isNumberValue(e.value)) return typed(FieldType::Float, 20, 4);
        if (e.value.typeId() == QMetaType::Bool) return typed(FieldType::Logical, 1, 0);
        return typed(FieldType::Character, std::clamp(int(e.value.toString().size()), 1, 254), 0);
    case SqlExpr::Aggregate: {
        if (e.op == QLatin1String("COUNT")) return typed(FieldType::Numeric, 11, 0);
        const SqlColumn arg = inferColumn(*e.args[0], chainEnd);
        if (e.op == QLatin1String("AVG")) return typed(FieldType::Float, 20, 4);
        if (e.op == QLatin1String("SUM")) {
            if (arg.type == FieldType::Numeric && arg.decimals == 0)
                return typed(FieldType::Numeric, 20, 0);
            return typed(FieldType::Float, 20, std::max(arg.decimals, 2));
        }
        return arg;
    }
    case SqlExpr::Unary:
        if (e.op == QLatin1String("not")) return typed(FieldType::Logical, 1, 0);
        return inferColumn(*e.args[0], chainEnd);
    case SqlExpr::Binary: {
        const QString& op = e.op;
        if (op == QLatin1String("||")) {
            const int len =
                inferColumn(*e.args[0], chainEnd).length + inferColumn(*e.args[1], chainEnd).length;
            return typed(FieldType::Character, std::clamp(len, 1, 254), 0);
        }
        if (op.size() == 1 && QStringLiteral("+-*/%").contains(op[0])) {
            const SqlColumn a = inferColumn(*e.args[0], chainEnd),
                            b = inferColumn(*e.args[1], chainEnd);
            if (op == QLatin1String("/")) return typed(FieldType::Float, 20, 4);
            const int dec = std::max(isNumericType(a.type) ? a.decimals : 0,
                                     isNumericType(b.type) ? b.decimals : 0);
            return typed(dec ? FieldType::Float : FieldType::Numeric, 20, dec);
        }
        return typed(FieldType::Logical, 1, 0);
    }
    case SqlExpr::Function: {
        if (e.op == QLatin1String("LENGTH") || e.op == QLatin1String("LEN") ||
            e.op == QLatin1String("CHAR_LENGTH"))
            return typed(FieldType::Numeric, 11, 0);
        if (e.op == QLatin1String("ABS") || e.op == QLatin1String("COALESCE") ||
            e.op == QLatin1String("IFNULL"))
            return inferColumn(*e.args[0], chainEnd);
        if (e.op == QLatin1String("ROUND")) return typed(FieldType::Float, 20, 4);
        SqlColumn arg = inferColumn(*e.args[0], chainEnd);
        if (arg.type == FieldType::Memo) return typed(FieldType::Memo, 10, 0);
        return typed(FieldType::Character,
                     std::clamp(arg.type == FieldType::Character ? arg.length : 20, 1, 254), 0);
    }
    case SqlExpr::Subquery:
        return typed(FieldType::Character, 254, 0); // replaced by the values' kind below
    default:
        return typed(FieldType::Logical, 1, 0);
    }
}

// Expressions whose kind the text cannot tell (subqueries) take the kind of their values.
void refineColumn(SqlColumn& c, const QVector<DbfRecord>& rows, int col) {
    for (const DbfRecord& r : rows) {
        const QVariant& v = r[col];
        if (v.isNull()) continue;
        if (isWholeValue(v))
            c = typed(FieldType::Numeric, 20, 0);
        else if (isNumberValue(v))
            c = typed(FieldType::Float, 20, 4);
        else if (v.typeId() == QMetaType::QDate)
            c = typed(FieldType::Date, 8, 0);
        else if (v.typeId() == QMetaType::Bool)
            c = typed(FieldType::Logical, 1, 0);
        return;
    }
}

} // namespace

// ---- running ----

SqlResult SqlRunner::run(Bound& b, const SqlFrame* outer) {
    SqlSelect& s = *b.select;
    SqlResult result;
    result.isSelect = true;

    std::vector<const SqlScope*> chain;
    for (const SqlFrame* f = outer; f; f = f->outer)
        chain.insert(chain.begin(), f->scope);
    chain.push_back(&b.scope);
    for (size_t i = 0; i < b.items.size(); ++i) {
        const Bound::Item& it = b.items[i];
        SqlColumn c = it.expr ? inferColumn(*it.expr, chain.data() + chain.size()) : it.column;
        const SqlSelectItem* src = nullptr;
        for (const SqlSelectItem& si : s.items)
            if (si.expr.get() == it.expr && it.expr) src = &si;
        if (src && !src->alias.isEmpty())
            c.name = src->alias;
        else if (it.source >= 0)
            c.name = b.scope.sources[size_t(it.source)].table->fields()[it.field].name;
        else if (src)
            c.name = src->text;
        if (b.live) c.tableField = it.field;
        result.columns.append(c);
    }

    const size_t n = b.scope.sources.size();
    DbfTable* single = n == 1 ? b.scope.sources[0].table.get() : nullptr;

    // Max or min of an indexed field over the whole table: the index's ends.
    if (single && b.grouped && s.groupBy.empty() && !s.having && !s.where && b.items.size() == 1 &&
        !s.distinct) {
        SqlExpr* e = b.items[0].expr;
        if (e && e->kind == SqlExpr::Aggregate && !e->distinct && !e->args.empty() &&
            (e->op == QLatin1String("MAX") || e->op == QLatin1String("MIN")) &&
            e->args[0]->kind == SqlExpr::Column && e->args[0]->depth == 0) {
            const QString field = single->fields()[e->args[0]->field].name;
            const auto& indexes = single->indexes();
            for (int i = 0; i < indexes.size(); ++i) {
                if (indexes[i].fields.isEmpty() ||
                    indexes[i].fields.first().compare(field, Qt::CaseInsensitive) != 0)
                    continue;
                const std::vector<int>& rows = single->indexRows(i);
                QVariant v;
                if (e->op == QLatin1String("MAX")) {
                    if (!rows.empty()) v = single->value(rows.back(), e->args[0]->field);
                } else {
                    for (int row : rows) // nulls come first
                        if (!(v = single->value(row, e->args[0]->field)).isNull()) break;
                }
                result.rows.append(DbfRecord{v});
                return result;
            }
        }
    }

    Walk walk(*this, b, outer);
    const bool whole =
        single && b.preFilters.empty() && b.filters[0].empty() && !b.access[0].used();

    // A live result ordered by plain fields takes the table's own order.
    if (b.live) {
        QVector<int> orderFields;
        bool plain = !b.order.empty();
        for (const Bound::Order& o : b.order) {
            if (o.item < 0 || b.items[size_t(o.item)].source != 0 ||
                o.descending != b.order[0].descending)
                plain = false;
            else
                orderFields.append(b.items[size_t(o.item)].field);
        }
        result.liveTable = b.scope.sources[0].table;
        if (plain && whole) {
            result.tableRows = single->orderedRows(orderFields);
        } else {
            walk.run();
            result.tableRows.assign(walk.tuples.begin(), walk.tuples.end());
            if (plain && walk.tuples.size() > size_t(single->rowCount() / 8)) {
                std::vector<char> keep(size_t(single->rowCount()), 0);
                for (int r : walk.tuples)
                    keep[size_t(r)] = 1;
                result.tableRows.clear();
                for (int r : single->orderedRows(orderFields))
                    if (keep[size_t(r)]) result.tableRows.push_back(r);
            } else if (!b.order.empty()) {
                const size_t k = b.order.size();
                std::vector<QVariant> keys;
                keys.reserve(result.tableRows.size() * k);
                int row = -1;
                SqlFrame f = walk.frame;
                f.rows = &row;
                for (int r : result.tableRows) {
                    row = r;
                    for (const Bound::Order& o : b.order)
                        keys.push_back(o.item >= 0 ? single->value(r, b.items[size_t(o.item)].field)
                                                   : sqlEval(*o.expr, f, *this));
                }
                const std::vector<int> perm = sortedOrder(keys, k, b.descending);
                std::vector<int> sorted;
                sorted.reserve(perm.size());
                for (int p : perm)
                    sorted.push_back(result.tableRows[size_t(p)]);
                result.tableRows.swap(sorted);
            }
        }
        if (plain && b.order[0].descending &&
            (whole || walk.tuples.size() > size_t(single->rowCount() / 8)))
            std::reverse(result.tableRows.begin(), result.tableRows.end());
        applyLimit(s, result.tableRows);
        return result;
    }

    walk.run();

    // Each output row remembers what it came from, for order by expressions.
    std::vector<std::vector<const int*>> groups;
    std::vector<size_t> origin; // tuple or group number per output row
    SqlFrame f = walk.frame;
    auto value = [&](const Bound::Item& it, const SqlFrame& fr) {
        if (it.expr) return sqlEval(*it.expr, fr, *this);
        const int row = fr.rows ? fr.rows[it.source] : -1;
        return row < 0 ? QVariant()
                       : b.scope.sources[size_t(it.source)].table->value(row, it.field);
    };

    if (b.grouped) {
        std::vector<int> order(size_t(walk.tupleCount));
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        const size_t gk = s.groupBy.size();
        std::vector<QVariant> keys;
        if (gk) {
            keys.reserve(order.size() * gk);
            for (int t = 0; t < walk.tupleCount; ++t) {
                f.rows = walk.tuple(t);
                for (auto& g : s.groupBy)
                    keys.push_back(sqlEval(*g, f, *this));
            }
            order = sortedOrder(keys, gk, std::vector<bool>(gk, false));
        }
        auto sameGroup = [&](int x, int y) {
            for (size_t j = 0; j < gk; ++j)
                if (compareKeys(keys[size_t(x) * gk + j], keys[size_t(y) * gk + j])) return false;
            return true;
        };
        if (!gk) groups.emplace_back();
        for (size_t i = 0; i < order.size(); ++i) {
            if (gk && (i == 0 || !sameGroup(order[i - 1], order[i]))) groups.emplace_back();
            groups.back().push_back(walk.tuple(order[i]));
        }
        for (size_t g = 0; g < groups.size(); ++g) {
            f.group = &groups[g];
            f.rows = groups[g].empty() ? nullptr : groups[g].front();
            if (s.having && !sqlIsTrue(sqlEval(*s.having, f, *this))) continue;
            DbfRecord rec;
            rec.reserve(qsizetype(b.items.size()));
            for (const Bound::Item& it : b.items)
                rec.append(value(it, f));
            result.rows.append(rec);
            origin.push_back(g);
        }
    } else {
        result.rows.reserve(walk.tupleCount);
        for (int t = 0; t < walk.tupleCount; ++t) {
            f.rows = walk.tuple(t);
            DbfRecord rec;
            rec.reserve(qsizetype(b.items.size()));
            for (const Bound::Item& it : b.items)
                rec.append(value(it, f));
            result.rows.append(rec);
            origin.push_back(size_t(t));
        }
    }

    if (s.distinct) {
        QSet<QString> seen;
        QVector<DbfRecord> unique;
        std::vector<size_t> uniqueOrigin;
        for (qsizetype i = 0; i < result.rows.size(); ++i) {
            QString key;
            for (const QVariant& v : result.rows[i])
                key += QString::number(v.isNull() ? 0 : (isNumberValue(v) ? 1 : v.typeId())) +
                       QLatin1Char(':') + sqlText(v) + QChar(0x1f);
            if (seen.contains(key)) continue;
            seen.insert(key);
            unique.append(result.rows[i]);
            uniqueOrigin.push_back(origin[size_t(i)]);
        }
        result.rows.swap(unique);
        origin.swap(uniqueOrigin);
    }

    if (!b.order.empty()) {
        const size_t k = b.order.size();
        std::vector<QVariant> keys;
        keys.reserve(size_t(result.rows.size()) * k);
        for (qsizetype i = 0; i < result.rows.size(); ++i) {
            for (const Bound::Order& o : b.order) {
                if (o.item >= 0) {
                    keys.push_back(result.rows[i][o.item]);
                    continue;
                }
                SqlFrame of = walk.frame;
                if (b.grouped) {
                    of.group = &groups[origin[size_t(i)]];
                    of.rows = of.group->empty() ? nullptr : of.group->front();
                } else {
                    of.rows = walk.tuple(int(origin[size_t(i)]));
                }
                keys.push_back(sqlEval(*o.expr, of, *this));
            }
        }
        const std::vector<int> perm = sortedOrder(keys, k, b.descending);
        QVector<DbfRecord> sorted;
        sorted.reserve(result.rows.size());
        for (int p : perm)
            sorted.append(result.rows[p]);
        result.rows.swap(sorted);
    }

    applyLimit(s, result.rows);
    for (qsizetype c = 0; c < result.columns.size(); ++c)
        if (b.items[size_t(c)].expr && b.items[size_t(c)].expr->kind == SqlExpr::Subquery)
            refineColumn(result.columns[c], result.rows, int(c));
    return result;
}

SqlResult SqlRunner::select(SqlSelect& s) {
    return run(bind(s, {}), nullptr);
}

bool SqlRunner::exists(SqlSelect& s, const SqlFrame& outer) {
    Bound& b = *bound_.at(&s);
    if (b.exists) return *b.exists;
    Walk walk(*this, b, &outer);
    walk.stopAtFirst = true;
    walk.run();
    if (!b.correlated) b.exists = walk.tupleCount > 0;
    return walk.tupleCount > 0;
}

QVector<QVariant> SqlRunner::column(SqlSelect& s, const SqlFrame& outer) {
    Bound& b = *bound_.at(&s);
    if (b.column) return *b.column;
    const SqlResult r = run(b, &outer);
    QVector<QVariant> values;
    values.reserve(r.rowCount());
    for (int i = 0; i < r.rowCount(); ++i)
        values.append(r.value(i, 0));
    if (!b.correlated) b.column = values;
    return values;
}

const SqlScope& SqlRunner::scopeOf(SqlSelect& single) {
    return bind(single, {}).scope;
}

void SqlRunner::bindInScopeOf(SqlSelect& single, SqlExpr& e) {
    bindExpr(e, {&bind(single, {}).scope}, false);
}

std::vector<int> SqlRunner::matchingRows(SqlSelect& single) {
    Bound& b = bind(single, {});
    Walk walk(*this, b, nullptr);
    walk.run();
    return std::move(walk.tuples);
}
