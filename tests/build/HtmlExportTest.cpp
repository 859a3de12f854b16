// The HTML export over topics handed in as a list: the codes as links,
// pop-ups, macros, buttons and pictures, the formatting, escaping and
// accented text, the contents tree, keyword index and browse sequence, and
// the failures.
#include "HtmlExport.h"

#include "KivError.h"
#include "TestFiles.h"
#include "TopicList.h"

#include <QImage>
#include <QRegularExpression>

namespace {

QString doc(const QString& body) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
           "{\\colortbl;\\red0\\green0\\blue255;\\red0\\green128\\blue0;\\red128\\green0\\blue0;}"
           "\r\n\\pard\\f0\\fs20 " +
           body + "\\par}";
}

// A jump, a pop-up and a macro hotspot as the editor writes them: green
// struck-through or underlined text, then the maroon code.
QString jump(const QString& hot, const QString& target) {
    return "\\cf2\\strike " + hot + "\\strike0\\cf3 \\{HRef=" + target + "\\}\\cf0 ";
}
QString popup(const QString& hot, const QString& target) {
    return "\\cf2\\ul " + hot + "\\ulnone\\cf3 \\{HRef=" + target + "\\}\\cf0 ";
}

class HtmlExportTest : public ::testing::Test {
protected:
    HtmlExportResult exportAll(const QStringList& contents = {}) {
        HtmlExportProject project{project_.d, "book", contents};
        topics.at = 0;
        return ExportHtml(out, project, topics);
    }
    QString page(const QString& name) const { return QString::fromUtf8(readFile(out + name)); }

    TopicList topics;
    TempFolder project_;
    TempFolder site;
    const QString out = site.d + "html/";
};

TEST_F(HtmlExportTest, CodesBecomeLinksPopupsMacrosButtonsAndPictures) {
    QImage logo(12, 7, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(project_.d + "Logo.BMP", "BMP"));
    topics.add("1", doc("\\b Title\\b0\\par \\cf3 \\{keepn\\}\\cf0\\par Read " + jump("Two", "2") +
                        "and " + jump("Big", "2>main") + "or " + popup("a note", "3") + "or " +
                        jump("Start", "! ExecFile(\"a&b\")") + jump("Lost", "99") +
                        "\\{button Go,JI(`',2)\\} \\{bmc logo.bmp\\}\\{bml gone.bmp\\}"
                        "\\{bmr ..\\\\..\\\\Logo.bmp\\} \\{keepn1\\} \\{keepn\\}"));
    topics.add("2", doc("Second"));
    topics.add("3", doc("The \\b note\\b0  text"));
    const HtmlExportResult r = exportAll();
    EXPECT_EQ(r.pages, 3);
    EXPECT_EQ(r.warnings, QStringList({"Topic 1: link to missing topic \"99\"",
                                       "Topic 1: picture gone.bmp not found in " + project_.d}));

    const QString p = page("topic_1.html");
    // The title region holds what comes before the first {keepn}; the codes are gone.
    const QString header = p.section("<div class=\"kh-title\">", 1).section("</div>", 0, 0);
    EXPECT_TRUE(header.contains("Title")) << header.toStdString();
    EXPECT_FALSE(header.contains("Read"));
    EXPECT_FALSE(p.contains("HRef") || p.contains("{keepn}") || p.contains("{bm") ||
                 p.contains("{button"))
        << p.toStdString();
    EXPECT_TRUE(p.contains("{keepn1}")); // not a code: stays text
    EXPECT_TRUE(p.contains(QRegularExpression("<a class=\"kh-jump\" href=\"topic_2.html\">"
                                              "<span class=\"k\\d+\">Two</span></a>")));
    EXPECT_TRUE(p.contains("<a class=\"kh-jump\" href=\"topic_2.html\" data-window=\"main\">"));
    EXPECT_TRUE(p.contains("<a class=\"kh-popup\" href=\"topic_3.html\" data-popup=\"3\">"));
    // The pop-up's text travels with the page, so it shows without leaving it.
    EXPECT_TRUE(
        p.contains(QRegularExpression("<template id=\"kh-pop-3\"><p>.*note.*</p>\n</template>",
                                      QRegularExpression::DotMatchesEverythingOption)));
    EXPECT_TRUE(p.contains("<span class=\"kh-macro\" title=\"ExecFile(&quot;a&amp;b&quot;)\">"));
    EXPECT_TRUE(p.contains(QRegularExpression("<span class=\"kh-broken\" title=\"No topic 99\">"
                                              "<span class=\"k\\d+\">Lost</span></span>")));
    EXPECT_TRUE(p.contains("<button type=\"button\" class=\"kh-button\" "
                           "title=\"JI(`&#39;,2)\">Go</button>"));
    EXPECT_FALSE(p.contains("onclick"));
    // Both spellings and the folder in front find the one picture, converted once.
    EXPECT_TRUE(p.contains("<img class=\"kh-bmc\" src=\"images/Logo.png\" alt=\"logo.bmp\">"));
    EXPECT_TRUE(p.contains("<img class=\"kh-bmr\" src=\"images/Logo.png\" alt=\"Logo.bmp\">"));
    EXPECT_TRUE(p.contains("<span class=\"kh-missing kh-bml\" title=\"Missing picture\">"
                           "gone.bmp</span>"));
    const QImage png(out + "images/Logo.png", "PNG");
    EXPECT_EQ(png.size(), QSize(12, 7));
    EXPECT_EQ(png.pixel(3, 3), QColor(Qt::red).rgb());
    // A topic without a title region has a header with the bar alone.
    EXPECT_FALSE(page("topic_2.html").contains("kh-title"));
}

