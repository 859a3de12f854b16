#include "KitFolder.h"
#include "KivFilt.h"
#include "KivFormDB.h"
#include "KivForms.h"
#include "KivStartUp.h"
#include "KivTable.h"
#include "LookupField.h"
#include "RecordingUI.h"

#include <QApplication>
#include <QEvent>

// A control that shows a data source and, for lists, takes rows from another.
class TSampleControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource MEMBER DataSource)
    Q_PROPERTY(TDataSource* ListSource MEMBER ListSource)
public:
    using QObject::QObject;
    TDataSource* DataSource = nullptr;
    TDataSource* ListSource = nullptr;
};

// A control bound to one field: a form does not rebind it.
class TSampleFieldControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource MEMBER DataSource)
    Q_PROPERTY(QString DataField MEMBER DataField)
public:
    using QObject::QObject;
    TDataSource* DataSource = nullptr;
    QString DataField;
};

class KivFormsDataTest : public KitFolder {
protected:
    TKivQuery* query(QObject* owner, int tag,
                     const QString& text = "select ID, NAME from \"demo.dbf\" order by ID") {
        TKivQuery* q = KitFolder::query(text, "demo.dbf", owner);
        q->setTag(tag);
        return q;
    }
    TKivTable* table(QObject* owner, int tag, const QString& name = "demo.dbf") {
        TKivTable* t = KitFolder::table(name, owner);
        t->setIndexFieldNames(name == "demo.dbf" ? "ID" : "");
        t->setTag(tag);
        return t;
    }
    // A control on `form` showing `ds` through a new data source.
    TDataSource* show(QObject* form, TDataSet* ds, bool asList = false) {
        auto* source = new TDataSource(form);
        source->setDataSet(ds);
        auto* control = new TSampleControl(form);
        (asList ? control->ListSource : control->DataSource) = source;
        return source;
    }
    void addTopic(int id) {
        sql(QStringLiteral("insert into \"demo.dbf\" (ID, NAME) values (%1, 'New')").arg(id));
    }
    static void processDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(KivFormsDataTest, TwinCopiesDescriptionEventsAndFields) {
    TKivTable* t = table(&owned, 37);
    t->setCaption("Topics");
    t->setUniqueFields("ID");
    t->setSortingList({"ID", "NAME"});
    int scrolled = 0, actions = 0;
    t->AfterScroll = [&](TDataSet*) { ++scrolled; };
    t->OnAction = [&](QObject*, TDataSet*, TKivDataSetAction, bool&) { ++actions; };
    TKivQuery defaults; // a table with default fields gives no fields
    t->Open();
    TwinDataSet(t, &defaults);
    EXPECT_EQ(defaults.FieldCount(), 0);
    t->Close();
    auto* number = addField<TFloatField>(t, "ID");
    number->setDisplayLabel("Number");
    addField<TStringField>(t, "NAME");

    TKivQuery q;
    auto* existing = addField<TStringField>(&q, "NAME");
    TwinDataSet(t, &q);
    EXPECT_EQ(q.DatabaseName(), dir.path());
    EXPECT_EQ(q.TableName(), "demo.dbf");
    EXPECT_EQ(q.Caption(), "Topics");
    EXPECT_EQ(q.UniqueFields(), "ID");
    EXPECT_EQ(q.Tag(), 37);
    EXPECT_EQ(q.SortingList(), QStringList({"ID", "NAME"}));
    ASSERT_EQ(q.FieldCount(), 2);
    EXPECT_EQ(q.Fields()[0], existing); // a field of the same name is kept
    EXPECT_EQ(q.FieldByName("ID")->DisplayLabel(), "Number");
    EXPECT_NE(q.FieldByName("ID"), number);

    q.setSQL({"select ID, NAME from \"demo.dbf\" order by ID"});
    q.Open();
    q.Next();
    EXPECT_GT(scrolled, 0);
    bool need = true;
    KivGetOnAction (&q)(nullptr, &q, daInsert, need);
    EXPECT_EQ(actions, 1);

    // An empty database name does not overwrite the query's.
    TKivTable bare;
    TKivQuery other;
    other.setDatabaseName("/kept");
    TwinDataSet(&bare, &other);
    EXPECT_EQ(other.DatabaseName(), "/kept");

    // The twin finds the table's record by the unique key, in any case.
    t->Open();
    t->Locate("ID", 30);
    t->setUniqueFields("NAME");
    sql("update \"demo.dbf\" set NAME = 'MENUS' where ID = 30");
    q.Close();
    q.Open();
    EXPECT_TRUE(LocateSameRecord(t, &q));
    EXPECT_EQ(id(q), 30);
    t->Close();
    EXPECT_FALSE(LocateSameRecord(t, &q));
}

TEST_F(KivFormsDataTest, RefreshPassFollowsTheTagDigits) {
    QObject form;
    TKivQuery* refreshed = query(&form, 90);
    TKivQuery* ignored = query(&form, 0);
    TKivQuery* editing = query(&form, 91);
    editing->setRequestLive(true);
    TKivTable* neverOpened = table(&form, 80);
    TKivTable* opened = table(&form, 0, "plain.dbf");
    for (TDataSet* ds : {(TDataSet*)refreshed, (TDataSet*)ignored, (TDataSet*)editing})
        ds->Open();
    for (TDataSet* ds : {(TDataSet*)refreshed, (TDataSet*)ignored, (TDataSet*)editing,
                         (TDataSet*)neverOpened, (TDataSet*)opened})
        show(&form, ds);
    refreshed->Locate("ID", 30);
    editing->Edit();
    editing->FieldByName("NAME")->setAsString("Changed");
    addTopic(50);

    KivRefreshPass(&form, false);
    EXPECT_EQ(refreshed->RecordCount(), 5);
    EXPECT_EQ(id(*refreshed), 30); // position kept
    EXPECT_EQ(ignored->RecordCount(), 4);
    EXPECT_EQ(editing->State(), TDataSetState::dsEdit);
    EXPECT_EQ(editing->FieldByName("NAME")->AsString(), "Changed");
    EXPECT_FALSE(neverOpened->Active());
    EXPECT_TRUE(opened->Active());

    editing->Cancel();
    KivRefreshPass(&form, true);
    EXPECT_EQ(ignored->RecordCount(), 5);
    EXPECT_TRUE(neverOpened->Active());
}

TEST_F(KivFormsDataTest, CollectedDataSetsPutListsAndLookupsFirst) {
    QObject form;
    TKivTable* shown = table(&form, 0, "plain.dbf");
    TKivTable* lookup = table(&form, 0);
    TKivQuery* list = query(&form, 0);
    addField<TStringField>(shown, "CODE");
    lookupField<TStringField>(shown, "TOPIC", lookup, "CODE", "NAME", "NAME")->setDataSet(shown);
    show(&form, shown);
    show(&form, list, true);
    show(&form, shown); // once only
    EXPECT_EQ(KivCollectDataSets(&form), QList<TDataSet*>({list, lookup, shown}));
}

TEST_F(KivFormsDataTest, DetailIsNotRefreshedBeforeItsMaster) {
    QObject form;
    TKivTable* master = table(&form, 90);
    TKivQuery* detail = query(&form, 90, "select NAME from \"demo.dbf\" where ID = :ID");
    TDataSource* masterSource = show(&form, master);
    detail->setDataSource(masterSource);
    master->Open();
    detail->Open();
    show(&form, detail);
    int reopened = 0;
    detail->AfterOpen = [&](TDataSet*) { ++reopened; };
    KivRefreshPass(&form, false);
    EXPECT_EQ(reopened, 1); // once, with its master
    master->setTag(0);      // the master is not refreshed: the detail is
    KivRefreshPass(&form, false);
    EXPECT_EQ(reopened, 2);
}

class KivStartUpTest : public KivFormsDataTest {};

TEST_F(KivStartUpTest, OpensTaggedDataSetsAndPostsEditsBeforeTheModuleGoes) {
    RecordingUI::Scope ui;
    auto module = std::make_unique<TDataModule>();
    TKivTable* tagged = table(module.get(), 19);
    TKivTable* untagged = table(module.get(), 18);
    QStringList calls;
    module->OnDestroy = [&](QObject*) {
        calls << QStringLiteral("saved handler, state %1").arg(int(tagged->State()));
    };
    EXPECT_TRUE(KivDataModules().contains(module.get()));
    KivStartUp(true);
    EXPECT_TRUE(tagged->Active());
    EXPECT_FALSE(untagged->Active());

    tagged->Locate("ID", 20);
    tagged->Edit();
    tagged->FieldByName("NAME")->setAsString("Stored");
    module.reset();
    EXPECT_EQ(calls, QStringList({"saved handler, state 1"})); // browse when it ran
    EXPECT_EQ(SelectValue(dir.path(), "select NAME from \"demo.dbf\" where ID = 20").toString(),
              "Stored");
    EXPECT_TRUE(KivDataModules().isEmpty());
    EXPECT_TRUE(ui->messages.isEmpty());

    // An edit that cannot be stored is reported and dropped.
    module = std::make_unique<TDataModule>();
    TKivTable* t = table(module.get(), 9);
    KivStartUp(true);
    t->BeforePost = [](TDataSet*) { throw EDatabaseError("Field 'NAME' must have a value"); };
    t->Edit();
    t->FieldByName("NAME")->setAsString("Lost");
    module.reset();
    EXPECT_EQ(ui->errors, QStringList({"Field 'NAME' must have a value"}));
}

TEST_F(KivStartUpTest, ActivatingATag9WindowRunsTheRefreshPassUnlessBusy) {
    KivStartUp(false);
    TFormDB form;
    TKivQuery* q = query(&form, 90);
    q->Open();
    show(&form, q);
    addTopic(50);
    KivActiveFormChanged(&form); // Tag 0: nothing
    form.setTag(9);
    TKivApp::instance().enterBusy(); // a kit message box is up
    KivActiveFormChanged(&form);
    TKivApp::instance().leaveBusy();
    EXPECT_EQ(q->RecordCount(), 4);
    form.show();
    form.activateWindow();
    for (int i = 0; i < 20 && QApplication::activeWindow() != &form; ++i)
        QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &form);
    EXPECT_EQ(q->RecordCount(), 5);
}

