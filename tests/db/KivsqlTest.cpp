// The kivsql program from outside: arguments, statements on standard input,
// CSV output, the dot commands, and how errors end a run.
#include "TestFiles.h"

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome kivsql(const QStringList& args, const QByteArray& input = {}) {
    const ProgramRun r = runProgram(qEnvironmentVariable("KIVSQL"), args, {}, input);
    return {r.status, QString::fromUtf8(r.out), QString::fromUtf8(r.err)};
}

class KivsqlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    Outcome sql(const QString& statement) { return kivsql({dir.path(), statement}); }
    Outcome script(const QByteArray& input) { return kivsql({dir.path()}, input); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(KivsqlTest, OneStatementAndCsv) {
    EXPECT_EQ(
        sql(QStringLiteral(
                "create table t (id numeric(8), name char(40), n numeric(8,2), f float(12,4), "
                "d date, l logical, m memo)"))
            .out,
        QString());
    const Outcome ins = sql(
        QString::fromUtf8("insert into \"t.dbf\" values "
                          "(1, 'plain', 12.00, 0.1, '2024-01-31', true, 'line one\r\nline two'), "
                          "(2, 'a,b', 12.5, -3, null, false, 'say \"hi\"'), "
                          "(3, 'Café — €', null, 1234567.125, null, null, null)"));
    EXPECT_EQ(ins.status, 0) << ins.err.toStdString();
    EXPECT_EQ(ins.out, QString());

    const Outcome r = sql("select * from t order by id");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString::fromUtf8("ID,NAME,N,F,D,L,M\n"
                                       "1,plain,12,0.1,2024-01-31,true,\"line one\r\nline two\"\n"
                                       "2,\"a,b\",12.5,-3,,false,\"say \"\"hi\"\"\"\n"
                                       "3,Café — €,,1234567.125,,,\n"));
    EXPECT_EQ(sql("select count(*) as \"a,b\", avg(id) from t").out, "\"a,b\",avg(id)\n3,2\n");
    EXPECT_EQ(sql("select id from t where id > 5").out, "ID\n");
}

TEST_F(KivsqlTest, StatementsFromStandardInput) {
    const Outcome ok = script("create table t (id numeric(4), note char(20));\n"
                              "insert into t values (1, 'semi;\n"
                              "colon');\n"
                              "insert into t\n"
                              "  values (4, 'it''s;');\n"
                              "select id, note\n"
                              "from t order by 1;   \n"
                              "select count(*) from t");
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, "ID,NOTE\n1,\"semi;\ncolon\"\n4,it's;\ncount(*)\n2\n");

    // A ";" that does not end a line leaves one statement with text after it,
    // an error that stops the run before anything is inserted.
    const Outcome r = script("insert into t values (2, 'x'); insert into t values (3, 'y')\n"
                             ";\n"
                             "select count(*) from t");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Syntax error at position 32 near \"insert\""))
        << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(sql("select count(*) from t").out, "count(*)\n2\n");
}

TEST_F(KivsqlTest, WindowsLineEndsKeepQuotedText) {
    const Outcome r = script("create table t (m memo);\r\n"
                             "insert into t values ('one\r\ntwo');\r\n"
                             "select length(m) from t;\r\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "length(m)\n8\n");
}

TEST_F(KivsqlTest, EightBitScriptsReadAsWindows1252) {
    const Outcome r = script("create table t (s char(10));\n"
                             "insert into t values ('caf\xe9 \x80');\n"
                             "select s from t;\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString::fromUtf8("S\ncafé €\n"));
}

TEST_F(KivsqlTest, TablesAndSchema) {
    const Outcome made = script("Create Table \"book.dbf\" (Id numeric(8),Name char(60),Text "
                                "blob(10),Price numeric(8,2));\n"
                                "Create unique Index I_Id on \"book.dbf\" (Id);\n"
                                "Create  Index I_Name on \"book.dbf\" (Name);\n"
                                "create table \"Another.dbf\" (x char(1));\n");
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_EQ(sql(".tables").out, "Another.dbf\nbook.dbf\n");
    const Outcome schema = sql(".schema \"book.dbf\"");
    const QString expected = QStringLiteral("Create Table \"book.dbf\" (ID numeric(8),NAME "
                                            "char(60),TEXT blob(10),PRICE numeric(8,2));\n"
                                            "Create unique Index I_Id on \"book.dbf\" (ID);\n"
                                            "Create Index I_Name on \"book.dbf\" (NAME);\n");
    EXPECT_EQ(schema.out, expected);
}

TEST_F(KivsqlTest, ErrorsStopTheRun) {
    ASSERT_EQ(sql("create table t (id numeric(4))").status, 0);
    const Outcome r = script("insert into t values (1);\n"
                             "select nope from t;\n"
                             "insert into t values (2);\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.trimmed(), "Unknown column \"nope\"");
    EXPECT_EQ(sql("select id from t").out, "ID\n1\n");

    const Outcome missing = kivsql({dir.filePath("no-such-folder"), "select 1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("no-such-folder"));

    const Outcome bad = sql(".frobnicate");
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains(".frobnicate"));

    const Outcome usage = kivsql({});
    EXPECT_EQ(usage.status, 1);
    EXPECT_TRUE(usage.err.contains("usage"));

    // Output printed before the error stays; the error comes last.
    const Outcome partial = script("select id from t;\nselect id from missing;\nselect 2;\n");
    EXPECT_EQ(partial.status, 1);
    EXPECT_EQ(partial.out, "ID\n1\n");
    EXPECT_TRUE(partial.err.contains("\"missing\""));
}
