#include "KivLook.h"
#include "KitFolder.h"
#include "KivFormDB.h"
#include "LookupField.h"
#include "RecordingUI.h"

namespace {

void type(QWidget* w, const QString& text) {
    for (const QChar c : text)
        press(w, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

} // namespace

// A go-to list over the demo topics: key ID, columns ID and NAME, NAME shown.
class KivLookTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = table();
        topics->setIndexFieldNames("ID");
        list.setDataSet(topics);
        topics->Open();
        topics->FieldByName("NAME")->setDisplayLabel("Title");
        combo = new TKivDBLookupCombo(&form);
        combo->setListSource(&list);
        combo->setKeyField("ID");
        combo->setListField("ID;NAME");
        combo->setListFieldIndex(1);
    }
    QVariant key() const { return combo->KeyValue(); }

    RecordingUI::Scope ui;
    TDataSource list;
    TKivTable* topics = nullptr;
    QWidget form;
    TKivDBLookupCombo* combo = nullptr;
};

TEST_F(KivLookTest, ShowsTheListFieldOfTheKeyAndCyclesTheColumns) {
    combo->setKeyValue(30);
    EXPECT_EQ(combo->currentText(), "Menus");
    EXPECT_EQ(combo->count(), 1); // the whole list is read when it opens
    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->currentText(), "Menus");
    EXPECT_EQ(combo->model()->headerData(1, Qt::Horizontal).toString(), "Title");
    press(combo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(combo->ListFieldIndex(), 0);
    EXPECT_EQ(combo->currentText(), "30");
    press(combo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(combo->currentText(), "Menus");

    // A new row of the list shows up.
    sql("insert into \"demo.dbf\" (ID, NAME) values (50, 'Index')");
    topics->Refresh();
    combo->setKeyValue(50);
    EXPECT_EQ(combo->currentText(), "Index");
}

TEST_F(KivLookTest, TheCodeEditFindsTheFirstTitleBeginningWithWhatWasTyped) {
    QList<QVariant> changes;
    combo->OnChange = [&](QObject*) { changes << combo->KeyValue(); };
    type(combo, "i");
    ASSERT_NE(combo->CodeEdit(), nullptr);
    EXPECT_TRUE(combo->CodeEdit()->isVisibleTo(&form));
    EXPECT_EQ(combo->CodeEdit()->text(), "i");
    type(combo->CodeEdit(), "NT");
    leave(combo->CodeEdit());
    EXPECT_EQ(key(), 10); // "intro", in any case
    EXPECT_EQ(combo->currentText(), "intro");
    EXPECT_FALSE(combo->CodeEdit()->isVisibleTo(&form));

    combo->ApplyCode("xyz");
    EXPECT_EQ(ui->messages, QStringList({"Incorrect value"}));
    EXPECT_EQ(key(), 10);
    combo->ApplyCode("");
    EXPECT_TRUE(key().isNull());
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(changes.size(), 2);

    // Esc drops the input.
    combo->OpenCodeEdit("ab");
    press(combo->CodeEdit(), Qt::Key_Escape);
    leave(combo->CodeEdit());
    EXPECT_TRUE(key().isNull());
}

TEST_F(KivLookTest, AKeyOutsideTheListIsTakenAsTheKeyFieldsKind) {
    combo->setOptions(combo->Options() | foValueNotInLookup);
    combo->setListFieldIndex(0);
    combo->ApplyCode("99");
    EXPECT_EQ(key(), 99);
    EXPECT_EQ(combo->currentIndex(), -1);
    combo->ApplyCode("9x");
    EXPECT_EQ(ui->messages, QStringList({"Incorrect information"}));
    EXPECT_EQ(key(), 99);
}

TEST_F(KivLookTest, UpAndDownMoveThroughTheListOnlyWhenAllowed) {
    combo->setKeyValue(20);
    press(combo, Qt::Key_Down);
    EXPECT_EQ(key(), 30);
    combo->setOptions(foEditWindow);
    press(combo, Qt::Key_Down);
    EXPECT_EQ(key(), 30);
}

TEST_F(KivLookTest, ABoundFieldStoresTheKeyAndTheEditWindowCanChooseIt) {
    sql("create table \"links.dbf\" (TOPIC numeric(8), WORD char(10))");
    sql("insert into \"links.dbf\" values (20, 'a')");
    TKivTable* links = table("links.dbf");
    // The word shows the linked topic's title through a lookup field.
    auto* look = lookupField(links, "TITLE", topics, "TOPIC", "ID", "NAME");
    addField<TFloatField>(links, "TOPIC");
    addField<TStringField>(links, "WORD");
    look->setDataSet(links);
    TDataSource linkSource;
    linkSource.setDataSet(links);
    links->Open();
    combo->setDataSource(&linkSource);
    combo->setDataField("TITLE");
    EXPECT_EQ(key(), 20);
    EXPECT_EQ(combo->currentText(), "About");

    combo->ChooseKey(40);
    EXPECT_EQ(links->State(), TDataSetState::dsEdit);
    EXPECT_EQ(links->FieldByName("TOPIC")->AsInteger(), 40);
    EXPECT_EQ(look->AsString(), "Install");

    // Alt+F1: the list's own window picks 30 while the link row is mid-edit.
    int tagSeen = 0;
    topics->OnEditData = [&](QObject*, TTypeShow show, TFieldReturn* back) {
        EXPECT_EQ(show, 2);
        EXPECT_EQ(back->FieldName(), "TOPIC");
        EXPECT_EQ(back->Value(), 40);
        tagSeen = links->Tag();
        back->setValue(30);
        KivValueReturned() = true;
    };
    press(combo, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(tagSeen, 80);
    EXPECT_EQ(links->Tag(), 0);
    EXPECT_EQ(links->FieldByName("TOPIC")->AsInteger(), 30);

    // A window closed without a choice changes nothing.
    topics->OnEditData = [](QObject*, TTypeShow, TFieldReturn* back) { back->setValue(10); };
    combo->EditData();
    EXPECT_EQ(links->FieldByName("TOPIC")->AsInteger(), 30);
}
