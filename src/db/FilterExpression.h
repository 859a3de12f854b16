// The record filter language of datasets (their Filter text):
//
//   expr     := term { "or" term }
//   term     := factor { "and" factor }
//   factor   := "not" factor | "(" expr ")" | operand op operand
//   operand  := field | [field name] | 'text' | "text" | number | Null
//   op       := = | <> | < | > | <= | >=
//
// Keywords and field names are case-insensitive; an apostrophe inside a
// quoted text is written twice. A literal compared with a field is first
// converted to that field's type. Null is the empty value: "NAME=Null" holds
// for an empty NAME, "NAME<>Null" for a filled one; in the order comparisons
// an empty value comes before every other one, as in index order.
#pragma once

#include "KivError.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class TField;

// The order of values shared by filters, locates and key searches: empty
// first, numbers by value, dates by date, booleans false first, text by
// character code with trailing blanks ignored (case-insensitively when asked).
int compareFieldValues(const QVariant& a, const QVariant& b, bool caseInsensitive = false);
// Whether a value counts as empty (null, or an empty text).
bool isEmptyValue(const QVariant& v);

class FilterExpression {
public:
    // Parses `text`; an empty text accepts every record. A syntax error raises
    // EDatabaseError naming the 1-based character position.
    explicit FilterExpression(const QString& text);
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    bool isEmpty() const;
    // The field names the expression uses, in the order they appear.
    QStringList fieldNames() const;

    // Resolves every field name with `findField` (nullptr: the name is unknown,
    // raising an error that names it) and converts the literals compared with
    // each field to its type.
    void bind(const std::function<TField*(const QString&)>& findField);

    // Evaluates the bound expression; `valueOf` yields a field's value in the
    // record under test.
    bool matches(const std::function<QVariant(const TField*)>& valueOf,
                 bool caseInsensitive = false) const;

private:
    struct Node;
    class Parser;
    bool eval(int node, const std::function<QVariant(const TField*)>& valueOf, bool ci) const;

    std::vector<Node> nodes_;
    int root_ = -1;
};
