#include "richtext/RichEdit.h"
#include "richtext/RtfTables.h"
#include "QtPrinters.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <gtest/gtest.h>

namespace {

// An editor holding "ab", "cd" and "e<line break>f" as three paragraphs.
struct ThreeParagraphs : ::testing::Test {
    TRichEdit edit;
    void SetUp() override {
        edit.ReplaceSelection("ab\r\ncd\r\ne");
        QTextCursor c = edit.textCursor();
        c.insertText(QString(QChar::LineSeparator) + "f");
        edit.setTextCursor(c);
    }
};

} // namespace

TEST_F(ThreeParagraphs, PositionsCountEachBreakAsTwo) {
    EXPECT_EQ(edit.Text(), "ab\r\ncd\r\ne\r\nf");
    EXPECT_EQ(edit.GetTextLen(), 12);
    // Every plain-text position but the LFs, and its cursor position; a break
    // inside a paragraph counts as two as well.
    for (const auto& [text, cursor] : {std::pair{0, 0}, {1, 1}, {2, 2}, {4, 3}, {5, 4}, {6, 5},
                                       {8, 6}, {9, 7}, {11, 8}, {12, 9}}) {
        EXPECT_EQ(edit.cursorPosition(text), cursor) << text;
        EXPECT_EQ(edit.textPosition(cursor), text) << cursor;
    }
    EXPECT_EQ(edit.cursorPosition(99), 9);
}

TEST_F(ThreeParagraphs, SelectionAcrossParagraphs) {
    edit.select(1, 7); // "b\r\ncd\r\n"
    EXPECT_EQ(edit.SelStart(), 1);
    EXPECT_EQ(edit.SelLength(), 7);
    EXPECT_EQ(edit.SelText(), "b\r\ncd\r\n");
    edit.setSelStart(4);
    EXPECT_EQ(edit.SelLength(), 0);
    edit.setSelLength(7);
    EXPECT_EQ(edit.SelText(), "cd\r\ne\r\n");
    // Edits move the mapping along.
    edit.setSelStart(0);
    edit.ReplaceSelection("x\r\n");
    EXPECT_EQ(edit.Text(), "x\r\nab\r\ncd\r\ne\r\nf");
    EXPECT_EQ(edit.SelStart(), 3);
    EXPECT_EQ(edit.FindText("f", 0, edit.GetTextLen()), 14);
}

TEST(RichEdit, ReplaceSelectionLeavesCaretBehindAndNoUndo) {
    TRichEdit edit;
    edit.ReplaceSelection("Hello world");
    edit.document()->setUndoRedoEnabled(true);
    edit.select(6, 5);
    edit.ReplaceSelection("there\r\nnext");
    EXPECT_EQ(edit.Text(), "Hello there\r\nnext");
    EXPECT_EQ(edit.SelStart(), 17);
    EXPECT_EQ(edit.SelLength(), 0);
    EXPECT_FALSE(edit.document()->isUndoAvailable());
    EXPECT_TRUE(edit.document()->isUndoRedoEnabled());
}

TEST(RichEdit, AttributesApplyToTheNextInsertedText) {
    TRichEdit edit;
    edit.SelAttributes().assign(TTextFont{"Arial", 10, QColor(Qt::black), {}});
    edit.ReplaceSelection("plain ");
    // As the link commands do: save, change, insert, change again, insert, restore.
    const TTextFont saved = edit.SelAttributes().font();
    edit.SelAttributes().setColor(QColor(0, 128, 0));
    edit.SelAttributes().setStyle(edit.SelAttributes().Style() | fsStrikeOut);
    edit.ReplaceSelection("Index");
    edit.SelAttributes().setColor(QColor(128, 0, 0));
    edit.SelAttributes().setStyle(edit.SelAttributes().Style() & ~TFontStyles(fsStrikeOut));
    edit.ReplaceSelection("{HRef=12}");
    edit.SelAttributes().assign(saved);
    edit.ReplaceSelection(" after");

    auto at = [&](int pos) {
        edit.select(pos, 1);
        return edit.SelAttributes().font();
    };
    EXPECT_EQ(at(0), (TTextFont{"Arial", 10, QColor(Qt::black), {}}));
    EXPECT_EQ(at(6), (TTextFont{"Arial", 10, QColor(0, 128, 0), fsStrikeOut}));
    EXPECT_EQ(at(11), (TTextFont{"Arial", 10, QColor(128, 0, 0), {}}));
    EXPECT_EQ(at(21), saved);

    // With a selection the change applies to it, and replacing it keeps the change.
    edit.select(0, 5);
    edit.SelAttributes().setStyle(fsBold | fsUnderline);
    edit.SelAttributes().setSize(16);
    edit.SelAttributes().setName("Courier New");
    EXPECT_EQ(at(2), (TTextFont{"Courier New", 16, QColor(Qt::black), fsBold | fsUnderline}));
    EXPECT_EQ(at(5).Style, TFontStyles());
    edit.select(0, 5);
    edit.ReplaceSelection("PLAIN");
    EXPECT_EQ(at(4), (TTextFont{"Courier New", 16, QColor(Qt::black), fsBold | fsUnderline}));
}

