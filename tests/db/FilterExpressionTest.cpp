#include "FilterExpression.h"
#include "MemFixture.h"

#include <gtest/gtest.h>

namespace {

QList<int> filtered(const QString& filter, TFilterOptions options = {}) {
    auto t = sampleTopics();
    t->setFilterOptions(options);
    t->setFilter(filter);
    t->setFiltered(true);
    return ids(*t);
}

QString parseError(const QString& text) {
    try {
        FilterExpression e(text);
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(FilterExpression, ComparesFieldsWithLiteralsOfTheirType) {
    EXPECT_EQ(filtered("(NAME='Intro') and (ID>=10)"), QList<int>({10}));
    EXPECT_EQ(filtered("ID>=30"), QList<int>({30, 40, 50}));
    EXPECT_EQ(filtered("ID<>30"), QList<int>({10, 20, 40, 50}));
    EXPECT_EQ(filtered("ID<20"), QList<int>({10}));
    EXPECT_EQ(filtered("ID<=20"), QList<int>({10, 20}));
    EXPECT_EQ(filtered("ID>40"), QList<int>({50}));
    // A quoted number is converted to the numeric field's type, not compared as text.
    EXPECT_EQ(filtered("ID>'9'"), QList<int>({10, 20, 30, 40, 50}));
    EXPECT_EQ(filtered("(NAME>='M')"), QList<int>({30, 40, 50}));
    EXPECT_EQ(filtered("30=ID"), QList<int>({30}));
}

TEST(FilterExpression, NullMeansTheEmptyValue) {
    EXPECT_EQ(filtered("STATE=Null"), QList<int>({30}));
    EXPECT_EQ(filtered("STATE<>null"), QList<int>({10, 20, 40, 50}));
    // Zero is a value, not an empty one.
    EXPECT_EQ(filtered("STATE=0"), QList<int>({50}));
    // Empty values come first, as in index order.
    EXPECT_EQ(filtered("STATE<1"), QList<int>({30, 50}));
}

TEST(FilterExpression, LogicFollowsPrecedenceAndParentheses) {
    EXPECT_EQ(filtered("ID=10 or ID=20 and NAME='Nothing'"), QList<int>({10}));
    EXPECT_EQ(filtered("(ID=10 or ID=20) and NAME='Install'"), QList<int>({20}));
    EXPECT_EQ(filtered("not (ID<=30)"), QList<int>({40, 50}));
    EXPECT_EQ(filtered("not not ID=10"), QList<int>({10}));
    EXPECT_EQ(filtered("ID = 10 OR [NAME] = \"Zebra\""), QList<int>({10, 50}));
}

TEST(FilterExpression, TextComparisonsHonourCaseOption) {
    EXPECT_EQ(filtered("NAME='intro'"), QList<int>());
    EXPECT_EQ(filtered("NAME='intro'", foCaseInsensitive), QList<int>({10}));
    EXPECT_EQ(filtered("NAME='Intro   '"), QList<int>({10})); // trailing blanks do not count
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
    EXPECT_TRUE(parseError("").isEmpty());
    EXPECT_TRUE(FilterExpression("   ").isEmpty());
}

TEST(FilterExpression, BadFilterLeavesTheDatasetAsItWas) {
    auto t = sampleTopics();
    t->setFilter("ID>=40");
    t->setFiltered(true);
    EXPECT_THROW(t->setFilter("ID>="), EDatabaseError);
    EXPECT_EQ(t->Filter(), "ID>=40");
    try {
        t->setFilter("TITLE='x'");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(
            e.message().contains("Filter expression error at position 1: unknown field 'TITLE'"));
    }
    try {
        t->setFilter("ID='ten'");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(
            e.message().contains("'ten' is not a valid floating point value for field 'ID'"));
    }
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
}
