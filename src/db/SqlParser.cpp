#include "SqlParser.h"

#include "KivError.h"
#include "SqlLexer.h"

namespace {

// Words that end an expression or a name where an alias could otherwise follow.
bool isReserved(const SqlToken& t) {
    return t.kind == SqlTokenKind::Identifier && sqlIsReservedWord(t.text);
}

class Parser {
public:
    Parser(const QString& text, const QHash<QString, QVariant>& params)
        : text_(text), toks_(tokenizeSql(text)), params_(params) {}

    SqlStatement statement() {
        SqlStatement st;
        if (peek().is("select")) {
            st.kind = SqlStatement::Select;
            st.select = select();
        } else if (accept("insert")) {
            insert(st);
        } else if (accept("update")) {
            update(st);
        } else if (accept("delete")) {
            st.kind = SqlStatement::Delete;
            expect("from");
            st.table = tableName();
            st.alias = optionalAlias();
            if (accept("where")) st.where = expr();
        } else if (accept("create")) {
            create(st);
        } else if (accept("drop")) {
            drop(st);
        } else {
            fail(QStringLiteral("expected a statement"));
        }
        acceptSymbol(";");
        if (peek().kind != SqlTokenKind::End)
            fail(QStringLiteral("unexpected text after the statement"));
        return st;
    }

private:
    const SqlToken& peek(int ahead = 0) const {
        return toks_[std::min<qsizetype>(i_ + ahead, toks_.size() - 1)];
    }
    const SqlToken& next() {
        const SqlToken& t = toks_[i_];
        if (i_ + 1 < toks_.size()) ++i_;
        return t;
    }
    [[noreturn]] void fail(const QString& detail) const {
        throwSqlSyntaxError(text_, peek(), detail);
    }
    bool accept(const char* word) {
        if (!peek().is(word)) return false;
        next();
        return true;
    }
    bool acceptSymbol(const char* sym) {
        if (!peek().isSymbol(sym)) return false;
        next();
        return true;
    }
    void expect(const char* word) {
        if (!accept(word))
            fail(QStringLiteral("expected %1").arg(QString::fromLatin1(word).toUpper()));
    }
    void expectSymbol(const char* sym) {
        if (!acceptSymbol(sym)) fail(QStringLiteral("expected \"%1\"").arg(QLatin1String(sym)));
    }
    int prevEnd() const { return i_ > 0 ? toks_[i_ - 1].end : 0; }

    QString name() {
        const SqlToken& t = peek();
        if ((t.kind == SqlTokenKind::Identifier && !isReserved(t)) ||
            t.kind == SqlTokenKind::Quoted) {
            next();
            return t.text;
        }
        fail(QStringLiteral("expected a name"));
    }

    QVariant param(const SqlToken& t) const {
        for (auto it = params_.begin(); it != params_.end(); ++it)
            if (it.key().compare(t.text, Qt::CaseInsensitive) == 0) return it.value();
        throw EDatabaseError(QStringLiteral("Parameter \"%1\" has no value").arg(t.text));
    }

    // "book.dbf", book, book.dbf, "owner"."table" or a string parameter.
    SqlTableName tableName() {
        SqlTableName tn;
        const SqlToken& t = peek();
        tn.pos = t.pos;
        if (t.kind == SqlTokenKind::Parameter) {
            next();
            const QVariant v = param(t);
            if (v.typeId() != QMetaType::QString || v.toString().trimmed().isEmpty())
                throwSqlSyntaxError(
                    text_, t, QStringLiteral("parameter \"%1\" is not a table name").arg(t.text));
            tn.name = v.toString().trimmed();
            return tn;
        }
        if (t.kind != SqlTokenKind::Quoted && (t.kind != SqlTokenKind::Identifier || isReserved(t)))
            fail(QStringLiteral("expected a table name"));
        tn.name = next().text;
        while (peek().isSymbol(".") &&
               (peek(1).kind == SqlTokenKind::Identifier || peek(1).kind == SqlTokenKind::Quoted) &&
               !peek(2).isSymbol("(")) {
            next();
            tn.name += QLatin1Char('.') + next().text;
        }
        return tn;
    }

    QString optionalAlias() {
        if (accept("as")) return name();
        const SqlToken& t = peek();
        if ((t.kind == SqlTokenKind::Identifier && !isReserved(t)) ||
            t.kind == SqlTokenKind::Quoted)
            return next().text;
        return {};
    }

