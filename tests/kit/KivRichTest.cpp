#include "KivRich.h"

#include "QtPrinters.h"
#include "TMemTable.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

// As the old rich-edit control stored it.
const char* const kFirst =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil Arial;}}\r\n"
    "{\\colortbl;}\r\n\\pard\\plain\\f0\\fs20 Hello world\\par Second line\\par }";

// Two topics with an RTF text each, the second one empty, shown in an editor.
struct BoundEditor : ::testing::Test {
    std::unique_ptr<TMemTable> table = std::make_unique<TMemTable>();
    TDataSource source;
    TKivDBRichEdit edit;

    void SetUp() override {
        table->addFieldDef(QStringLiteral("ID"), TFieldType::ftFloat);
        table->addFieldDef(QStringLiteral("TEXT"), TFieldType::ftMemo);
        table->Open();
        addRow(1, QString::fromLatin1(kFirst));
        addRow(2, QString());
        table->First();
        source.setDataSet(table.get());
        edit.setDataSource(&source);
        edit.setDataField(QStringLiteral("Text"));
    }
    void addRow(int id, const QString& text) {
        table->Append();
        table->FieldByName(QStringLiteral("ID"))->setAsInteger(id);
        table->FieldByName(QStringLiteral("TEXT"))->setAsString(text);
        table->Post();
    }
    QString stored() const { return table->FieldByName(QStringLiteral("TEXT"))->AsString(); }
    void type(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(&edit, &press);
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, modifiers);
        QApplication::sendEvent(&edit, &press);
    }
};

} // namespace

TEST_F(BoundEditor, ShowsTheRecordsTextAndCancelShowsItAgain) {
    EXPECT_EQ(edit.Text(), "Hello world\r\nSecond line");
    table->Next();
    EXPECT_EQ(edit.Text(), "");
    table->First();
    edit.BeginEditing();
    edit.select(0, 5);
    edit.ReplaceSelection("Bye");
    EXPECT_TRUE(edit.DataLink().Modified());
    table->Cancel();
    EXPECT_EQ(edit.Text(), "Hello world\r\nSecond line");
    EXPECT_EQ(stored(), QString::fromLatin1(kFirst));
    edit.setDataField(QString());
    EXPECT_EQ(edit.Text(), "");
}

TEST_F(BoundEditor, BeginEditingKeepsTextCaretAndSelection) {
    edit.select(6, 5); // "world"
    edit.BeginEditing();
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    EXPECT_EQ(edit.SelStart(), 6);
    EXPECT_EQ(edit.SelText(), "world");
    table->Post();
    EXPECT_EQ(stored(), QString::fromLatin1(kFirst)); // unchanged: not rewritten
    // Entering edit state without it reloads the editor, which loses the selection.
    edit.select(6, 5);
    edit.DataLink().Edit();
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    EXPECT_EQ(edit.SelLength(), 0);
    table->Cancel();

    table->Next(); // an empty text
    edit.BeginEditing();
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    edit.ReplaceSelection("typed");
    table->Post();
    EXPECT_TRUE(stored().startsWith("{\\rtf1\\ansi\\deff0{\\fonttbl"));
    table->First();
    table->Next();
    EXPECT_EQ(edit.Text(), "typed");
}

TEST_F(BoundEditor, TypingEntersEditStateUnlessReadOnly) {
    edit.DataLink().setReadOnly(true);
    edit.setSelStart(0);
    key(Qt::Key_Right); // the caret moves, the text does not change
    EXPECT_EQ(edit.SelStart(), 1);
    type(QStringLiteral("x"));
    key(Qt::Key_Delete);
    EXPECT_EQ(table->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(edit.Text(), "Hello world\r\nSecond line");

    edit.DataLink().setReadOnly(false);
    edit.setSelStart(5);
    type(QStringLiteral(","));
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    EXPECT_EQ(edit.SelStart(), 6);
    key(Qt::Key_Return);
    table->Post();
    // The stored document is the writer's: the header is kept, the text is the new one.
    EXPECT_TRUE(
        stored().startsWith("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\r\n{\\colortbl;}"));
    table->Next();
    table->First();
    EXPECT_EQ(edit.Text(), "Hello,\r\n world\r\nSecond line");
}

TEST_F(BoundEditor, FormattingAndPastingAreStoredToo) {
    edit.select(0, 5);
    edit.BeginEditing();
    edit.SelAttributes().setStyle(fsBold);
    table->Post();
    EXPECT_TRUE(stored().contains("\\b Hello\\b0  world")) << stored().toStdString();

    QApplication::clipboard()->setText(QStringLiteral("clip "));
    edit.setSelStart(0);
    edit.paste(); // enters edit state by itself
    EXPECT_EQ(table->State(), TDataSetState::dsEdit);
    table->Post();
    table->Next();
    table->First();
    EXPECT_EQ(edit.Text(), "clip Hello world\r\nSecond line");
}
