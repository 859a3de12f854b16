// Selects over the topic table: the program's own statements, the filter
// engine's extract selects, null semantics, ordering, aggregates and joins.
#include "SqlTestTable.h"

#include "KivError.h"

using SqlSelectTest = SqlTopics;

TEST_F(SqlSelectTest, ProgramStatements) {
    EXPECT_EQ(rows("select ID,Name from \"demo.dbf\"\norder by 1"),
              "5,;10,Intro;20,about;30,Zeta 'quoted';40,ABC abc");
    // Nulls first, then by character code: upper case before lower case.
    EXPECT_EQ(rows("select ID,Name from \"demo.dbf\"\norder by 2"),
              "5,;40,ABC abc;10,Intro;30,Zeta 'quoted';20,about");
    EXPECT_EQ(rows("select Max(ID) from \"demo.dbf\""), "40");

    const SqlResult inc = run("select max(ID) as MaxNumAutoIncQuery from demo.dbf");
    EXPECT_EQ(inc.columns[0].name, "MaxNumAutoIncQuery");
    EXPECT_EQ(inc.columns[0].type, FieldType::Numeric);
    EXPECT_EQ(inc.columns[0].decimals, 0);
    EXPECT_EQ(text(inc), "40");

    run("delete from \"demo.dbf\"");
    const SqlResult empty = run("select Max(ID) from \"demo.dbf\"");
    ASSERT_EQ(empty.rowCount(), 1);
    EXPECT_TRUE(empty.value(0, 0).isNull());
}

TEST_F(SqlSelectTest, LiveAndReadOnlyResults) {
    const SqlResult live = run("select ID,NAME from :TableName where STATE > 0 order by 2",
                               {{"TableName", "demo.dbf"}});
    ASSERT_TRUE(live.liveTable);
    EXPECT_TRUE(live.rows.isEmpty());
    EXPECT_EQ(live.columns[1].tableField, 1);
    EXPECT_EQ(live.columns[1].length, 60);
    EXPECT_EQ(text(live), "5,;10,Intro;30,Zeta 'quoted';20,about");

    const SqlResult star = run("select * from demo where ID = 20");
    ASSERT_TRUE(star.liveTable);
    ASSERT_EQ(star.columns.size(), 12);
    EXPECT_EQ(star.columns[8].name, "TEXT");
    EXPECT_EQ(star.columns[8].type, FieldType::Memo);

    // A live result follows the shared table.
    run("update demo set NAME = 'Intro 2' where ID = 10");
    EXPECT_EQ(live.value(1, 1).toString(), "Intro 2");

    for (const char* sql :
         {"select count(*) from demo", "select distinct STATE from demo", "select ID + 1 from demo",
          "select d.ID from demo d, notes n where n.TOPIC = d.ID",
          "select ID, (select count(*) from notes) from demo"}) {
        const SqlResult r = run(sql);
        EXPECT_FALSE(r.liveTable) << sql;
        EXPECT_GT(r.rows.size(), 0) << sql;
    }
}

TEST_F(SqlSelectTest, ColumnNames) {
    const SqlResult r =
        run("select id, Name as Title, count(*) , Upper( NAME ) from demo group by ID, NAME");
    ASSERT_EQ(r.columns.size(), 4);
    EXPECT_EQ(r.columns[0].name, "ID"); // the stored name
    EXPECT_EQ(r.columns[1].name, "Title");
    EXPECT_EQ(r.columns[2].name, "count(*)");
    EXPECT_EQ(r.columns[3].name, "Upper( NAME )");
}

