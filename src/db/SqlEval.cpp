#include "SqlEval.h"

#include "DbfValue.h"
#include "KivError.h"

#include <QLocale>
#include <cmath>
#include <set>

namespace {

[[noreturn]] void mismatch(const QVariant& v, const char* what) {
    throw EDatabaseError(
        QStringLiteral("Type mismatch: '%1' is not %2").arg(sqlText(v), QLatin1String(what)));
}

double number(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok) mismatch(v, "a number");
        return d;
    }
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
    if (!isNumberValue(v)) mismatch(v, "a number");
    return v.toDouble();
}

bool boolOf(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (isNumberValue(v)) return v.toDouble() != 0;
    if (const auto b = boolFromText(v.toString())) return *b;
    mismatch(v, "true or false");
}

QDate dateOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    const QDate d = dateFromText(v.toString());
    if (!d.isValid()) mismatch(v, "a date");
    return d;
}

// Keeps whole results whole while they fit.
QVariant arithmetic(const QString& op, const QVariant& a, const QVariant& b) {
    if (isWholeValue(a) && isWholeValue(b) && op != QLatin1String("/")) {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        qint64 r = 0;
        bool overflow = false;
        if (op == QLatin1String("+"))
            overflow = __builtin_add_overflow(x, y, &r);
        else if (op == QLatin1String("-"))
            overflow = __builtin_sub_overflow(x, y, &r);
        else if (op == QLatin1String("*"))
            overflow = __builtin_mul_overflow(x, y, &r);
        else if (op == QLatin1String("%")) {
            if (y == 0) return {};
            if (y == -1) return qint64(0);
            return x % y;
        }
        if (!overflow) return r;
    }
    const double x = number(a), y = number(b);
    double r = 0;
    if (op == QLatin1String("+"))
        r = x + y;
    else if (op == QLatin1String("-"))
        r = x - y;
    else if (op == QLatin1String("*"))
        r = x * y;
    else if (op == QLatin1String("/")) {
        if (y == 0) return {}; // division by zero is unknown rather than infinite
        r = x / y;
    } else if (op == QLatin1String("%")) {
        if (y == 0) return {};
        r = std::fmod(x, y);
    }
    if (!std::isfinite(r)) return {};
    return r;
}

QVariant compareOp(const QString& op, const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) return {};
    const int c = sqlCompare(a, b);
    if (op == QLatin1String("=")) return c == 0;
    if (op == QLatin1String("<>")) return c != 0;
    if (op == QLatin1String("<")) return c < 0;
    if (op == QLatin1String(">")) return c > 0;
    if (op == QLatin1String("<=")) return c <= 0;
    return c >= 0;
}

QVariant notOf(const QVariant& v) {
    if (v.isNull()) return {};
    return !boolOf(v);
}

QVariant function(const QString& fn, std::vector<QVariant>& a) {
    if (fn == QLatin1String("COALESCE") || fn == QLatin1String("IFNULL")) {
        for (const QVariant& v : a)
            if (!v.isNull()) return v;
        return {};
    }
    for (const QVariant& v : a)
        if (v.isNull()) return {};
    if (fn == QLatin1String("UPPER")) return sqlText(a[0]).toUpper();
    if (fn == QLatin1String("LOWER")) return sqlText(a[0]).toLower();
    if (fn == QLatin1String("TRIM")) return sqlText(a[0]).trimmed();
    if (fn == QLatin1String("LTRIM")) {
        const QString s = sqlText(a[0]);
        qsizetype i = 0;
        while (i < s.size() && s[i].isSpace())
            ++i;
        return s.mid(i);
    }
    if (fn == QLatin1String("RTRIM")) {
        QString s = sqlText(a[0]);
        while (!s.isEmpty() && s.back().isSpace())
            s.chop(1);
        return s;
    }
    if (fn == QLatin1String("LENGTH") || fn == QLatin1String("LEN") ||
        fn == QLatin1String("CHAR_LENGTH"))
        return qint64(sqlText(a[0]).size());
    if (fn == QLatin1String("SUBSTRING") || fn == QLatin1String("SUBSTR")) {
        const QString s = sqlText(a[0]);
        const qint64 start = qint64(number(a[1]));
        qint64 from = std::max<qint64>(start, 1) - 1;
        qint64 len =
            a.size() > 2 ? qint64(number(a[2])) - (std::max<qint64>(start, 1) - start) : s.size();
        if (len <= 0 || from >= s.size()) return QString();
        return s.mid(from, std::min<qint64>(len, s.size() - from));
    }
    if (fn == QLatin1String("ABS")) {
        if (isWholeValue(a[0]) && a[0].toLongLong() != std::numeric_limits<qint64>::min())
            return qint64(std::llabs(a[0].toLongLong()));
        return std::fabs(number(a[0]));
    }
    if (fn == QLatin1String("ROUND")) {
        const int digits = a.size() > 1 ? int(number(a[1])) : 0;
        if (isWholeValue(a[0]) && digits >= 0) return a[0].toLongLong();
        const double scale = std::pow(10.0, digits);
        const double r = std::round(number(a[0]) * scale) / scale;
        if (digits <= 0 && std::fabs(r) < 9e15) return qint64(r);
        return r;
    }
    throw EDatabaseError(QStringLiteral("Unknown function %1").arg(fn));
}

