// The formatting row follows the caret and formats the selection; Ctrl+B and
// Ctrl+I in the editor; the paragraph dialog.
#include "DiPara.h"
#include "KivRich.h"
#include "Main.h"
#include "ProjectFixture.h"

#include <QApplication>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QSpinBox>
#include <QToolButton>

namespace {

class FormattingTest : public ProjectFixture {
protected:
    void SetUp() override {
        createProject();
        addTopic(1, "One");
        dm.CloseProject(false);
        window = std::make_unique<TFormMain>(d + "book.hpj");
        edit = window->DBRichText;
    }
    void press(int key, Qt::KeyboardModifiers mods, const QString& text = {}) {
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(edit, &e);
    }
    // Writes "plain bold" with "bold" bold and underlined, and stores it.
    void writeSample() {
        window->FormActivate();
        edit->BeginEditing();
        edit->select(0, edit->GetTextLen());
        edit->ReplaceSelection("plain ");
        edit->SelAttributes().setStyle(fsBold | fsUnderline);
        edit->SelAttributes().setSize(14);
        edit->ReplaceSelection("bold");
        dm.TbMain->Post();
    }

    std::unique_ptr<TFormMain> window;
    TKivDBRichEdit* edit = nullptr;
};

} // namespace

TEST_F(FormattingTest, TheRowShowsTheFormattingAtTheCaretWithoutTouchingTheText) {
    writeSample();
    edit->setSelStart(8); // inside "bold"
    EXPECT_TRUE(window->SpeedButtonBold->isChecked());
    EXPECT_TRUE(window->SpeedButtonUnderline->isChecked());
    EXPECT_FALSE(window->SpeedButtonItalic->isChecked());
    EXPECT_FALSE(window->SpeedButtonStrike->isChecked());
    EXPECT_EQ(window->SpinEditSize->value(), 14);
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsBrowse);
    edit->setSelStart(2);
    EXPECT_FALSE(window->SpeedButtonBold->isChecked());
    EXPECT_EQ(window->SpinEditSize->value(), 10);
}

TEST_F(FormattingTest, ButtonsAndSpinsFormatTheSelection) {
    writeSample();
    edit->select(0, 5); // "plain"
    window->SpeedButtonStrike->click();
    EXPECT_TRUE(edit->SelAttributes().Style() & fsStrikeOut);
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsEdit);
    window->SpinEditSize->setValue(20);
    EXPECT_EQ(edit->SelAttributes().Size(), 20);
    window->SpeedButtonCenter->click();
    EXPECT_EQ(edit->Paragraph().Alignment(), TParaAlignment::Center);

    window->SpeedButtonBullets->click();
    EXPECT_EQ(edit->Paragraph().LeftIndent(), 10);
    EXPECT_EQ(window->SpinEditLeft->value(), 10);
}

TEST_F(FormattingTest, TheRowChangesNothingBeforeTheWindowIsActive) {
    window->SpeedButtonBold->click();
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(edit->SelAttributes().Style() & fsBold);
}

TEST_F(FormattingTest, CtrlBAndCtrlIToggleWithoutATab) {
    writeSample();
    edit->select(0, 5);
    const TFontStyles before = edit->SelAttributes().Style();
    press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(edit->SelAttributes().Style() & fsBold);
    press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(edit->SelAttributes().Style(), before);
    press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit->SelAttributes().Style(), before);

    press(Qt::Key_I, Qt::ControlModifier, "\t");
    EXPECT_TRUE(edit->SelAttributes().Style() & fsItalic);
    EXPECT_FALSE(edit->Text().contains('\t'));
    edit->setSelStart(0);
    press(Qt::Key_Tab, Qt::NoModifier, "\t");
    EXPECT_TRUE(edit->Text().startsWith('\t'));
}

TEST_F(FormattingTest, TheParagraphDialogKeepsAnIndentTheBulletsDoNotMove) {
    writeSample();
    TDialParagraph dialog;
    dialog.Fill(*edit);
    dialog.SpinEditLeft->setValue(24);
    dialog.SpeedButtonRight->setChecked(true);
    dialog.Apply(*edit);
    EXPECT_EQ(edit->Paragraph().LeftIndent(), 24); // no bullets before or after
    EXPECT_EQ(edit->Paragraph().Alignment(), TParaAlignment::Right);

    dialog.Fill(*edit);
    dialog.SpinEditLeft->setValue(4);
    dialog.SpeedButtonBullets->setChecked(true);
    dialog.Apply(*edit);
    EXPECT_EQ(edit->Paragraph().Numbering(), TNumberingStyle::nsBullet);
    EXPECT_EQ(edit->Paragraph().LeftIndent(), 10);
}
