#include "richtext/RtfReader.h"
#include "TestFiles.h"
#include "richtext/RtfTables.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

QString read(const QByteArray& rtf, QTextDocument& doc) {
    RtfReader::read(rtf, doc);
    return doc.toRawText();
}

// The format of the character at `pos`.
QTextCharFormat formatAt(const QTextDocument& doc, int pos) {
    const QTextBlock b = doc.findBlock(pos);
    for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().contains(pos)) return it.fragment().charFormat();
    return {};
}

int indexOf(const QTextDocument& doc, const char* text) {
    return int(doc.toRawText().indexOf(QLatin1String(text)));
}

const QChar kParagraph = QChar::ParagraphSeparator;

} // namespace

TEST(RtfReader, CharacterFormats) {
    QTextDocument doc;
    read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fmodern Courier New;}}{\\colortbl;\\red255\\green0"
         "\\blue0;}\\f1\\fs20\\cf1\\b\\i\\ul\\strike A\\b0\\i0\\ulnone\\strike0 B\\plain C"
         "\\ul0 \\ulw D\\ul0 E{\\b F}G\\v H\\v0}",
         doc);
    EXPECT_EQ(doc.toRawText(), "ABCDEFGH");
    const QTextCharFormat a = formatAt(doc, 0);
    EXPECT_EQ(Rtf::familyOf(a), "Courier New");
    EXPECT_EQ(a.fontPointSize(), 10);
    EXPECT_EQ(a.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(a.fontWeight() >= QFont::Bold && a.fontItalic() && a.fontUnderline() &&
                a.fontStrikeOut());
    const QTextCharFormat b = formatAt(doc, 1);
    EXPECT_EQ(Rtf::familyOf(b), "Courier New");
    EXPECT_FALSE(b.fontWeight() > QFont::Normal || b.fontItalic() || b.fontUnderline() ||
                 b.fontStrikeOut());
    const QTextCharFormat c = formatAt(doc, 2); // \plain: default font, 12 points, auto colour
    EXPECT_EQ(Rtf::familyOf(c), "Arial");
    EXPECT_EQ(c.fontPointSize(), 12);
    EXPECT_FALSE(c.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_TRUE(formatAt(doc, 3).fontUnderline());
    EXPECT_FALSE(formatAt(doc, 4).fontUnderline());
    EXPECT_EQ(formatAt(doc, 5).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(doc, 6).fontWeight(), QFont::Bold); // the group restored it
    EXPECT_TRUE(formatAt(doc, 7).boolProperty(Rtf::kHiddenProperty));
}

TEST(RtfReader, ParagraphsBreaksAndIndentsAndNoParagraphAfterTheLastMark) {
    QTextDocument doc;
    read("{\\rtf1 \\pard\\qc one\\line two\\tab x\\par\\pard\\qr\\fi-200\\li400\\ri100 three\\par"
         "\\pard\\qj four\\par\\pard five}",
         doc);
    EXPECT_EQ(doc.toRawText(), QString("one") + QChar::LineSeparator + "two\tx" + kParagraph +
                                   "three" + kParagraph + "four" + kParagraph + "five");
    EXPECT_EQ(doc.blockCount(), 4);
    EXPECT_TRUE(doc.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHCenter);
    const QTextBlockFormat three = doc.findBlockByNumber(1).blockFormat();
    EXPECT_TRUE(three.alignment() & Qt::AlignRight);
    EXPECT_DOUBLE_EQ(three.textIndent(), -200 / 15.0);
    EXPECT_DOUBLE_EQ(three.leftMargin(), 400 / 15.0);
    EXPECT_DOUBLE_EQ(three.rightMargin(), 100 / 15.0);
    EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().alignment(), Qt::AlignJustify);
    EXPECT_EQ(doc.findBlockByNumber(3).blockFormat().leftMargin(), 0);

    // The final paragraph mark opens no paragraph.
    EXPECT_EQ(read("{\\rtf1 a\\par}", doc), "a");
    EXPECT_EQ(read("{\\rtf1 a\\par\\par}", doc), QString("a") + kParagraph);
    EXPECT_EQ(read("{\\rtf1 a\\par b}", doc), QString("a") + kParagraph + "b");
    EXPECT_EQ(read("{\\rtf1 a\\\r\nb}", doc), QString("a") + kParagraph + "b"); // \<CR> is \par
}

