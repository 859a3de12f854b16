// The compile commands against a scripted help compiler: the order of their
// steps, what reaches the compiler and the viewer, and what is left alone
// when a step fails.
#include "CompileProject.h"
#include "FailureText.h"
#include "KivError.h"
#include "ProjectFixture.h"

#include <QGuiApplication>

namespace {

// The main window's part of a compile, recorded.
struct TestHost : CompileHost {
    QString dialogAnswer; // what the options dialog leaves when no path is set
    int ensureCalls = 0;
    int refills = 0;
    QList<QPair<int, int>> progress;
    bool busyDuringBuild = false;

    void EnsureCompiler() override {
        ++ensureCalls;
        if (DM->CompilerPath.isEmpty()) DM->CompilerPath = dialogAnswer;
    }
    void RefillWindowLists() override { ++refills; }
    void BuildProgress(int written, int total) override {
        progress << qMakePair(written, total);
        const QCursor* cursor = QGuiApplication::overrideCursor();
        busyDuringBuild = cursor && cursor->shape() == Qt::WaitCursor;
    }
};

class CompileProjectTest : public ProjectFixture {
protected:
    void SetUp() override {
        withPages();
        createProject();
        errorLog.setPlainText("messages of the last run");
    }
    // Whatever happened, the hourglass is gone.
    void TearDown() override { EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); }

    // A stand-in compiler named `name` in a folder with a blank, made current.
    QString useCompiler(const QString& name, const QByteArray& extra = {}) {
        QFile::remove(tmp.d + "my tools/args.txt"); // no earlier run's record
        return dm.CompilerPath = writeCompilerScript(tmp.d + "my tools/" + name, extra);
    }

    QString hlp() const { return d + "book.hlp"; }

    TestHost host;
};

TEST_F(CompileProjectTest, WholeRunStoresTheEditBuildsCompilesAndShowsTheCurrentTopic) {
    const QString compiler = useCompiler("hcw.exe");
    addTopic(3, "Three", topicText("Third"));
    addTopic(12, "Twelve", topicText("Old words"));
    contents.setPlainText("1 Topic 12=12");
    // An edit not yet stored must reach the built file.
    ASSERT_TRUE(dm.TbMain->Locate("ID", 12));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("TEXT")->setAsString(topicText("New words"));

    CompileProject(true, host);
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(readFile(d + "book_12.rtf").contains("New words"));
    EXPECT_EQ(readFile(d + "book.lst"), "book_3.rtf\r\nbook_12.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.toc"), "1 Topic 12=12\r\n");
    EXPECT_EQ(host.progress, (QList<QPair<int, int>>{{1, 2}, {2, 2}}));
    EXPECT_TRUE(host.busyDuringBuild);
    EXPECT_EQ(recordedArgs(compiler), "/A/C/E/M\n" + (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(errorLog.toPlainText(), "Compiling book.hpj\nWarning 4113: topic 3 has no title");
    EXPECT_EQ(viewer->calls,
              QStringList({"close " + hlp(), "open " + hlp() + " JumpId(\"\",\"12\")"}));
    EXPECT_TRUE(ui->messages.isEmpty() && ui->errors.isEmpty());
}

// Another compiler gets no switches; the current topic builds alone.
TEST_F(CompileProjectTest, OtherCompilersGetNoSwitchesAndTheCurrentTopicBuildsAlone) {
    addTopic(1, "One");
    addTopic(10, "Ten");
    const QString compiler = useCompiler("mycomp");
    CompileProject(false, host);
    EXPECT_EQ(recordedArgs(compiler), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(readFile(d + "book.lst"), "book_10.rtf\r\n");
    EXPECT_FALSE(QFile::exists(d + "book_1.rtf"));
    EXPECT_EQ(viewer->calls.last(), "open " + hlp() + " JumpId(\"\",\"10\")");
}

TEST_F(CompileProjectTest, EmptyProjectWithoutMessagesEmptiesTheLogAndNamesNoTopic) {
    useCompiler("mycomp", "rm -f \"$base.err\"");
    CompileProject(true, host);
    EXPECT_EQ(readFile(d + "book.lst"), "");
    EXPECT_TRUE(errorLog.toPlainText().isEmpty());
    EXPECT_EQ(viewer->calls, QStringList({"close " + hlp(), "open " + hlp() + " "}));
}

TEST_F(CompileProjectTest, NoCompilerChosenStopsQuietlyAfterTheBuild) {
    addTopic(5, "Five");
    CompileProject(true, host);
    EXPECT_EQ(host.ensureCalls, 1);
    EXPECT_EQ(readFile(d + "book.lst"), "book_5.rtf\r\n");
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_TRUE(ui->messages.isEmpty() && ui->errors.isEmpty());

    // The path the dialog leaves is used at once.
    host.dialogAnswer = writeCompilerScript(tmp.d + "c/hcw.exe");
    CompileProject(true, host);
    EXPECT_NE(recordedArgs(host.dialogAnswer), "<missing>");
}

TEST_F(CompileProjectTest, CompilerThatCannotStartLeavesLogAndViewerAlone) {
    dm.CompilerPath = tmp.d + "no such/hcw.exe";
    addTopic(12, "Twelve", topicText("Words"));
    const QString run = dm.CompilerPath + " /A/C/E/M " + d + "book.hpj";
    EXPECT_EQ(failureOf([&] { CompileProject(true, host); }),
              "Impossible to run Help compiler / " + run);
    EXPECT_EQ(errorLog.toPlainText(), "messages of the last run");
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()}); // nothing opened afterwards
    EXPECT_TRUE(readFile(d + "book_12.rtf").contains("Words"));
}

