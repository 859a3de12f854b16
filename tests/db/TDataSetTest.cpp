#include "MemFixture.h"

#include <gtest/gtest.h>

namespace {

// Logs every notify event of a dataset by name.
void logEvents(TDataSet& ds, QStringList& log) {
    const std::pair<const char*, TDataSet::TDataSetNotifyEvent*> events[] = {
        {"BeforeOpen", &ds.BeforeOpen},     {"AfterOpen", &ds.AfterOpen},
        {"BeforeClose", &ds.BeforeClose},   {"AfterClose", &ds.AfterClose},
        {"BeforeInsert", &ds.BeforeInsert}, {"AfterInsert", &ds.AfterInsert},
        {"OnNewRecord", &ds.OnNewRecord},   {"BeforeEdit", &ds.BeforeEdit},
        {"AfterEdit", &ds.AfterEdit},       {"BeforePost", &ds.BeforePost},
        {"AfterPost", &ds.AfterPost},       {"BeforeCancel", &ds.BeforeCancel},
        {"AfterCancel", &ds.AfterCancel},   {"BeforeDelete", &ds.BeforeDelete},
        {"AfterDelete", &ds.AfterDelete},   {"BeforeScroll", &ds.BeforeScroll},
        {"AfterScroll", &ds.AfterScroll}};
    for (const auto& [name, member] : events) {
        const QString n = QString::fromLatin1(name);
        *member = [&log, n](TDataSet*) { log << n; };
    }
}

QString nameOf(TDataSet& ds) {
    return ds.FieldByName("NAME")->AsString();
}

} // namespace

TEST(TDataSet, NavigatesWithBofAndEof) {
    auto t = sampleTopics();
    EXPECT_TRUE(t->Bof());
    EXPECT_FALSE(t->Eof());
    EXPECT_EQ(t->RecordCount(), 5);
    EXPECT_EQ(t->MoveBy(3), 3);
    EXPECT_EQ(t->RecNo(), 4);
    EXPECT_EQ(t->MoveBy(10), 1);
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 50);
    t->Prior();
    EXPECT_FALSE(t->Eof());
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 40);
    EXPECT_EQ(t->MoveBy(-10), -3);
    EXPECT_TRUE(t->Bof());
    t->Last();
    EXPECT_TRUE(t->Eof());
    t->setRecNo(2);
    EXPECT_EQ(nameOf(*t), "Install");

    auto empty = makeTopics({});
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_TRUE(empty->Bof() && empty->Eof());
    EXPECT_EQ(empty->RecNo(), -1);
    EXPECT_TRUE(empty->FieldByName("ID")->IsNull());
    empty->Next();
    EXPECT_TRUE(empty->Eof());
    EXPECT_THROW(empty->Delete(), EDatabaseError);
}

