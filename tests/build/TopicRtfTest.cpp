#include "TopicRtf.h"

#include "KivError.h"
#include "RecordingUI.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

const QString kNewTopic =
    QStringLiteral("{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
                   "{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fswiss\\fcharset1 Arial;}"
                   "{\\f3\\fswiss\\fcharset1 Arial;}}\r\n"
                   "{\\colortbl;\\red0\\green0\\blue0;}\r\r}");

QString translated(QString body) {
    TranslateCodes(body);
    return body;
}

} // namespace

TEST(TopicRtf, FootnotesComeInTheirOrderAndSkipEmptyValues) {
    TopicFields t;
    t.id = QStringLiteral("12");
    t.name = QStringLiteral("Intro");
    t.keys = QStringLiteral("start;begin");
    EXPECT_EQ(FootnoteLines(t), QStringLiteral("#{\\footnote # 12}\r\n${\\footnote $ Intro}\r\n"
                                               "K{\\footnote K start;begin}\r\n"));
    t.id.clear();
    t.bseq = QStringLiteral("a:1");
    t.window = QStringLiteral("main");
    t.akeys = QStringLiteral("x");
    EXPECT_EQ(FootnoteLines(t), QStringLiteral("${\\footnote $ Intro}\r\n+{\\footnote + a:1}\r\n"
                                               ">{\\footnote > main}\r\nK{\\footnote K start;begin}\r\n"
                                               "A{\\footnote A x}\r\n"));
}

TEST(TopicRtf, EscapesOnlyCharactersAbove127) {
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("Café")), QStringLiteral("Caf\\'E9"));
    EXPECT_EQ(EscapeRtfText(QStringLiteral("a{b}\\c")), QStringLiteral("a{b}\\c"));
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("€")), QStringLiteral("\\'80"));
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("Ж")), QStringLiteral("\\u1046?"));
}

TEST(TopicRtf, SystemRegionEndsAfterTwoGroupsAndTheirLineBreaks) {
    EXPECT_EQ(SystemRegionEnd(QString()), 0);
    const QString doc = QStringLiteral("{\\rtf1{a}x{b}\r\n\\pard text}");
    EXPECT_EQ(doc.mid(SystemRegionEnd(doc) - 1), QStringLiteral("\\pard text}"));
    // The never-edited document: the body is its final brace.
    EXPECT_EQ(kNewTopic.mid(SystemRegionEnd(kNewTopic) - 1), QStringLiteral("}"));
}

TEST(TopicRtf, BadHeaderWarnsOnceAndRunsToTheEnd) {
    RecordingUI::Scope ui;
    const QString doc = QStringLiteral("{\\rtf1}}}abc");
    EXPECT_EQ(SystemRegionEnd(doc), doc.size() + 1);
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("Bad system region in RTF")});
}

TEST(TopicRtf, KeepnEndsTheParagraphAndMarksTheFirstReset) {
    EXPECT_EQ(translated(QStringLiteral("\\pard Title\\{keepn\\}Body")),
              QStringLiteral("\\pard\\keepn Title\\par\\pard Body"));
    // A word-like \pard further on is not the paragraph reset.
    EXPECT_EQ(translated(QStringLiteral("\\pardirnatural\\pard T\\{keepn\\}\\par")),
              QStringLiteral("\\pardirnatural\\pard\\keepn T\\par\\pard\\par"));
    EXPECT_EQ(translated(QStringLiteral("\\pard T\\{ keepn \r\n\\}B")),
              QStringLiteral("\\pard\\keepn T\\par\\pard B"));
    EXPECT_EQ(translated(QStringLiteral("\\pard T\\{keepn\\} B")),
              QStringLiteral("\\pard\\keepn T\\par\\pard B"));
    // Each further code adds one more mark at the same first reset.
    EXPECT_EQ(translated(QStringLiteral("\\pard A\\{KeepN\\}B\\{keepn\\}C")),
              QStringLiteral("\\pard\\keepn\\keepn A\\par\\pard B\\par\\pard C"));
    // Not recognised: a digit after the word, or formatting before the closing brace.
    EXPECT_EQ(translated(QStringLiteral("\\pard \\{keepn1\\}")), QStringLiteral("\\pard \\{keepn1\\}"));
    EXPECT_EQ(translated(QStringLiteral("\\pard \\{keepn\\cf1\\}")),
              QStringLiteral("\\pard \\{keepn\\cf1\\}"));
}

