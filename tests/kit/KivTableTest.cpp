#include "KivTable.h"
#include "KitFolder.h"
#include "RecordingUI.h"

using KivTableTest = KitFolder;

// Counts the notifications a linked control gets.
class CountingLink : public TDataLink {
public:
    int changes = 0;

protected:
    void DataSetChanged() override { ++changes; }
};

TEST_F(KivTableTest, DescriptionAndEventsReadByName) {
    auto t = table();
    TTable plain;
    EXPECT_EQ(KivGetActions(t), kivDefaultActions);
    EXPECT_EQ(KivGetActions(&plain), kivAllActions); // no "Actions": everything allowed
    EXPECT_TRUE(t->setProperty("Actions", QVariant::fromValue(TKivDataSetActions(daPrint))));
    EXPECT_EQ(KivGetActions(t), TKivDataSetActions(daPrint));

    int called = 0;
    t->OnAction = [&](QObject*, TDataSet* ds, TKivDataSetAction a, bool& need) {
        called += ds == t && a == daClone;
        need = false;
    };
    bool need = true;
    KivGetOnAction(t)(nullptr, t, daClone, need);
    EXPECT_EQ(called, 1);
    EXPECT_FALSE(need);
    EXPECT_FALSE(KivGetOnEditData(t));
    EXPECT_FALSE(KivGetOnAction(&plain));

    // The sorting list is copied and linked controls hear of it.
    auto q = query("select * from \"demo.dbf\"");
    q->Open();
    TDataSource source;
    source.setDataSet(q);
    CountingLink link;
    link.setDataSource(&source);
    link.changes = 0;
    QStringList list{"NAME"};
    EXPECT_TRUE(KivSetStringListProperty(q, "sortinglist", list));
    list << "ID";
    EXPECT_EQ(q->SortingList(), QStringList({"NAME"}));
    EXPECT_EQ(link.changes, 1);
}

TEST_F(KivTableTest, QuerySortOrdersComeFromTheIndexesOnce) {
    auto q = query("select ID, NAME from \"demo.dbf\"");
    q->Open();
    EXPECT_EQ(q->SortingList(), QStringList({"ID", "NAME"}));
    q->Close();
    sql("create index I_Both on \"demo.dbf\" (NAME, ID)");
    q->Open();
    EXPECT_EQ(q->SortingList(), QStringList({"ID", "NAME"})); // filled once

    // A table name that names no table leaves the list empty, the query open.
    auto wrong = query("select ID from \"demo.dbf\"", "gone.dbf");
    wrong->Open();
    EXPECT_TRUE(wrong->Active());
    EXPECT_TRUE(wrong->SortingList().isEmpty());
}

class AutoIncTest : public KivTableTest {
protected:
    void SetUp() override {
        KivTableTest::SetUp();
        sql("create table \"nums.dbf\" (N numeric(8), NAME char(10))");
    }
    // N numbered by the program when the driver names an SQL server.
    template <class T> static void open(T& ds, bool sqlServer, bool readOnlyField) {
        if (sqlServer) ds.setDriverName("INTRBASE");
        addField<TAutoIncField>(&ds, "N")->setReadOnly(readOnlyField);
        addField<TStringField>(&ds, "NAME");
        ds.Open();
    }
    static qint64 add(TDataSet& t, const QString& name) {
        t.Append();
        t.FieldByName("NAME")->setAsString(name);
        t.Post();
        return t.FieldByName("N")->IsNull() ? -1 : t.FieldByName("N")->AsInteger();
    }
};

TEST_F(AutoIncTest, SqlServerTablesNumberFromTheMaximum) {
    for (const bool readOnly : {false, true}) {
        sql("delete from \"nums.dbf\"");
        auto t = table("nums.dbf");
        open(*t, true, readOnly);
        EXPECT_EQ(add(*t, "first"), 1); // empty table: null maximum
        EXPECT_EQ(add(*t, "second"), 2);
        sql("update \"nums.dbf\" set N = 41 where N = 2");
        t->Refresh();
        EXPECT_EQ(add(*t, "third"), 42);
        EXPECT_EQ(t->FieldByName("N")->ReadOnly(), readOnly);
    }
    auto local = table("nums.dbf"); // a local table numbers its rows itself
    open(*local, false, false);
    EXPECT_EQ(add(*local, "fourth"), -1);
}

TEST_F(AutoIncTest, QueryNumbersThroughItsTableNameAndReportsErrors) {
    sql("insert into \"nums.dbf\" values (7, 'seven')");
    auto q = query("select N, NAME from \"nums.dbf\"", "nums.dbf");
    q->setRequestLive(true);
    open(*q, true, false);
    EXPECT_EQ(add(*q, "eight"), 8);
    EXPECT_EQ(SelectValue(dir.path(), "select N from \"nums.dbf\" where NAME = 'eight'").toInt(),
              8);

    // A table the server does not know: the error reaches the caller, the row stays.
    q->setTableName("gone.dbf");
    EXPECT_THROW(add(*q, "nine"), EDatabaseError);
    EXPECT_EQ(q->State(), TDataSetState::dsInsert);
    EXPECT_EQ(q->FieldByName("NAME")->AsString(), "nine");
    q->Cancel();
}

