// Statements that change tables: every kind, and that a failing statement
// changes nothing.
#include "SqlTestTable.h"

#include "DbfTestSupport.h"
#include "KivError.h"

#include <QFile>

class SqlChangeTest : public SqlTopics {
protected:
    QString all() { return rows("select ID, NAME, STATE, KEYS from demo order by 1"); }

    // The statement fails with a message containing `expected`, and neither the
    // rows nor the files of the topic table change.
    void expectRefused(const char* sql, const QString& expected) {
        const QString before = all();
        const QByteArray dbf = readFile(dir.filePath("demo.dbf"));
        const QByteArray dbt = readFile(dir.filePath("demo.dbt"));
        const QString message = error(sql);
        EXPECT_TRUE(message.contains(expected)) << sql << " -> " << message.toStdString();
        EXPECT_EQ(all(), before) << sql;
        EXPECT_EQ(readFile(dir.filePath("demo.dbf")), dbf) << sql;
        EXPECT_EQ(readFile(dir.filePath("demo.dbt")), dbt) << sql;
    }
};

TEST_F(SqlChangeTest, Insert) {
    EXPECT_EQ(run("insert into demo values (50, 'Full', 'k', 'a', 'b', '12', 'main', 2, 'text', "
                  "'U', 'C', 'decl')")
                  .rowsAffected,
              1);
    EXPECT_EQ(rows("select * from demo where ID = 50"), "50,Full,k,a,b,12,main,2,text,U,C,decl");
    EXPECT_EQ(run("insert into \"demo.dbf\" (NAME, ID) values ('A', 60), ('B', 61)").rowsAffected,
              2);
    EXPECT_EQ(rows("select ID, NAME, STATE from demo where ID >= 60"), "60,A,;61,B,");
    EXPECT_EQ(run("insert into demo (ID, NAME) select ID + 100, NAME || ' copy' from demo where "
                  "STATE = 1")
                  .rowsAffected,
              2);
    EXPECT_EQ(rows("select ID, NAME from demo where ID > 100 order by 1"), "105,;110,Intro copy");
    // Values are converted to the field's kind.
    run("insert into demo (ID, NAME, STATE) values ('70', 71, '2')");
    EXPECT_EQ(rows("select ID + 1, NAME, STATE from demo where ID = 70"), "71,71,2");
}

TEST_F(SqlChangeTest, Update) {
    EXPECT_EQ(run("update demo set STATE = STATE + 1, KEYS = NAME where ID < 20").rowsAffected, 2);
    EXPECT_EQ(rows("select ID, STATE, KEYS from demo where ID < 20 order by 1"), "5,2,;10,2,Intro");
    // Every new value comes from the old row, and unique keys are checked
    // after all rows changed: shifting every ID is no violation.
    EXPECT_EQ(run("update demo set ID = ID + 10").rowsAffected, 5);
    EXPECT_EQ(rows("select ID from demo order by 1"), "15;20;30;40;50");
    EXPECT_EQ(run("update demo e set e.NAME = 'none' where e.ID = 999").rowsAffected, 0);
    EXPECT_EQ(run("update demo set TEXT = 'new text' where ID = 30").rowsAffected, 1);
    EXPECT_EQ(rows("select TEXT from demo where ID = 30"), "new text");
    // Untouched memos stay as they were.
    EXPECT_EQ(rows("select TEXT from demo where ID = 20"), "{\\rtf1 intro}");
}

TEST_F(SqlChangeTest, DeleteAndDrop) {
    EXPECT_EQ(run("delete from demo where NAME like '%a%'").rowsAffected, 3);
    EXPECT_EQ(rows("select ID from demo order by 1"), "5;10");
    EXPECT_EQ(run("delete from notes").rowsAffected, 4);
    EXPECT_EQ(rows("select count(*) from notes"), "0");

    run("drop index \"demo.dbf\".I_Name");
    run("drop index i_bseq on demo");
    EXPECT_EQ(DbfTable::open(dir.filePath("demo.dbf"))->indexes().size(), 2);
    EXPECT_TRUE(error("drop index demo.I_None").contains("I_None"));

    run("drop table \"notes.dbf\"");
    EXPECT_FALSE(QFile::exists(dir.filePath("notes.dbf")));
    EXPECT_EQ(db->tables(), QStringList{"demo.dbf"});
    EXPECT_EQ(error("drop table notes"), "Table \"notes\" does not exist");
}

