#include "SqlTestTable.h"

using TTableTest = TopicFolder;

TEST_F(TTableTest, OpensWithFieldsMadeFromTheColumns) {
    auto t = topics();
    ASSERT_EQ(t->FieldCount(), 12);
    EXPECT_NE(qobject_cast<TFloatField*>(t->FieldByName("ID")), nullptr);
    EXPECT_NE(qobject_cast<TSmallintField*>(t->FieldByName("State")), nullptr);
    EXPECT_NE(qobject_cast<TMemoField*>(t->FieldByName("Text")), nullptr);
    EXPECT_EQ(t->FieldByName("NAME")->Size(), 60);
    EXPECT_EQ(ids(*t), QList<int>({10, 20, 30, 40}));
    t->First();
    EXPECT_EQ(t->FieldByName("TEXT")->AsString(), "{\\rtf1 intro}");
    EXPECT_EQ(t->GetIndexNames(), QStringList({"I_Id", "I_Name", "I_BSeq", "I_State"}));

    const auto missing = tableOf("nothere.dbf");
    EXPECT_THROW(missing->Open(), EKivError);
    EXPECT_FALSE(missing->Active());
}

TEST_F(TTableTest, PropertiesReadByName) {
    auto t = topics();
    TDataSource master;
    t->setMasterFields("");
    EXPECT_EQ(t->property("DatabaseName").toString(), dir.path());
    EXPECT_EQ(t->property("TableName").toString(), "demo.dbf");
    EXPECT_EQ(t->property("IndexFieldNames").toString(), "ID");
    EXPECT_TRUE(t->setProperty("Tag", 19));
    EXPECT_EQ(t->Tag(), 19);
    EXPECT_TRUE(t->setProperty("Filter", "ID>20"));
    EXPECT_TRUE(t->setProperty("Filtered", true));
    EXPECT_EQ(ids(*t), QList<int>({30, 40}));
    EXPECT_TRUE(t->setProperty("MasterSource", QVariant::fromValue(&master)));
    EXPECT_EQ(t->MasterSource(), &master);
    EXPECT_FALSE(t->property("ReadOnly").toBool());
    EXPECT_FALSE(t->property("CachedUpdates").toBool());
}

TEST_F(TTableTest, OrderFollowsIndexesAndSortsWithoutOne) {
    auto t = topics();
    t->Locate("ID", 30);
    t->setIndexFieldNames("NAME");
    EXPECT_EQ(id(*t), 30); // the current record stays
    EXPECT_EQ(t->IndexFieldList(), "NAME");
    EXPECT_EQ(ids(*t), QList<int>({20, 40, 10, 30}));
    t->setIndexName("I_State");
    EXPECT_EQ(t->IndexFieldNames(), "");
    EXPECT_EQ(t->IndexFieldList(), "STATE");
    EXPECT_EQ(ids(*t, "STATE"), QList<int>({1, 1, 2, 3}));
    t->setIndexFieldNames("CTX"); // no index: sorted on the fly, empty first
    EXPECT_EQ(ids(*t), QList<int>({20, 40, 30, 10}));
    t->setIndexFieldNames("");
    EXPECT_EQ(ids(*t), QList<int>({30, 10, 40, 20})); // file order

    EXPECT_EQ(failureOf([&] { t->setIndexFieldNames("TITLE"); }),
              "TbMain: Field 'TITLE' not found");
    EXPECT_THROW(t->setIndexName("I_None"), EDatabaseError);
    EXPECT_EQ(t->IndexFieldNames(), ""); // nothing changed
    EXPECT_EQ(ids(*t), QList<int>({30, 10, 40, 20}));
}

TEST_F(TTableTest, KeyBufferFindsExactPartialAndNearestKeys) {
    auto t = topics();
    t->SetKey();
    t->FieldByName("ID")->setAsInteger(30);
    EXPECT_TRUE(t->GotoKey());
    EXPECT_EQ(id(*t), 30);

    t->SetKey();
    t->FieldByName("ID")->setAsInteger(25);
    EXPECT_FALSE(t->GotoKey());
    EXPECT_EQ(id(*t), 30);
    t->EditKey(); // keeps 25
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 25);
    t->Cancel();
    t->GotoNearest();
    EXPECT_EQ(id(*t), 30);

    EXPECT_TRUE(t->FindKey({40}));
    EXPECT_EQ(id(*t), 40);
    t->FindNearest({99});
    EXPECT_EQ(id(*t), 40); // past the end: the last record

    // A two-field order searched on its first field only.
    t->setIndexFieldNames("STATE;NAME");
    t->SetKey();
    t->FieldByName("STATE")->setAsInteger(1);
    t->FieldByName("NAME")->setAsString("Zzz");
    t->setKeyFieldCount(1);
    EXPECT_EQ(t->KeyFieldCount(), 1);
    EXPECT_TRUE(t->GotoKey());
    EXPECT_EQ(id(*t), 20); // About, the first of state 1
    t->EditKey();
    t->setKeyFieldCount(0);
    EXPECT_FALSE(t->GotoKey());
    t->EditKey();
    t->FieldByName("NAME")->setAsString("B");
    t->GotoNearest();
    EXPECT_EQ(id(*t), 10); // Intro follows About within state 1

    // Text keys: the nearest record after a partial title.
    t->setIndexFieldNames("NAME");
    t->FindNearest({"Inr"});
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Install");
    t->FindNearest({"Int"});
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Intro");
    EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
}

