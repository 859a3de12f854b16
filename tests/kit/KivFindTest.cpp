#include "KivFind.h"
#include "KitFolder.h"
#include "KivContr.h"
#include "KivLook.h"
#include "LookupField.h"
#include "RecordingUI.h"

#include <QApplication>
#include <QTimer>

class KivFindTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = table();
        topics->setIndexName("I_Id");
        source.setDataSet(topics);
        finder.setDataSource(&source);
        topics->Open();
    }
    // Prepares a search with `values` typed into its record.
    void begin(const QVariantMap& values = {}) {
        ASSERT_TRUE(finder.BeginSearch());
        for (auto it = values.begin(); it != values.end(); ++it)
            finder.FindDataSet()->FieldByName(it.key())->setValue(it.value());
    }
    void options(bool caseSensitive, bool full) {
        finder.Dialog()->CheckBoxCase->setChecked(caseSensitive);
        finder.Dialog()->CheckBoxFull->setChecked(full);
    }
    bool find() {
        const bool moved = finder.FindChosen();
        finder.EndSearch();
        EXPECT_FALSE(topics->ControlsDisabled());
        EXPECT_EQ(topics->State(), TDataSetState::dsBrowse);
        return moved;
    }

    RecordingUI::Scope ui;
    TDataSource source;
    TKivFindDlg finder;
    TKivTable* topics = nullptr;
};

TEST_F(KivFindTest, NothingToSearchEndsQuietlyOrWithItsMessage) {
    TKivFindDlg alone;
    EXPECT_FALSE(alone.Execute());
    topics->Close(); // no project open
    EXPECT_FALSE(finder.Execute());
    EXPECT_TRUE(ui->messages.isEmpty());

    TKivTable* plain = table("plain.dbf");
    plain->Open();
    source.setDataSet(plain);
    EXPECT_FALSE(finder.Execute());
    EXPECT_EQ(ui->messages,
              QStringList({"Fields for sorting must be defined! Search is impossible"}));
    EXPECT_FALSE(plain->ControlsDisabled());

    auto* gone = new TDataSource;
    finder.setDataSource(gone);
    delete gone;
    EXPECT_EQ(finder.DataSource(), nullptr);
}

TEST_F(KivFindTest, NumberOrderSearchesByKeyAndRemembersTheValue) {
    begin({{"ID", 30}});
    TDialFind* dialog = finder.Dialog();
    EXPECT_EQ(dialog->windowTitle(), "Search by sorting fields ID");
    EXPECT_FALSE(dialog->CheckBoxCase->isEnabled());
    ASSERT_EQ(dialog->Rows().size(), 1);
    EXPECT_TRUE(qobject_cast<TKivDBEdit*>(dialog->Rows()[0].Editor));
    EXPECT_EQ(dialog->Rows()[0].Label->buddy(), dialog->Rows()[0].Editor);
    EXPECT_TRUE(topics->ControlsDisabled());
    EXPECT_EQ(finder.FindDataSet()->FindField("TEXT"), nullptr); // blobs are left out

    // Options left off by a name search neither apply to a number nor change.
    options(false, false);
    EXPECT_TRUE(find());
    EXPECT_EQ(id(*topics), 30);
    EXPECT_EQ(topics->KeyFieldCount(), 1);
    EXPECT_TRUE(finder.CaseSensitive() && finder.FullCoincidence());

    begin();
    EXPECT_EQ(finder.FindDataSet()->FieldByName("ID")->AsInteger(), 30);
    finder.Cancelled();
    finder.EndSearch();
    EXPECT_FALSE(topics->ControlsDisabled());
    EXPECT_TRUE(ui->questions.isEmpty() && ui->messages.isEmpty());
}

