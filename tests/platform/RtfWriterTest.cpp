#include "richtext/RtfWriter.h"
#include "TestFiles.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfTables.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>

namespace {

// Text, character formats and paragraph formats of a document, one line per
// fragment and per paragraph, for comparing two documents. A format without
// font or size shows in the document's default font.
QString describe(const QTextDocument& doc) {
    QString out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        out += QStringLiteral("P align=%1 fi=%2 li=%3 ri=%4 bullet=%5\n")
                   .arg(int(f.alignment() & Qt::AlignHorizontal_Mask))
                   .arg(Rtf::pixelsToTwips(f.textIndent()))
                   .arg(Rtf::pixelsToTwips(f.leftMargin()))
                   .arg(Rtf::pixelsToTwips(f.rightMargin()))
                   .arg(b.textList() != nullptr);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat c = it.fragment().charFormat();
            const QColor color =
                c.hasProperty(QTextFormat::ForegroundBrush) ? c.foreground().color() : QColor();
            out +=
                QStringLiteral("  [%1] %2 %3 %4 b%5 i%6 u%7 s%8 v%9\n")
                    .arg(it.fragment().text(),
                         Rtf::familyOf(c).isEmpty() ? doc.defaultFont().family() : Rtf::familyOf(c))
                    .arg(c.hasProperty(QTextFormat::FontPointSize) ? c.fontPointSize()
                                                                   : doc.defaultFont().pointSizeF())
                    .arg(color.isValid() ? color.name() : QStringLiteral("auto"))
                    .arg(c.fontWeight() >= QFont::DemiBold)
                    .arg(c.fontItalic())
                    .arg(c.fontUnderline())
                    .arg(c.fontStrikeOut())
                    .arg(c.boolProperty(Rtf::kHiddenProperty));
        }
    }
    return out;
}

QByteArray roundTrip(const QByteArray& rtf, QTextDocument& first, QTextDocument& second) {
    RtfReader::read(rtf, first);
    const QByteArray written = RtfWriter::write(first);
    RtfReader::read(written, second);
    return written;
}

// Where the help build ends the header: after the second group directly inside
// the outermost one, plus the line breaks after it.
qsizetype headerEnd(const QByteArray& rtf) {
    int depth = 0, groups = 0;
    qsizetype i = 1;
    for (; i < rtf.size() && groups < 2; ++i) {
        if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}' && --depth == 0)
            ++groups;
    }
    while (i < rtf.size() && (rtf[i] == '\r' || rtf[i] == '\n'))
        ++i;
    return i;
}

} // namespace

// The new-topic document's tables, as read, come back entry for entry: every
// font with its family and character set, the "auto" colour and all 16 others.
TEST(RtfWriter, KeepsTheHeaderTheBuildCopies) {
    QTextDocument doc, again;
    const QByteArray out = roundTrip(rtfSeed("newtopic.rtf"), doc, again);
    const QByteArray header = testData("rtf/newtopic-header.rtf");
    EXPECT_EQ(out.left(headerEnd(out)), header);
    EXPECT_EQ(out.mid(headerEnd(out)), "\\pard\r\n\\par}");

    // Text typed into it adds nothing to the tables while it uses their fonts.
    QTextCursor c(&doc);
    QTextCharFormat f;
    f.setFontFamilies({"Arial"});
    f.setFontPointSize(12);
    f.setForeground(QColor(0, 0, 255));
    c.insertText("x", f);
    const QByteArray typed = RtfWriter::write(doc);
    EXPECT_EQ(typed.left(headerEnd(typed)), header);
    EXPECT_TRUE(typed.mid(headerEnd(typed)).startsWith("\\pard\\f2\\cf2 x"));
}

TEST(RtfWriter, EscapesTextAndWritesOtherCharacterSetsAsUnicode) {
    QTextDocument doc;
    doc.setPlainText(QString::fromUtf8("a{b}c\\d café €  Ω \u00A0\u00AD\u2011") + QChar(0x1F) +
                     QChar(0xD83D) + QChar(0xDE00) + "\t");
    const QByteArray out = RtfWriter::write(doc);
    EXPECT_TRUE(out.contains(
        "a\\{b\\}c\\\\d caf\\'E9 \\'80  \\u937? \\~\\-\\_\\'1F\\u-10179?\\u-8704?\\tab"))
        << out.constData();
    QTextDocument back;
    RtfReader::read(out, back);
    EXPECT_EQ(back.toRawText(), doc.toRawText());

    // Text in a font of another character set is Unicode.
    RtfReader::read(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f1 \\'c0\\'e9\\f0 "
        "\\'c4\\'e9}",
        doc);
    ASSERT_EQ(doc.toRawText(), QString::fromUtf8("АйÄé"));
    const QByteArray cyrillic = RtfWriter::write(doc);
    // \'XX would be read in the font's code page, so only \uN? is safe there.
    EXPECT_TRUE(cyrillic.contains("\\f1\\u1040?\\u1081?\\f0\\'C4\\'E9")) << cyrillic.constData();
    RtfReader::read(cyrillic, back);
    EXPECT_EQ(back.toRawText(), doc.toRawText());
}

