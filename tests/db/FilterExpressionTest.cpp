#include "FilterExpression.h"
#include "MemFixture.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

QList<int> filtered(const QString& filter, TFilterOptions options = {}) {
    auto t = sampleTopics();
    t->setFilterOptions(options);
    t->setFilter(filter);
    t->setFiltered(true);
    return ids(*t);
}

QString parseError(const QString& text) {
    return failureOf([&] { FilterExpression{text}; });
}

} // namespace

TEST(FilterExpression, SelectsTheRecordsItDescribes) {
    const struct {
        const char* filter;
        QList<int> ids;
        TFilterOptions options = {};
    } cases[] = {
        {"(NAME='Intro') and (ID>=10)", {10}},
        {"ID>=30", {30, 40, 50}},
        {"ID<>30", {10, 20, 40, 50}},
        {"ID<20", {10}},
        {"ID<=20", {10, 20}},
        {"ID>40", {50}},
        // A quoted number is converted to the numeric field's type, not compared as text.
        {"ID>'9'", {10, 20, 30, 40, 50}},
        {"(NAME>='M')", {30, 40, 50}},
        {"30=ID", {30}},
        // Null is the empty value; zero is a value; empty values come first, as in an index.
        {"STATE=Null", {30}},
        {"STATE<>null", {10, 20, 40, 50}},
        {"STATE=0", {50}},
        {"STATE<1", {30, 50}},
        {"ID=10 or ID=20 and NAME='Nothing'", {10}},
        {"(ID=10 or ID=20) and NAME='Install'", {20}},
        {"not (ID<=30)", {40, 50}},
        {"not not ID=10", {10}},
        {"ID = 10 OR [NAME] = \"Zebra\"", {10, 50}},
        {"NAME='intro'", {}},
        {"NAME='intro'", {10}, foCaseInsensitive},
        {"NAME='Intro   '", {10}}, // trailing blanks do not count
    };
    for (const auto& c : cases)
        EXPECT_EQ(filtered(c.filter, c.options), c.ids) << c.filter;
}

TEST(FilterExpression, QuotesInsideTextAreDoubled) {
    auto t = makeTopics({{1, "Don't", 0}, {2, "Do", 0}});
    t->setFilter("NAME='Don''t'");
    t->setFiltered(true);
    EXPECT_EQ(ids(*t), QList<int>({1}));
}

TEST(FilterExpression, SyntaxErrorsNameThePosition) {
    EXPECT_EQ(parseError("NAME='x' and"),
              "Filter expression error at position 13: value expected at the end");
    EXPECT_EQ(parseError("(ID=1"),
              "Filter expression error at position 6: ')' expected for '(' at position 1");
    EXPECT_EQ(parseError("ID=1 ID=2"), "Filter expression error at position 6: unexpected 'I'");
    EXPECT_EQ(parseError("NAME='abc"), "Filter expression error at position 6: unterminated text");
    EXPECT_EQ(parseError("ID 10"), "Filter expression error at position 4: comparison expected");
    EXPECT_EQ(parseError("ID=and"),
              "Filter expression error at position 4: value expected before 'and'");
    EXPECT_EQ(parseError(""), "<no error>");
    EXPECT_TRUE(FilterExpression("   ").isEmpty());
}

TEST(FilterExpression, BadFilterLeavesTheDatasetAsItWas) {
    auto t = sampleTopics();
    t->setFilter("ID>=40");
    t->setFiltered(true);
    EXPECT_THROW(t->setFilter("ID>="), EDatabaseError);
    EXPECT_EQ(t->Filter(), "ID>=40");
    EXPECT_TRUE(failureOf([&] {
                    t->setFilter("TITLE='x'");
                }).contains("Filter expression error at position 1: unknown field 'TITLE'"));
    EXPECT_TRUE(failureOf([&] {
                    t->setFilter("ID='ten'");
                }).contains("'ten' is not a valid floating point value for field 'ID'"));
    EXPECT_EQ(ids(*t), QList<int>({40, 50}));
}

TEST(FilterExpression, ListsTheFieldsItUses) {
    EXPECT_EQ(FilterExpression("(B=1) or not (A<>Null and [C D]='x')").fieldNames(),
              QStringList({"B", "A", "C D"}));
}

TEST(FilterExpression, ValueOrderPutsEmptyFirstAndComparesByType) {
    EXPECT_LT(compareFieldValues(QVariant(), 0), 0);
    EXPECT_EQ(compareFieldValues(QString(""), QVariant()), 0);
    EXPECT_LT(compareFieldValues(9, 10.5), 0);
    EXPECT_GT(compareFieldValues(qint64(100), 20), 0);
    EXPECT_LT(compareFieldValues(QDate(2020, 1, 1), QDate(2021, 1, 1)), 0);
    EXPECT_LT(compareFieldValues("B", "a"), 0);
    EXPECT_GT(compareFieldValues("B", "a", true), 0);
    // A float is no whole number, and a huge unsigned one does not wrap to negative.
    EXPECT_GT(compareFieldValues(1.25f, 1), 0);
    EXPECT_GT(compareFieldValues(std::numeric_limits<quint64>::max(), -1), 0);
}