QVariant aggregate(SqlExpr& e, const SqlFrame& frame, SqlSubqueryRunner& runner) {
    if (!frame.group)
        throw EDatabaseError(QStringLiteral("Aggregate %1 is not allowed here").arg(e.op));
    const auto& group = *frame.group;
    if (e.args.empty()) return qint64(group.size()); // count(*)

    SqlFrame rowFrame = frame;
    rowFrame.group = nullptr;
    std::vector<QVariant> values;
    values.reserve(group.size());
    for (const int* rows : group) {
        rowFrame.rows = rows;
        QVariant v = sqlEval(*e.args[0], rowFrame, runner);
        if (!v.isNull()) values.push_back(std::move(v));
    }
    if (e.distinct) {
        std::sort(values.begin(), values.end(),
                  [](const QVariant& a, const QVariant& b) { return sqlCompare(a, b) < 0; });
        values.erase(
            std::unique(values.begin(), values.end(),
                        [](const QVariant& a, const QVariant& b) { return sqlCompare(a, b) == 0; }),
            values.end());
    }
    if (e.op == QLatin1String("COUNT")) return qint64(values.size());
    if (values.empty()) return {};
    if (e.op == QLatin1String("MIN") || e.op == QLatin1String("MAX")) {
        const bool max = e.op == QLatin1String("MAX");
        size_t best = 0;
        for (size_t i = 1; i < values.size(); ++i) {
            const int c = sqlCompare(values[i], values[best]);
            if (max ? c > 0 : c < 0) best = i;
        }
        return values[best];
    }
    // SUM, AVG
    bool whole = true;
    qint64 isum = 0;
    double dsum = 0;
    for (const QVariant& v : values) {
        const double d = number(v);
        dsum += d;
        if (whole) {
            whole = isWholeValue(v) && !__builtin_add_overflow(isum, v.toLongLong(), &isum);
        }
    }
    if (e.op == QLatin1String("SUM")) return whole ? QVariant(isum) : QVariant(dsum);
    return dsum / double(values.size());
}

} // namespace

QString sqlText(const QVariant& v) {
    if (v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (d == std::trunc(d) && std::fabs(d) < 1e18) return QString::number(qint64(d));
        // Positional notation except where it would run to dozens of digits.
        if (std::fabs(d) >= 1e18 || std::fabs(d) < 1e-9)
            return QString::number(d, 'g', QLocale::FloatingPointShortest);
        return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return v.toString();
    }
}