TEST_F(SqlChangeTest, KeyViolationsChangeNothing) {
    expectRefused("insert into demo (ID, NAME) values (10, 'again')", "I_Id");
    expectRefused("insert into demo (ID, NAME) values (11, 'one'), (11, 'two')", "Key violation");
    expectRefused("update demo set ID = 10 where ID = 20", "Key violation");
    expectRefused("update demo set ID = 7", "Key violation");
    expectRefused("create unique index I_State2 on demo (STATE)", "Key violation");
}

TEST_F(SqlChangeTest, BadValuesChangeNothing) {
    expectRefused("insert into demo (ID, NAME) values (61, 'ok'), (62, 'this title is far too long "
                  "for the sixty "
                  "characters of the name field')",
                  "NAME");
    expectRefused("insert into demo (ID) values (123456789)", "ID");
    expectRefused("update demo set STATE = 12 where ID >= 10", "STATE");
    expectRefused("update demo set STATE = 'x'", "STATE");
    expectRefused("insert into demo (ID, NAME) values (1)", "1 values for 2 columns");
    expectRefused("insert into demo (ID, NOPE) values (1, 2)", "\"NOPE\"");
    expectRefused("insert into demo (ID, ID) values (1, 2)", "twice");
    expectRefused("insert into demo (ID) values (ID)", "Unknown column \"ID\"");
    expectRefused("update demo set NOPE = 1", "\"NOPE\"");
    expectRefused("update demo set NAME = 'x' where NOPE = 1", "\"NOPE\"");
    expectRefused("update demo set ID = ID + 'x' where ID = 40", "not a number");
    expectRefused("delete from demo where ID = 'x'", "not a number");
    // "wher" reads as an alias, so the error points at what follows it.
    expectRefused("delete from demo wher ID = 1", "position 23 near \"ID\"");
    expectRefused("update demo set NAME = :New where ID = 10", "\"New\"");
}

TEST_F(SqlChangeTest, CreateStatements) {
    EXPECT_TRUE(error("Create Table \"demo.dbf\" (Id numeric(8))").contains("demo.dbf"));
    EXPECT_EQ(rows("select count(*) from demo"), "5");

    run("create table kinds (c char(10), n numeric(6,2), f float(10,3), d date, l logical, m memo, "
        "i integer)");
    run("insert into kinds values ('text', 12.345, -1.5, '2024-02-29', true, 'memo text', 7)");
    run("insert into kinds (c) values (null)");
    EXPECT_EQ(rows("select * from kinds"), "text,12.35,-1.5,2024-02-29,true,memo text,7;,,,,,,");
    EXPECT_EQ(rows("select c from kinds where d = '2024-02-29' and l = true and n > 12"), "text");
    // Dates as the filter form writes them, and logical values as letters.
    EXPECT_EQ(rows("select c from kinds where d = '29.02.2024' and l = 'T' and d > '20240228'"),
              "text");
    EXPECT_TRUE(error("select c from kinds where d = '31.02.2024'").contains("not a date"));
    EXPECT_EQ(
        db->schema("kinds"),
        QStringLiteral("Create Table \"kinds.dbf\" (C char(10),N numeric(6,2),F float(10,3),D date,"
                       "L boolean,M blob(10),I numeric(11));\n"));

    EXPECT_TRUE(error("create index I_X on kinds (nope)").contains("\"nope\""));
    run("create index I_Two on kinds (c, n)");
    EXPECT_TRUE(db->schema("kinds.dbf").endsWith("Create Index I_Two on \"kinds.dbf\" (C,N);\n"));
}

TEST_F(SqlChangeTest, SchemaQuotesKeywordNames) {
    run("create table odd (\"ORDER\" int, \"NULL\" char(2), plain date)");
    run("create index \"IN\" on odd (\"order\", plain)");
    const QString schema = db->schema("odd.dbf");
    EXPECT_EQ(schema,
              QStringLiteral(
                  "Create Table \"odd.dbf\" (\"ORDER\" numeric(11),\"NULL\" char(2),PLAIN date);\n"
                  "Create Index \"IN\" on \"odd.dbf\" (\"ORDER\",PLAIN);\n"));
    QTemporaryDir other;
    SqlDatabase copy(other.path());
    for (const QString& statement : schema.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        copy.execute(statement);
    EXPECT_EQ(copy.schema("odd"), schema);
}
