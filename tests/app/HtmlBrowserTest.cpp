// The exported HTML help in a real browser: headless Chromium loads every
// page, every link of the pages as the browser sees them leads to a page that
// has it, the search page finds a word from its address, a pop-up opens, and
// a screenshot of a topic is left for review (html-export.png in the test's
// working folder).
#include "ProjectFixture.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

namespace {

class HtmlBrowserTest : public ProjectFixture {
protected:
    void SetUp() override {
        browser = QString::fromLocal8Bit(qgetenv("CHROMIUM"));
        if (browser.isEmpty()) browser = QStandardPaths::findExecutable("chromium");
        ASSERT_FALSE(browser.isEmpty())
            << "chromium is not installed (scripts/deps.sh installs Debian's chromium)";
        QImage logo(48, 32, QImage::Format_RGB32);
        logo.fill(QColor(0, 0, 160));
        for (int x = 8; x < 40; ++x)
            logo.setPixel(x, 16, qRgb(255, 255, 0));
        ASSERT_TRUE(logo.save(d + "logo.bmp", "BMP"));

        createProject();
        const QString title =
            "\\pard\\cf1\\b\\fs32 %1\\b0\\fs20\\cf0\\par \\cf3 \\{keepn\\}\\cf0\\par ";
        const auto jump = [](const QString& hot, int id) {
            return QString("\\cf2\\strike %1\\strike0\\cf3 \\{HRef=%2\\}\\cf0  ").arg(hot).arg(id);
        };
        addTopic(1, "Welcome",
                 doc(title.arg("Welcome") + "Read the " + jump("printing guide", 2) + "or a " +
                     "\\cf2\\ul note\\ulnone\\cf3 \\{HRef=3\\}\\cf0  about caf\\'e9s." +
                     "\\par \\{bmc logo.bmp\\} \\{button Close,Exit()\\} \\cf2\\strike Web\\strike0"
                     "\\cf3 \\{HRef=! ExecFile(\"http://x\")\\}\\cf0\\par\\pard\\li360\\fi-360"
                     "{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}\\i one\\i0\\par two"));
        addTopic(2, "Printing", doc(title.arg("Printing") + "Back to " + jump("Welcome", 1)));
        addTopic(3, "Note", doc("A \\b short\\b0  note."));
        for (int id : {1, 2}) {
            ASSERT_TRUE(dm.TbMain->Locate("ID", id));
            dm.TbMain->Edit();
            dm.TbMain->FieldByName("BSEQ")->setAsString(QString("main:%1").arg(id));
            dm.TbMain->FieldByName("KEYS")->setAsString(id == 1 ? "start;Caf\u00E9" : "print");
            dm.TbMain->Post();
        }
        writeFile(d + "book.toc", "1 Guide\r\n2 Welcome=1\r\n2 Printing=2\r\n1 Note=3\r\n");
        dm.CloseProject(false);

        QProcess p;
        p.start(QString::fromLocal8Bit(qgetenv("KIVHELP")),
                {"--export-html", d + "book.hpj", site});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    }

    static QString doc(const QString& body) {
        return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0"
               "\\blue255;\\red0\\green128\\blue0;\\red128\\green0\\blue0;}\r\n\\pard\\fs20 " +
               body + "\\par}";
    }

    // One headless run on a page of the site; each with a profile of its own.
    QByteArray chromium(const QStringList& args, const QString& page) const {
        TempFolder profile;
        QProcess p;
        p.start(browser,
                QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update",
                            "--disable-sync", "--allow-file-access-from-files", "--hide-scrollbars",
                            "--user-data-dir=" + profile.d} +
                    args + QStringList{QUrl::fromLocalFile(site).toString() + page});
        if (!p.waitForFinished(90000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "chromium did not finish on " << page.toStdString();
        }
        return p.readAllStandardOutput();
    }
    QString dom(const QString& page) const {
        return QString::fromUtf8(chromium({"--dump-dom"}, page));
    }

    QString browser;
    const QString site = tmp.d + "site/";
};

TEST_F(HtmlBrowserTest, EveryLinkResolvesSearchFindsAndTheTopicRenders) {
    // Every page the browser shows, and every link in it.
    QStringList pages{"index.html", "keywords.html", "search.html"};
    QSet<QString> seen;
    int jumps = 0;
    while (!pages.isEmpty()) {
        const QString page = pages.takeFirst();
        if (seen.contains(page)) continue;
        seen << page;
        const QString html = dom(page);
        ASSERT_TRUE(html.contains("</body>")) << page.toStdString();
        const QRegularExpression href("<a [^>]*href=\"([^\"#?]+)(#[^\"]*)?\"([^>]*)>");
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const auto link = m.next();
            const QString target = link.captured(1);
            const QString file = readFile(site + target);
            ASSERT_NE(file, "<missing>") << page.toStdString() << " -> " << target.toStdString();
            const auto topic = QRegularExpression("^topic_(\\d+)\\.html$").match(target);
            if (topic.hasMatch()) {
                ++jumps;
                EXPECT_TRUE(file.contains("<body data-topic=\"" + topic.captured(1) + "\">"))
                    << target.toStdString();
                pages << target;
            }
            if (!link.captured(2).isEmpty()) {
                EXPECT_TRUE(file.contains("id=\"" + link.captured(2).mid(1) + "\""));
            }
            // A pop-up's text is in its own page.
            const auto popup =
                QRegularExpression("data-popup=\"([^\"]+)\"").match(link.captured(0));
            if (popup.hasMatch()) {
                EXPECT_TRUE(html.contains("<template id=\"kh-pop-" + popup.captured(1) + "\">"));
            }
        }
    }
    EXPECT_EQ(seen.size(), 6);
    EXPECT_GE(jumps, 10);

    // The search page runs its script on the word in its address.
    const QString found = dom("search.html?q=CAFE");
    EXPECT_TRUE(found.contains("1 topic found."));
    EXPECT_TRUE(found.contains("<li><a href=\"topic_1.html\">Welcome</a></li>"))
        << found.toStdString();
    EXPECT_TRUE(
        dom("search.html?q=print%20back").contains("<a href=\"topic_2.html\">Printing</a>"));
    EXPECT_TRUE(dom("search.html?q=nowhere").contains("No topic found."));

    // The pop-up opens over the page; the screenshot shows it.
    EXPECT_TRUE(QRegularExpression("<div class=\"kh-popup-box\"[^>]*>.*short.*</div>",
                                   QRegularExpression::DotMatchesEverythingOption)
                    .match(dom("topic_1.html#kh-pop-3"))
                    .hasMatch());
    const QString shot = QDir::currentPath() + "/html-export.png";
    QFile::remove(shot);
    chromium({"--screenshot=" + shot, "--window-size=640,360"}, "topic_1.html#kh-pop-3");
    const QImage image(shot);
    ASSERT_EQ(image.size(), QSize(640, 360)) << shot.toStdString();
    // Not blank: the title's blue, the picture's and a good many other colours.
    QSet<QRgb> colours;
    bool titleBlue = false, pictureBlue = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xffffff;
            colours << c;
            titleBlue |= c == 0x0000ff;
            pictureBlue |= c == 0x0000a0;
        }
    EXPECT_GT(colours.size(), 20);
    EXPECT_TRUE(titleBlue && pictureBlue);
    std::printf("screenshot for review: %s\n", qPrintable(shot));
}

} // namespace