class TFormDBTest : public KivFormsDataTest {};

TEST_F(TFormDBTest, AttachWithDataReadOnlyAndRestoreOnDetach) {
    TKivTable* t = table(&owned, 0);
    t->setCachedUpdates(true);
    t->setIndexFieldNames("NAME");
    TDataSource source;
    source.setDataSet(t);
    {
        TFormDB form;
        form.setOptions(foDataReadOnly);
        form.setDataSource(&source);
        form.AttachDataSet(t); // the table is closed: the form opens it
        EXPECT_TRUE(t->Active());
        EXPECT_TRUE(t->ReadOnly());
        EXPECT_TRUE(t->CachedUpdates()); // kept while data are read-only
        t->setIndexFieldNames("ID");

        form.setDataSource(nullptr);
        EXPECT_FALSE(t->Active());
        EXPECT_FALSE(t->ReadOnly());
        EXPECT_EQ(t->IndexFieldNames(), "NAME");
    }

    // An open table is reopened read-only; destroying the form puts it back
    // and leaves the shared data source its dataset.
    t->setCachedUpdates(false);
    t->Open();
    {
        TFormDB form;
        form.setOptions(foDataReadOnly);
        form.setDataSource(&source);
        EXPECT_TRUE(t->Active());
        EXPECT_TRUE(t->ReadOnly());
        EXPECT_FALSE(t->CanModify());
    }
    EXPECT_TRUE(t->Active());
    EXPECT_FALSE(t->ReadOnly());
    EXPECT_EQ(source.DataSet(), t);

    // A data source that goes away lets the dataset go too.
    TFormDB form;
    form.setOptions(foDataReadOnly);
    auto shortLived = std::make_unique<TDataSource>();
    shortLived->setDataSet(t);
    form.setDataSource(shortLived.get());
    EXPECT_TRUE(t->ReadOnly());
    shortLived.reset();
    EXPECT_EQ(form.DataSource(), nullptr);
    EXPECT_FALSE(t->ReadOnly());
    EXPECT_TRUE(t->Active());
}

