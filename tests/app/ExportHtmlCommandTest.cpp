// Exporting HTML help from outside (kivhelp --export-html: its files, what it
// prints, its exit status) and from the main window's command (the folder
// asked for, the pending edit and the Contents page stored first).
#include "Main.h"
#include "ProjectFixture.h"

#include <QToolButton>

namespace {

class ExportHtmlCommandTest : public ProjectFixture {
protected:
    void SetUp() override {
        createProject();
        addTopic(1, "One", topicText("First \\{bmc none.bmp\\}"));
        addTopic(2, "Two", topicText("Second"));
        writeFile(d + "book.toc", "1 Book\r\n2 One=1\r\n2 Two=2\r\n");
        dm.CloseProject(false);
    }

    ProgramRun run(const QStringList& args, const QString& workingDir = {}) const {
        return runProgram(QString::fromLocal8Bit(qgetenv("KIVHELP")),
                          QStringList{"--export-html"} + args,
                          workingDir.isEmpty() ? tmp.d : workingDir);
    }
};

TEST_F(ExportHtmlCommandTest, CommandWritesTheSiteAndWarnsOfMissingPictures) {
    ASSERT_FALSE(qgetenv("KIVHELP").isEmpty());
    const QByteArray table = readFile(d + "book.dbf");
    // A relative folder is made in the working folder, with its parents.
    ProgramRun r = run({"book.hpj", "site/html"}, d);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err, "Topic 1: picture none.bmp not found in " + d.toUtf8() + "\n");
    const QString site = d + "site/html/";
    for (const char* name :
         {"index.html", "keywords.html", "search.html", "search-index.js", "search.js",
          "kivhelp.css", "kivhelp.js", "looks.css", "topic_1.html", "topic_2.html"})
        EXPECT_TRUE(QFileInfo(site + name).isFile()) << name;
    EXPECT_EQ(readFile(d + "book.dbf"), table); // nothing stored

    const std::pair<QStringList, QByteArray> failures[] = {
        {{}, "Usage: kivhelp --export-html PROJECT.hpj OUTDIR\n"},
        {{d + "book.hpj"}, "Usage: kivhelp --export-html PROJECT.hpj OUTDIR\n"},
        {{d + "book.hpj", tmp.d + "x", "more"}, "Usage: kivhelp --export-html"},
        {{d + "none.hpj", tmp.d + "x"}, "Error. Project not open\n"},
        {{d + "book.hpj", d + "book.hpj/html"}, "Cannot create folder " + d.toUtf8()}};
    for (const auto& [args, message] : failures) {
        r = run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(message)) << r.err.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(tmp.d + "x"));
}

TEST_F(ExportHtmlCommandTest, WindowCommandAsksForTheFolderAndStoresTheEditFirst) {
    withPages();
    {
        TFormMain none;
        EXPECT_FALSE(none.SpeedButtonExportHtml->isEnabled());
        none.SpeedButtonExportHtmlClick(); // no project: nothing asked
        EXPECT_TRUE(ui->fileDialogs.isEmpty());
    }
    TFormMain w(d + "book.hpj");
    EXPECT_TRUE(w.SpeedButtonExportHtml->isEnabled());
    EXPECT_EQ(w.SpeedButtonExportHtml->toolTip(), "Export HTML help...");

    w.SpeedButtonExportHtmlClick(); // cancelled: nothing written
    EXPECT_EQ(ui->fileDialogs, QStringList({"Export HTML help||"}));
    EXPECT_TRUE(ui->messages.isEmpty());

    ASSERT_TRUE(dm.TbMain->Locate("ID", 2));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("TEXT")->setAsString(topicText("Edited words"));
    w.MemoContents->setPlainText("1 Only=2");
    const QString site = tmp.d + "web site";
    ui->fileNames << site;
    w.SpeedButtonExportHtml->click();
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(readFile(d + "book.toc"), "1 Only=2\r\n");
    EXPECT_TRUE(readFile(site + "/topic_2.html").contains("Edited words"));
    EXPECT_TRUE(readFile(site + "/index.html").contains("<a href=\"topic_2.html\">Only</a>"));
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_EQ(ui->messages[0], "HTML help written to " + site +
                                   ": 2 topics\n\n"
                                   "Topic 1: picture none.bmp not found in " +
                                   d);
}

} // namespace