// Each writer's shape, and formats.rtf with every format there is, read,
// written and read again. Written again, it gives the same bytes; without its
// tables (a document that was never RTF), the writer makes tables in the shape
// the build copies that carry the same formats.
TEST(RtfWriter, RoundTripOfEachWritersShape) {
    const QRegularExpression header(
        R"(^\{\\rtf1\\ansi\\deff0\{\\fonttbl(\{\\f\d+\\f[a-z]+(\\fcharset\d+)? [^;]+;\})+\}\r\n)"
        R"(\{\\colortbl;(\\red\d+\\green\d+\\blue\d+;)*\}\r\n$)");
    const QStringList seeds = {"newtopic.rtf",  "richedit1.rtf", "richedit2.rtf",
                               "richedit3.rtf", "wordpad.rtf",   "word.rtf",
                               "ours.rtf",      "cjk.rtf",       "plain.txt"};
    for (const QString& name : seeds + QStringList{"formats.rtf"}) {
        QTextDocument first, second, bare;
        const QByteArray rtf =
            seeds.contains(name) ? rtfSeed(name) : testData(QStringLiteral("rtf/") + name);
        const QByteArray written = roundTrip(rtf, first, second);
        EXPECT_EQ(describe(second), describe(first)) << name.toStdString();
        EXPECT_EQ(RtfWriter::write(second), written) << name.toStdString();
        setRtfTables(first, {});
        const QByteArray made = RtfWriter::write(first);
        EXPECT_TRUE(header.match(QString::fromLatin1(made.left(headerEnd(made)))).hasMatch())
            << made.constData();
        RtfReader::read(made, bare);
        EXPECT_EQ(describe(bare), describe(first)) << name.toStdString();
        // Nothing but 7-bit text goes out.
        for (const QByteArray& out : {written, made})
            EXPECT_FALSE(std::any_of(out.begin(), out.end(), [](char ch) { return ch & 0x80; }));
    }
}

TEST(RtfWriter, ParagraphResetOnlyWhereTheFormatChanges) {
    QTextDocument doc;
    RtfReader::read(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\pard a\\par b\\par\\pard c\\par\\pard\\qc d\\par"
        "\\pard\\qc e\\par\\pard f}",
        doc);
    const QByteArray out = RtfWriter::write(doc);
    const QByteArray body = out.mid(headerEnd(out));
    EXPECT_EQ(body.count("\\pard"), 3) << body.constData();
    EXPECT_TRUE(body.startsWith("\\pard"));
    EXPECT_TRUE(body.contains("c\r\n\\par\\pard\\qc d"));
    EXPECT_TRUE(body.contains("e\r\n\\par\\pard f"));
}

TEST(RtfWriter, BulletsInTheRichEditForm) {
    QTextDocument doc;
    RtfReader::read(rtfSeed("newtopic.rtf"), doc);
    QTextCursor c(&doc);
    c.insertText("item");
    QTextListFormat lf;
    lf.setStyle(QTextListFormat::ListDisc);
    c.createList(lf);
    c.insertBlock();
    c.insertText("next");
    const QByteArray out = RtfWriter::write(doc);
    EXPECT_TRUE(out.contains("\\pard{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
                             "{\\pntext\\f1\\'B7\\tab}"));
    EXPECT_EQ(out.count("{\\pntext\\f1\\'B7\\tab}"), 2);

    // Without a Symbol font in the tables, one is added for the bullet.
    QTextDocument bare;
    QTextCursor b(&bare);
    b.insertText("x");
    b.createList(lf);
    const QByteArray written = RtfWriter::write(bare);
    EXPECT_TRUE(written.contains("{\\f1\\froman\\fcharset2 Symbol;}"));
    EXPECT_TRUE(written.contains("{\\pntext\\f1\\'B7\\tab}")) << written.constData();
}

TEST(RtfWriter, LineBreaksNeverSplitWordsOrCodes) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat text, code, inner;
    text.setFontPointSize(10);
    code.setFontPointSize(10);
    code.setForeground(QColor(128, 0, 0));
    inner = code;
    inner.setFontWeight(QFont::Bold);
    for (int i = 0; i < 400; ++i) {
        c.insertText(QStringLiteral("word %1 ").arg(i), text);
        c.insertText("{HRef=", code);
        c.insertText(QString::number(i), inner); // a format change inside the code
        c.insertText("}", code);
        c.insertText(QStringLiteral(" caf") + QChar(0xE9), text);
        if (i % 50 == 49) c.insertBlock();
    }
    const QByteArray out = RtfWriter::write(doc);
    const QList<QByteArray> lines = out.split('\n');
    EXPECT_GT(lines.size(), 20);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_TRUE(lines[i].endsWith('\r')); // CR LF, never a lone LF
        EXPECT_LT(lines[i].size(), 400);
        EXPECT_TRUE(lines[i + 1].startsWith('\\') || lines[i + 1].startsWith('{'))
            << lines[i + 1].left(40).constData(); // breaks come before a control word
    }
    EXPECT_FALSE(out.contains("\r\r") || out.contains("\r\n ") || out.contains("\\\r\n"));
    // No code is broken: every \{HRef= reaches its \} on the same line.
    const QRegularExpression codeRe(QStringLiteral("\\\\\\{HRef=[^\\r\\n]*?\\\\\\}"));
    EXPECT_EQ(QString::fromLatin1(out).count(codeRe), 400);
}