TEST(TDataSet, EventsFireInOrder) {
    auto t = sampleTopics();
    QStringList log;
    logEvents(*t, log);

    t->Next();
    EXPECT_EQ(take(log), QStringList({"BeforeScroll", "AfterScroll"}));

    t->Edit();
    t->FieldByName("NAME")->setAsString("Setup");
    t->Post();
    EXPECT_EQ(take(log), QStringList({"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));

    t->Insert();
    t->Cancel();
    EXPECT_EQ(take(log), QStringList({"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                                      "AfterScroll", "BeforeCancel", "AfterCancel"}));

    // Moving away from a modified record posts it first.
    t->Edit();
    t->FieldByName("NAME")->setAsString("Setup 2");
    t->Next();
    EXPECT_EQ(take(log), QStringList({"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost",
                                      "BeforeScroll", "AfterScroll"}));
    // ...and an unmodified edit is cancelled.
    t->Edit();
    t->Prior();
    EXPECT_EQ(take(log), QStringList({"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel",
                                      "BeforeScroll", "AfterScroll"}));
    EXPECT_EQ(nameOf(*t), "Setup 2");

    t->Delete();
    EXPECT_EQ(take(log),
              QStringList({"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));

    t->Close();
    t->Open();
    EXPECT_EQ(take(log),
              QStringList({"BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen", "AfterScroll"}));
}

TEST(TDataSet, AbortCancelsTheOperationSilently) {
    auto t = sampleTopics();
    t->BeforeInsert = [](TDataSet*) { throw EAbort(); };
    EXPECT_THROW(t->Insert(), EAbort);
    EXPECT_EQ(t->State(), TDataSetState::dsBrowse);

    t->BeforePost = [](TDataSet*) { throw EAbort(); };
    t->Edit();
    t->FieldByName("NAME")->setAsString("Kept");
    EXPECT_THROW(t->Post(), EAbort);
    EXPECT_EQ(t->State(), TDataSetState::dsEdit);
    EXPECT_EQ(nameOf(*t), "Kept");
    t->Cancel();
    EXPECT_EQ(nameOf(*t), "Intro");

    t->BeforeDelete = [](TDataSet*) { throw EAbort(); };
    EXPECT_THROW(t->Delete(), EAbort);
    EXPECT_EQ(t->RecordCount(), 5);

    t->OnNewRecord = [](TDataSet* ds) {
        ds->FieldByName("NAME")->setAsString("half made");
        throw EAbort();
    };
    t->BeforeInsert = nullptr;
    EXPECT_THROW(t->Append(), EAbort);
    EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(nameOf(*t), "Intro");
}

TEST(TDataSet, InsertAndAppendPlaceTheNewRecord) {
    auto t = sampleTopics();
    t->OnNewRecord = [](TDataSet* ds) { ds->FieldByName("STATE")->setAsInteger(1); };
    t->Next();
    t->Insert();
    EXPECT_EQ(t->State(), TDataSetState::dsInsert);
    EXPECT_EQ(t->FieldByName("STATE")->AsInteger(), 1);
    EXPECT_TRUE(t->FieldByName("ID")->IsNull());
    EXPECT_FALSE(t->Modified()); // defaults alone do not count as a change
    t->FieldByName("ID")->setAsInteger(60);
    t->FieldByName("NAME")->setAsString("Added");
    t->Post();
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 60);
    EXPECT_EQ(t->RecordCount(), 6);

    // An insert with no change is dropped when the cursor moves on.
    t->Append();
    t->First();
    EXPECT_EQ(t->RecordCount(), 6);
}

TEST(TDataSet, BookmarksSurviveInsertsAndDeletes) {
    auto t = sampleTopics();
    t->Locate("ID", 40);
    const TBookmark at40 = t->GetBookmark();
    t->First();
    const TBookmark at10 = t->GetBookmark();
    EXPECT_LT(t->CompareBookmarks(at10, at40), 0);
    EXPECT_EQ(t->CompareBookmarks(at40, at40), 0);

    t->Append();
    t->FieldByName("ID")->setAsInteger(70);
    t->Post();
    t->First();
    t->Delete(); // removes ID 10
    EXPECT_FALSE(t->BookmarkValid(at10));
    ASSERT_TRUE(t->BookmarkValid(at40));
    t->GotoBookmark(at40);
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 40);
    EXPECT_THROW(t->GotoBookmark(at10), EDatabaseError);
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 40);

    TBookmark copy = at40;
    t->FreeBookmark(copy);
    EXPECT_TRUE(copy.isNull());
    EXPECT_FALSE(t->BookmarkValid(copy));
}

TEST(TDataSet, LocateHonoursCaseAndPartialKeyOptions) {
    auto t = sampleTopics();
    EXPECT_FALSE(t->Locate("NAME", "intro"));
    EXPECT_TRUE(t->Locate("NAME", "intro", loCaseInsensitive));
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 10);
    EXPECT_FALSE(t->Locate("NAME", "Inst"));
    EXPECT_TRUE(t->Locate("NAME", "Inst", loPartialKey));
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 20);
    EXPECT_TRUE(t->Locate("name", "INTRO A", loPartialKey | loCaseInsensitive));
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 40);
    // Several fields, a text for a number, and an empty value searched as empty.
    EXPECT_TRUE(t->Locate("NAME;ID", QVariantList({"Menus", "30"})));
    EXPECT_TRUE(t->Locate("STATE", QVariant()));
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 30);
    // A failed search stays where it was.
    EXPECT_FALSE(t->Locate("ID", 99));
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 30);

    EXPECT_EQ(failureOf([&] { t->Locate("TITLE", "x"); }), "Topics: Field 'TITLE' not found");
    EXPECT_THROW(t->Locate("NAME;ID", "Menus"), EDatabaseError);

    EXPECT_EQ(t->Lookup("ID", 20, "NAME").toString(), "Install");
    EXPECT_EQ(t->Lookup("ID", 20, "NAME;STATE").toList(), QVariantList({"Install", qint64(2)}));
    EXPECT_TRUE(t->Lookup("ID", 21, "NAME").isNull());
    EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 30); // Lookup does not move
}