TEST_F(TFormDBTest, EditableFormSwitchesCachedUpdatesOffAndRestoresThem) {
    TKivTable* t = table(&owned, 0);
    t->setCachedUpdates(true);
    t->setReadOnly(true);
    TFormDB form;
    form.setWindowTitle("Before");
    form.AttachDataSet(t); // no data source: the form makes its own
    ASSERT_NE(form.OwnDataSource(), nullptr);
    EXPECT_EQ(form.DataSource(), form.OwnDataSource());
    EXPECT_FALSE(t->CachedUpdates());
    EXPECT_FALSE(t->ReadOnly());
    EXPECT_TRUE(t->Active());
    EXPECT_EQ(form.windowTitle(), "Before"); // empty dataset caption: unchanged

    TKivTable* other = table(&owned, 0, "plain.dbf");
    other->setCaption("Plain");
    form.AttachDataSet(other);
    EXPECT_TRUE(t->CachedUpdates());
    EXPECT_TRUE(t->ReadOnly());
    EXPECT_FALSE(t->Active());
    EXPECT_TRUE(other->Active());
    EXPECT_EQ(form.windowTitle(), "Plain");
}

TEST_F(TFormDBTest, OwnedControlsFollowANewDataSource) {
    TKivTable* t = table(&owned, 0);
    TDataSource first, second, unrelated;
    first.setDataSet(t);
    second.setDataSet(t);
    TFormDB form;
    form.setDataSource(&first);
    auto* grid = new TSampleControl(&form);
    auto* edit = new TSampleFieldControl(&form);
    auto* elsewhere = new TSampleControl(&form);
    grid->DataSource = &first;
    edit->DataSource = &first;
    elsewhere->DataSource = &unrelated;
    form.setDataSource(&second);
    EXPECT_EQ(grid->DataSource, &second);
    EXPECT_EQ(edit->DataSource, &first); // bound to a field: left alone
    EXPECT_EQ(elsewhere->DataSource, &unrelated);
    EXPECT_EQ(form.DataSource(), &second);
}