    std::unique_ptr<SqlSelect> select() {
        Nesting guard(*this);
        auto s = std::make_unique<SqlSelect>();
        expect("select");
        if (accept("distinct"))
            s->distinct = true;
        else
            accept("all");
        do {
            SqlSelectItem item;
            const int start = peek().pos;
            if (acceptSymbol("*")) {
                item.text = QStringLiteral("*");
            } else if ((peek().kind == SqlTokenKind::Identifier ||
                        peek().kind == SqlTokenKind::Quoted) &&
                       peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
                item.starOf = next().text;
                next();
                next();
                item.text = text_.mid(start, prevEnd() - start);
            } else {
                item.expr = expr();
                item.text = text_.mid(start, prevEnd() - start).trimmed();
                if (accept("as")) {
                    if (peek().kind == SqlTokenKind::String)
                        item.alias = next().text;
                    else
                        item.alias = name();
                } else if ((peek().kind == SqlTokenKind::Identifier && !isReserved(peek())) ||
                           peek().kind == SqlTokenKind::Quoted) {
                    item.alias = next().text;
                }
            }
            s->items.push_back(std::move(item));
        } while (acceptSymbol(","));

        if (accept("from")) {
            SqlSource first;
            first.table = tableName();
            first.alias = optionalAlias();
            s->from.push_back(std::move(first));
            while (true) {
                SqlSource src;
                if (acceptSymbol(",")) {
                    src.join = SqlSource::Cross;
                } else if (accept("cross")) {
                    expect("join");
                    src.join = SqlSource::Cross;
                } else if (accept("join") || (accept("inner") && (expect("join"), true))) {
                    src.join = SqlSource::Inner;
                } else if (accept("left")) {
                    accept("outer");
                    expect("join");
                    src.join = SqlSource::Left;
                } else {
                    break;
                }
                src.table = tableName();
                src.alias = optionalAlias();
                if (src.join != SqlSource::Cross) {
                    expect("on");
                    src.on = expr();
                }
                s->from.push_back(std::move(src));
            }
        }
        if (accept("where")) s->where = expr();
        if (accept("group")) {
            expect("by");
            do
                s->groupBy.push_back(expr());
            while (acceptSymbol(","));
        }
        if (accept("having")) s->having = expr();
        if (accept("order")) {
            expect("by");
            do {
                SqlOrderItem o;
                // A number standing alone is a column position, not a value.
                const SqlToken& after = peek(1);
                if (peek().kind == SqlTokenKind::Number &&
                    (after.kind == SqlTokenKind::End || after.kind == SqlTokenKind::Identifier ||
                     after.isSymbol(",") || after.isSymbol(")") || after.isSymbol(";"))) {
                    bool ok = false;
                    o.position = peek().text.toInt(&ok);
                    bool star = false;
                    for (const SqlSelectItem& item : s->items)
                        star = star || !item.expr;
                    // "*" widens the list; the binder checks those positions.
                    if (!ok || o.position < 1 || (!star && o.position > int(s->items.size())))
                        fail(QStringLiteral("no select column %1").arg(peek().text));
                    next();
                } else {
                    o.expr = expr();
                }
                if (accept("desc"))
                    o.descending = true;
                else
                    accept("asc");
                s->orderBy.push_back(std::move(o));
            } while (acceptSymbol(","));
        }
        if (accept("limit")) {
            s->limit = number();
            if (accept("offset")) s->offset = number();
        }
        return s;
    }