TEST(RtfReader, BulletsEndAtPard) {
    QTextDocument doc;
    read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 "
         "Symbol;}}\\pard{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'B7}}"
         "\\li200{\\pntext\\f1\\'B7\\tab}a\\par{\\pntext\\f1\\'B7\\tab}b\\par\\pard c\\par"
         "\\pard{\\*\\pn\\pnlvlblt\\pnf1}\\li200 d}",
         doc);
    EXPECT_EQ(doc.toRawText(),
              QString("a") + kParagraph + "b" + kParagraph + "c" + kParagraph + "d");
    EXPECT_TRUE(doc.findBlockByNumber(0).textList());
    EXPECT_EQ(doc.findBlockByNumber(0).textList(), doc.findBlockByNumber(1).textList());
    EXPECT_FALSE(doc.findBlockByNumber(2).textList());
    EXPECT_TRUE(doc.findBlockByNumber(3).textList());
    EXPECT_NE(doc.findBlockByNumber(3).textList(), doc.findBlockByNumber(0).textList());
}

TEST(RtfReader, EscapesAndCodePages) {
    QTextDocument doc;
    EXPECT_EQ(read("{\\rtf1\\ansi caf\\'e9 \\'80 \\{HRef=12\\} a\\\\b \\~x\\-y\\_z}", doc),
              QString::fromUtf8("café € {HRef=12} a\\b \u00A0x\u00ADy\u2011z"));
    // \'hh follows \ansicpg; an unknown code page reads as Windows-1252.
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}", doc), QString::fromUtf8("Аб"));
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg99999 \\'e9}", doc), QString::fromUtf8("é"));
    // A font's character set decides for the text in that font and for its name.
    read("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 \\'cc\\'ee\\'e9;}{\\f2\\fcharset2 "
         "Symbol;}}\\f1 \\'c0\\f0 \\'c0\\f2 \\'b7}",
         doc);
    EXPECT_EQ(doc.toRawText(), QString::fromUtf8("АÀ·"));
    EXPECT_EQ(rtfTables(doc).fonts[1].name, QString::fromUtf8("Мой"));
    // Escaped symbols stay themselves even where the code page puts ₩ on the backslash.
    EXPECT_EQ(read("{\\rtf1{\\fonttbl{\\f0\\fcharset129 Gulim;}}\\f0 a\\\\b\\{c\\}}", doc),
              "a\\b{c}");
    // \uN with its fallback characters, negative values and \ucN.
    EXPECT_EQ(read("{\\rtf1 \\u8364?\\u-3913?x\\uc2\\u12354\\'82\\'a0y\\uc0\\u937 z}", doc),
              QString::fromUtf8("€\uF0B7xあyΩz"));
    EXPECT_EQ(read("{\\rtf1 {\\uc3\\u937 ab}cd}", doc),
              QString::fromUtf8("Ωcd")); // group ends the skip
    // Raw 8-bit text is in the code page too; a literal tab is a tab.
    EXPECT_EQ(read(QByteArray("{\\rtf1 caf\xe9\ta}"), doc), QString::fromUtf8("café\ta"));
}

TEST(RtfReader, SkipsDestinationsAndUnknownWords) {
    QTextDocument doc;
    const QByteArray rtf =
        "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}{\\*\\unknown zz}"
        "a{\\pict\\wmetafile8 0123abcd}b{\\*\\bkmkstart x}c\\foo\\bar123 d{\\pict\\bin3 {}\\}e"
        "{\\field{\\*\\fldinst HYPERLINK}{\\fldrslt f}}}";
    EXPECT_EQ(read(rtf, doc), "abcdef");
}