TEST_F(SqlSelectTest, FilterExtracts) {
    const char* head = "Select ID,NAME,KEYS,AKEYS,BSEQ,CTX,WINDOW,STATE,TEXT,UNIT,CLASS,DECLAR "
                       "from \"demo.dbf\" EFilter";
    auto ids = [&](const QString& where, const QString& order = "ID") {
        const SqlResult r = run(QString::fromUtf8(head) + " Where " + where + " Order by " + order);
        QStringList out;
        for (int i = 0; i < r.rowCount(); ++i)
            out << sqlText(r.value(i, 0));
        return out.join(QLatin1Char(','));
    };
    EXPECT_EQ(ids("((ID>=10) and (STATE<3))"), "10,20,40");
    EXPECT_EQ(ids("((STATE=1))", "NAME,ID"), "5,10");
    // Clauses on the notes: Exists correlated through EFilter.
    EXPECT_EQ(ids("Exists(select * from \"notes.dbf\" where (EFilter.ID=TOPIC) and ((NOTE Like "
                  "'%ab1%')))"),
              "10,40");
    // The owner-and-table quoting splits the file name at its dot.
    EXPECT_EQ(rows("select count(*) from \"demo\".\"dbf\""), "5");
}

TEST_F(SqlSelectTest, LikeForms) {
    auto like = [&](const char* value, const char* pattern) {
        return rows(QStringLiteral("select 1 where '%1' like '%2'")
                        .arg(QLatin1String(value), QLatin1String(pattern)));
    };
    EXPECT_EQ(like("Intro", "Intro"), "1");
    EXPECT_EQ(like("Intro", "intro"), QString()); // case-sensitive
    EXPECT_EQ(like("Intro", "I%o"), "1");
    EXPECT_EQ(like("Intro", "%t%"), "1");
    EXPECT_EQ(like("Intro", "I___o"), "1");
    EXPECT_EQ(like("Intro", "I__o"), QString());
    EXPECT_EQ(like("Intro", "[Ii]ntr[a-z]"), "1");
    EXPECT_EQ(like("Intro", "[^I]%"), QString());
    EXPECT_EQ(like("50%", "50[%]"), "1");
    EXPECT_EQ(like("aXbXc", "%X%X%"), "1");
    EXPECT_EQ(like("aaa", "%aaaa%"), QString());
    EXPECT_EQ(like("a[b", "a[b"), "1"); // an unclosed bracket is itself
    EXPECT_EQ(rows("select 1 where 'a_b' like 'a!_b' escape '!'"), "1");
    EXPECT_EQ(rows("select 1 where 'axb' like 'a!_b' escape '!'"), QString());
    EXPECT_EQ(rows("select 1 where 'abc' not like 'b%'"), "1");
}

TEST_F(SqlSelectTest, NullSemantics) {
    EXPECT_EQ(rows("select ID from demo where NAME = null"), QString());
    EXPECT_EQ(rows("select ID from demo where NAME <> 'Intro' order by 1"), "20;30;40");
    EXPECT_EQ(rows("select ID from demo where not (NAME = 'Intro') order by 1"), "20;30;40");
    EXPECT_EQ(rows("select ID from demo where NAME like '%' or ID = 5 order by 1"),
              "5;10;20;30;40");
    EXPECT_EQ(rows("select ID from demo where ID not in (10, null)"), QString());
    EXPECT_EQ(rows("select ID from demo where ID in (10, null)"), "10");
    EXPECT_EQ(rows("select count(*), count(NAME), count(KEYS), count(distinct STATE) from demo"),
              "5,4,4,4");
    EXPECT_EQ(rows("select sum(ID), max(NAME) from demo where ID > 100"), ",");
    EXPECT_EQ(rows("select NAME || 'x', ID + null from demo where ID = 5"), ",");
    EXPECT_EQ(rows("select 1 where null is null and 1 is not null"), "1");
    EXPECT_EQ(rows("select coalesce(NAME, 'none') from demo where ID = 5"), "none");
}

TEST_F(SqlSelectTest, CaseRules) {
    EXPECT_EQ(rows("SELECT id FROM DEMO WHERE name = 'Intro'"), "10");
    EXPECT_EQ(rows("select ID from demo where NAME = 'intro'"), QString());
    EXPECT_EQ(rows("select ID from demo where upper(NAME) = 'INTRO'"), "10");
    EXPECT_EQ(rows("select ID from demo where NAME like 'intro'"), QString());
    EXPECT_EQ(rows("select E.ID from demo e where e.Name = 'about'"), "20");
}

