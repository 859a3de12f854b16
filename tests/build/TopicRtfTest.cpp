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
    EXPECT_EQ(FootnoteLines(t),
              QStringLiteral("${\\footnote $ Intro}\r\n+{\\footnote + a:1}\r\n"
                             ">{\\footnote > main}\r\nK{\\footnote K start;begin}\r\n"
                             "A{\\footnote A x}\r\n"));
}

TEST(TopicRtf, EscapesOnlyCharactersAbove127) {
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("Café")), QStringLiteral("Caf\\'E9"));
    EXPECT_EQ(EscapeRtfText(QStringLiteral("a{b}\\c")), QStringLiteral("a{b}\\c"));
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("€")), QStringLiteral("\\'80"));
    EXPECT_EQ(EscapeRtfText(QString::fromUtf8("Ж")), QStringLiteral("\\u1046?"));
}

TEST(TopicRtf, SystemRegionEndsAfterTwoGroupsAndTheirLineBreaksOrWarnsAndRunsToTheEnd) {
    EXPECT_EQ(SystemRegionEnd(QString()), 0);
    const QString doc = QStringLiteral("{\\rtf1{a}x{b}\r\n\\pard text}");
    EXPECT_EQ(doc.mid(SystemRegionEnd(doc) - 1), QStringLiteral("\\pard text}"));
    // The never-edited document: the body is its final brace.
    EXPECT_EQ(kNewTopic.mid(SystemRegionEnd(kNewTopic) - 1), QStringLiteral("}"));
    // A bad header warns once and runs to the end.
    RecordingUI::Scope ui;
    const QString bad = QStringLiteral("{\\rtf1}}}abc");
    EXPECT_EQ(SystemRegionEnd(bad), bad.size() + 1);
    EXPECT_EQ(ui->messages, QStringList{QStringLiteral("Bad system region in RTF")});
}

TEST(TopicRtf, KeepnAndHRefCodesAreTranslatedAndOtherFormsStayText) {
    const std::pair<const char*, const char*> cases[] = {
        // keepn ends the paragraph and marks the first paragraph reset; a
        // word-like \pard further on is not the reset.
        {"\\pard Title\\{keepn\\}Body", "\\pard\\keepn Title\\par\\pard Body"},
        {"\\pardirnatural\\pard T\\{keepn\\}\\par",
         "\\pardirnatural\\pard\\keepn T\\par\\pard\\par"},
        {"\\pard T\\{ keepn \r\n\\}B", "\\pard\\keepn T\\par\\pard B"},
        {"\\pard T\\{keepn\\} B", "\\pard\\keepn T\\par\\pard B"},
        // Each further code adds one more mark at the same first reset.
        {"\\pard A\\{KeepN\\}B\\{keepn\\}C", "\\pard\\keepn\\keepn A\\par\\pard B\\par\\pard C"},
        // Not recognised: a digit after the word, or formatting before the closing brace.
        {"\\pard \\{keepn1\\}", "\\pard \\{keepn1\\}"},
        {"\\pard \\{keepn\\cf1\\}", "\\pard \\{keepn\\cf1\\}"},
        // HRef becomes a hidden target and the scan resumes after it.
        {"\\strike Index\\strike0 \\{HRef=12\\}", "\\strike Index\\strike0 {\\v 12}"},
        {"a\\{href=5\\} b\\{HRef = 7>main\\}", "a{\\v 5} b{\\v  7>main}"},
        {"\\{HRef=! CloseWindow(`main')\\}", "{\\v ! CloseWindow(`main')}"},
        {"\\{HRef 12\\}", "\\{HRef 12\\}"},
        {"\\{HRef=12}", "\\{HRef=12}"},
        {"\\{bmc pic.bmp\\}", "\\{bmc pic.bmp\\}"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(translated(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST(TopicRtf, WholeFileKeepsHeaderFootnotesBodyAndClosesTheDocument) {
    TopicFields t;
    t.id = QStringLiteral("3");
    t.name = QStringLiteral("New");
    t.text = kNewTopic;
    const QString header = kNewTopic.left(SystemRegionEnd(kNewTopic) - 1);
    EXPECT_EQ(TopicRtf(t),
              header + QStringLiteral("#{\\footnote # 3}\r\n${\\footnote $ New}\r\n}\r\n"));

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
