#include "KivRichSearch.h"
#include "DiReplace.h"
#include "KivRich.h"
#include "RecordingUI.h"
#include "TMemTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QQueue>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Three topics; the editor shows the current one's text.
class KivRichSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.addFieldDef("ID", TFieldType::ftInteger);
        table.addFieldDef("TEXT", TFieldType::ftMemo);
        table.Open();
        for (const char* text : {"alpha beta alpha", "gamma", "alpha again"}) {
            table.Append();
            table.FieldByName("ID")->setAsInteger(table.RecordCount() + 1);
            table.FieldByName("TEXT")->setAsString(QStringLiteral("{\\rtf1\\ansi %1}").arg(text));
            table.Post();
        }
        source.setDataSet(&table);
        edit.setDataSource(&source);
        edit.setDataField("TEXT");
        edit.setSearchGlobal(true);
        edit.setRecordName("current topic");
    }
    int row() const { return table.RecNo(); }
    // Answers the confirmations to come, in order.
    void answer(QList<int> answers) {
        auto* timer = new QTimer(&edit);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answers]() mutable {
            if (auto* d = qobject_cast<TDialReplace*>(QApplication::activeModalWidget())) {
                d->done(answers.takeFirst());
                if (answers.isEmpty()) timer->deleteLater();
            }
        });
        timer->start(0);
    }
    void find(const QString& text, QRadioButton* scope, bool fromCursor = true) {
        search.ComboBoxFind->setEditText(text);
        scope->setChecked(true);
        (fromCursor ? search.RadioButtonFromCursor : search.RadioButtonEntire)->setChecked(true);
        search.BtnFindClick();
        search.Run(mrOk, edit);
    }

    RecordingUI::Scope ui;
    TMemTable table;
    TDataSource source;
    TKivDBRichEdit edit;
    TRichEditSearch search;
};

} // namespace

TEST_F(KivRichSearchTest, GlobalStartsAtTheFirstTopicAndComesBackWhenNothingIsFound) {
    table.Last();
    search.Prepare(true, edit);
    EXPECT_EQ(search.RadioButtonFromCurrent->text(), "From current topic");
    find("alpha", search.RadioButtonGlobal);
    EXPECT_EQ(row(), 1);
    EXPECT_EQ(edit.SelText(), "alpha");
    EXPECT_EQ(edit.SelStart(), 0);

    table.setRecNo(2);
    find("zeta", search.RadioButtonGlobal);
    EXPECT_EQ(row(), 2);
    EXPECT_EQ(ui->messages, QStringList({"Text 'zeta' not found"}));
}

TEST_F(KivRichSearchTest, FindAgainMovesOnOneMatchAtATime) {
    table.First();
    find("alpha", search.RadioButtonFromCurrent);
    EXPECT_EQ(edit.SelStart(), 0);
    find("alpha", search.RadioButtonFromCurrent); // from the match's start: the same one
    EXPECT_EQ(edit.SelStart(), 0);
    search.Again(edit);
    EXPECT_EQ(edit.SelStart(), 11);
    search.Again(edit);
    EXPECT_EQ(row(), 3);
    EXPECT_EQ(edit.SelStart(), 0);
    search.Again(edit);
    EXPECT_EQ(row(), 3); // back where the walk began
    EXPECT_EQ(ui->messages.size(), 1);
    // The history keeps one entry per text.
    EXPECT_EQ(search.ComboBoxFind->count(), 1);
}

TEST_F(KivRichSearchTest, OnlyTheCurrentTopicOrTheSelection) {
    table.setRecNo(2);
    find("alpha", search.RadioButtonOnlyCurrent);
    EXPECT_EQ(row(), 2);
    table.First();
    edit.select(6, 10); // "beta alpha"
    search.Prepare(true, edit);
    EXPECT_TRUE(search.RadioButtonSelected->isEnabled());
    search.RadioButtonSelected->click();
    EXPECT_FALSE(search.BtnReplaceAll->isEnabled());
    find("alpha", search.RadioButtonSelected);
    EXPECT_EQ(edit.SelStart(), 11);

    // Without global searches a global scope becomes the current topic only.
    edit.setSearchGlobal(false);
    search.RadioButtonGlobal->setChecked(true);
    search.Prepare(false, edit);
    EXPECT_TRUE(search.RadioButtonOnlyCurrent->isChecked());
    EXPECT_FALSE(search.RadioButtonGlobal->isEnabled());
}

TEST_F(KivRichSearchTest, ReplaceAllAsksAndStopsWhenTold) {
    search.ComboBoxFind->setEditText("alpha");
    search.ComboBoxReplace->setEditText("omega");
    search.RadioButtonGlobal->setChecked(true);
    search.CheckBoxPrompt->setChecked(true);
    search.BtnReplaceAllClick();
    answer({mrNo, mrAll});
    search.Run(mrAll, edit);
    EXPECT_TRUE(ui->messages.isEmpty());
    table.First();
    EXPECT_EQ(edit.Text(), "alpha beta omega");
    table.setRecNo(3);
    EXPECT_EQ(edit.Text(), "omega again");
    EXPECT_FALSE(search.Prompt); // All: no more questions until asked again

    // Cancel ends the run; what was replaced stays.
    table.First();
    search.ComboBoxFind->setEditText("omega");
    search.ComboBoxReplace->setEditText("x");
    search.BtnReplaceAllClick();
    answer({mrYes, mrCancel});
    search.Run(mrAll, edit);
    table.First();
    EXPECT_EQ(edit.Text(), "alpha beta x");
    table.setRecNo(3);
    EXPECT_EQ(edit.Text(), "omega again");
}

TEST_F(KivRichSearchTest, NothingIsReplacedInAReadOnlyField) {
    table.First();
    table.FieldByName("TEXT")->setReadOnly(true);
    EXPECT_EQ(ReplaceNext(edit, "alpha", "x", {}, ssOnlyCurrent, false, false, true, false),
              mrCancel);
    EXPECT_EQ(edit.Text(), "alpha beta alpha");
}
