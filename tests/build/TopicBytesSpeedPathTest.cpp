// The byte-level topic writer against the 16-bit one: the same file, byte for
// byte, and the same warnings, on ordinary, odd and random documents.
#include "TopicRtf.h"

#include "Cp1252.h"
#include "RecordingUI.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

const QString kHeader =
    QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
                   "{\\f2\\fswiss\\fcharset1 Arial;}}\r\n{\\colortbl;\\red0\\green0\\blue0;}\r\r");

// Pieces that the translation, the brace counting and the encoding react to.
const QStringList kPieces = {
    QStringLiteral("\\pard"),          QStringLiteral("\\pardirnatural"),
    QStringLiteral("\\pard-"),         QStringLiteral("\\{keepn\\}"),
    QStringLiteral("\\{ KeepN \r\n\\}"), QStringLiteral("\\{keepn\\}x"),
    QStringLiteral("\\{keepn\\}\\b"),  QStringLiteral("\\{keepn"),
    QStringLiteral("\\{HRef=12>main\\}"), QStringLiteral("\\{ href \n= a\\\\\\}"),
    QStringLiteral("\\{HREF=}"),       QStringLiteral("\\{href=\\}"),
    QStringLiteral("\\{hrefx=1\\}"),   QStringLiteral("\\{\x01keepn\\}"),
    QStringLiteral("{"),               QStringLiteral("}"),
    QStringLiteral("\\\\"),            QStringLiteral("\\"),
    QStringLiteral("\\'e9"),           QStringLiteral("\\par "),
    QStringLiteral(" text "),          QStringLiteral("\r\n"),
    QStringLiteral("é"),               QStringLiteral("€"),
    QStringLiteral("\u0081"),          QStringLiteral("\u00A0"),
    QStringLiteral("?"),               QStringLiteral("\u2003"),
    QStringLiteral("\u00FF"),          QStringLiteral("_"),
    QStringLiteral("="),               QStringLiteral("\t"),
};

QString randomText(QRandomGenerator& random, int pieces) {
    QString t;
    for (int i = 0; i < pieces; ++i)
        t += kPieces[random.bounded(int(kPieces.size()))];
    return t;
}

QString randomDocument(QRandomGenerator& random) {
    QString t;
    switch (random.bounded(6)) {
    case 0: t = kHeader; break;
    case 1: t = QStringLiteral("  \r\n") + kHeader; break;
    case 2: t = QStringLiteral("{\\rtf1}}{x}"); break; // closes more than it opens
    case 3: t = QStringLiteral("{"); break;
    case 4: t = QStringLiteral("\u00A0{\\rtf1{a}{b}"); break;
    default: t = randomText(random, 3); break; // mostly no document at all
    }
    t += randomText(random, random.bounded(40));
    if (random.bounded(2)) t += QStringLiteral("\\par }");
    if (random.bounded(4) == 0) t += randomText(random, 2);
    return t;
}

TopicFields randomTopic(QRandomGenerator& random) {
    TopicFields t;
    const auto value = [&] {
        return random.bounded(3) == 0 ? QString() : randomText(random, random.bounded(4));
    };
    t.id = QString::number(random.bounded(100000));
    t.name = value();
    t.bseq = value();
    t.window = value();
    t.keys = value();
    t.akeys = value();
    t.text = randomDocument(random);
    return t;
}

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
    const QByteArray bytes = TopicRtfBytes(t);
    EXPECT_TRUE(bytes.contains("\\pard\\keepn\\plain"));
    EXPECT_TRUE(bytes.contains("{\\v 8>main}"));
    EXPECT_TRUE(bytes.contains("${\\footnote $ Caf\\'E9 \\'80}\r\n"));
    EXPECT_TRUE(bytes.contains(" \xE9.\\par }\r\n"));
    expectSame(t);
}

TEST(TopicBytes, OddDocumentsComeOutAsTheWideWriterMakesThem) {
    const QStringList texts = {
        QString(),
        QStringLiteral("plain words \\ { }\nnext line"),
        QStringLiteral("{"),
        QStringLiteral("{}"),
        QStringLiteral("{\\rtf1}}}{x}\\{keepn\\}"),
        kHeader,
        kHeader + QStringLiteral("\\pard text"), // no final brace
        kHeader + QStringLiteral("{\\b open groups\\par }stray"),
        kHeader + QStringLiteral("\\pardirnatural x\\{keepn\\}1\\par }"),
        kHeader + QStringLiteral("\\{keepn\\}\\{keepn\\}\\{ keepn \\}\\par }"),
        kHeader + QStringLiteral("\\{HRef=a}b\\}\\{HRef=c\\\\}\\par }"),
        kHeader + QStringLiteral("\\{HRef=x\\}"),
        kHeader + QStringLiteral("text \u2003 outside the code page\\{keepn\\}\\par }"),
        kHeader + QStringLiteral("\u0081\u008D\u00A0\u00FF€\\par }\\"),
        QStringLiteral("\u00A0\u2003{\\rtf1{a}{b}\\{keepn\\}}"),
        QStringLiteral("\u2026{\\rtf1{a}{b}}"),
    };
    for (const QString& text : texts) {
        TopicFields t;
        t.id = QStringLiteral("1");
        t.name = QStringLiteral("\u2003 ł €");
        t.text = text;
        expectSame(t);
    }
}

TEST(TopicBytes, EscapesAndBracesAtEveryOffsetCountAsInTheWideWriter) {
    // Counting goes by blocks of bytes; an escape may straddle two of them.
    const QStringList tails = {QStringLiteral("\\{{"), QStringLiteral("\\\\{"),
                               QStringLiteral("{\\}}"), QStringLiteral("\\\\\\}{{")};
    for (int k = 0; k < 40; ++k) {
        for (const QString& tail : tails) {
            TopicFields t;
            t.text = kHeader + QString(k, QLatin1Char('x')) + tail + QString(k % 7, QLatin1Char('y')) +
                     tail + QStringLiteral("}");
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

TEST(TopicBytes, RandomTopicsComeOutAsTheWideWriterMakesThem) {
    QRandomGenerator random(20240611);
    for (int i = 0; i < 3000; ++i) {
        const TopicFields t = randomTopic(random);
        expectSame(t);
        if (HasFailure()) break; // one document is enough to look at
    }
}
