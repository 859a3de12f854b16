// The statement parser: the shape of what it builds, parameters, and errors
// that point at the place. Running the statements is left to the SQL tests.
#include "SqlParser.h"
#include "DbTest.h"
#include "SqlLexer.h"

#include <gtest/gtest.h>

namespace {

QString errorOf(const QString& sql, const QHash<QString, QVariant>& params = {}) {
    return failureOf([&] { parseSql(sql, params); });
}

} // namespace

TEST(SqlLexer, TokensKeepTheirOffsetsAndQuotesAndNoColonInQuotesIsAParameter) {
    const auto t = tokenizeSql("select 'it''s', \"a b.dbf\" from :T where x<>1.5e2 || y");
    ASSERT_GE(t.size(), 12);
    const std::tuple<int, SqlTokenKind, const char*> kinds[] = {
        {1, SqlTokenKind::String, "it's"},
        {3, SqlTokenKind::Quoted, "a b.dbf"},
        {5, SqlTokenKind::Parameter, "T"},
        {9, SqlTokenKind::Number, "1.5e2"}};
    for (const auto& [i, kind, text] : kinds) {
        EXPECT_EQ(t[i].kind, kind) << i;
        EXPECT_EQ(t[i].text, text) << i;
    }
    EXPECT_EQ(t[1].pos, 7);
    EXPECT_TRUE(t[8].isSymbol("<>") && t[10].isSymbol("||"));
    EXPECT_EQ(t.last().kind, SqlTokenKind::End);

    for (const auto& tok : tokenizeSql("select ':x' from \"a:b.dbf\""))
        EXPECT_NE(tok.kind, SqlTokenKind::Parameter);
}

TEST(SqlParser, SelectShape) {
    const SqlStatement st = parseSql(QStringLiteral(
        "select distinct a as x, count(*) n, b || 'y', e.* from \"t.dbf\" e left join u on e.a = "
        "u.a "
        "where a between 1 and 5 group by a having count(*) > 1 order by 2 desc, x"));
    const SqlSelect& s = *st.select;
    EXPECT_TRUE(s.distinct);
    ASSERT_EQ(s.items.size(), 4u);
    EXPECT_EQ(s.items[0].alias, "x");
    EXPECT_EQ(s.items[1].alias, "n");
    EXPECT_EQ(s.items[2].text, "b || 'y'");
    EXPECT_EQ(s.items[3].starOf, "e");
    ASSERT_EQ(s.from.size(), 2u);
    EXPECT_EQ(s.from[0].alias, "e");
    EXPECT_EQ(s.from[1].join, SqlSource::Left);
    EXPECT_EQ(s.orderBy[0].position, 2);
    EXPECT_TRUE(s.orderBy[0].descending);
    EXPECT_EQ(s.orderBy[1].position, 0);
    EXPECT_TRUE(s.having);
}

TEST(SqlParser, CreateTableTypes) {
    const SqlStatement st = parseSql(QStringLiteral(
        "create table x (a numeric(8), b numeric(10,2), c char(60), d blob(10), e date, f boolean, "
        "g logical, h float(12,3), i memo, j text, k integer)"));
    QStringList shapes;
    for (const auto& f : st.fields)
        shapes << QStringLiteral("%1 %2 %3.%4")
                      .arg(f.name)
                      .arg(QChar(char(f.type)))
                      .arg(f.length)
                      .arg(f.decimals);
    EXPECT_EQ(shapes.join(", "), "A N 8.0, B N 10.2, C C 60.0, D M 10.0, E D 8.0, F L 1.0, "
                                 "G L 1.0, H F 12.3, I M 10.0, J M 10.0, K N 11.0");

    EXPECT_TRUE(errorOf("create table x (a char(300))").contains("position 19"));
    EXPECT_TRUE(errorOf("create table x (a widget)").contains("\"widget\""));
    EXPECT_TRUE(errorOf("create table x (a int, A int)").contains("duplicate"));
    EXPECT_TRUE(errorOf("create table x (abcdefghijk int)").contains("10"));
}

TEST(SqlParser, SyntaxErrorsNamePositionAndToken) {
    EXPECT_EQ(
        errorOf("select ID fromm \"a.dbf\""),
        QStringLiteral(
            "Syntax error at position 17 near \"\"a.dbf\"\": unexpected text after the statement"));
    EXPECT_TRUE(errorOf("select from t").startsWith("Syntax error at position 8 near \"from\""));
    EXPECT_TRUE(errorOf("select a from t where").contains("end of statement"));
    EXPECT_TRUE(errorOf("select 'abc from t").contains("position 8"));
    EXPECT_TRUE(errorOf("select a from t where a ? 1").contains("position 25"));
    EXPECT_TRUE(errorOf("select a from t order by 3").contains("no select column 3"));
    EXPECT_TRUE(errorOf("selec * from t").contains("position 1"));
    EXPECT_TRUE(errorOf("select a, from t").contains("position 11"));
    EXPECT_TRUE(errorOf("select 1; select 2").contains("position 11"));
}

TEST(SqlParser, Parameters) {
    const QHash<QString, QVariant> p{{"TableName", "book.dbf"}, {"Id", 12}};
    const SqlStatement st = parseSql("select ID,NAME from :TableName where ID = :id", p);
    EXPECT_EQ(st.select->from[0].table.name, "book.dbf");
    const SqlExpr& where = *st.select->where;
    EXPECT_EQ(where.args[1]->kind, SqlExpr::Literal);
    EXPECT_EQ(where.args[1]->value.toInt(), 12);

    EXPECT_EQ(errorOf("select ID,NAME from :TableName"), "Parameter \"TableName\" has no value");
    EXPECT_TRUE(errorOf("select * from :T", {{"T", 5}}).contains("not a table name"));
}
