#include "DBNavigator.h"
#include "KitFolder.h"
#include "RecordingUI.h"

class DBNavigatorTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = topicsOn(source, false);
        nav.setDataSource(&source);
    }
    QList<bool> enabled() const {
        QList<bool> list;
        for (int i = 0; i < nbCount; ++i)
            list << nav.Button(TNavigateBtn(i))->isEnabled();
        return list;
    }
    RecordingUI::Scope ui;
    TDataSource source;
    TKivTable* topics = nullptr;
    TDBNavigator nav;
};

TEST_F(DBNavigatorTest, ButtonsFollowThePositionAndTheState) {
    EXPECT_EQ(enabled(), QList<bool>(nbCount, false)); // closed
    topics->Open();
    // first, prior, next, last, insert, delete, edit, post, cancel, refresh
    EXPECT_EQ(enabled(),
              QList<bool>({false, false, true, true, true, true, true, false, false, true}));
    nav.BtnClick(nbLast);
    EXPECT_EQ(id(*topics), 40);
    EXPECT_EQ(enabled(),
              QList<bool>({true, true, false, false, true, true, true, false, false, true}));
    nav.BtnClick(nbEdit);
    EXPECT_EQ(enabled(),
              QList<bool>({false, false, false, false, true, false, false, true, true, false}));
    nav.BtnClick(nbCancel);
    EXPECT_EQ(topics->State(), TDataSetState::dsBrowse);
}

TEST_F(DBNavigatorTest, DeleteAsksFirstAndErrorsAreShown) {
    topics->Open();
    nav.BtnClick(nbDelete); // answered Cancel
    EXPECT_EQ(ui->questions, QStringList({"Delete record?"}));
    EXPECT_EQ(topics->RecordCount(), 4);
    ui->answers.enqueue(UIServices::Answer::Ok);
    nav.BtnClick(nbDelete);
    EXPECT_EQ(topics->RecordCount(), 3);

    // A second row with the ID of another one is refused by the unique index.
    nav.BtnClick(nbInsert);
    topics->FieldByName("ID")->setAsInteger(20);
    nav.BtnClick(nbPost);
    ASSERT_EQ(ui->errors.size(), 1);
    EXPECT_TRUE(ui->errors[0].contains("Key violation")) << ui->errors[0].toStdString();
    EXPECT_EQ(topics->State(), TDataSetState::dsInsert);
}
