// The compile commands against a scripted help compiler: the order of their
// steps, what reaches the compiler and the viewer, and what is left alone
// when a step fails.
#include "CompileProject.h"
#include "CompilerScript.h"
#include "DMod.h"
#include "FailureText.h"
#include "KivError.h"
#include "KivTable.h"
#include "QtPrinters.h"
#include "RecordingHelpViewer.h"
#include "RecordingUI.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

class CompileProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        // Blanks in both folders: each path must reach the compiler whole.
        d = tmp.path() + "/help files/";
        ASSERT_TRUE(QDir().mkpath(d));
        dm.SettingsFile = tmp.path() + "/kivhelp.ini";
        dm.CompilerPath.clear();
        dm.setMainWindowPages(&contents, &errorLog);
        dm.CreateProject(d + "book.hpj");
        ASSERT_TRUE(dm.ProjectOpen()) << ui->messages.join('|').toStdString();
    }

    void addTopic(int id, const QString& name, const QString& body) {
        dm.TbMain->Append();
        dm.TbMain->FieldByName("ID")->setAsInteger(id);
        dm.TbMain->FieldByName("NAME")->setAsString(name);
        dm.TbMain->FieldByName("TEXT")->setAsString(
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;}\r\n\\pard " + body + "\\par}");
        dm.TbMain->Post();
    }

    QString hlp() const { return d + "book.hlp"; }

    QTemporaryDir tmp;
    QString d;
    RecordingUI::Scope ui;
    RecordingHelpViewer::Scope viewer;
    TDM dm;
    QPlainTextEdit contents;
    QPlainTextEdit errorLog;
    TestHost host;
};