// A file that cannot be written, and an edit that cannot be stored, stop the
// run before the compiler; the author's edit stays in edit.
TEST_F(CompileProjectTest, FailedBuildStepStopsBeforeTheCompiler) {
    const QString compiler = useCompiler("hcw.exe");
    addTopic(1, "One", topicText("First"));
    addTopic(2, "Two");
    addTopic(3, "Three");
    ASSERT_TRUE(QDir(d).mkdir("book_2.rtf")); // a folder in topic 2's place
    EXPECT_TRUE(failureOf([&] { CompileProject(true, host); }).contains("book_2.rtf"));

    QFile::remove(d + "book_1.rtf");
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("ID")->setAsInteger(1); // taken: the key refuses it
    EXPECT_NE(failureOf([&] { CompileProject(true, host); }), "<no error>");
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsEdit);
    EXPECT_FALSE(QFile::exists(d + "book_1.rtf"));

    EXPECT_EQ(recordedArgs(compiler), "<missing>");
    EXPECT_EQ(host.ensureCalls, 0);
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_EQ(errorLog.toPlainText(), "messages of the last run");
}

TEST_F(CompileProjectTest, InteractiveRunShowsTheProjectFileAndReloadsWindowsAndLog) {
    // The author defines a window in the compiler's editor.
    const QString compiler = useCompiler(
        "hcw.exe",
        "sed -i 's/^\\[WINDOWS\\]\\r$/[WINDOWS]\\r\\nmain=\"Main\",,,,\\r/' \"$base.hpj\"");
    addTopic(4, "Four");
    InvokeHelpCompiler(host);
    EXPECT_EQ(recordedArgs(compiler), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(dm.WindowNames, QStringList{"main"});
    EXPECT_EQ(host.refills, 1);
    EXPECT_EQ(errorLog.toPlainText(), "Compiling book.hpj\nWarning 4113: topic 3 has no title");
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()});
    EXPECT_FALSE(QFile::exists(d + "book_4.rtf")); // no build files

    dm.CompilerPath = tmp.d + "gone/hcw.exe";
    EXPECT_EQ(failureOf([&] { InvokeHelpCompiler(host); }),
              "Impossible to run  / " + dm.CompilerPath + " " + d + "book.hpj");
    EXPECT_EQ(host.refills, 1);
}

TEST_F(CompileProjectTest, NothingHappensWithoutAProject) {
    const QString compiler = useCompiler("hcw.exe");
    CloseHelpWindow();
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()});
    dm.CloseProject(false);
    viewer->calls.clear();
    CloseHelpWindow();
    CompileProject(true, host);
    InvokeHelpCompiler(host);
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_EQ(host.ensureCalls, 0);
    EXPECT_EQ(recordedArgs(compiler), "<missing>");
}

} // namespace