TEST_F(SqlSelectTest, Expressions) {
    EXPECT_EQ(rows("select 1 + 2 * 3, (1 + 2) * 3, 7 / 2, 7 % 3, -ID, ID || '-' || NAME from demo "
                   "where ID = 10"),
              "7,9,3.5,1,-10,10-Intro");
    EXPECT_EQ(rows("select ID from demo where ID between 10 and 30 order by 1"), "10;20;30");
    EXPECT_EQ(rows("select ID from demo where ID not between 10 and 30 order by 1"), "5;40");
    EXPECT_EQ(rows("select ID from demo where NAME in ('about', 'Intro') order by 1"), "10;20");
    EXPECT_EQ(rows("select ID from demo where ID in (select TOPIC from notes) order by 1"),
              "10;20;40");
    EXPECT_EQ(rows("select length(NAME), substring(NAME, 2, 3), lower(NAME), trim('  x ') from "
                   "demo where ID = 10"),
              "5,ntr,intro,x");
    EXPECT_EQ(rows("select 1 / 0, 0.1 + 0.2, 2.50, 1e3"), ",0.30000000000000004,2.5,1000");
    // A text compared with a number is read as a number.
    EXPECT_EQ(rows("select ID from demo where ID = '20'"), "20");
    EXPECT_TRUE(error("select ID from demo where ID = 'abc'").contains("'abc' is not a number"));
}

TEST_F(SqlSelectTest, Subqueries) {
    // Correlated: a different answer for every outer row.
    EXPECT_EQ(
        rows("select ID, (select count(*) from notes where TOPIC = d.ID) from demo d order by 1"),
        "5,0;10,2;20,1;30,0;40,1");
    EXPECT_EQ(rows("select ID from demo d where exists (select * from notes where TOPIC = d.ID and "
                   "NOTE like "
                   "'%ab1%') order by 1"),
              "10;40");
    // Uncorrelated: the same answer for every row.
    EXPECT_EQ(rows("select count(*) from demo where exists (select * from notes where TOPIC = 40)"),
              "5");
    EXPECT_EQ(rows("select count(*) from demo where exists (select * from notes where TOPIC = 41)"),
              "0");
    EXPECT_EQ(rows("select ID from demo where ID = (select max(TOPIC) from notes)"), "40");
    // Two levels down, reading the outermost row.
    EXPECT_EQ(rows("select ID from demo d where exists (select * from notes n where n.TOPIC = d.ID "
                   "and exists "
                   "(select * from notes m where m.NOTE = n.NOTE and d.STATE = 2))"),
              "20");
}

TEST_F(SqlSelectTest, OrderBy) {
    EXPECT_EQ(rows("select STATE, ID from demo order by STATE desc, 2"), "3,30;2,20;1,5;1,10;0,40");
    EXPECT_EQ(rows("select STATE s, ID from demo order by s, ID desc"), "0,40;1,10;1,5;2,20;3,30");
    EXPECT_EQ(rows("select ID from demo order by NAME desc"), "20;30;10;40;5");
    EXPECT_EQ(rows("select ID from demo where ID > 5 order by -ID"), "40;30;20;10");
    EXPECT_EQ(
        rows("select * from demo where ID >= 20 order by 2 desc").section(QLatin1Char(','), 0, 0),
        "20");
    EXPECT_EQ(rows("select ID, NAME from demo where STATE = 1 order by 2 desc"), "10,Intro;5,");
    EXPECT_EQ(rows("select ID from demo order by 1 desc limit 2"), "40;30");
    EXPECT_EQ(rows("select ID, NAME from demo order by 1 limit 2 offset 3"),
              "30,Zeta 'quoted';40,ABC abc");
    EXPECT_EQ(rows("select STATE from demo group by STATE limit 10 offset 3"), "3");
    EXPECT_TRUE(error("select * from demo order by 13").contains("13"));
}