TEST(TDataSet, FilterAndFilterRecordHandlerCombine) {
    auto t = sampleTopics();
    t->setFilter("ID>=20");
    EXPECT_EQ(ids(*t).size(), 5); // not applied until Filtered
    t->setFiltered(true);
    EXPECT_EQ(ids(*t), QList<int>({20, 30, 40, 50}));
    t->OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("ID")->AsInteger() != 40;
    };
    t->Refresh();
    EXPECT_EQ(ids(*t), QList<int>({20, 30, 50}));
    t->setFilter("");
    EXPECT_EQ(ids(*t), QList<int>({10, 20, 30, 50}));
    t->setFiltered(false);
    EXPECT_EQ(ids(*t).size(), 5);
}

TEST(TDataSet, PostChecksRequiredFieldsAndKeepsTheRecord) {
    auto t = std::make_unique<TMemTable>();
    t->addFieldDef("ID", TFieldType::ftInteger, 0, true);
    t->addFieldDef("NAME", TFieldType::ftString, 10);
    t->Open();
    t->Append();
    t->FieldByName("NAME")->setAsString("no id");
    EXPECT_EQ(failureOf([&] { t->Post(); }), "Field 'ID' must have a value");
    EXPECT_EQ(t->State(), TDataSetState::dsInsert);
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "no id");
    t->FieldByName("ID")->setAsInteger(1);
    t->Post();
    EXPECT_EQ(t->RecordCount(), 1);
}

TEST(TDataSet, FieldsRefuseWritesOutsideEditAndOnReadOnlyAndClosingDropsTheEdit) {
    auto t = sampleTopics();
    EXPECT_EQ(failureOf([&] { t->FieldByName("NAME")->setAsString("x"); }),
              "Topics: Dataset not in edit or insert mode");
    t->FieldByName("ID")->setReadOnly(true);
    t->Edit();
    EXPECT_THROW(t->FieldByName("ID")->setAsInteger(5), EDatabaseError);
    EXPECT_FALSE(t->FieldByName("ID")->CanModify());
    EXPECT_TRUE(t->FieldByName("NAME")->CanModify());
    t->FieldByName("NAME")->setAsString("Unsaved");
    t->Close();
    EXPECT_EQ(t->State(), TDataSetState::dsInactive);
    EXPECT_THROW(t->First(), EDatabaseError);
}

TEST(TDataSet, CalculatedAndLookupFieldsFollowTheRecord) {
    auto states = makeTopics({{1, "Write", -1}, {2, "Test", -1}, {3, "Ready", -1}});
    TMemTable t;
    t.addFieldDef("ID", TFieldType::ftInteger);
    t.addFieldDef("STATE", TFieldType::ftSmallint);
    auto* id = addField<TIntegerField>(t, "ID");
    auto* state = addField<TSmallintField>(t, "STATE");
    auto* twice = addField<TIntegerField>(t, "TWICE", TFieldKind::fkCalculated);
    auto* stateText = addField<TStringField>(t, "STATETEXT", TFieldKind::fkLookup);
    stateText->setLookupDataSet(states.get());
    stateText->setKeyFields("STATE");
    stateText->setLookupKeyFields("ID");
    stateText->setLookupResultField("NAME");
    int calcs = 0;
    t.OnCalcFields = [&calcs](TDataSet* ds) {
        ++calcs;
        ds->FieldByName("TWICE")->setAsInteger(ds->FieldByName("ID")->AsInteger() * 2);
    };
    t.Open();
    t.Append();
    id->setAsInteger(4);
    state->setAsInteger(2);
    EXPECT_EQ(twice->AsInteger(), 8);
    EXPECT_EQ(stateText->AsString(), "Test");
    t.Post();
    t.Append();
    id->setAsInteger(5);
    t.Post();
    EXPECT_EQ(twice->AsInteger(), 10);
    EXPECT_TRUE(stateText->IsNull());
    t.First();
    EXPECT_EQ(twice->AsInteger(), 8);
    EXPECT_EQ(stateText->AsString(), "Test");
    t.ReadRecordAt(1, [&] { EXPECT_EQ(twice->AsInteger(), 10); });
    EXPECT_EQ(twice->AsInteger(), 8);
    const int before = calcs;
    (void)twice->AsInteger();
    (void)stateText->AsString();
    EXPECT_EQ(calcs, before); // computed once per record
    EXPECT_THROW(stateText->setAsString("Ready"), EDatabaseError);
    EXPECT_EQ(t.FieldCount(), 4);

    // Incomplete lookup settings stop the open with a message naming the field.
    TMemTable bad;
    bad.addFieldDef("ID", TFieldType::ftInteger);
    addField<TStringField>(bad, "LOOK", TFieldKind::fkLookup);
    EXPECT_EQ(failureOf([&] { bad.Open(); }), "Lookup information for field 'LOOK' is incomplete");
    EXPECT_FALSE(bad.Active());
}

