// Topic files as a reader other than ours sees them: LibreOffice's RTF import
// must accept every file the build writes, odd topic texts included, and find
// the topic's words in it; and the bytes of codes and IDs in odd shapes.
#include "TopicList.h"

#include "QtPrinters.h"
#include "RecordingUI.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kHeader =
    QStringLiteral("{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans "
                   "Serif;}{\\f1\\fswiss\\fcharset1 Arial;}}\r\n"
                   "{\\colortbl;\\red0\\green0\\blue0;\r\r\\red128\\green0\\"
                   "blue0;}\r\r");

// The files as plain text, converted by LibreOffice in one run.
void convertToText(const QStringList& files, const QString& outDir) {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    ASSERT_FALSE(soffice.isEmpty()) << "soffice (LibreOffice Writer) is not installed";
    QTemporaryDir home; // a profile of its own, away from the user's
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    p.setProcessEnvironment(env);
    p.start(soffice,
            QStringList{"--headless", "--convert-to", "txt:Text", "--outdir", outDir} + files);
    ASSERT_TRUE(p.waitForFinished(300000)) << "soffice did not finish";
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
}

} // namespace

TEST(BuildReader, LibreOfficeReadsEveryTopicFileWithItsWords) {
    RecordingUI::Scope ui; // the bad header's warning
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/";
    TopicList topics;
    topics.add("12", kHeader + "\\pard\\cf2 Coffee\\{keepn\\}\\par\r\n\\cf1 Milk and "
                         "\\strike sugar\\strike0 \\{HRef=3>main\\} with "
                         "\\ul cream\\ul0\\{ HRef=! CloseWindow(`main')\\}\\par\r\n}");
    topics.add("3", "Plain words, not RTF {at all}");
    topics.add("4", kHeader + "\\pard Unclosed {\\b bold words");
    topics.add("5", kHeader + "\\pard Closed words}}} tail");
    topics.add("6", "");
    topics.add("7", kHeader + "\\pard Oddly\\{\r\n keepn\r\n\\} placed \\{kee\r\npn\\} codes\\par}");
    topics.add("12345678", kHeader + "\\pard Widest \\{HRef=\r\n12345678\\}\\par}");
    ASSERT_EQ(BuildFiles(d, "book", topics), 7);

    QStringList files;
    for (const auto& row : topics.rows)
        files << d + "book_" + row.first.id + ".rtf";
    const QString out = d + "text";
    ASSERT_TRUE(QDir().mkpath(out));
    convertToText(files, out);

    const std::map<QString, QStringList> words = {
        {"12", {"Coffee", "Milk and sugar", "3>main", "cream"}},
        {"3", {"Plain words, not RTF {at all}"}},
        {"4", {"Unclosed bold words"}},
        {"5", {"Closed words"}},
        {"6", {}},
        {"7", {"Oddly", "placed", "codes"}},
        {"12345678", {"Widest", "12345678"}},
    };
    for (const auto& [id, expected] : words) {
        const QByteArray bytes = readFile(out + "/book_" + id + ".txt");
        ASSERT_NE(bytes, "<missing>") << "no text for topic " << id.toStdString();
        const QString text = QString::fromUtf8(bytes);
        // Read as RTF, not as plain text: no control word shows.
        EXPECT_FALSE(text.contains('\\')) << text.toStdString();
        EXPECT_FALSE(text.contains("rtf1")) << text.toStdString();
        for (const QString& w : expected)
            EXPECT_TRUE(text.contains(w)) << id.toStdString() << ": " << text.toStdString();
    }
    // The code broken inside its word stays visible (the reader drops the line
    // break); the recognised one is gone.
    const QString odd = QString::fromUtf8(readFile(out + "/book_7.txt"));
    EXPECT_EQ(odd.count("{keepn}"), 1) << odd.toStdString();
    // Braces after the document's end are no header fault.
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST(BuildReader, IdsOfAnyWidthAndTitlesAbove127KeepTheirBytes) {
    RecordingUI::Scope ui;
    TempFolder tmp;
    TopicList topics;
    for (const char* id : {"0", "12345678", "-1234567"})
        topics.add(id, kHeader + "\\pard \\{HRef=" + id + "\\}}").name = QString::fromUtf8("Über € Ж");
    ASSERT_EQ(BuildFiles(tmp.d, "b", topics), 3);
    EXPECT_EQ(readFile(tmp.d + "b.lst"), "b_0.rtf\r\nb_12345678.rtf\r\nb_-1234567.rtf\r\n");
    const QByteArray wide = readFile(tmp.d + "b_12345678.rtf");
    EXPECT_TRUE(wide.contains("\r\r#{\\footnote # 12345678}\r\n${\\footnote $ \\'DCber \\'80 "
                              "\\u1046?}\r\n\\pard {\\v 12345678}}\r\n"))
        << wide.constData();
    EXPECT_TRUE(readFile(tmp.d + "b_-1234567.rtf").contains("{\\v -1234567}"));
    EXPECT_TRUE(ui->messages.isEmpty());
}