TEST_F(TTableTest, UniqueViolationKeepsTheRecordInEdit) {
    auto t = topics();
    t->Append();
    t->FieldByName("ID")->setAsInteger(20);
    t->FieldByName("NAME")->setAsString("Duplicate");
    const QString violation = failureOf([&] { t->Post(); });
    EXPECT_TRUE(violation.contains("Key violation")) << violation.toStdString();
    EXPECT_EQ(t->State(), TDataSetState::dsInsert);
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Duplicate");
    t->FieldByName("ID")->setAsInteger(50);
    t->Post();
    EXPECT_EQ(id(*t), 50);
    EXPECT_EQ(ids(*t), QList<int>({10, 20, 30, 40, 50}));

    t->Locate("ID", 10);
    t->Edit();
    t->FieldByName("ID")->setAsInteger(30);
    EXPECT_THROW(t->Post(), EDatabaseError);
    EXPECT_EQ(t->State(), TDataSetState::dsEdit);
    EXPECT_EQ(id(*t), 30);
    t->Cancel();
    EXPECT_EQ(id(*t), 10);
}

TEST_F(TTableTest, CursorsOnOneFileSeeStoredChanges) {
    auto main = topics();
    auto calc = topics();
    main->Locate("ID", 20);
    main->Edit();
    main->FieldByName("NAME")->setAsString("About us");
    EXPECT_EQ(calc->Lookup("ID", 20, "NAME").toString(), "About"); // unsaved edits are private
    main->Post();
    EXPECT_EQ(calc->Lookup("ID", 20, "NAME").toString(), "About us");

    calc->Locate("ID", 30);
    const TBookmark mark = calc->GetBookmark();
    main->Append();
    main->FieldByName("ID")->setAsInteger(25);
    main->Post();
    main->Locate("ID", 10);
    main->Delete();
    calc->Refresh();
    EXPECT_EQ(id(*calc), 30);
    EXPECT_EQ(ids(*calc), QList<int>({20, 25, 30, 40}));
    calc->GotoBookmark(mark);
    EXPECT_EQ(id(*calc), 30);

    // A record deleted through the other cursor cannot be edited or deleted again.
    main->Locate("ID", 30);
    main->Delete();
    EXPECT_EQ(failureOf([&] { calc->Edit(); }), "TbMain: Record/Key deleted");
    EXPECT_EQ(calc->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ids(*calc), QList<int>({20, 25, 40}));
}

TEST_F(TTableTest, DetailFollowsItsMaster) {
    auto master = topics();
    TDataSource source;
    source.setDataSet(master.get());
    const auto made = tableOf("links");
    TTable& detail = *made;
    detail.setIndexFieldNames("TOPIC");
    detail.setMasterFields("ID");
    detail.setMasterSource(&source);
    detail.Open();
    EXPECT_EQ(ids(detail, "TARGET"), QList<int>({20, 30}));
    master->Next(); // 20
    EXPECT_EQ(ids(detail, "TARGET"), QList<int>({40}));
    master->Next(); // 30 has no links
    EXPECT_TRUE(detail.IsEmpty());
    master->Last();
    EXPECT_EQ(ids(detail, "TARGET"), QList<int>({10}));
    // A new detail record takes its master's key and stays in view.
    detail.Append();
    EXPECT_EQ(detail.FieldByName("TOPIC")->AsInteger(), 40);
    detail.FieldByName("TARGET")->setAsInteger(30);
    detail.Post();
    EXPECT_EQ(ids(detail, "TARGET"), QList<int>({10, 30}));
    master->Close(); // without a master the whole table shows
    EXPECT_EQ(detail.RecordCount(), 5);

    const auto unordered = tableOf("links");
    unordered->setMasterFields("ID");
    unordered->setMasterSource(&source);
    EXPECT_EQ(failureOf([&] { unordered->Open(); }), "Master fields and index fields do not match");
}

TEST_F(TTableTest, ReadOnlyTablesRefuseChanges) {
    const auto made = tableOf("demo");
    TTable& t = *made;
    t.setReadOnly(true);
    t.Open();
    EXPECT_FALSE(t.CanModify());
    EXPECT_EQ(failureOf([&] { t.Edit(); }), "Cannot modify a read-only dataset");
    EXPECT_THROW(t.Delete(), EDatabaseError);
    EXPECT_EQ(t.RecordCount(), 4);
    EXPECT_THROW(t.setReadOnly(false), EDatabaseError); // only while closed
    t.setCachedUpdates(true);
    t.ApplyUpdates();
    EXPECT_TRUE(t.CachedUpdates());
}

TEST_F(TTableTest, PersistentFieldsAsTheDataModuleDeclaresThem) {
    const auto made = tableOf("demo.dbf");
    TTable& t = *made;
    t.setIndexFieldNames("ID");
    auto* id = addField<TFloatField>(t, "ID");
    auto* name = addField<TStringField>(t, "NAME");
    addField<TMemoField>(t, "DECLAR");
    t.Open();
    EXPECT_EQ(t.FieldNames(), QStringList({"ID", "NAME", "DECLAR"}));
    t.Append();
    id->setAsInteger(60);
    name->setAsString("New");
    t.Post();
    // Columns without a field keep empty values, and those of stored rows keep theirs.
    EXPECT_EQ(t.Lookup("ID", 60, "NAME").toString(), "New");
    auto all = topics();
    EXPECT_TRUE(all->Locate("ID", 60));
    EXPECT_TRUE(all->FieldByName("TEXT")->IsNull());
    t.Locate("ID", 10);
    t.Edit();
    name->setAsString("Intro!");
    t.Post();
    all->Refresh();
    EXPECT_TRUE(all->Locate("ID", 10));
    EXPECT_EQ(all->FieldByName("TEXT")->AsString(), "{\\rtf1 intro}");
    EXPECT_EQ(all->FieldByName("NAME")->AsString(), "Intro!");
}