TEST(TDataSet, PersistentFieldsKeepTheirOrderAndCheckTheSource) {
    TMemTable t;
    t.addFieldDef("ID", TFieldType::ftFloat);
    t.addFieldDef("NAME", TFieldType::ftString, 60);
    auto* name = addField<TStringField>(t, "NAME");
    auto* id = addField<TFloatField>(t, "ID");
    t.Open();
    EXPECT_EQ(t.FieldNames(), QStringList({"NAME", "ID"}));
    EXPECT_EQ(name->Size(), 60);
    t.Close();
    EXPECT_EQ(t.FieldCount(), 2); // persistent fields outlive the close

    id->setIndex(0);
    EXPECT_EQ(t.FieldNames(), QStringList({"ID", "NAME"}));

    name->setDataSet(nullptr);
    addField<TIntegerField>(t, "NAME");
    EXPECT_EQ(failureOf([&] { t.Open(); }),
              "Type mismatch for field 'NAME', expecting: Integer actual: String");
    EXPECT_FALSE(t.Active());

    // Without persistent fields the dataset makes them from the columns.
    TMemTable dyn;
    dyn.addFieldDef("ID", TFieldType::ftFloat);
    dyn.addFieldDef("TEXT", TFieldType::ftMemo);
    dyn.Open();
    ASSERT_EQ(dyn.FieldCount(), 2);
    EXPECT_NE(qobject_cast<TFloatField*>(dyn.Fields()[0]), nullptr);
    EXPECT_NE(qobject_cast<TMemoField*>(dyn.Fields()[1]), nullptr);
    dyn.Close();
    EXPECT_EQ(dyn.FieldCount(), 0);
}

TEST(TDataSet, EventHandlersCopyByName) {
    auto a = sampleTopics();
    TMemTable b;
    int posts = 0;
    a->AfterPost = [&posts](TDataSet*) { ++posts; };
    a->OnFilterRecord = [](TDataSet*, bool& accept) { accept = false; };
    EXPECT_TRUE(a->events().assigned("afterpost"));
    EXPECT_FALSE(a->events().assigned("BeforePost"));
    EXPECT_EQ(b.events().copyFrom(a->events()), a->events().names().size());
    ASSERT_TRUE(bool(b.AfterPost));
    b.AfterPost(&b);
    EXPECT_EQ(posts, 1);
    EXPECT_TRUE(bool(b.OnFilterRecord));
    EXPECT_TRUE(a->events().names().contains("OnCalcFields"));
}

TEST(TDataSet, ReadsOtherRecordsWithoutMoving) {
    auto t = sampleTopics();
    t->Next();
    t->Edit();
    t->FieldByName("NAME")->setAsString("Editing");
    QStringList seen;
    for (int i = 0; i < t->RecordCount(); ++i)
        t->ReadRecordAt(i, [&] { seen << t->FieldByName("NAME")->AsString(); });
    EXPECT_EQ(seen, QStringList({"Intro", "Editing", "Menus", "intro again", "Zebra"}));
    EXPECT_EQ(t->State(), TDataSetState::dsEdit);
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Editing");
    EXPECT_THROW(t->ReadRecordAt(5, [] {}), EDatabaseError);
}