    void insert(SqlStatement& st) {
        st.kind = SqlStatement::Insert;
        expect("into");
        st.table = tableName();
        if (acceptSymbol("(")) {
            do
                st.columns << name();
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        if (peek().is("select")) {
            st.select = select();
            return;
        }
        expect("values");
        do {
            expectSymbol("(");
            std::vector<SqlExprPtr> row;
            do
                row.push_back(expr());
            while (acceptSymbol(","));
            expectSymbol(")");
            st.values.push_back(std::move(row));
        } while (acceptSymbol(","));
    }

    void update(SqlStatement& st) {
        st.kind = SqlStatement::Update;
        st.table = tableName();
        st.alias = optionalAlias();
        expect("set");
        do {
            QString column = name();
            // alias.column
            if (acceptSymbol(".")) column = name();
            expectSymbol("=");
            st.assignments.emplace_back(column, expr());
        } while (acceptSymbol(","));
        if (accept("where")) st.where = expr();
    }

    void create(SqlStatement& st) {
        if (accept("table")) {
            st.kind = SqlStatement::CreateTable;
            st.table = tableName();
            expectSymbol("(");
            do {
                DbfFieldDef f;
                const SqlToken nameTok = peek();
                f.name = name().toUpper();
                const SqlToken typeTok = peek();
                if (typeTok.kind != SqlTokenKind::Identifier)
                    fail(QStringLiteral("expected a type"));
                next();
                int size = 0, decimals = 0;
                bool sized = false;
                if (acceptSymbol("(")) {
                    sized = true;
                    size = number();
                    if (acceptSymbol(",")) decimals = number();
                    expectSymbol(")");
                }
                if (!sqlFieldType(typeTok.text, size, decimals, sized, f))
                    throwSqlSyntaxError(text_, typeTok,
                                        QStringLiteral("unknown or invalid column type"));
                if (f.name.size() > 10)
                    throwSqlSyntaxError(text_, nameTok,
                                        QStringLiteral("a column name has at most 10 characters"));
                for (const DbfFieldDef& other : st.fields)
                    if (other.name == f.name)
                        throwSqlSyntaxError(text_, nameTok,
                                            QStringLiteral("duplicate column name"));
                st.fields.append(f);
            } while (acceptSymbol(","));
            expectSymbol(")");
            return;
        }
        st.kind = SqlStatement::CreateIndex;
        if (accept("unique"))
            st.index.unique = true;
        else if (accept("primary"))
            st.index.unique = st.index.primary = true;
        expect("index");
        st.index.name = name();
        expect("on");
        st.table = tableName();
        expectSymbol("(");
        do
            st.index.fields << name();
        while (acceptSymbol(","));
        expectSymbol(")");
    }

    void drop(SqlStatement& st) {
        if (accept("table")) {
            st.kind = SqlStatement::DropTable;
            st.table = tableName();
            return;
        }
        expect("index");
        st.kind = SqlStatement::DropIndex;
        if (peek(1).is("on")) {
            st.index.name = name();
            expect("on");
            st.table = tableName();
            return;
        }
        // "table.dbf".I_Name, table.I_Name: the last dotted part is the index.
        SqlTableName tn = tableName();
        const int dot = int(tn.name.lastIndexOf(QLatin1Char('.')));
        if (acceptSymbol(".")) {
            st.index.name = name();
        } else if (dot > 0) {
            st.index.name = tn.name.mid(dot + 1);
            tn.name.truncate(dot);
        } else {
            fail(QStringLiteral("expected the index as TABLE.INDEX or INDEX on TABLE"));
        }
        st.table = tn;
    }

    int number() {
        const SqlToken& t = peek();
        bool ok = false;
        const int v = t.text.toInt(&ok);
        if (t.kind != SqlTokenKind::Number || !ok) fail(QStringLiteral("expected a whole number"));
        next();
        return v;
    }

    SqlExprPtr make(SqlExpr::Kind kind, int pos) {
        auto e = std::make_unique<SqlExpr>();
        e->kind = kind;
        e->pos = pos;
        return e;
    }
    SqlExprPtr finish(SqlExprPtr e) {
        e->end = prevEnd();
        for (const auto& a : e->args)
            e->height = std::max(e->height, a->height + 1);
        // Long operator chains nest as deeply as parentheses do.
        if (e->height > 1000) fail(QStringLiteral("nested too deeply"));
        return e;
    }
    SqlExprPtr binary(const QString& op, SqlExprPtr a, SqlExprPtr b) {
        auto e = make(SqlExpr::Binary, a->pos);
        e->op = op;
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return finish(std::move(e));
    }

    SqlExprPtr expr() {
        Nesting guard(*this);
        return orExpr();
    }

    SqlExprPtr orExpr() {
        auto e = andExpr();
        while (accept("or"))
            e = binary(QStringLiteral("or"), std::move(e), andExpr());
        return e;
    }
    SqlExprPtr andExpr() {
        auto e = notExpr();
        while (accept("and"))
            e = binary(QStringLiteral("and"), std::move(e), notExpr());
        return e;
    }
    SqlExprPtr notExpr() {
        const int pos = peek().pos;
        Nesting guard(*this);
        if (accept("not")) {
            auto e = make(SqlExpr::Unary, pos);
            e->op = QStringLiteral("not");
            e->args.push_back(notExpr());
            return finish(std::move(e));
        }
        return predicate();
    }

    SqlExprPtr predicate() {
        auto left = concat();
        while (true) {
            const SqlToken& t = peek();
            if (t.kind == SqlTokenKind::Symbol &&
                (t.text == QLatin1String("=") || t.text == QLatin1String("<>") ||
                 t.text == QLatin1String("!=") || t.text == QLatin1String("<") ||
                 t.text == QLatin1String(">") || t.text == QLatin1String("<=") ||
                 t.text == QLatin1String(">="))) {
                QString op = next().text;
                if (op == QLatin1String("!=")) op = QStringLiteral("<>");
                left = binary(op, std::move(left), concat());
                continue;
            }
            if (t.is("is")) {
                next();
                auto e = make(SqlExpr::IsNull, left->pos);
                e->negated = accept("not");
                expect("null");
                e->args.push_back(std::move(left));
                left = finish(std::move(e));
                continue;
            }
            const bool negated =
                t.is("not") && (peek(1).is("like") || peek(1).is("in") || peek(1).is("between"));
            if (negated) next();
            if (accept("like")) {
                auto e = make(SqlExpr::Like, left->pos);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(concat());
                if (accept("escape")) e->args.push_back(concat());
                left = finish(std::move(e));
            } else if (accept("in")) {
                auto e = make(SqlExpr::In, left->pos);
                e->negated = negated;
                e->args.push_back(std::move(left));
                expectSymbol("(");
                if (peek().is("select")) {
                    e->sub = select();
                } else {
                    do
                        e->args.push_back(expr());
                    while (acceptSymbol(","));
                }
                expectSymbol(")");
                left = finish(std::move(e));
            } else if (accept("between")) {
                auto e = make(SqlExpr::Between, left->pos);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(concat());
                expect("and");
                e->args.push_back(concat());
                left = finish(std::move(e));
            } else {
                if (negated) fail(QStringLiteral("expected LIKE, IN or BETWEEN"));
                return left;
            }
        }
    }

    SqlExprPtr concat() {
        auto e = additive();
        while (acceptSymbol("||"))
            e = binary(QStringLiteral("||"), std::move(e), additive());
        return e;
    }
    SqlExprPtr additive() {
        auto e = multiplicative();
        while (peek().isSymbol("+") || peek().isSymbol("-")) {
            const QString op = next().text;
            e = binary(op, std::move(e), multiplicative());
        }
        return e;
    }
    SqlExprPtr multiplicative() {
        auto e = unary();
        while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
            const QString op = next().text;
            e = binary(op, std::move(e), unary());
        }
        return e;
    }
    SqlExprPtr unary() {
        const int pos = peek().pos;
        Nesting guard(*this);
        if (acceptSymbol("-")) {
            auto e = make(SqlExpr::Unary, pos);
            e->op = QStringLiteral("-");
            e->args.push_back(unary());
            return finish(std::move(e));
        }
        if (acceptSymbol("+")) return unary();
        return primary();
    }

