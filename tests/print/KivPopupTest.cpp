#include "KivPopup.h"
#include "../kit/KitFolder.h"
#include "KivGrid.h"
#include "KivRich.h"
#include "RecordingUI.h"

#include <QApplication>

namespace {

QStringList shownItems(const QMenu& menu) {
    QStringList items;
    for (const QAction* a : menu.actions())
        if (!a->isSeparator() && a->isVisible()) items << a->text();
    return items;
}

} // namespace

class KivPopupTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = topicsOn(source);
        grid = new TKivDbGrid(&form);
        grid->setDataSource(&source);
    }
    RecordingUI::Scope ui;
    TDataSource source;
    TKivTable* topics = nullptr;
    QWidget form;
    TKivDbGrid* grid = nullptr;
};

TEST_F(KivPopupTest, EachMenuPutsItsOwnItemsBeforeItsBases) {
    EXPECT_EQ(
        shownItems(TPopupMenuKivDBRichEdit::Instance()),
        QStringList({"Font", "Basic font", "Paragraph", "Search / replace", "Search/replace next",
                     "Print", "Copy", "Insert", "Select All", "Edit record", "Post edit",
                     "Cancel edit", "Refresh data", "Clone record"}));
    EXPECT_EQ(shownItems(TPopupMenuKivDBGrid::Instance()).mid(0, 5),
              QStringList({"Fields visibility", "Print", "Print record", "Grid - One record",
                           "Pick length of fields"}));
}

TEST_F(KivPopupTest, AnEmptyTableOffersLittleAndCloneNeedsItsAction) {
    TPopupMenuKivDBGrid& menu = TPopupMenuKivDBGrid::Instance();
    menu.Prepare(grid);
    EXPECT_TRUE(menu.EditRecord->isEnabled());
    EXPECT_TRUE(menu.Print->isEnabled());
    sql("delete from \"demo.dbf\"");
    topics->Refresh();
    menu.Prepare(grid);
    EXPECT_FALSE(menu.EditRecord->isEnabled());
    EXPECT_FALSE(menu.Print->isEnabled());
    EXPECT_FALSE(menu.PrintRecord->isEnabled());
    EXPECT_TRUE(menu.RefreshData->isEnabled());
    EXPECT_TRUE(menu.CloneRecord->isEnabled());
    topics->setActions(kivDefaultActions & ~TKivDataSetActions(daClone));
    menu.Prepare(grid);
    EXPECT_FALSE(menu.CloneRecord->isEnabled());
}

TEST_F(KivPopupTest, DeleteAsksWithTheCaptionUnlessTheDatasetSaysNo) {
    topics->setCaption("Topics");
    TPopupMenuKivDBControls& menu = TPopupMenuKivDBFieldControls::Instance();
    menu.Prepare(grid);
    bool allow = false;
    topics->OnAction = [&](QObject*, TDataSet*, TKivDataSetAction action, bool& need) {
        if (action == daDelete) need = allow;
    };
    menu.DeleteRecord->trigger();
    EXPECT_TRUE(ui->questions.isEmpty());
    EXPECT_EQ(topics->RecordCount(), 4);
    allow = true;
    ui->answers.enqueue(UIServices::Answer::Ok);
    menu.Prepare(grid);
    menu.DeleteRecord->trigger();
    EXPECT_EQ(ui->questions, QStringList({"Topics\nDelete record?"}));
    EXPECT_EQ(topics->RecordCount(), 3);
}

TEST_F(KivPopupTest, AShortcutWorksOnTheFocusedControlThatUsesTheMenu) {
    auto* edit = new TKivDBRichEdit(&form);
    edit->setDataSource(&source);
    edit->setDataField("TEXT");
    KivUseContextMenu(edit, TPopupMenuKivDBRichEdit::Instance());
    form.show();
    QApplication::setActiveWindow(&form);
    edit->setFocus();
    topics->Edit();
    TPopupMenuKivDBRichEdit::Instance().PostEdit->trigger();
    EXPECT_EQ(topics->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(edit->actions().contains(TPopupMenuKivDBRichEdit::Instance().PostEdit));
}

TEST_F(KivPopupTest, GridOneRecordSwitchesToTheRecordViewAndBack) {
    TPopupMenuKivDBGrid& menu = TPopupMenuKivDBGrid::Instance();
    menu.Prepare(grid);
    menu.GridOneRecord->trigger();
    auto* view =
        qobject_cast<TKivScrollBoxForGrid*>(grid->property("KivRecordView").value<QObject*>());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->Shown());
    menu.Prepare(view); // the view's own menu is the grid's
    EXPECT_TRUE(menu.Print->isEnabled());
    menu.GridOneRecord->trigger();
    EXPECT_FALSE(view->Shown());
}
