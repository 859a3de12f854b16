#include "SqlTestTable.h"

class TQueryTest : public TopicFolder {
protected:
    std::unique_ptr<TQuery> query(const QStringList& sql, bool live = false) {
        auto q = std::make_unique<TQuery>();
        q->setObjectName("Qid");
        q->setDatabaseName(dir.path());
        q->setSQL(sql);
        q->setRequestLive(live);
        return q;
    }
};

TEST_F(TQueryTest, ParametersFillTheStatement) {
    auto q = query({"select ID,NAME from :TableName", "order by 2"});
    ASSERT_EQ(q->ParamCount(), 1);
    EXPECT_EQ(q->Params(0)->Name(), "TableName");
    EXPECT_EQ(failureOf([&] { q->Open(); }), "Qid: No value for parameter 'TableName'");
    EXPECT_FALSE(q->Active());
    q->ParamByName("TableName")->setAsString("demo.dbf");
    q->Open();
    EXPECT_EQ(ids(*q), QList<int>({20, 40, 10, 30}));
    EXPECT_EQ(q->FieldCount(), 2);
    EXPECT_EQ(q->property("SQL").toStringList().size(), 2);

    // A new statement closes the query and keeps the values of same-named parameters.
    q->setSQL({"select ID from :TableName where ID > :Low", "order by 1"});
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->ParamByName("tablename")->AsString(), "demo.dbf");
    q->ParamByName("Low")->setAsInteger(20);
    q->Open();
    EXPECT_EQ(ids(*q), QList<int>({30, 40}));
    EXPECT_THROW(q->ParamByName("High"), EDatabaseError);

    // Quoted text is not searched for parameters.
    auto quoted = query({"select ID from \"demo.dbf\" where NAME <> ':Not'"});
    EXPECT_EQ(quoted->ParamCount(), 0);
}

TEST_F(TQueryTest, LiveResultsWriteThroughToTheTable) {
    auto q = query({"select ID,NAME from \"demo.dbf\" where STATE = 1", "order by 1"}, true);
    q->Open();
    ASSERT_TRUE(q->Live());
    EXPECT_EQ(ids(*q), QList<int>({10, 20}));
    auto table = topics();

    q->First();
    q->Edit();
    q->FieldByName("NAME")->setAsString("Intro (live)");
    q->Post();
    table->Locate("ID", 10);
    EXPECT_EQ(table->FieldByName("NAME")->AsString(), "Intro (live)");
    // Columns the query does not show keep their values.
    EXPECT_EQ(table->FieldByName("TEXT")->AsString(), "{\\rtf1 intro}");

    // A new row that does not match the where clause stays until refreshed.
    q->Last();
    q->Append();
    q->FieldByName("ID")->setAsInteger(70);
    q->FieldByName("NAME")->setAsString("Appended");
    q->Post();
    EXPECT_EQ(id(*q), 70);
    EXPECT_EQ(ids(*q), QList<int>({10, 20, 70}));
    table->Refresh();
    EXPECT_TRUE(table->Locate("ID", 70));
    EXPECT_TRUE(table->FieldByName("STATE")->IsNull());
    q->Refresh();
    EXPECT_EQ(ids(*q), QList<int>({10, 20}));

    q->Locate("ID", 20);
    q->Delete();
    EXPECT_EQ(ids(*q), QList<int>({10}));
    table->Refresh();
    EXPECT_FALSE(table->Locate("ID", 20));

    // The unique index guards live results too.
    q->Append();
    q->FieldByName("ID")->setAsInteger(30);
    EXPECT_THROW(q->Post(), EDatabaseError);
    EXPECT_EQ(q->State(), TDataSetState::dsInsert);
    EXPECT_EQ(q->FieldByName("ID")->AsInteger(), 30);
    q->Cancel();
}

TEST_F(TQueryTest, OtherResultsAreReadOnly) {
    auto notAsked = query({"select ID,NAME from \"demo.dbf\""});
    notAsked->Open();
    EXPECT_FALSE(notAsked->Live());
    EXPECT_EQ(notAsked->RecordCount(), 4);
    EXPECT_EQ(failureOf([&] { notAsked->Edit(); }), "Qid: Cannot modify a read-only dataset");

    auto aggregate = query({"select Max(ID) from \"demo.dbf\""}, true);
    aggregate->Open();
    EXPECT_FALSE(aggregate->Live());
    EXPECT_EQ(aggregate->Fields()[0]->AsInteger(), 40);
    EXPECT_THROW(aggregate->Append(), EDatabaseError);
    EXPECT_THROW(aggregate->Delete(), EDatabaseError);
    EXPECT_EQ(aggregate->State(), TDataSetState::dsBrowse);

    // A read-only result does not change when the table does, until refreshed.
    auto table = topics();
    table->Append();
    table->FieldByName("ID")->setAsInteger(90);
    table->Post();
    EXPECT_EQ(aggregate->Fields()[0]->AsInteger(), 40);
    aggregate->Refresh();
    EXPECT_EQ(aggregate->Fields()[0]->AsInteger(), 90);
}

TEST_F(TQueryTest, ExecSQLRunsStatementsWithoutRows) {
    auto q = query({"update \"demo.dbf\" set STATE = 3 where STATE = 1"});
    q->ExecSQL();
    EXPECT_EQ(q->RowsAffected(), 2);
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(failureOf([&] { q->Open(); }),
              "Qid: The statement returns no rows; run it with ExecSQL");
    q->setSQL({"Create Table \"more.dbf\" (Id numeric(8))"});
    q->ExecSQL();
    EXPECT_THROW(q->ExecSQL(), EDatabaseError); // the table exists now
    q->setSQL({"select nonsense from"});
    EXPECT_THROW(q->Open(), EDatabaseError);
    EXPECT_FALSE(q->Active());
    q->setSQL({});
    EXPECT_THROW(q->ExecSQL(), EDatabaseError);
}

TEST_F(TQueryTest, ParametersFromADataSourceFollowIt) {
    auto master = topics();
    TDataSource source;
    source.setDataSet(master.get());
    auto links = query({"select TARGET from links where TOPIC = :ID", "order by 1"});
    links->setDataSource(&source);
    links->Open();
    EXPECT_EQ(ids(*links, "TARGET"), QList<int>({20, 30}));
    master->Locate("ID", 20);
    EXPECT_EQ(ids(*links, "TARGET"), QList<int>({40}));
    EXPECT_EQ(links->property("DataSource").value<TDataSource*>(), &source);
}
