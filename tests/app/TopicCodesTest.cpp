// Hypertext codes inserted from the tool panel: links, macro links, buttons,
// pictures, the end of the title, and new "See also" / "Example" pages.
#include "TopicCodes.h"
#include "DiMacro.h"
#include "KivLook.h"
#include "KivRich.h"
#include "Main.h"
#include "ProjectFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

namespace {

class TopicCodesTest : public ProjectFixture {
protected:
    void SetUp() override {
        createProject();
        addTopic(5, "Parser");
        addTopic(12, "Target");
        addTopic(13, "");
        dm.CloseProject(false);
        window = std::make_unique<TFormMain>(d + "book.hpj");
        edit = window->DBRichText;
        goTo(5);
    }
    void goTo(int id) { ASSERT_TRUE(dm.TbMain->Locate("ID", id)); }
    // Types `text` at the end of the topic and selects it.
    void typeAndSelect(const QString& text) {
        edit->BeginEditing();
        edit->setSelStart(edit->GetTextLen());
        edit->ReplaceSelection(text);
        edit->select(edit->GetTextLen() - int(text.size()), int(text.size()));
    }
    QColor colorAt(const QString& what) {
        const int at = edit->Text().indexOf(what);
        return edit->formatAt(edit->cursorPosition(at) + 1).foreground().color();
    }
    bool struckAt(const QString& what) {
        const int at = edit->Text().indexOf(what);
        return edit->formatAt(edit->cursorPosition(at) + 1).fontStrikeOut();
    }
    void chooseWindow(const QString& name) {
        dm.WindowNames = {"proc"};
        window->RefillWindowLists();
        window->ComboBoxWindows->setCurrentIndex(window->ComboBoxWindows->findText(name));
    }

    std::unique_ptr<TFormMain> window;
    TKivDBRichEdit* edit = nullptr;
};

const QColor kGreen(0, 128, 0), kMaroon(128, 0, 0);

} // namespace

TEST_F(TopicCodesTest, AJumpTurnsTheSelectionIntoAHotspotAndTypingGoesOnAsBefore) {
    chooseWindow("proc");
    typeAndSelect("the parser");
    const TTextFont before = edit->SelAttributes().font();
    window->KivDBLookupComboId->setKeyValue(12);
    window->SpeedButtonJump1Click();
    EXPECT_TRUE(edit->Text().endsWith("the parser{HRef=12>proc}")) << edit->Text().toStdString();
    EXPECT_EQ(colorAt("the parser"), kGreen);
    EXPECT_TRUE(struckAt("the parser"));
    EXPECT_EQ(colorAt("{HRef=12"), kMaroon);
    EXPECT_FALSE(struckAt("{HRef=12"));
    EXPECT_EQ(edit->SelLength(), 0);
    EXPECT_EQ(edit->SelAttributes().font(), before);

    // Stored escaped, as the build looks for it.
    dm.TbMain->Post();
    EXPECT_TRUE(dm.TbMain->FieldByName("TEXT")->AsString().contains("\\{HRef=12>proc\\}"));
}

TEST_F(TopicCodesTest, PopupsNameNoWindowAndHotspotsDefaultToTheTitleThenTheId) {
    chooseWindow("proc");
    window->KivDBLookupComboId->setKeyValue(12);
    window->SpeedButtonPopup1Click();
    EXPECT_TRUE(edit->Text().contains("Target{HRef=12}"));
    chooseWindow("");
    window->KivDBLookupComboName->setKeyValue(13); // a topic without title
    window->SpeedButtonJump2Click();
    EXPECT_TRUE(edit->Text().contains("13{HRef=13}"));
    // Nothing chosen, or a topic that is gone: nothing is inserted.
    const QString text = edit->Text();
    window->KivDBLookupComboId->setKeyValue(QVariant());
    window->SpeedButtonJump1Click();
    window->KivDBLookupComboId->setKeyValue(99);
    window->SpeedButtonJump1Click();
    EXPECT_EQ(edit->Text(), text);
}

TEST_F(TopicCodesTest, MacroLinksButtonsPicturesAndTheEndOfTheTitle) {
    typeAndSelect("Web");
    QTimer::singleShot(0, [] {
        TDialMacro& d = TDialMacro::Instance();
        EXPECT_EQ(d.EditCaption->text(), "Web");
        d.EditMacro->setText("ExecFile(\"x}\")");
        d.accept();
    });
    window->SpeedButtonMacroClick();
    EXPECT_TRUE(edit->Text().endsWith("Web{HRef=! ExecFile(\"x}\")}"));
    EXPECT_EQ(colorAt("Web{"), kGreen);

    QTimer::singleShot(0, [] {
        TDialMacro& d = TDialMacro::Instance();
        EXPECT_EQ(d.EditMacro->text(), "ExecFile(\"x}\")"); // kept from last time
        d.EditCaption->setText("Go");
        d.accept();
    });
    window->SpeedButtonButtonClick();
    EXPECT_TRUE(edit->Text().endsWith("{button Go,ExecFile(\"x}\")}"));
    QTimer::singleShot(0, [] { TDialMacro::Instance().reject(); });
    window->SpeedButtonButtonClick();
    EXPECT_TRUE(edit->Text().endsWith("{button Go,ExecFile(\"x}\")}"));

    ui->fileNames << d + "art/logo.bmp";
    window->SpeedButtonPictureClick();
    EXPECT_TRUE(edit->Text().endsWith("{bmc logo.bmp}"));
    window->SpeedButtonKeepnClick();
    EXPECT_TRUE(edit->Text().endsWith("{keepn}"));
    // Typing goes on in the code look.
    EXPECT_EQ(edit->SelAttributes().Color(), kMaroon);
}

TEST_F(TopicCodesTest, NewPagesTakeTheNextFreeIdAndLinkFromTheTitleArea) {
    addTopic(6, "Six");
    addTopic(7, "Seven");
    goTo(5);
    WriteTopicTitle(*edit, "Parser", false, true);
    dm.TbMain->Post();

    window->SpeedButtonAddClick(false);
    EXPECT_EQ(dm.TbMain->FieldByName("ID")->AsInteger(), 8);
    EXPECT_EQ(dm.TbMain->FieldByName("NAME")->AsString(), "Parser - See also");
    EXPECT_TRUE(edit->Text().startsWith("See also\r\n\r\n"));

    goTo(5);
    window->ComboBoxAddPage->setCurrentIndex(1);
    window->SpeedButtonAddClick(true);
    EXPECT_EQ(dm.TbMain->FieldByName("ID")->AsInteger(), 9);
    goTo(5);
    EXPECT_TRUE(edit->Text().startsWith("Parser\r\n\r\nSee also{HRef=8}\tExample{HRef=9}\t{keepn}"))
        << edit->Text().toStdString();
}

TEST(PageLinkPlace, BeforeTheEndOfTitleElseAtTheEndOfTheSecondLine) {
    EXPECT_EQ(PageLinkPosition("Title\r\n\r\n{keepn}\r\nBody"), 9);
    EXPECT_EQ(PageLinkPosition("Title\r\nSecond\r\nThird"), 13);
    EXPECT_EQ(PageLinkPosition("Title\r\nSecond"), 13);
    EXPECT_EQ(PageLinkPosition("Title"), 5);
}