TEST_F(SqlSelectTest, AggregatesAndGroups) {
    EXPECT_EQ(rows("select min(ID), max(ID), sum(ID), avg(STATE), count(*) from demo"),
              "5,40,105,1.4,5");
    EXPECT_EQ(rows("select STATE, count(*) from demo group by STATE having count(*) > 1"), "1,2");
    EXPECT_EQ(rows("select STATE, count(*) n from demo group by STATE order by n desc, 1"),
              "1,2;0,1;2,1;3,1");
    EXPECT_EQ(rows("select distinct STATE from demo order by 1"), "0;1;2;3");
    EXPECT_EQ(rows("select distinct TOPIC from notes order by TOPIC desc"), "40;20;10");
    EXPECT_EQ(rows("select max(NAME), min(BSEQ) from demo"), "about,a:005");
    EXPECT_TRUE(error("select ID from demo where count(*) > 1").contains("COUNT"));
}

TEST_F(SqlSelectTest, Joins) {
    EXPECT_EQ(rows("select d.ID, n.NOTE from demo d, notes n where d.ID = n.TOPIC and d.STATE = 1 "
                   "order by 2"),
              "10,first ab1;10,second");
    EXPECT_EQ(rows("select d.ID, count(n.NOTE) from demo d left join notes n on n.TOPIC = d.ID "
                   "group by d.ID"),
              "5,0;10,2;20,1;30,0;40,1");
    EXPECT_EQ(rows("select NAME, NOTE from demo join notes on TOPIC = ID where NOTE like 'AB%'"),
              "about,AB1 third");
}

TEST_F(SqlSelectTest, IndexedEqualityMatchesScan) {
    // I_Id and I_Name serve these; the results must equal those of a full scan.
    for (int id : {5, 10, 20, 40, 41, 0}) {
        const QString a = rows(QStringLiteral("select ID, NAME from demo where ID = %1").arg(id));
        const QString b =
            rows(QStringLiteral("select ID, NAME from demo where ID + 0 = %1").arg(id));
        EXPECT_EQ(a, b) << id;
    }
    EXPECT_EQ(rows("select ID from demo where NAME = 'about'"), "20");
    EXPECT_EQ(rows("select ID from demo where 'about' = NAME and STATE = 2"), "20");
    EXPECT_EQ(rows("select ID from demo where ID = 10.0"), "10");
    EXPECT_EQ(rows("select ID from demo where STATE = 1"), "10;5"); // file order

    // Text ordered as text ("10" < "5" < "9") but compared with a number as numbers.
    run("create table codes (CODE char(4), N numeric(4))");
    run("create index I_Code on codes (CODE)");
    run("insert into codes values ('5', 1), ('10', 2), ('9', 3), ('x', 4)");
    EXPECT_EQ(rows("select N from codes where CODE = '10'"), "2");
    EXPECT_TRUE(error("select N from codes where CODE = 10").contains("'x'"));
    run("delete from codes where CODE = 'x'");
    EXPECT_EQ(rows("select N from codes where CODE = 10"), "2");
    EXPECT_EQ(rows("select N from codes where CODE = 9.0"), "3");
    // Joins on fields without an index sort the inner table once.
    EXPECT_EQ(rows("select c.N, d.ID from codes c, demo d where d.STATE = c.N order by 1, 2"),
              "1,5;1,10;2,20;3,30");
    EXPECT_EQ(
        rows("select c.N, n.NOTE from codes c, notes n where n.TOPIC = c.N * 10 order by 1, 2"),
        "1,first ab1;1,second;2,AB1 third");
}

TEST_F(SqlSelectTest, ErrorsNameTheirCause) {
    EXPECT_EQ(error("select * from \"missing.dbf\""), "Table \"missing.dbf\" does not exist");
    EXPECT_EQ(error("select IDX from demo"), "Unknown column \"IDX\"");
    EXPECT_EQ(error("select e.IDX from demo e"), "Unknown column \"e.IDX\"");
    EXPECT_EQ(error("select ID from demo, demo d2"), "Ambiguous column \"ID\"");
    EXPECT_TRUE(error("select frob(ID) from demo").contains("FROB"));
    EXPECT_TRUE(error("select ID from demo where ID in (select ID, NAME from demo)")
                    .contains("one column"));
    EXPECT_TRUE(error("select (select ID from demo)").contains("more than one row"));
}
