#include "KivContr.h"
#include "KitFolder.h"
#include "KivDB.h"
#include "RecordingUI.h"
#include "StateField.h"
#include "TMemTable.h"

#include <QAbstractItemView>

class KivContrTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = topicsOn(source);
    }
    RecordingUI::Scope ui;
    TDataSource source;
    TKivTable* topics = nullptr;
    QWidget form;
};

TEST_F(KivContrTest, AnEditTypesIntoTheRecordAndWritesWhenLeft) {
    auto* edit = new TKivDBEdit(&form);
    edit->setDataSource(&source);
    edit->setDataField("NAME");
    ASSERT_TRUE(topics->Locate("ID", 30));
    EXPECT_EQ(edit->text(), "Menus");
    EXPECT_EQ(edit->maxLength(), 40);

    press(edit, Qt::Key_End);
    EXPECT_EQ(topics->State(), TDataSetState::dsBrowse); // moving the caret changes nothing
    press(edit, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(topics->State(), TDataSetState::dsEdit);
    EXPECT_EQ(edit->text(), "Menusx");
    leave(edit);
    EXPECT_EQ(topics->FieldByName("NAME")->AsString(), "Menusx");
    topics->Post();

    // Esc drops what was typed.
    press(edit, Qt::Key_Y, Qt::NoModifier, "y");
    press(edit, Qt::Key_Escape);
    EXPECT_EQ(edit->text(), "Menusx");
    leave(edit);
    EXPECT_EQ(topics->FieldByName("NAME")->AsString(), "Menusx");

    // A read-only edit takes no input.
    topics->Cancel();
    edit->setReadOnly(true);
    press(edit, Qt::Key_Z, Qt::NoModifier, "z");
    EXPECT_EQ(topics->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(edit->text(), "Menusx");
}

TEST_F(KivContrTest, AValueTheFieldRefusesIsShownAndTheEditKeepsIt) {
    auto* edit = new TKivDBEdit(&form);
    edit->setDataSource(&source);
    edit->setDataField("ID");
    press(edit, Qt::Key_A, Qt::NoModifier, "a");
    leave(edit);
    ASSERT_EQ(ui->errors.size(), 1);
    EXPECT_TRUE(ui->errors[0].contains("ID")) << ui->errors[0].toStdString();
    EXPECT_EQ(edit->text(), "10a");
}

TEST_F(KivContrTest, EnterMovesTheFocusOn) {
    auto* first = new TKivDBEdit(&form);
    auto* second = new TKivDBEdit(&form);
    form.show();
    QApplication::setActiveWindow(&form);
    first->setFocus();
    press(first, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(second->hasFocus());
}

class ListCombo : public ::testing::Test {
protected:
    void SetUp() override {
        state = addStateField(table);
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        table.Append();
        table.Post();
        source.setDataSet(&table);
        combo = new TKivDBCombo(&form);
        combo->setDataSource(&source);
        combo->setDataField("State");
    }
    RecordingUI::Scope ui;
    TMemTable table;
    TDataSource source;
    TKivListField* state = nullptr;
    QWidget form;
    TKivDBCombo* combo = nullptr;
};

TEST_F(ListCombo, DigitsPickTheStateAndDeleteEmptiesIt) {
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->property("Items").toInt(), 4);
    press(combo, Qt::Key_2, Qt::NoModifier, "2");
    EXPECT_EQ(state->AsString(), "Test");
    EXPECT_EQ(combo->currentText(), "Test");
    press(combo, Qt::Key_5, Qt::NoModifier, "5"); // above the last state: a beep
    EXPECT_EQ(state->AsInteger(), 2);
    press(combo, Qt::Key_Delete);
    EXPECT_TRUE(state->IsNull());
    EXPECT_EQ(combo->currentIndex(), 0);

    // New texts reach the list.
    state->setValues({"", "Write", "Test", "Ready", "Done"});
    EXPECT_EQ(combo->count(), 5);
    press(combo, Qt::Key_4, Qt::NoModifier, "4");
    EXPECT_EQ(state->AsString(), "Done");
}

TEST_F(ListCombo, ChoosingAnEntryStoresIt) {
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    EXPECT_EQ(state->AsString(), "Ready");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
}

TEST_F(KivContrTest, SortingComboListsTheTablesIndexesAndKeepsTheRecord) {
    topics->FieldByName("NAME")->setDisplayLabel("Title");
    auto* combo = new TKivDBSortingCombo(&form);
    combo->setDataSource(&source);
    EXPECT_TRUE(combo->IndexMode());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "ID");
    EXPECT_EQ(combo->itemText(1), "Title");
    EXPECT_EQ(combo->currentIndex(), 0);

    ASSERT_TRUE(topics->Locate("ID", 30));
    emit combo->activated(1);
    EXPECT_EQ(topics->IndexFieldNames(), "NAME");
    EXPECT_EQ(id(*topics), 30);
    topics->First();
    EXPECT_EQ(topics->FieldByName("NAME")->AsString(), "About");
}

TEST_F(KivContrTest, SortingComboOnAQuerySelectsItsOrderAndRewritesIt) {
    TKivQuery* q = query("select ID, NAME from \"demo.dbf\"\norder by NAME");
    q->setSortingList({"ID", "NAME"});
    q->Open();
    TDataSource qs;
    qs.setDataSet(q);
    auto* combo = new TKivDBSortingCombo(&form);
    combo->setDataSource(&qs);
    EXPECT_FALSE(combo->IndexMode());
    EXPECT_EQ(combo->currentText(), "NAME");
    ASSERT_TRUE(q->Locate("ID", 40));
    emit combo->activated(0);
    EXPECT_EQ(q->SQL().join('\n'), "select ID, NAME from \"demo.dbf\"\norder by ID");
    EXPECT_EQ(id(*q), 40);
    EXPECT_EQ(ids(*q), QList<int>({10, 20, 30, 40}));
    // No data source, or a closed one: empty.
    q->Close();
    EXPECT_EQ(combo->count(), 0);
}