TEST_F(KivFindTest, NameOrderLocatesWithTheOptionsAndOffersTheNearest) {
    topics->setIndexName("I_Name"); // About, Install, Menus, intro
    begin({{"NAME", "menus"}});
    EXPECT_TRUE(finder.Dialog()->CheckBoxCase->isEnabled());
    options(false, true);
    EXPECT_TRUE(find());
    EXPECT_EQ(id(*topics), 30);

    begin({{"NAME", "Ins"}});
    EXPECT_FALSE(finder.Dialog()->CheckBoxCase->isChecked()); // remembered
    options(true, false);
    EXPECT_TRUE(find());
    EXPECT_EQ(id(*topics), 40);
    EXPECT_TRUE(ui->questions.isEmpty());

    topics->First();
    begin({{"NAME", "Inz"}});
    options(true, true);
    ui->answers << UIServices::Answer::No << UIServices::Answer::Yes;
    EXPECT_FALSE(find());
    EXPECT_EQ(id(*topics), 20);
    EXPECT_EQ(ui->questions, QStringList({"Record not found!\nFind nearest?"}));
    begin({{"NAME", "Inz"}});
    EXPECT_TRUE(find());
    EXPECT_EQ(id(*topics), 30);

    // A locate forced by the options still offers the nearest record.
    begin({{"NAME", "Abz"}});
    options(false, true);
    ui->answers << UIServices::Answer::Yes;
    EXPECT_TRUE(find());
    EXPECT_EQ(ui->questions.size(), 3);
    EXPECT_EQ(id(*topics), 40);
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(KivFindTest, PartlyFilledOrdersSearchWhatWasGiven) {
    topics->setIndexFieldNames("NAME;ID");
    begin({{"ID", 99}});
    EXPECT_EQ(finder.Dialog()->windowTitle(), "Search by sorting fields NAME,ID");
    EXPECT_FALSE(find()); // a locate on ID alone, without the nearest offer
    EXPECT_EQ(ui->messages, QStringList({"Record not found!"}));
    EXPECT_TRUE(ui->questions.isEmpty());

    // Trailing empty values are dropped: the key search uses the name alone.
    begin({{"NAME", "intro"}, {"ID", QVariant()}});
    EXPECT_TRUE(find());
    EXPECT_EQ(id(*topics), 10);
    EXPECT_EQ(topics->KeyFieldCount(), 1);

    topics->First();
    begin({{"NAME", QVariant()}});
    EXPECT_FALSE(find());
    EXPECT_EQ(ui->messages.last(), "Any clauses are not defined! Search is impossible");
    EXPECT_EQ(id(*topics), 20);
}

TEST_F(KivFindTest, KeyShownThroughItsLookupFieldIsPickedFromTheList) {
    TKivTable* names = table();
    names->Open();
    TKivTable* searched = table();
    addField<TFloatField>(searched, "ID");
    auto* title = lookupField(searched, "TITLE", names, "ID", "ID", "NAME");
    title->setReadOnly(true); // the copy is made writable
    title->setDataSet(searched);
    searched->setIndexName("I_Id");
    searched->Open();
    source.setDataSet(searched);

    begin();
    EXPECT_EQ(finder.Dialog()->Rows()[0].Label->text(), "TITLE");
    auto* combo = qobject_cast<TKivDBLookupCombo*>(finder.Dialog()->Rows()[0].Editor);
    ASSERT_NE(combo, nullptr);
    combo->showPopup(); // the list is read when it opens
    combo->hidePopup();
    EXPECT_EQ(combo->count(), 4);
    combo->ChooseKey(40.0);
    EXPECT_TRUE(finder.FindChosen());
    EXPECT_EQ(id(*searched), 40);
}

TEST_F(KivFindTest, ColumnsFollowTheLongestLabelAndWidthUpToTheCaps) {
    topics->setIndexFieldNames("ID;NAME");
    topics->FieldByName("ID")->setDisplayLabel("Topic number");
    topics->FieldByName("NAME")->setDisplayWidth(50);
    begin();
    TDialFind* dialog = finder.Dialog();
    EXPECT_EQ(dialog->windowTitle(), "Search by sorting fields Topic number,NAME");
    EXPECT_EQ(QList<int>({dialog->LabelColumn(), dialog->EditColumn()}), QList<int>({120, 500}));
    EXPECT_EQ(dialog->Bevel->size(), QSize(628, 2 * 28 + 8));
    EXPECT_EQ(dialog->size(), QSize(648, 64 + 40 + dialog->PanelBottom->height()));
    EXPECT_EQ(dialog->Rows()[1].Label->pos(), QPoint(4, 36));
    EXPECT_EQ(dialog->Rows()[1].Editor->pos(), QPoint(124, 36));
    EXPECT_EQ(dialog->Rows()[1].Editor->width(), 52 * KivMeasureFont(dialog->font()).width());

    finder.setMaxLabelWidth(5);
    finder.setMaxEditWidth(20);
    begin();
    EXPECT_EQ(QList<int>({finder.Dialog()->LabelColumn(), finder.Dialog()->EditColumn()}),
              QList<int>({50, 200}));
    finder.setMaxLabelWidth(40);
    finder.setMaxEditWidth(-1);
    begin();
    EXPECT_EQ(QList<int>({finder.Dialog()->LabelColumn(), finder.Dialog()->EditColumn()}),
              QList<int>({120, 500}));
}

TEST_F(KivFindTest, ExecuteTakesTheTypedTextRefusesBadInputAndGivesTheDatasetBackOnFailure) {
    int busyWhileShown = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TDialFind*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        busyWhileShown = TKivApp::instance().busy();
        auto* edit = qobject_cast<QLineEdit*>(dialog->Rows()[0].Editor);
        edit->setText("abc");
        emit edit->textEdited("abc");
        dialog->ButtonFind->click(); // refused: the dialog stays
        EXPECT_EQ(ui->errors.size(), 1);
        edit->setText("20");
        emit edit->textEdited("20");
        dialog->ButtonFind->click();
    });
    EXPECT_TRUE(finder.Execute());
    EXPECT_EQ(busyWhileShown, 1);
    EXPECT_EQ(id(*topics), 20);
    EXPECT_EQ(finder.Dialog(), nullptr);

    QString shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TDialFind*>(QApplication::activeModalWidget());
        shown = qobject_cast<QLineEdit*>(dialog->Rows()[0].Editor)->text();
        dialog->ButtonCancel->click();
    });
    topics->Last();
    EXPECT_FALSE(finder.Execute());
    EXPECT_EQ(shown, "20");
    EXPECT_EQ(id(*topics), 40);
    EXPECT_EQ(TKivApp::instance().busy(), 0);

    // A search that fails gives the dataset back.
    topics->BeforeScroll = [](TDataSet*) { throw EDatabaseError("scroll refused"); };
    QTimer::singleShot(0, [this] {
        finder.FindDataSet()->FieldByName("ID")->setValue(30);
        finder.Dialog()->ButtonFind->click();
    });
    EXPECT_THROW(finder.Execute(), EDatabaseError);
    EXPECT_FALSE(topics->ControlsDisabled());
    EXPECT_EQ(topics->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(TKivApp::instance().busy(), 0);
}