TEST_F(HtmlExportTest, FormattingBecomesStylesAndLooks) {
    topics.add("5", doc("\\qc\\f1\\fs28\\cf1\\b\\i Big\\plain\\f0\\fs20  \\ul u\\ulnone  "
                        "\\strike s\\strike0\\par\\pard\\qr right\\par"
                        "\\pard\\li720\\ri360\\fi-360 indented\\tab tab\\line next\\par"
                        "{\\pntext\\'B7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}\\li360 bullet\\par"
                        "\\pard\\par after"));
    exportAll();
    const QString p = page("topic_5.html");
    const QString looks = page("looks.css");
    // Each look is one class of looks.css.
    const auto cls = [&](const QString& css) {
        const QRegularExpressionMatch m =
            QRegularExpression("\\.(k\\d+) \\{ " + QRegularExpression::escape(css) + " \\}")
                .match(looks);
        EXPECT_TRUE(m.hasMatch()) << css.toStdString() << "\n" << looks.toStdString();
        return m.captured(1);
    };
    const QString big = cls("font-family:'Courier New',monospace;font-size:14pt;"
                            "font-weight:bold;font-style:italic;color:#0000ff;");
    const QString under = cls("font-family:'Arial',sans-serif;font-size:10pt;"
                              "text-decoration:underline;");
    const QString strike = cls("font-family:'Arial',sans-serif;font-size:10pt;"
                               "text-decoration:line-through;");
    EXPECT_TRUE(
        p.contains("<p style=\"text-align:center;\"><span class=\"" + big + "\">Big</span>"))
        << p.toStdString();
    EXPECT_TRUE(p.contains("<span class=\"" + under + "\">u</span>"));
    EXPECT_TRUE(p.contains("<span class=\"" + strike + "\">s</span>"));
    EXPECT_TRUE(p.contains("<p style=\"text-align:right;\">"));
    EXPECT_TRUE(p.contains("<p style=\"margin-left:48px;margin-right:24px;text-indent:-24px;\">"));
    EXPECT_TRUE(p.contains("indented\ttab<br>next"));
    EXPECT_TRUE(p.contains("<p class=\"kh-bullet\" style=\"margin-left:24px;margin-right:24px;"
                           "text-indent:-24px;\"><span class=\"k2\">bullet</span></p>"));
    EXPECT_TRUE(p.contains("<p><br></p>")); // an empty paragraph keeps its line
    EXPECT_FALSE(p.contains("\u00B7"));     // the bullet's own text is the list's
}

TEST_F(HtmlExportTest, EverythingIsEscapedAndAccentedTextIsUtf8) {
    topics.add("7", doc("Caf\\'e9 \\u937? <script>alert(1)</script> & \\{b\\}")).name =
        "Caf\u00E9 <b>\"&'";
    topics.rows.last().first.keys = "Caf\u00E9;<i>";
    exportAll();
    const QString p = page("topic_7.html");
    EXPECT_TRUE(p.contains("<title>Caf\u00E9 &lt;b&gt;&quot;&amp;&#39;</title>"));
    EXPECT_TRUE(p.contains("Caf\u00E9 \u03A9 &lt;script&gt;alert(1)&lt;/script&gt; &amp; {b}"));
    EXPECT_FALSE(p.contains("<script>alert"));
    EXPECT_TRUE(readFile(out + "topic_7.html").contains("Caf\xC3\xA9")); // UTF-8 bytes
    EXPECT_TRUE(page("keywords.html").contains("&lt;i&gt;</a>"));
    EXPECT_TRUE(page("index.html").contains("Caf\u00E9 &lt;b&gt;&quot;&amp;&#39;</a>"));
    // The search finds the word without its accent too; the data file stays a
    // script even when a title holds "</script>".
    EXPECT_EQ(SearchWords(QString("Caf\u00E9-au LAIT, 12")),
              QStringList({"cafe", "au", "lait", "12"}));
    const QByteArray js = readFile(out + "search-index.js");
    EXPECT_TRUE(js.contains("\"cafe\":[0]"));
    EXPECT_TRUE(js.contains("\"\\u003cscript\\u003e\"") || js.contains("\"script\":[0]"));
    EXPECT_TRUE(js.contains("[\"topic_7.html\",\"Caf\xC3\xA9 \\u003cb\\u003e\\\"\\u0026'\"]"))
        << js.constData();
}