int sqlCompare(const QVariant& a, const QVariant& b) {
    const bool at = a.typeId() == QMetaType::QString, bt = b.typeId() == QMetaType::QString;
    if (at != bt) {
        // Text meets another kind: read the text as that kind.
        const QVariant& other = at ? b : a;
        const QVariant& text = at ? a : b;
        QVariant converted;
        if (isNumberValue(other))
            converted = number(text);
        else if (other.typeId() == QMetaType::QDate || other.typeId() == QMetaType::QDateTime)
            converted = dateOf(text);
        else if (other.typeId() == QMetaType::Bool)
            converted = boolOf(text);
        else
            converted = text;
        return at ? compareDbfValues(converted, b) : compareDbfValues(a, converted);
    }
    if (isNumberValue(a) != isNumberValue(b)) {
        if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool) {
            const double x = number(a), y = number(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        mismatch(isNumberValue(a) ? b : a, "a number");
    }
    return compareDbfValues(a, b);
}

bool sqlIsTrue(const QVariant& v) {
    return !v.isNull() && v.typeId() == QMetaType::Bool && v.toBool();
}

bool sqlIsKnownFunction(const QString& fn, int n) {
    static const struct {
        const char* name;
        int minArgs, maxArgs;
    } functions[] = {{"UPPER", 1, 1},     {"LOWER", 1, 1},  {"TRIM", 1, 1}, {"LTRIM", 1, 1},
                     {"RTRIM", 1, 1},     {"LENGTH", 1, 1}, {"LEN", 1, 1},  {"CHAR_LENGTH", 1, 1},
                     {"SUBSTRING", 2, 3}, {"SUBSTR", 2, 3}, {"ABS", 1, 1},  {"ROUND", 1, 2},
                     {"COALESCE", 1, 64}, {"IFNULL", 2, 2}};
    for (const auto& f : functions)
        if (fn == QLatin1String(f.name)) return n >= f.minArgs && n <= f.maxArgs;
    return false;
}

// ---- Like ----

SqlLikePattern::SqlLikePattern(const QString& p, QChar escape) {
    const qsizetype n = p.size();
    for (qsizetype i = 0; i < n; ++i) {
        Element e;
        const QChar c = p[i];
        if (!escape.isNull() && c == escape && i + 1 < n) {
            e.c = p[++i];
        } else if (c == QLatin1Char('%')) {
            if (!elements_.empty() && elements_.back().kind == Element::Many) continue;
            e.kind = Element::Many;
        } else if (c == QLatin1Char('_')) {
            e.kind = Element::One;
        } else if (c == QLatin1Char('[') && p.indexOf(QLatin1Char(']'), i + 2) > 0) {
            qsizetype j = i + 1;
            e.kind = Element::Class;
            if (p[j] == QLatin1Char('^') || p[j] == QLatin1Char('!')) {
                e.negated = true;
                ++j;
            }
            // A ']' right after the opening bracket is a member.
            const qsizetype close = p.indexOf(QLatin1Char(']'), j + 1);
            if (close < 0) {
                e.kind = Element::Char;
                e.c = c;
            } else {
                for (qsizetype k = j; k < close; ++k) {
                    if (k + 2 < close && p[k + 1] == QLatin1Char('-')) {
                        e.set += p[k];
                        e.set += QLatin1Char('-');
                        e.set += p[k + 2];
                        k += 2;
                    } else {
                        e.set += p[k];
                        e.set += QChar();
                        e.set += QChar();
                    }
                }
                i = close;
            }
        } else {
            e.c = c;
        }
        elements_.push_back(e);
    }
    // Most filters are %text%, text% or plain text: match those without backtracking.
    const qsizetype count = qsizetype(elements_.size());
    qsizetype first = 0, last = count;
    if (count && elements_.front().kind == Element::Many) ++first;
    if (last > first && elements_.back().kind == Element::Many) --last;
    bool simple = true;
    for (qsizetype i = first; i < last; ++i) {
        if (elements_[size_t(i)].kind != Element::Char) {
            simple = false;
            break;
        }
        literal_ += elements_[size_t(i)].c;
    }
    if (simple) {
        const bool lead = first == 1, trail = last < count;
        shape_ = lead && trail ? Contains : lead ? Suffix : trail ? Prefix : Exact;
    }
}

bool SqlLikePattern::matchOne(const Element& e, QChar c) const {
    switch (e.kind) {
    case Element::Char:
        return e.c == c;
    case Element::One:
        return true;
    case Element::Class: {
        bool in = false;
        for (qsizetype k = 0; k + 2 < e.set.size(); k += 3) {
            if (e.set[k + 1].isNull() ? c == e.set[k] : (c >= e.set[k] && c <= e.set[k + 2])) {
                in = true;
                break;
            }
        }
        return in != e.negated;
    }
    case Element::Many:
        break;
    }
    return false;
}

bool SqlLikePattern::matches(QStringView text) const {
    switch (shape_) {
    case Exact:
        return text == literal_;
    case Prefix:
        return text.startsWith(literal_);
    case Suffix:
        return text.endsWith(literal_);
    case Contains:
        return text.contains(literal_);
    case General:
        break;
    }
    // Iterative matching with one backtrack point: the latest %.
    const size_t n = elements_.size();
    qsizetype t = 0;
    size_t p = 0;
    size_t starP = size_t(-1);
    qsizetype starT = 0;
    while (t < text.size()) {
        if (p < n && elements_[p].kind == Element::Many) {
            starP = p++;
            starT = t;
        } else if (p < n && matchOne(elements_[p], text[t])) {
            ++p;
            ++t;
        } else if (starP != size_t(-1)) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < n && elements_[p].kind == Element::Many)
        ++p;
    return p == n;
}

// ---- evaluation ----

QVariant sqlEval(SqlExpr& e, const SqlFrame& frame, SqlSubqueryRunner& runner) {
    switch (e.kind) {
    case SqlExpr::Literal:
        return e.value;
    case SqlExpr::Column: {
        const SqlFrame* f = &frame;
        for (int i = 0; i < e.depth; ++i)
            f = f->outer;
        const int row = f->rows ? f->rows[e.source] : -1;
        if (row < 0) return {};
        return f->scope->sources[size_t(e.source)].table->value(row, e.field);
    }
    case SqlExpr::Unary: {
        const QVariant v = sqlEval(*e.args[0], frame, runner);
        if (e.op == QLatin1String("not")) return notOf(v);
        if (v.isNull()) return {};
        if (isWholeValue(v) && v.toLongLong() != std::numeric_limits<qint64>::min())
            return -v.toLongLong();
        return -number(v);
    }
    case SqlExpr::Binary: {
        const QString& op = e.op;
        if (op == QLatin1String("and") || op == QLatin1String("or")) {
            const bool isAnd = op == QLatin1String("and");
            const QVariant a = sqlEval(*e.args[0], frame, runner);
            if (!a.isNull() && boolOf(a) != isAnd) return !isAnd; // short circuit
            const QVariant b = sqlEval(*e.args[1], frame, runner);
            if (!b.isNull() && boolOf(b) != isAnd) return !isAnd;
            if (a.isNull() || b.isNull()) return {};
            return isAnd;
        }
        const QVariant a = sqlEval(*e.args[0], frame, runner);
        const QVariant b = sqlEval(*e.args[1], frame, runner);
        if (op == QLatin1String("||")) {
            if (a.isNull() || b.isNull()) return {};
            return sqlText(a) + sqlText(b);
        }
        if (op.size() == 1 && QStringLiteral("+-*/%").contains(op[0])) {
            if (a.isNull() || b.isNull()) return {};
            return arithmetic(op, a, b);
        }
        return compareOp(op, a, b);
    }
    case SqlExpr::Like: {
        const QVariant v = sqlEval(*e.args[0], frame, runner);
        const QVariant p = sqlEval(*e.args[1], frame, runner);
        if (v.isNull() || p.isNull()) return {};
        QChar escape;
        if (e.args.size() > 2) {
            const QString esc = sqlText(sqlEval(*e.args[2], frame, runner));
            if (esc.size() != 1)
                throw EDatabaseError(QStringLiteral("The escape of Like must be one character"));
            escape = esc[0];
        }
        const QString pattern = sqlText(p);
        if (!e.likePattern || e.likeSource != pattern) {
            e.likePattern = std::make_shared<SqlLikePattern>(pattern, escape);
            e.likeSource = pattern;
        }
        const bool m = v.typeId() == QMetaType::QString ? e.likePattern->matches(v.toString())
                                                        : e.likePattern->matches(sqlText(v));
        return m != e.negated;
    }
    case SqlExpr::In: {
        const QVariant v = sqlEval(*e.args[0], frame, runner);
        if (v.isNull()) return {};
        bool sawNull = false;
        auto test = [&](const QVariant& item) {
            if (item.isNull()) {
                sawNull = true;
                return false;
            }
            return sqlCompare(v, item) == 0;
        };
        if (e.sub) {
            for (const QVariant& item : runner.column(*e.sub, frame))
                if (test(item)) return !e.negated;
        } else {
            for (size_t i = 1; i < e.args.size(); ++i)
                if (test(sqlEval(*e.args[i], frame, runner))) return !e.negated;
        }
        if (sawNull) return {};
        return e.negated;
    }
    case SqlExpr::Between: {
        const QVariant v = sqlEval(*e.args[0], frame, runner);
        const QVariant lo = compareOp(QStringLiteral(">="), v, sqlEval(*e.args[1], frame, runner));
        const QVariant hi = compareOp(QStringLiteral("<="), v, sqlEval(*e.args[2], frame, runner));
        QVariant r;
        if ((!lo.isNull() && !lo.toBool()) || (!hi.isNull() && !hi.toBool()))
            r = false;
        else if (!lo.isNull() && !hi.isNull())
            r = true;
        return e.negated ? notOf(r) : r;
    }
    case SqlExpr::IsNull:
        return sqlEval(*e.args[0], frame, runner).isNull() != e.negated;
    case SqlExpr::Exists:
        return runner.exists(*e.sub, frame);
    case SqlExpr::Subquery: {
        const QVector<QVariant> values = runner.column(*e.sub, frame);
        if (values.size() > 1)
            throw EDatabaseError(
                QStringLiteral("A subquery used as a value returned more than one row"));
        return values.isEmpty() ? QVariant() : values.first();
    }
    case SqlExpr::Function: {
        std::vector<QVariant> args;
        args.reserve(e.args.size());
        for (auto& a : e.args)
            args.push_back(sqlEval(*a, frame, runner));
        return function(e.op, args);
    }
    case SqlExpr::Aggregate:
        return aggregate(e, frame, runner);
    }
    return {};
}