TEST_F(TFormDBTest, CloseFreesOrHidesAndPostsTheEdit) {
    RecordingUI::Scope ui;
    TKivTable* t = table(&owned, 0);
    QPointer<TFormDB> form = new TFormDB;
    form->AttachDataSet(t);
    t->Locate("ID", 10);
    t->Edit();
    t->FieldByName("NAME")->setAsString("Posted");
    form->show();
    // An edit that cannot be stored keeps the window open and the edit pending.
    t->BeforePost = [](TDataSet*) { throw EDatabaseError("Key violation"); };
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(t->State(), TDataSetState::dsEdit);
    EXPECT_EQ(ui->errors, QStringList({"Key violation"}));

    t->BeforePost = nullptr;
    QStringList calls;
    form->OnClose = [&](QObject*, TCloseAction& action) { calls << QString::number(int(action)); };
    EXPECT_TRUE(form->close());
    processDeletes();
    EXPECT_TRUE(form.isNull()); // default options: freed
    EXPECT_EQ(calls, QStringList({QString::number(int(TCloseAction::caFree))}));
    EXPECT_FALSE(t->Active()); // closed again, as it was before the form opened it
    EXPECT_EQ(SelectValue(dir.path(), "select NAME from \"demo.dbf\" where ID = 10").toString(),
              "Posted");

    // Without foFreeOnClose the form is only hidden, handing back the field value.
    TFormDB kept;
    kept.setOptions({});
    kept.AttachDataSet(t);
    TFieldReturn ret;
    ret.setFieldName("ID");
    ret.setValue(30);
    kept.setFieldReturn(&ret);
    kept.Activate();
    EXPECT_EQ(id(*t), 30);
    t->Locate("ID", 40);
    kept.show();
    EXPECT_TRUE(kept.close());
    processDeletes();
    EXPECT_FALSE(kept.isVisible());
    EXPECT_EQ(ret.Value().toInt(), 40);
}

TEST_F(TFormDBTest, FitWidthWidensForTheVisibleFields) {
    TKivTable* t = table(&owned, 0);
    TFormDB form;
    form.resize(100, 100);
    form.AttachDataSet(t);
    t->FieldByName("TEXT")->setVisible(false);
    t->FieldByName("ID")->setDisplayWidth(2);
    t->FieldByName("NAME")->setDisplayWidth(10);
    EXPECT_TRUE(form.FitWidthBy(5, 45, false));
    EXPECT_EQ(form.width(), 5 * (3 + 11) + 45);
    t->FieldByName("ID")->setDisplayLabel("A long label");
    EXPECT_TRUE(form.FitWidthBy(5, 45, true));
    EXPECT_EQ(form.width(), 5 * (13 + 11) + 45);
    EXPECT_TRUE(form.FitWidthBy(1, 0, false)); // never narrower
    EXPECT_EQ(form.width(), 5 * (13 + 11) + 45);
    EXPECT_FALSE(form.FitWidthBy(100000, 0, false));
}

#include "KivFormsDataTest.moc"