TEST_F(CompileProjectTest, WholeRunStoresTheEditBuildsCompilesAndShowsTheCurrentTopic) {
    const QString compiler = writeCompilerScript(tmp.path() + "/my tools/hcw.exe");
    dm.CompilerPath = compiler;
    addTopic(3, "Three", "Third");
    addTopic(12, "Twelve", "Old words");
    contents.setPlainText(":Topic 12=12");
    // An edit not yet stored must reach the built file.
    ASSERT_TRUE(dm.TbMain->Locate("ID", 12));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("TEXT")->setAsString(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;}\r\n\\pard New words\\par}");

    CompileProject(true, host);

    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(readFile(d + "book_12.rtf").contains("New words"));
    EXPECT_EQ(readFile(d + "book.lst"), "book_3.rtf\r\nbook_12.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.toc"), ":Topic 12=12\r\n");
    EXPECT_EQ(host.progress, (QList<QPair<int, int>>{{1, 2}, {2, 2}}));
    EXPECT_TRUE(host.busyDuringBuild);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    EXPECT_EQ(recordedArgs(compiler), "/A/C/E/M\n" + (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(errorLog.toPlainText(), "Compiling book.hpj\nWarning 4113: topic 3 has no title");
    EXPECT_EQ(viewer->calls,
              QStringList({"close " + hlp(), "open " + hlp() + " JumpId(\"\",\"12\")"}));
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(ui->errors.isEmpty());
}

TEST_F(CompileProjectTest, OtherCompilerGetsNoSwitchesAndCurrentTopicBuildsAlone) {
    const QString compiler = writeCompilerScript(tmp.path() + "/bin/Hcw.Exe.sh");
    dm.CompilerPath = compiler;
    addTopic(1, "One", "First");
    addTopic(10, "Ten", "Tenth");
    ASSERT_TRUE(dm.TbMain->Locate("ID", 10));

    CompileProject(false, host);
    EXPECT_EQ(recordedArgs(compiler), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(readFile(d + "book.lst"), "book_10.rtf\r\n");
    EXPECT_FALSE(QFile::exists(d + "book_1.rtf"));
    EXPECT_EQ(viewer->calls.last(), "open " + hlp() + " JumpId(\"\",\"10\")");

    // A compiler named HCW.EXE in any case gets the switches.
    const QString mixed = writeCompilerScript(tmp.path() + "/mixed/Hcw.Exe");
    dm.CompilerPath = mixed;
    CompileProject(false, host);
    EXPECT_TRUE(recordedArgs(mixed).startsWith("/A/C/E/M\n"));
}

TEST_F(CompileProjectTest, EmptyProjectWithoutMessagesEmptiesTheLogAndNamesNoTopic) {
    dm.CompilerPath = writeCompilerScript(tmp.path() + "/c/mycomp", "rm -f \"$base.err\"");
    errorLog.setPlainText("messages of the last run");
    CompileProject(true, host);
    EXPECT_EQ(readFile(d + "book.lst"), "");
    EXPECT_TRUE(errorLog.toPlainText().isEmpty());
    EXPECT_EQ(viewer->calls, QStringList({"close " + hlp(), "open " + hlp() + " "}));
}

TEST_F(CompileProjectTest, NoCompilerChosenStopsQuietlyAfterTheBuild) {
    addTopic(5, "Five", "Fifth");
    CompileProject(true, host);
    EXPECT_EQ(host.ensureCalls, 1);
    EXPECT_EQ(readFile(d + "book.lst"), "book_5.rtf\r\n");
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(ui->errors.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The path the dialog leaves is used at once.
    host.dialogAnswer = writeCompilerScript(tmp.path() + "/c/hcw.exe");
    CompileProject(true, host);
    EXPECT_NE(recordedArgs(host.dialogAnswer), "<missing>");
}

TEST_F(CompileProjectTest, CompilerThatCannotStartLeavesLogAndViewerAlone) {
    dm.CompilerPath = tmp.path() + "/no such/hcw.exe";
    addTopic(12, "Twelve", "Words");
    errorLog.setPlainText("messages of the last run");
    const QString message = failureOf([&] { CompileProject(true, host); });
    EXPECT_EQ(message, "Impossible to run Help compiler / " + dm.CompilerPath + " /A/C/E/M " + d +
                           "book.hpj");
    EXPECT_EQ(errorLog.toPlainText(), "messages of the last run");
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()}); // nothing opened afterwards
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(readFile(d + "book_12.rtf").contains("Words"));
}

TEST_F(CompileProjectTest, UnwritableFileStopsTheBuildBeforeTheCompiler) {
    const QString compiler = writeCompilerScript(tmp.path() + "/c/hcw.exe");
    dm.CompilerPath = compiler;
    addTopic(1, "One", "First");
    addTopic(2, "Two", "Second");
    addTopic(3, "Three", "Third");
    // Where topic 2's file belongs there is a folder: it cannot be written.
    ASSERT_TRUE(QDir(d).mkdir("book_2.rtf"));
    errorLog.setPlainText("messages of the last run");

    const QString message = failureOf([&] { CompileProject(true, host); });
    EXPECT_TRUE(message.contains("book_2.rtf")) << message.toStdString();
    EXPECT_EQ(recordedArgs(compiler), "<missing>");
    EXPECT_EQ(host.ensureCalls, 0);
    EXPECT_TRUE(readFile(d + "book_1.rtf").contains("First"));
    EXPECT_FALSE(QFile::exists(d + "book_3.rtf"));
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_EQ(errorLog.toPlainText(), "messages of the last run");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CompileProjectTest, EditThatCannotBeStoredStopsBeforeTheBuild) {
    const QString compiler = writeCompilerScript(tmp.path() + "/c/hcw.exe");
    dm.CompilerPath = compiler;
    addTopic(1, "One", "First");
    addTopic(2, "Two", "Second");
    ASSERT_TRUE(dm.TbMain->Locate("ID", 2));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("ID")->setAsInteger(1); // taken: the key refuses it

    EXPECT_NE(failureOf([&] { CompileProject(true, host); }), "<no error>");
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsEdit); // the author's edit is kept
    EXPECT_EQ(readFile(d + "book.lst"), "");
    EXPECT_EQ(recordedArgs(compiler), "<missing>");
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CompileProjectTest, InteractiveRunShowsTheProjectFileAndReloadsWindowsAndLog) {
    // The author defines a window in the compiler's editor.
    const QString compiler = writeCompilerScript(
        tmp.path() + "/c/hcw.exe",
        "sed -i 's/^\\[WINDOWS\\]\\r$/[WINDOWS]\\r\\nmain=\"Main\",,,,\\r/' \"$base.hpj\"");
    dm.CompilerPath = compiler;
    addTopic(4, "Four", "Fourth");

    InvokeHelpCompiler(host);
    EXPECT_EQ(recordedArgs(compiler), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(dm.WindowNames, QStringList{"main"});
    EXPECT_EQ(host.refills, 1);
    EXPECT_EQ(errorLog.toPlainText(), "Compiling book.hpj\nWarning 4113: topic 3 has no title");
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()});
    EXPECT_FALSE(QFile::exists(d + "book_4.rtf")); // no build files
    EXPECT_EQ(readFile(d + "book.lst"), "");

    dm.CompilerPath = tmp.path() + "/gone/hcw.exe";
    EXPECT_EQ(failureOf([&] { InvokeHelpCompiler(host); }),
              "Impossible to run  / " + dm.CompilerPath + " " + d + "book.hpj");
    EXPECT_EQ(host.refills, 1);
}

TEST_F(CompileProjectTest, NothingHappensWithoutAProject) {
    dm.CompilerPath = writeCompilerScript(tmp.path() + "/c/hcw.exe");
    CloseHelpWindow();
    EXPECT_EQ(viewer->calls, QStringList{"close " + hlp()});

    dm.CloseProject(false);
    viewer->calls.clear();
    CloseHelpWindow();
    CompileProject(true, host);
    InvokeHelpCompiler(host);
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_EQ(host.ensureCalls, 0);
    EXPECT_EQ(recordedArgs(dm.CompilerPath), "<missing>");
}

} // namespace