TEST_F(KivTableTest, DetailInsertNeedsAStoredMasterRow) {
    RecordingUI::Scope ui;
    sql("create table \"lines.dbf\" (TOPIC numeric(8), TEXT char(20))");
    sql("create index I_Topic on \"lines.dbf\" (TOPIC)");
    sql("delete from \"demo.dbf\"");
    auto master = table();
    master->Open();
    TDataSource masterSource;
    masterSource.setDataSet(master);
    auto detail = table("lines.dbf");
    detail->setIndexFieldNames("TOPIC");
    detail->setMasterFields("ID");
    detail->setMasterSource(&masterSource);
    detail->Open();

    EXPECT_THROW(detail->Insert(), EAbort); // master without rows
    EXPECT_EQ(detail->State(), TDataSetState::dsBrowse);

    // A new master row that cannot be stored keeps the detail out.
    master->BeforePost = [](TDataSet*) { throw EAbort(); };
    master->Insert();
    master->FieldByName("ID")->setAsInteger(5);
    EXPECT_THROW(detail->Insert(), EAbort);
    EXPECT_EQ(detail->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(master->State(), TDataSetState::dsInsert);

    // A new master row that can be stored is stored first.
    master->BeforePost = nullptr;
    detail->Insert();
    EXPECT_EQ(master->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(id(*master), 5);
    EXPECT_EQ(detail->State(), TDataSetState::dsInsert);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(ui->errors.isEmpty());
}

TEST_F(KivTableTest, UniqueKeyRules) {
    auto t = table();
    EXPECT_EQ(GetUniqueFields(t), "ID"); // the unique index, even while closed
    t->setUniqueFields("NAME;ID");
    EXPECT_EQ(GetUniqueFields(t), "NAME;ID");

    auto plain = table("plain.dbf");
    plain->Open();
    EXPECT_EQ(GetUniqueFields(plain), "CODE;QTY"); // no unique index: non-blob fields

    auto q = query("select NAME, ID from \"demo.dbf\"");
    q->Open();
    EXPECT_EQ(GetUniqueFields(q), "ID"); // the index of its table
    q->setTableName("");
    EXPECT_EQ(GetUniqueFields(q), "NAME;ID");
    q->setTableName("gone.dbf");
    EXPECT_EQ(GetUniqueFields(q), "NAME;ID");

    EXPECT_EQ(GetSelectFieldList(plain), "CODE,QTY");
    auto memoOnly = query("select TEXT from \"demo.dbf\"", "");
    memoOnly->Open();
    EXPECT_EQ(GetSelectFieldList(memoOnly), "*");
    EXPECT_EQ(GetUniqueFields(memoOnly), "");
}

TEST(OrderByText, FoundOutsideQuotesInAnyCaseAndRewritten) {
    const std::pair<QString, int> found[] = {
        {"select * from t ORDER  BY a", 16},
        {"select * from t\norder\nby a", 16},
        {"select 'order by x' from t", -1},
        {"select \"order by\" from t", -1},
        {"select reorder by from t", -1},
        {"select orderby from t", -1},
        {"select * from t where a = 'it''s' order by b", 34},
    };
    for (const auto& [sql, position] : found)
        EXPECT_EQ(FindOrderBy(sql), position) << sql.toStdString();

    EXPECT_EQ(GetOrderByFields("select * from t order by NAME, ID desc"), "NAME;ID");
    EXPECT_EQ(GetOrderByFields("select * from t Order By t.ID"), "t.ID");
    EXPECT_EQ(GetOrderByFields("select ID, NAME from t order by 2;"), "2");
    EXPECT_EQ(GetOrderByFields("select * from t"), "");

    EXPECT_EQ(SetOrderByFields("select * from t order by a", "NAME;ID"),
              "select * from t\norder by NAME,ID");
    EXPECT_EQ(SetOrderByFields("select * from t ;  ", "ID"), "select * from t\norder by ID");
    EXPECT_EQ(SetOrderByFields("select ';order by' from t\norder by 1;", "ID"),
              "select ';order by' from t\norder by ID");
    EXPECT_EQ(SetOrderByFields("select * from t order by a", ""), "select * from t");
}

TEST_F(KivTableTest, SortFieldsOfQueriesAndTablesKeepThePosition) {
    auto q = query("select ID, NAME from \"demo.dbf\"\norder by ID");
    q->Open();
    EXPECT_EQ(GetSortFields(q), "ID");
    ASSERT_TRUE(q->Locate("ID", 30));
    SetSortFields(q, "NAME", true);
    EXPECT_TRUE(q->Active());
    EXPECT_EQ(q->SQL(), QStringList({"select ID, NAME from \"demo.dbf\"", "order by NAME"}));
    EXPECT_EQ(GetSortFields(q), "NAME");
    EXPECT_EQ(id(*q), 30);
    EXPECT_EQ(ids(*q), QList<int>({20, 40, 30, 10}));

    q->Last();
    SetSortFields(q, "ID", false);
    EXPECT_EQ(id(*q), 10); // not kept: the first record

    // An order the engine refuses: the error is raised, the statement kept.
    EXPECT_THROW(SetSortFields(q, "NOSUCH"), EDatabaseError);
    EXPECT_TRUE(q->Active());
    EXPECT_EQ(q->SQL(), QStringList({"select ID, NAME from \"demo.dbf\"", "order by ID"}));

    auto t = table();
    t->Open();
    t->Locate("ID", 40);
    SetSortFields(t, "NAME,ID");
    EXPECT_EQ(t->IndexFieldNames(), "NAME;ID");
    EXPECT_EQ(GetSortFields(t), "NAME;ID");
    EXPECT_EQ(id(*t), 40);
}

TEST_F(KivTableTest, StatementsOnTheSharedQuery) {
    ExecSQL(dir.path(), "insert into \"demo.dbf\" (ID, NAME) values (50, 'More')");
    EXPECT_EQ(SelectValue(dir.path(), "select Max(ID) from \"demo.dbf\"").toInt(), 50);
    EXPECT_TRUE(SelectValue(dir.path(), "select ID from \"demo.dbf\" where ID > 99").isNull());
    EXPECT_THROW(ExecSQL(dir.path(), "delete from \"gone.dbf\""), EDatabaseError);
    EXPECT_NO_THROW(ExecSQL(dir.path(), "delete from \"gone.dbf\"", true));
    EXPECT_THROW(SelectValue(dir.path(), "select nothing from"), EDatabaseError);
}

TEST_F(KivTableTest, RefreshBookmarksAndClonesKeepTheirRecord) {
    auto q = query("select ID, NAME from \"demo.dbf\" order by ID");
    q->Open();
    q->Locate("ID", 30);
    ExecSQL(dir.path(), "insert into \"demo.dbf\" (ID, NAME) values (50, 'More'), (5, 'First')");
    RefreshDataSet(q);
    EXPECT_EQ(id(*q), 30); // the same record, though a row came before it
    EXPECT_EQ(q->RecordCount(), 6);

    auto t = table();
    t->setIndexFieldNames("ID");
    t->Open();
    t->Locate("ID", 20);
    const TBookmark mark = t->GetBookmark();
    t->Last();
    GotoBookmarkSafe(t, TBookmark());
    EXPECT_EQ(id(*t), 50);
    GotoBookmarkSafe(t, mark);
    EXPECT_EQ(id(*t), 20);
    t->Delete();
    t->Last();
    GotoBookmarkSafe(t, mark); // the record is gone: nothing happens
    EXPECT_EQ(id(*t), 50);
    EXPECT_TRUE(LocateRecord(t, "NAME", "menus", loCaseInsensitive));
    EXPECT_FALSE(LocateRecord(t, "NAME", "install"));

    // A clone copies every modifiable value.
    t->FieldByName("NAME")->setReadOnly(true);
    CloneRecord(t);
    EXPECT_EQ(t->State(), TDataSetState::dsInsert);
    EXPECT_EQ(t->FieldByName("TEXT")->AsString(), "menus text");
    EXPECT_TRUE(t->FieldByName("NAME")->IsNull()); // read-only: not copied
    t->FieldByName("ID")->setAsInteger(31);
    t->Post();
    EXPECT_EQ(ids(*t), QList<int>({5, 10, 30, 31, 40, 50}));
}

TEST_F(KivTableTest, FieldWidthsFollowTheLongestText) {
    sql("insert into \"demo.dbf\" (ID, NAME) values (5, '" + QString(40, 'x') + "')");
    auto t = table();
    t->setIndexFieldNames("ID");
    t->Open();
    t->Locate("ID", 30);
    FitFieldWidths(t, 100);
    EXPECT_EQ(t->FieldByName("NAME")->DisplayWidth(), 40 + 1 + 2);
    EXPECT_EQ(t->FieldByName("ID")->DisplayWidth(), 3);
    EXPECT_EQ(t->FieldByName("TEXT")->DisplayWidth(), 10); // blobs keep theirs
    EXPECT_EQ(id(*t), 30);
    EXPECT_EQ(DisplayLabels(t, "ID;NAME;Other"), "ID,NAME,Other");

    FitFieldWidths(t, 2); // only the first two records: 5 and 10
    EXPECT_EQ(t->FieldByName("NAME")->DisplayWidth(), 43);
    FitFieldWidths(t, 0);
    EXPECT_EQ(t->FieldByName("NAME")->DisplayWidth(), 1);
}