    SqlExprPtr literal(const QVariant& v, int pos) {
        auto e = make(SqlExpr::Literal, pos);
        e->value = v;
        return finish(std::move(e));
    }

    SqlExprPtr primary() {
        const SqlToken t = peek();
        switch (t.kind) {
        case SqlTokenKind::Number: {
            next();
            bool ok = false;
            const qint64 whole = t.text.toLongLong(&ok);
            if (ok) return literal(whole, t.pos);
            return literal(t.text.toDouble(), t.pos);
        }
        case SqlTokenKind::String:
            next();
            return literal(t.text, t.pos);
        case SqlTokenKind::Parameter:
            next();
            return literal(param(t), t.pos);
        case SqlTokenKind::Quoted:
        case SqlTokenKind::Identifier:
            break;
        case SqlTokenKind::Symbol:
            if (t.isSymbol("(")) {
                next();
                SqlExprPtr e;
                if (peek().is("select")) {
                    e = make(SqlExpr::Subquery, t.pos);
                    e->sub = select();
                } else {
                    e = expr();
                }
                expectSymbol(")");
                return e->kind == SqlExpr::Subquery ? finish(std::move(e)) : std::move(e);
            }
            fail(QStringLiteral("expected a value"));
        case SqlTokenKind::End:
            fail(QStringLiteral("expected a value"));
        }

        if (t.kind == SqlTokenKind::Identifier) {
            if (t.is("null")) {
                next();
                return literal(QVariant(), t.pos);
            }
            if (t.is("true") || t.is("false")) {
                next();
                return literal(t.is("true"), t.pos);
            }
            if (t.is("exists")) {
                next();
                auto e = make(SqlExpr::Exists, t.pos);
                expectSymbol("(");
                e->sub = select();
                expectSymbol(")");
                return finish(std::move(e));
            }
            if (isReserved(t)) fail(QStringLiteral("expected a value"));
            if (peek(1).isSymbol("(")) return call();
        }
        next();
        auto e = make(SqlExpr::Column, t.pos);
        e->name = t.text;
        if (acceptSymbol(".")) {
            e->qualifier = e->name;
            const SqlToken& f = peek();
            if (f.kind != SqlTokenKind::Identifier && f.kind != SqlTokenKind::Quoted)
                fail(QStringLiteral("expected a column name"));
            e->name = next().text;
        }
        return finish(std::move(e));
    }