TEST(RichEdit, ParagraphAttributesOfTheSelectedParagraphs) {
    TRichEdit edit;
    edit.ReplaceSelection("one\r\ntwo\r\nthree");
    edit.select(2, 5); // "e\r\ntw": the first two paragraphs
    edit.Paragraph().setAlignment(TParaAlignment::Center);
    edit.Paragraph().setFirstIndent(-5);
    edit.Paragraph().setLeftIndent(20);
    edit.Paragraph().setRightIndent(7);
    EXPECT_EQ(edit.Paragraph().Alignment(), TParaAlignment::Center);
    EXPECT_EQ(edit.Paragraph().FirstIndent(), -5);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 20);
    EXPECT_EQ(edit.Paragraph().RightIndent(), 7);
    edit.setSelStart(5);
    EXPECT_EQ(edit.Paragraph().Alignment(), TParaAlignment::Center);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 20);
    edit.setSelStart(11);
    EXPECT_EQ(edit.Paragraph().Alignment(), TParaAlignment::Left);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 0);
    // 20 points are 400 twips in the stored RTF.
    EXPECT_TRUE(edit.SaveRtf().contains("\\pard\\qc\\fi-100\\li400\\ri140"));
}

TEST(RichEdit, BulletsRaiseTheLeftIndentAndClearIt) {
    TRichEdit edit;
    edit.ReplaceSelection("a\r\nb\r\nc");
    edit.setSelStart(6); // "c" already indented beyond 10 points
    edit.Paragraph().setLeftIndent(30);
    edit.select(0, 8);
    edit.Paragraph().setNumbering(TNumberingStyle::nsBullet);
    const QTextDocument* doc = edit.document();
    for (int n = 0; n < 3; ++n)
        EXPECT_TRUE(doc->findBlockByNumber(n).textList()) << n;
    edit.setSelStart(0);
    EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsBullet);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 10);
    edit.setSelStart(6);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 30);

    edit.select(3, 0); // "b" only
    edit.Paragraph().setNumbering(TNumberingStyle::nsNone);
    EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsNone);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 0);
    EXPECT_TRUE(doc->findBlockByNumber(0).textList());
    EXPECT_TRUE(doc->findBlockByNumber(2).textList());

    // The bullets survive saving and loading.
    edit.LoadRtf(edit.SaveRtf());
    EXPECT_TRUE(doc->findBlockByNumber(0).textList());
    EXPECT_FALSE(doc->findBlockByNumber(1).textList());
    EXPECT_TRUE(doc->findBlockByNumber(2).textList());
}

TEST(RichEdit, FindTextWithEachOption) {
    TRichEdit edit;
    edit.ReplaceSelection("Index indexes\r\nthe INDEX, index_x index");
    const int end = edit.GetTextLen();
    EXPECT_EQ(edit.FindText("index", 0, end), 0);
    EXPECT_EQ(edit.FindText("index", 1, end), 6);
    EXPECT_EQ(edit.FindText("index", 1, end, stMatchCase), 6);
    EXPECT_EQ(edit.FindText("INDEX", 0, end, stMatchCase), 19);
    EXPECT_EQ(edit.FindText("index", 1, end, stWholeWord), 19);
    EXPECT_EQ(edit.FindText("index", 1, end, stWholeWord | stMatchCase), 34);
    EXPECT_EQ(edit.FindText("s\r\nthe", 0, end), 12); // across the paragraph break
    EXPECT_EQ(edit.FindText("index", 20, end), 26);
    // The match must end inside the range.
    EXPECT_EQ(edit.FindText("index", 27, 38), -1);
    EXPECT_EQ(edit.FindText("index", 27, 39), 34);
    EXPECT_EQ(edit.FindText("absent", 0, end), -1);
    EXPECT_EQ(edit.FindText("", 0, end), -1);
}

TEST(RichEdit, UpdateBracketNests) {
    TRichEdit edit;
    {
        TRichEdit::UpdateBracket outer(edit);
        edit.BeginUpdate();
        EXPECT_FALSE(edit.viewport()->updatesEnabled());
        edit.EndUpdate();
        EXPECT_FALSE(edit.viewport()->updatesEnabled());
    }
    EXPECT_TRUE(edit.viewport()->updatesEnabled());
    edit.EndUpdate(); // an unmatched end changes nothing
    EXPECT_TRUE(edit.viewport()->updatesEnabled());
}

TEST(RichEdit, LoadAndSaveRtf) {
    TRichEdit edit;
    edit.LoadRtf(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green128\\blue0;}\\pard\\f0\\fs20 "
        "a \\cf1\\strike link\\cf0\\strike0\\par\\pard\\qc b}");
    EXPECT_EQ(edit.Text(), "a link\r\nb");
    EXPECT_EQ(edit.SelStart(), 0);
    edit.select(2, 1);
    EXPECT_EQ(edit.SelAttributes().font(),
              (TTextFont{"Arial", 10, QColor(0, 128, 0), fsStrikeOut}));

    // Typing into a document without a body uses its default font, as it is stored.
    edit.LoadRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil MS Sans Serif;}{\\f1 Arial;}}}");
    EXPECT_EQ(edit.SelAttributes().Name(), "MS Sans Serif");
    edit.ReplaceSelection("typed");
    TRichEdit other;
    other.LoadRtf(edit.SaveRtf());
    other.setSelStart(1);
    EXPECT_EQ(other.SelAttributes().Name(), "MS Sans Serif");
}
