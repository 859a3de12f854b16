// The byte-level topic writer against the 16-bit one at the block edges of its
// scans (the fuzz target compares them on any document).
#include "TopicRtf.h"

#include "Cp1252.h"
#include "RecordingUI.h"

#include <gtest/gtest.h>

namespace {

const QString kHeader =
    QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
                   "{\\f2\\fswiss\\fcharset1 Arial;}}\r\n{\\colortbl;\\red0\\green0\\blue0;}\r\r");

// Both ways on one topic, each with its own record of the warnings.
void expectSame(const TopicFields& topic) {
    QByteArray wide, narrow;
    QStringList wideMessages, narrowMessages;
    {
        RecordingUI::Scope ui;
        wide = Cp1252::encode(TopicRtf(topic));
        wideMessages = ui->messages;
    }
    {
        RecordingUI::Scope ui;
        narrow = TopicRtfBytes(topic);
        narrowMessages = ui->messages;
    }
    EXPECT_EQ(narrow, wide) << qPrintable(topic.text);
    EXPECT_EQ(narrowMessages, wideMessages) << qPrintable(topic.text);
}

} // namespace

TEST(TopicBytes, ATypicalTopicComesOutAsTheWideWriterMakesIt) {
    TopicFields t;
    t.id = QStringLiteral("7");
    t.name = QStringLiteral("Café €");
    t.keys = QStringLiteral("a;b");
    t.text = kHeader + QStringLiteral("\\pard\\plain \\b Title\\b0 \\{keepn\\}\r\n\\par See "
                                      "\\{HRef=8>main\\} and \\'e9t\\'e9 é.\\par }");
    expectSame(t);
}

TEST(TopicBytes, EscapesAndBracesAtEveryOffsetCountAsInTheWideWriter) {
    // Counting goes by blocks of bytes; an escape may straddle two of them.
    const QStringList tails = {QStringLiteral("\\{{"), QStringLiteral("\\\\{"),
                               QStringLiteral("{\\}}"), QStringLiteral("\\\\\\}{{")};
    for (int k = 0; k < 40; ++k) {
        for (const QString& tail : tails) {
            TopicFields t;
            t.text = kHeader + QString(k, QLatin1Char('x')) + tail +
                     QString(k % 7, QLatin1Char('y')) + tail + QStringLiteral("}");
            expectSame(t);
        }
    }
}

TEST(TopicBytes, HeadersOfEveryLengthEndWhereTheWideWriterEndsThem) {
    // The header is searched by blocks of bytes for its braces.
    for (int k = 0; k < 40; ++k) {
        const QString pad(k, QLatin1Char('p'));
        for (const QString& head :
             {QStringLiteral("{%1{a%1}%1{b}%1\r\n\r\nbody}"), QStringLiteral("{%1}%1}{%1}x}"),
              QStringLiteral("{%1{%1"), QStringLiteral("{%1{a}%1")}) {
            TopicFields t;
            t.text = head.arg(pad);
            expectSame(t);
        }
    }
}
