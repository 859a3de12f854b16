#include "KivFieldLayout.h"
#include "KitFolder.h"
#include "KivContr.h"

#include <QLabel>
#include <QSplitter>

class KivFieldLayoutTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = table();
        source.setDataSet(topics);
        topics->Open();
        topics->FieldByName("NAME")->setDisplayLabel("A much longer title");
    }
    TDataSource source;
    TKivTable* topics = nullptr;
};

TEST_F(KivFieldLayoutTest, AlignedLabelsPutEveryEditorInOneColumn) {
    topics->FieldByName("TEXT")->setTag(18); // left out
    QWidget host;
    host.resize(600, 400);
    KivLayoutFieldEditors(&host, &source, nullptr, true, true, QColor());
    const QList<TKivDBEdit*> edits = host.findChildren<TKivDBEdit*>();
    ASSERT_EQ(edits.size(), 2); // ID and NAME
    EXPECT_EQ(edits[0]->x(), edits[1]->x());
    EXPECT_LT(edits[0]->y(), edits[1]->y());
    EXPECT_EQ(edits[1]->property("DataField").toString(), "NAME");
    for (QLabel* l : host.findChildren<QLabel*>())
        EXPECT_NE(l->text(), "TEXT");

    // Without aligned labels narrow fields share a row.
    topics->FieldByName("NAME")->setVisible(false);
    topics->FieldByName("TEXT")->setTag(0);
    QWidget flowing;
    flowing.resize(2000, 400);
    KivLayoutFieldEditors(&flowing, &source, nullptr, true, false, QColor(Qt::yellow));
    ASSERT_EQ(flowing.findChildren<TKivDBEdit*>().size(), 1); // NAME is invisible
    const QWidget* id = flowing.findChildren<TKivDBEdit*>()[0];
    const QWidget* memo = flowing.findChildren<TDBMemo*>()[0];
    EXPECT_EQ(id->y(), memo->y());
    EXPECT_EQ(id->palette().color(QPalette::Base), QColor(Qt::yellow));
}

TEST_F(KivFieldLayoutTest, TheRecordViewTakesTheGridsPlaceAndGivesItBack) {
    QSplitter splitter;
    auto* grid = new TDBGrid(&splitter);
    grid->setDataSource(&source);
    auto* other = new QWidget(&splitter);
    TKivScrollBoxForGrid view;
    view.setGrid(grid);
    view.Toggle();
    ASSERT_TRUE(view.Shown());
    EXPECT_EQ(splitter.indexOf(&view), 0);
    EXPECT_EQ(splitter.indexOf(other), 1);
    EXPECT_FALSE(view.widget()->findChildren<TKivDBEdit*>().isEmpty());
    view.Rebuild();
    EXPECT_EQ(view.widget()->findChildren<TKivDBEdit*>().size(), 2);
    view.Toggle();
    EXPECT_FALSE(view.Shown());
    EXPECT_EQ(splitter.indexOf(grid), 0);
    EXPECT_FALSE(grid->isHidden());

    // Without a dataset there is nothing to show.
    grid->setDataSource(nullptr);
    view.Toggle();
    EXPECT_FALSE(view.Shown());
}