TEST_F(HtmlExportTest, ContentsIndexAndBrowseSequence) {
    topics.add("1", doc("One")).bseq = "a";
    topics.add("2", doc("Two")).bseq = "A";
    topics.add("3", doc("Three")).bseq = "0";
    topics.add("4", doc("Four")).keys = "print; setup ;print";
    topics.rows[0].first.keys = "Print;start";
    const HtmlExportResult r =
        exportAll({":Base book.hlp", "1 Guide", "2 First=1", "3 Deep=2>main", "2 Part",
                   "3 Third=03", "1 Other=4", "2 Gone=88", "2 Elsewhere=x@other.hlp"});
    EXPECT_EQ(r.warnings, QStringList({"Contents: \"Gone\" names missing topic \"88\""}));
    const QString toc = page("index.html");
    EXPECT_TRUE(
        toc.contains("<ul class=\"kh-tree\">\n"
                     "<li class=\"kh-book\"><details open><summary>Guide</summary>\n<ul>\n"
                     "<li><a href=\"topic_1.html\">First</a></li>\n"
                     "<li><a href=\"topic_2.html\">Deep</a></li>\n"
                     "<li class=\"kh-book\"><details open><summary>Part</summary>\n<ul>\n"
                     "<li><a href=\"topic_3.html\">Third</a></li>\n"
                     "</ul></details></li>\n</ul></details></li>\n"
                     "<li><a href=\"topic_4.html\">Other</a></li>\n"
                     "<li><span class=\"kh-broken\" title=\"No topic 88\">Gone</span></li>\n"
                     "<li><span class=\"kh-broken\" title=\"No topic x@other.hlp\">"
                     "Elsewhere</span></li>\n</ul>"))
        << toc.toStdString();

    // Keywords split at ";", trimmed, one entry for "Print" and "print".
    const QString keys = page("keywords.html");
    EXPECT_TRUE(keys.contains("<li>Print<ul>\n<li><a href=\"topic_1.html\">Topic 1</a></li>\n"
                              "<li><a href=\"topic_4.html\">Topic 4</a></li>\n</ul></li>\n"
                              "<li><a href=\"topic_4.html\">setup</a></li>\n"
                              "<li><a href=\"topic_1.html\">start</a></li>\n"))
        << keys.toStdString();

    // By browse string, then by ID: 3, 1, 2; topic 4 is in no sequence.
    const auto links = [&](const QString& name) {
        const QString p = page(name);
        QString prev = p.section("rel=\"prev\" href=\"", 1).section('"', 0, 0);
        QString next = p.section("rel=\"next\" href=\"", 1).section('"', 0, 0);
        return prev + "|" + next;
    };
    EXPECT_EQ(links("topic_3.html"), "|topic_1.html");
    EXPECT_EQ(links("topic_1.html"), "topic_3.html|topic_2.html");
    EXPECT_EQ(links("topic_2.html"), "topic_1.html|");
    EXPECT_FALSE(page("topic_4.html").contains("Previous"));

    // Without contents every topic is listed.
    exportAll();
    EXPECT_TRUE(page("index.html").contains("<li><a href=\"topic_4.html\">Topic 4</a></li>"));
}

TEST_F(HtmlExportTest, OverwritesAnEarlierExportAndFailsClearly) {
    topics.add("1", doc("Old"));
    exportAll();
    writeFile(out + "mine.txt", "kept");
    topics.rows[0].first.text = doc("New");
    topics.add("", doc("No ID")).name = "Loose";
    const HtmlExportResult r = exportAll();
    EXPECT_EQ(r.pages, 1);
    EXPECT_EQ(r.warnings, QStringList({"A topic without ID is left out: \"Loose\""}));
    EXPECT_TRUE(page("topic_1.html").contains("New"));
    EXPECT_FALSE(page("topic_1.html").contains("Old"));
    EXPECT_EQ(readFile(out + "mine.txt"), "kept");

    // A folder that cannot be made: a file stands where it would go.
    writeFile(site.d + "file", "x");
    TopicList again;
    again.add("1", doc("x"));
    try {
        ExportHtml(site.d + "file/html", HtmlExportProject{project_.d, "book", {}}, again);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), "Cannot create folder " + site.d + "file/html/");
    }
}

} // namespace
