#include "FilterExpression.h"

#include "DbfValue.h"
#include "TField.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <cstring>

namespace {

int typeRank(const QVariant& v) {
    if (isNumberValue(v)) return 1;
    switch (v.typeId()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return 2;
    case QMetaType::Bool:
        return 3;
    default:
        return 4;
    }
}

template <class T> int cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

bool isEmptyValue(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return true;
    if (v.typeId() == QMetaType::QString) return withoutTrailingBlanks(v.toString()).isEmpty();
    if (v.typeId() == QMetaType::QByteArray) return v.toByteArray().isEmpty();
    return false;
}

int compareFieldValues(const QVariant& a, const QVariant& b, bool caseInsensitive) {
    const bool an = isEmptyValue(a), bn = isEmptyValue(b);
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    const int ra = typeRank(a), rb = typeRank(b);
    if (ra == rb) {
        switch (ra) {
        case 1:
            return compareNumbers(a, b);
        case 2:
            if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate)
                return cmp(a.toDate(), b.toDate());
            return cmp(a.toDateTime(), b.toDateTime());
        case 3:
            return cmp(int(a.toBool()), int(b.toBool()));
        default:
            break;
        }
    }
    const QString sa = a.toString(), sb = b.toString();
    const int c = withoutTrailingBlanks(sa).compare(
        withoutTrailingBlanks(sb), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---------------------------------------------------------------- nodes

enum class Op { Or, And, Not, Eq, Ne, Lt, Gt, Le, Ge };

struct FilterExpression::Node {
    Op op = Op::Eq;
    int left = -1, right = -1;
    // Operands of a comparison: a field, or a literal (null QVariant is Null).
    struct Operand {
        QString fieldName;
        int position = 0;
        const TField* field = nullptr;
        QVariant literal;
        bool isField() const { return !fieldName.isEmpty(); }
    } a, b;
};

class FilterExpression::Parser {
public:
    Parser(const QString& text, std::vector<Node>& nodes) : s_(text), nodes_(nodes) {}

    int parse() {
        skip();
        if (pos_ >= s_.size()) return -1;
        const int root = parseOr();
        skip();
        if (pos_ < s_.size()) fail(QStringLiteral("unexpected '%1'").arg(s_.at(pos_)));
        return root;
    }

private:
    [[noreturn]] void fail(const QString& what, qsizetype at = -1) const {
        throw EDatabaseError(QStringLiteral("Filter expression error at position %1: %2")
                                 .arg((at < 0 ? pos_ : at) + 1)
                                 .arg(what));
    }

    void skip() {
        while (pos_ < s_.size() && s_.at(pos_).isSpace())
            ++pos_;
    }

    static bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

    // A keyword stands alone as a word.
    bool keyword(const char* word) {
        skip();
        const QLatin1StringView w(word);
        if (s_.mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        const qsizetype end = pos_ + w.size();
        if (end < s_.size() && isWordChar(s_.at(end))) return false;
        pos_ = end;
        return true;
    }

    int add(Node n) {
        nodes_.push_back(std::move(n));
        return int(nodes_.size()) - 1;
    }

    int parseOr() {
        int left = parseAnd();
        while (keyword("or")) {
            Node n;
            n.op = Op::Or;
            n.left = left;
            n.right = parseAnd();
            left = add(std::move(n));
        }
        return left;
    }

    int parseAnd() {
        int left = parseNot();
        while (keyword("and")) {
            Node n;
            n.op = Op::And;
            n.left = left;
            n.right = parseNot();
            left = add(std::move(n));
        }
        return left;
    }

    int parseNot() {
        if (keyword("not")) {
            Node n;
            n.op = Op::Not;
            n.left = parseNot();
            return add(std::move(n));
        }
        skip();
        if (pos_ < s_.size() && s_.at(pos_) == u'(') {
            const qsizetype open = pos_;
            ++pos_;
            const int inner = parseOr();
            skip();
            if (pos_ >= s_.size() || s_.at(pos_) != u')')
                fail(pos_ >= s_.size()
                         ? QStringLiteral("')' expected for '(' at position %1").arg(open + 1)
                         : QStringLiteral("')' expected"));
            ++pos_;
            return inner;
        }
        Node n;
        n.a = parseOperand();
        n.op = parseComparison();
        n.b = parseOperand();
        return add(std::move(n));
    }

    Op parseComparison() {
        skip();
        const QStringView rest = QStringView(s_).mid(pos_);
        struct {
            const char* text;
            Op op;
        } static const ops[] = {{"<>", Op::Ne}, {"<=", Op::Le}, {">=", Op::Ge},
                                {"=", Op::Eq},  {"<", Op::Lt},  {">", Op::Gt}};
        for (const auto& o : ops) {
            if (rest.startsWith(QLatin1StringView(o.text))) {
                pos_ += qsizetype(strlen(o.text));
                return o.op;
            }
        }
        fail(pos_ >= s_.size() ? QStringLiteral("comparison expected at the end")
                               : QStringLiteral("comparison expected"));
    }

    Node::Operand parseOperand() {
        skip();
        Node::Operand o;
        o.position = int(pos_);
        if (pos_ >= s_.size()) fail(QStringLiteral("value expected at the end"));
        const QChar c = s_.at(pos_);
        if (c == u'\'' || c == u'"') {
            const qsizetype start = pos_;
            QString text;
            ++pos_;
            for (;;) {
                if (pos_ >= s_.size()) fail(QStringLiteral("unterminated text"), start);
                if (s_.at(pos_) == c) {
                    if (pos_ + 1 < s_.size() && s_.at(pos_ + 1) == c) {
                        text += c;
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                text += s_.at(pos_++);
            }
            o.literal = text;
            return o;
        }
        if (c == u'[') {
            const qsizetype close = s_.indexOf(u']', pos_);
            if (close < 0) fail(QStringLiteral("']' expected"));
            o.fieldName = s_.mid(pos_ + 1, close - pos_ - 1).trimmed();
            if (o.fieldName.isEmpty()) fail(QStringLiteral("field name expected"));
            pos_ = close + 1;
            return o;
        }
        if (c.isDigit() || c == u'.' || c == u'-' || c == u'+') {
            const qsizetype start = pos_;
            if (c == u'-' || c == u'+') ++pos_;
            while (pos_ < s_.size() && (s_.at(pos_).isDigit() || s_.at(pos_) == u'.'))
                ++pos_;
            if (pos_ < s_.size() && (s_.at(pos_) == u'e' || s_.at(pos_) == u'E')) {
                ++pos_;
                if (pos_ < s_.size() && (s_.at(pos_) == u'-' || s_.at(pos_) == u'+')) ++pos_;
                while (pos_ < s_.size() && s_.at(pos_).isDigit())
                    ++pos_;
            }
            const QString text = s_.mid(start, pos_ - start);
            bool ok = false;
            const qint64 whole = text.toLongLong(&ok);
            if (ok) {
                o.literal = whole;
                return o;
            }
            const double v = text.toDouble(&ok);
            if (!ok) fail(QStringLiteral("invalid number '%1'").arg(text), start);
            o.literal = v;
            return o;
        }
        if (isWordChar(c)) {
            const qsizetype start = pos_;
            while (pos_ < s_.size() && isWordChar(s_.at(pos_)))
                ++pos_;
            const QString word = s_.mid(start, pos_ - start);
            if (word.compare(u"null", Qt::CaseInsensitive) == 0) return o; // Null literal
            static const char* const reserved[] = {"and", "or", "not"};
            for (const char* r : reserved)
                if (word.compare(QLatin1StringView(r), Qt::CaseInsensitive) == 0)
                    fail(QStringLiteral("value expected before '%1'").arg(word), start);
            o.fieldName = word;
            return o;
        }
        fail(QStringLiteral("unexpected '%1'").arg(c));
    }

    const QString& s_;
    std::vector<Node>& nodes_;
    qsizetype pos_ = 0;
};

FilterExpression::FilterExpression(const QString& text) {
    Parser parser(text, nodes_);
    root_ = parser.parse();
}

FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

bool FilterExpression::isEmpty() const {
    return root_ < 0;
}

QStringList FilterExpression::fieldNames() const {
    std::vector<std::pair<int, QString>> found;
    for (const Node& n : nodes_) {
        if (n.a.isField()) found.emplace_back(n.a.position, n.a.fieldName);
        if (n.b.isField()) found.emplace_back(n.b.position, n.b.fieldName);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    QStringList names;
    for (const auto& f : found)
        names << f.second;
    return names;
}

void FilterExpression::bind(const std::function<TField*(const QString&)>& findField) {
    for (Node& n : nodes_) {
        if (n.op == Op::Or || n.op == Op::And || n.op == Op::Not) continue;
        for (Node::Operand* o : {&n.a, &n.b}) {
            if (!o->isField()) continue;
            o->field = findField(o->fieldName);
            if (!o->field)
                throw EDatabaseError(QStringLiteral("Filter expression error at position %1: "
                                                    "unknown field '%2'")
                                         .arg(o->position + 1)
                                         .arg(o->fieldName));
        }
        // A literal takes the type of the field it is compared with.
        auto convert = [](Node::Operand& lit, const Node::Operand& other) {
            if (lit.isField() || !other.isField() || isEmptyValue(lit.literal)) return;
            lit.literal = other.field->convertValue(lit.literal);
        };
        convert(n.a, n.b);
        convert(n.b, n.a);
    }
}

bool FilterExpression::matches(const std::function<QVariant(const TField*)>& valueOf,
                               bool caseInsensitive) const {
    return root_ < 0 || eval(root_, valueOf, caseInsensitive);
}

bool FilterExpression::eval(int index, const std::function<QVariant(const TField*)>& valueOf,
                            bool ci) const {
    const Node& n = nodes_[size_t(index)];
    switch (n.op) {
    case Op::Or:
        return eval(n.left, valueOf, ci) || eval(n.right, valueOf, ci);
    case Op::And:
        return eval(n.left, valueOf, ci) && eval(n.right, valueOf, ci);
    case Op::Not:
        return !eval(n.left, valueOf, ci);
    default:
        break;
    }
    auto value = [&](const Node::Operand& o) {
        if (!o.isField()) return o.literal;
        if (!o.field)
            throw EDatabaseError(
                QStringLiteral("Field '%1' of the filter is not bound").arg(o.fieldName));
        return valueOf(o.field);
    };
    const int c = compareFieldValues(value(n.a), value(n.b), ci);
    switch (n.op) {
    case Op::Eq:
        return c == 0;
    case Op::Ne:
        return c != 0;
    case Op::Lt:
        return c < 0;
    case Op::Gt:
        return c > 0;
    case Op::Le:
        return c <= 0;
    case Op::Ge:
        return c >= 0;
    default:
        return false;
    }
}
