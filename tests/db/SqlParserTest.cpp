// The statement parser: every statement kind, the statements the program
// itself runs, parameters, and errors that point at the place.
#include "SqlParser.h"
#include "KivError.h"
#include "SqlLexer.h"

#include <gtest/gtest.h>

namespace {

QString errorOf(const QString& sql, const QHash<QString, QVariant>& params = {}) {
    try {
        parseSql(sql, params);
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(SqlLexer, TokensKeepTheirOffsetsAndQuotes) {
    const auto t =
        tokenizeSql(QStringLiteral("select 'it''s', \"a b.dbf\" from :T where x<>1.5e2 || y"));
    ASSERT_GE(t.size(), 12);
    EXPECT_EQ(t[1].kind, SqlTokenKind::String);
    EXPECT_EQ(t[1].text, QStringLiteral("it's"));
    EXPECT_EQ(t[1].pos, 7);
    EXPECT_EQ(t[3].kind, SqlTokenKind::Quoted);
    EXPECT_EQ(t[3].text, QStringLiteral("a b.dbf"));
    EXPECT_EQ(t[5].kind, SqlTokenKind::Parameter);
    EXPECT_EQ(t[5].text, QStringLiteral("T"));
    EXPECT_TRUE(t[8].isSymbol("<>"));
    EXPECT_EQ(t[9].kind, SqlTokenKind::Number);
    EXPECT_EQ(t[9].text, QStringLiteral("1.5e2"));
    EXPECT_TRUE(t[10].isSymbol("||"));
    EXPECT_EQ(t.last().kind, SqlTokenKind::End);
}

TEST(SqlLexer, ColonInsideQuotesIsNoParameter) {
    const auto t = tokenizeSql(QStringLiteral("select ':x' from \"a:b.dbf\""));
    for (const auto& tok : t)
        EXPECT_NE(tok.kind, SqlTokenKind::Parameter);
}

TEST(SqlParser, ProgramStatementsParse) {
    const QStringList statements = {
        QStringLiteral(
            "Create Table \"demo.dbf\" (Id numeric(8),Name char(60),Keys char(254),AKeys char(254),"
            "BSeq char(20),CTX char(20),Window char(20),State numeric(1),Text blob(10),Unit "
            "char(20),"
            "Class char(40),Declar blob(10))"),
        QStringLiteral("Create unique Index I_Id on \"demo.dbf\" (Id)"),
        QStringLiteral("Create  Index I_Name on \"demo.dbf\" (Name)"),
        QStringLiteral("select ID,Name from \"demo.dbf\"\norder by 1"),
        QStringLiteral("select Max(ID) from \"demo.dbf\""),
        QStringLiteral("select max(ID) as MaxNumAutoIncQuery from demo.dbf"),
        QStringLiteral(
            "Select ID,NAME,TEXT from \"demo.dbf\" EFilter Where ((NAME='Intro') and (ID>=10)) and "
            "Exists(select * from \"detail.dbf\" where (EFilter.ID=TOPIC) and ((Upper(NOTE) Like "
            "Upper('%ab%')))) Order by ID,NAME"),
        QStringLiteral(
            "Select ID from \"demo\".\"dbf\" EFilter Where Exists(select * from \"d.dbf\" where "
            "(EFilter.ID=TOPIC)) and(Not Exists(select * from \"d.dbf\" where (EFilter.ID=TOPIC) "
            "and "
            "(not ((NOTE Like '%[Aa][Bb]1%')))))"),
        QStringLiteral("select * from \"demo.dbf\" where (KEYS is Null) or (AKEYS is not Null) or "
                       "(NAME Like '%')"),
    };
    for (const QString& s : statements)
        EXPECT_NO_THROW(parseSql(s)) << s.toStdString();
}

TEST(SqlParser, StatementKinds) {
    EXPECT_EQ(parseSql(QStringLiteral("insert into t values (1, 'a')")).kind, SqlStatement::Insert);
    EXPECT_EQ(parseSql(QStringLiteral("insert into t (a, b) select a, b from u")).kind,
              SqlStatement::Insert);
    EXPECT_EQ(parseSql(QStringLiteral("update t set a = a + 1, b = 'x' where id = 3;")).kind,
              SqlStatement::Update);
    EXPECT_EQ(parseSql(QStringLiteral("delete from t where id in (1, 2)")).kind,
              SqlStatement::Delete);
    EXPECT_EQ(parseSql(QStringLiteral("drop table \"t.dbf\"")).kind, SqlStatement::DropTable);

    const SqlStatement d1 = parseSql(QStringLiteral("drop index \"t.dbf\".I_Name"));
    EXPECT_EQ(d1.kind, SqlStatement::DropIndex);
    EXPECT_EQ(d1.table.name, QStringLiteral("t.dbf"));
    EXPECT_EQ(d1.index.name, QStringLiteral("I_Name"));
    const SqlStatement d2 = parseSql(QStringLiteral("drop index I_Name on t"));
    EXPECT_EQ(d2.table.name, QStringLiteral("t"));
    EXPECT_EQ(d2.index.name, QStringLiteral("I_Name"));

    const SqlStatement ins =
        parseSql(QStringLiteral("insert into t (a, b) values (1, 'x'), (2, null)"));
    EXPECT_EQ(ins.columns, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(ins.values.size(), 2u);
}

TEST(SqlParser, SelectShape) {
    const SqlStatement st = parseSql(QStringLiteral(
        "select distinct a as x, count(*) n, b || 'y', e.* from \"t.dbf\" e left join u on e.a = "
        "u.a "
        "where a between 1 and 5 group by a having count(*) > 1 order by 2 desc, x"));
    const SqlSelect& s = *st.select;
    EXPECT_TRUE(s.distinct);
    ASSERT_EQ(s.items.size(), 4u);
    EXPECT_EQ(s.items[0].alias, QStringLiteral("x"));
    EXPECT_EQ(s.items[1].alias, QStringLiteral("n"));
    EXPECT_EQ(s.items[2].text, QStringLiteral("b || 'y'"));
    EXPECT_EQ(s.items[3].starOf, QStringLiteral("e"));
    ASSERT_EQ(s.from.size(), 2u);
    EXPECT_EQ(s.from[0].alias, QStringLiteral("e"));
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
    const auto& f = st.fields;
    ASSERT_EQ(f.size(), 11);
    EXPECT_EQ(f[0].name, QStringLiteral("A"));
    EXPECT_EQ(f[0].type, FieldType::Numeric);
    EXPECT_EQ(f[0].length, 8);
    EXPECT_EQ(f[0].decimals, 0);
    EXPECT_EQ(f[1].length, 10);
    EXPECT_EQ(f[1].decimals, 2);
    EXPECT_EQ(f[2].type, FieldType::Character);
    EXPECT_EQ(f[2].length, 60);
    EXPECT_EQ(f[3].type, FieldType::Memo);
    EXPECT_EQ(f[4].type, FieldType::Date);
    EXPECT_EQ(f[5].type, FieldType::Logical);
    EXPECT_EQ(f[6].type, FieldType::Logical);
    EXPECT_EQ(f[7].type, FieldType::Float);
    EXPECT_EQ(f[7].decimals, 3);
    EXPECT_EQ(f[8].type, FieldType::Memo);
    EXPECT_EQ(f[9].type, FieldType::Memo);
    EXPECT_EQ(f[10].type, FieldType::Numeric);
    EXPECT_EQ(f[10].decimals, 0);

    EXPECT_TRUE(errorOf(QStringLiteral("create table x (a char(300))"))
                    .contains(QStringLiteral("position 19")));
    EXPECT_TRUE(errorOf(QStringLiteral("create table x (a widget)"))
                    .contains(QStringLiteral("\"widget\"")));
    EXPECT_TRUE(errorOf(QStringLiteral("create table x (a int, A int)"))
                    .contains(QStringLiteral("duplicate")));
    EXPECT_TRUE(
        errorOf(QStringLiteral("create table x (abcdefghijk int)")).contains(QStringLiteral("10")));
}

TEST(SqlParser, IndexKinds) {
    const SqlStatement u = parseSql(QStringLiteral("Create unique Index I_Id on \"S.dbf\" (Id)"));
    EXPECT_EQ(u.kind, SqlStatement::CreateIndex);
    EXPECT_TRUE(u.index.unique);
    EXPECT_EQ(u.index.name, QStringLiteral("I_Id"));
    EXPECT_EQ(u.index.fields, QStringList{QStringLiteral("Id")});
    EXPECT_EQ(u.table.name, QStringLiteral("S.dbf"));
    const SqlStatement p =
        parseSql(QStringLiteral("Create  Index I_Two on \"S.dbf\" (Name, BSeq)"));
    EXPECT_FALSE(p.index.unique);
    EXPECT_EQ(p.index.fields, QStringList({QStringLiteral("Name"), QStringLiteral("BSeq")}));
}

TEST(SqlParser, SyntaxErrorsNamePositionAndToken) {
    EXPECT_EQ(
        errorOf(QStringLiteral("select ID fromm \"a.dbf\"")),
        QStringLiteral(
            "Syntax error at position 17 near \"\"a.dbf\"\": unexpected text after the statement"));
    EXPECT_TRUE(errorOf(QStringLiteral("select from t"))
                    .startsWith(QStringLiteral("Syntax error at position 8 near \"from\"")));
    EXPECT_TRUE(errorOf(QStringLiteral("select a from t where"))
                    .contains(QStringLiteral("end of statement")));
    EXPECT_TRUE(
        errorOf(QStringLiteral("select 'abc from t")).contains(QStringLiteral("position 8")));
    EXPECT_TRUE(errorOf(QStringLiteral("select a from t where a ? 1"))
                    .contains(QStringLiteral("position 25")));
    EXPECT_TRUE(errorOf(QStringLiteral("select a from t order by 3"))
                    .contains(QStringLiteral("no select column 3")));
    EXPECT_TRUE(errorOf(QStringLiteral("selec * from t")).contains(QStringLiteral("position 1")));
    EXPECT_TRUE(
        errorOf(QStringLiteral("select a, from t")).contains(QStringLiteral("position 11")));
    EXPECT_TRUE(
        errorOf(QStringLiteral("select 1; select 2")).contains(QStringLiteral("position 11")));
}

TEST(SqlParser, Parameters) {
    const QHash<QString, QVariant> p{{QStringLiteral("TableName"), QStringLiteral("book.dbf")},
                                     {QStringLiteral("Id"), 12}};
    const SqlStatement st =
        parseSql(QStringLiteral("select ID,NAME from :TableName where ID = :id"), p);
    EXPECT_EQ(st.select->from[0].table.name, QStringLiteral("book.dbf"));
    const SqlExpr& where = *st.select->where;
    EXPECT_EQ(where.args[1]->kind, SqlExpr::Literal);
    EXPECT_EQ(where.args[1]->value.toInt(), 12);

    EXPECT_EQ(errorOf(QStringLiteral("select ID,NAME from :TableName")),
              QStringLiteral("Parameter \"TableName\" has no value"));
    EXPECT_TRUE(errorOf(QStringLiteral("select * from :T"), {{QStringLiteral("T"), 5}})
                    .contains(QStringLiteral("not a table name")));
}