TEST(TopicRtf, HRefBecomesHiddenTargetAndTheScanResumes) {
    EXPECT_EQ(translated(QStringLiteral("\\strike Index\\strike0 \\{HRef=12\\}")),
              QStringLiteral("\\strike Index\\strike0 {\\v 12}"));
    EXPECT_EQ(translated(QStringLiteral("a\\{href=5\\} b\\{HRef = 7>main\\}")),
              QStringLiteral("a{\\v 5} b{\\v  7>main}"));
    EXPECT_EQ(translated(QStringLiteral("\\{HRef=! CloseWindow(`main')\\}")),
              QStringLiteral("{\\v ! CloseWindow(`main')}"));
    // Unrecognised forms stay visible text.
    EXPECT_EQ(translated(QStringLiteral("\\{HRef 12\\}")), QStringLiteral("\\{HRef 12\\}"));
    EXPECT_EQ(translated(QStringLiteral("\\{HRef=12}")), QStringLiteral("\\{HRef=12}"));
    EXPECT_EQ(translated(QStringLiteral("\\{bmc pic.bmp\\}")), QStringLiteral("\\{bmc pic.bmp\\}"));
}

TEST(TopicRtf, WholeFileKeepsHeaderFootnotesBodyAndClosesTheDocument) {
    TopicFields t;
    t.id = QStringLiteral("3");
    t.name = QStringLiteral("New");
    t.text = kNewTopic;
    const QString header = kNewTopic.left(SystemRegionEnd(kNewTopic) - 1);
    EXPECT_EQ(TopicRtf(t), header + QStringLiteral("#{\\footnote # 3}\r\n${\\footnote $ New}\r\n}\r\n"));

    // Anything after the final brace (a terminator some writers add) is dropped.
    t.text = QStringLiteral("{\\rtf1{f}{c}\\pard x\\{HRef=9\\}}\r\n");
    EXPECT_TRUE(TopicRtf(t).endsWith(QStringLiteral("\\pard x{\\v 9}}\r\n")));
}

TEST(TopicRtf, BadTextsStillGiveADocument) {
    TopicFields t;
    t.id = QStringLiteral("1");
    // Empty: a document of its own that holds the footnotes.
    EXPECT_EQ(TopicRtf(t), QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                                          "{\\colortbl;}#{\\footnote # 1}\r\n\\pard }\r\n"));
    // Unbalanced braces are closed.
    t.text = QStringLiteral("{\\rtf1{f}{c}\\pard {\\b bold");
    EXPECT_TRUE(TopicRtf(t).endsWith(QStringLiteral("{\\b bold}}\r\n")));
    // Plain text is wrapped, its braces escaped and its words kept.
    t.text = QString::fromUtf8("Hello {world}\r\nCafé");
    const QString rtf = TopicRtf(t);
    EXPECT_TRUE(rtf.startsWith(QStringLiteral("{\\rtf1")));
    EXPECT_TRUE(rtf.contains(QStringLiteral("Hello \\{world\\}\\par Caf\\'E9}")));
    EXPECT_TRUE(rtf.contains(QStringLiteral("#{\\footnote # 1}")));
}

TEST(TopicRtf, WritesWindows1252AndReportsDeviceFailure) {
    TopicFields t;
    t.name = QString::fromUtf8("é");
    t.text = QString::fromUtf8("{\\rtf1{f}{c}é}");
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    WriteTopicRtf(buf, t);
    EXPECT_TRUE(buf.data().contains("${\\footnote $ \\'E9}"));
    EXPECT_TRUE(buf.data().contains("\xE9}"));
    QBuffer closed;
    EXPECT_THROW(WriteTopicRtf(closed, t), EKivError);
}