    SqlExprPtr call() {
        const SqlToken t = next();
        next(); // (
        const QString fn = t.text.toUpper();
        const bool aggregate = fn == QLatin1String("COUNT") || fn == QLatin1String("MIN") ||
                               fn == QLatin1String("MAX") || fn == QLatin1String("SUM") ||
                               fn == QLatin1String("AVG");
        auto e = make(aggregate ? SqlExpr::Aggregate : SqlExpr::Function, t.pos);
        e->op = fn;
        if (aggregate) {
            if (fn == QLatin1String("COUNT") && acceptSymbol("*")) {
                expectSymbol(")");
                return finish(std::move(e));
            }
            if (accept("distinct"))
                e->distinct = true;
            else
                accept("all");
            e->args.push_back(expr());
            expectSymbol(")");
            return finish(std::move(e));
        }
        if (!acceptSymbol(")")) {
            do
                e->args.push_back(expr());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        return finish(std::move(e));
    }

    // Deep nesting would exhaust the stack long before it means anything.
    struct Nesting {
        Parser& p;
        explicit Nesting(Parser& parser) : p(parser) {
            if (++p.depth_ > 1000) p.fail(QStringLiteral("nested too deeply"));
        }
        ~Nesting() { --p.depth_; }
    };

    const QString& text_;
    int depth_ = 0;
    QVector<SqlToken> toks_;
    const QHash<QString, QVariant>& params_;
    qsizetype i_ = 0;
};

} // namespace

bool sqlIsReservedWord(const QString& word) {
    static const char* const words[] = {
        "from",  "where", "group", "order",   "having", "on",       "join", "left",   "inner",
        "outer", "cross", "as",    "and",     "or",     "not",      "set",  "values", "select",
        "union", "limit", "asc",   "desc",    "into",   "null",     "true", "false",  "exists",
        "is",    "like",  "in",    "between", "escape", "distinct", "all"};
    for (const char* w : words)
        if (word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0) return true;
    return false;
}

SqlStatement parseSql(const QString& statement, const QHash<QString, QVariant>& params) {
    return Parser(statement, params).statement();
}

bool sqlFieldType(const QString& typeName, int size, int decimals, bool sized, DbfFieldDef& f) {
    const QString t = typeName.toLower();
    auto set = [&](FieldType type, int length, int dec) {
        f.type = type;
        f.length = length;
        f.decimals = dec;
        return true;
    };
    if (t == QLatin1String("numeric") || t == QLatin1String("decimal") ||
        t == QLatin1String("number")) {
        if (!sized) return set(FieldType::Numeric, 20, 4);
        if (size < 1 || size > 20 || decimals < 0 || (decimals > 0 && decimals > size - 2))
            return false;
        return set(FieldType::Numeric, size, decimals);
    }
    if (t == QLatin1String("float") || t == QLatin1String("double") || t == QLatin1String("real")) {
        if (!sized) return set(FieldType::Float, 20, 4);
        if (size < 1 || size > 20 || decimals < 0 || (decimals > 0 && decimals > size - 2))
            return false;
        return set(FieldType::Float, size, decimals);
    }
    if (t == QLatin1String("char") || t == QLatin1String("character") ||
        t == QLatin1String("varchar")) {
        if (!sized) size = 1;
        if (size < 1 || size > 254 || decimals != 0) return false;
        return set(FieldType::Character, size, 0);
    }
    if (t == QLatin1String("blob") || t == QLatin1String("memo") || t == QLatin1String("text") ||
        t == QLatin1String("clob"))
        return set(FieldType::Memo, 10, 0);
    if (sized) return false; // the remaining types have a fixed size
    if (t == QLatin1String("date")) return set(FieldType::Date, 8, 0);
    if (t == QLatin1String("boolean") || t == QLatin1String("bool") ||
        t == QLatin1String("logical"))
        return set(FieldType::Logical, 1, 0);
    if (t == QLatin1String("integer") || t == QLatin1String("int"))
        return set(FieldType::Numeric, 11, 0);
    if (t == QLatin1String("smallint")) return set(FieldType::Numeric, 6, 0);
    return false;
}