TEST(RtfReader, SeedShapes) {
    QTextDocument doc;
    read(rtfSeed("richedit1.rtf"), doc);
    const QTextBlock one = doc.findBlock(indexOf(doc, "Bullet one"));
    const QTextBlock two = doc.findBlock(indexOf(doc, "Bullet two"));
    ASSERT_TRUE(one.textList() && two.textList());
    EXPECT_EQ(one.textList(), two.textList());
    EXPECT_DOUBLE_EQ(one.blockFormat().leftMargin(), 200 / 15.0);
    EXPECT_FALSE(one.previous().textList()); // the centred paragraph before the bullets
    EXPECT_EQ(one.text(), "Bullet one");     // the \pntext group is not text

    read(rtfSeed("richedit2.rtf"), doc);
    EXPECT_TRUE(doc.toRawText().contains(QString::fromUtf8("Justified € euro")));
    EXPECT_TRUE(doc.toRawText().contains(QString::fromUtf8("あ kana")));
    EXPECT_TRUE(doc.toRawText().contains(QString::fromUtf8("mono { } \\ \u00A0nbsp")));
    const QTextBlock item = doc.findBlock(indexOf(doc, "item two"));
    EXPECT_TRUE(item.textList());
    EXPECT_TRUE(formatAt(doc, indexOf(doc, "bold")).fontWeight() >= QFont::Bold);

    read(rtfSeed("word.rtf"), doc);
    EXPECT_EQ(doc.toRawText(), QString::fromUtf8("Word text “quoted” – dash") + kParagraph +
                                   "item" + kParagraph + "link");
    EXPECT_TRUE(doc.findBlockByNumber(1).textList());
    EXPECT_EQ(Rtf::familyOf(formatAt(doc, 0)), "Calibri"); // \f37, not the table's order
    EXPECT_EQ(formatAt(doc, indexOf(doc, "link")).foreground().color(), QColor(0, 0, 255));

    read(rtfSeed("wordpad.rtf"), doc);
    EXPECT_EQ(doc.toRawText(), QString("WordPad text") + kParagraph + "Centered title" +
                                   kParagraph + kParagraph + "text");
}

TEST(RtfReader, PlainTextIsReadAsText) {
    QTextDocument doc;
    read(rtfSeed("newtopic.rtf"), doc);
    EXPECT_EQ(read(rtfSeed("plain.txt"), doc), QString::fromUtf8("Not RTF at all") + kParagraph +
                                                   QString::fromUtf8("second line café") +
                                                   kParagraph);
    EXPECT_TRUE(rtfTables(doc).isEmpty());
    EXPECT_EQ(read("", doc), "");
}

TEST(RtfReader, BadInputKeepsWhatWasReadAndDeepNestingIsBounded) {
    QTextDocument doc;
    // Unclosed groups and a truncated escape at the end.
    EXPECT_EQ(read("{\\rtf1 abc{\\b def\\'4", doc), "abcdef");
    EXPECT_EQ(read("{\\rtf1 abc\\", doc), "abc");
    // A \bin longer than the input.
    EXPECT_EQ(read("{\\rtf1 abc\\bin999999999 xyz", doc), "abc");
    EXPECT_EQ(read("{\\rtf1 abc\\bin-5 xyz}", doc), "abcxyz");
    // Huge numbers are clamped, not overflowed.
    read("{\\rtf1\\fs99999999999999999999\\li-99999999999\\u99999999 ?x\\cf2147483647 y}", doc);
    EXPECT_EQ(doc.toRawText(), "xy");
    EXPECT_GT(formatAt(doc, 0).fontPointSize(), 0);
    EXPECT_LE(doc.begin().blockFormat().leftMargin(), 0);
    // The outermost group ends the document.
    EXPECT_EQ(read("{\\rtf1 a}}} b", doc), "a");

    // Deep nesting is bounded.
    const int depth = 200000;
    QByteArray rtf = "{\\rtf1 a";
    rtf += QByteArray(depth, '{');
    rtf += "\\b deep";
    rtf += QByteArray(depth, '}');
    rtf += "z}";
    EXPECT_EQ(read(rtf, doc), "adeepz");
    EXPECT_EQ(formatAt(doc, 1).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(doc, 5).fontWeight(), QFont::Bold);
}
