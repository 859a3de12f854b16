// The main window: start-up with and without a project, the project commands
// with the help viewer closed first, the Contents page, the compile keys and
// the build's progress, and the application's default error handler.
#include "Main.h"
#include "Application.h"
#include "CompilerScript.h"
#include "DMod.h"
#include "DiOption.h"
#include "FilenameEdit.h"
#include "KivError.h"
#include "KivRich.h"
#include "KivTable.h"
#include "RecordingHelpViewer.h"
#include "RecordingUI.h"
#include "TestFiles.h"

#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

class MainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        d = dir.path() + "/";
        dm.SettingsFile = d + "settings.ini";
    }

    // A project made without a window, closed again.
    QString makeProject(const QString& stem) {
        const QString file = d + stem + ".hpj";
        dm.CreateProject(file);
        dm.CloseProject(false);
        return file;
    }

    void addTopic(int id, const QString& name) {
        dm.TbMain->Append();
        dm.TbMain->FieldByName("ID")->setAsInteger(id);
        dm.TbMain->FieldByName("NAME")->setAsString(name);
        dm.TbMain->Post();
    }

    // The stand-in compiler (args.txt records its last run).
    QString compilerScript() { return writeCompilerScript(d + "bin/mycomp"); }
    QByteArray lastRun() { return recordedArgs(d + "bin/mycomp"); }

    // Answers the next options dialog with `path` and OK, or with Cancel. The
    // build repaints (and so runs timers) before the dialog shows: wait for it.
    static void answerOptions(bool ok, const QString& path = QString()) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, [poll, ok, path] {
            auto* dialog = qobject_cast<TDialOptions*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll->deleteLater();
            poll->stop();
            dialog->FilenameEdit->edit()->setText(path);
            (ok ? dialog->ButtonOK : dialog->ButtonCancel)->click();
        });
        poll->start(5);
    }

    static bool sendKey(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(to, &press);
        return press.isAccepted();
    }

    // The tool panel's controls that can be used.
    static QStringList enabledTools(const TFormMain& w) {
        QStringList names;
        for (QWidget* c : w.PanelTools->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isEnabled()) names << c->objectName();
        names.sort();
        return names;
    }

    QTemporaryDir dir;
    QString d;
    RecordingUI::Scope ui;
    RecordingHelpViewer::Scope viewer;
    TDM dm;
};

TEST_F(MainTest, StartsWithoutProjectWithOnlyProjectCommandsUsable) {
    TFormMain w;
    EXPECT_EQ(FormMain, &w);
    EXPECT_EQ(w.windowTitle(), "KivHelp");
    EXPECT_EQ(w.Tag(), 88);
    EXPECT_EQ(enabledTools(w),
              QStringList({"SpeedButtonNew", "SpeedButtonOpen", "SpeedButtonOptions"}));
    EXPECT_FALSE(w.PageControlRich->isEnabled());
    EXPECT_FALSE(w.SpeedButtonCompile->isEnabled());
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(viewer->calls.isEmpty());
}

TEST_F(MainTest, NewProjectCommandCreatesAndOpensTheChosenProject) {
    TFormMain w;
    ui->fileNames << d + "book.hpj";
    w.SpeedButtonNewClick();

    ASSERT_EQ(ui->fileDialogs.size(), 1);
    EXPECT_TRUE(ui->fileDialogs[0].endsWith("|Help project files (*.hpj)|*.hpj|hpj"));
    EXPECT_TRUE(QFile::exists(d + "book.dbf"));
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    EXPECT_EQ(enabledTools(w).size(),
              w.PanelTools->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
    EXPECT_TRUE(w.PageControlRich->isEnabled());
    EXPECT_TRUE(ui->messages.isEmpty());

    // A cancelled dialog does nothing.
    w.SpeedButtonNewClick();
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    EXPECT_TRUE(viewer->calls.isEmpty());
}

TEST_F(MainTest, CommandLineProjectOpensWithContentsAndWindowNames) {
    const QString file = makeProject("book");
    writeFile(d + "book.toc", "1 Book\r\n2 Topic=12\r\n");
    writeFile(d + "book.err", "Warning 1\r\n");
    QByteArray hpj = readFile(file);
    hpj.replace("[WINDOWS]\r\n", "[WINDOWS]\r\nmain=\"Main\",,,\r\npopup=\"Pop\",,,\r\n");
    writeFile(file, hpj);

    TFormMain w(file);
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    EXPECT_EQ(w.MemoContents->toPlainText(), "1 Book\n2 Topic=12");
    EXPECT_EQ(w.MemoErrorLog->toPlainText(), "Warning 1");
    ASSERT_EQ(w.ComboBoxWindows->count(), 3);
    EXPECT_EQ(w.ComboBoxWindows->itemText(0), "");
    EXPECT_EQ(w.ComboBoxWindows->itemText(1), "main");
    EXPECT_EQ(w.ComboBoxWindows->itemText(2), "popup");
    EXPECT_TRUE(w.SpeedButtonCompile->isEnabled());
}

TEST_F(MainTest, CommandLineProjectThatCannotOpenLeavesTheWindowWithout) {
    TFormMain w(d + "missing.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Error. Project not open"}));
    EXPECT_EQ(w.windowTitle(), "KivHelp");
    EXPECT_FALSE(w.PageControlRich->isEnabled());
}

TEST_F(MainTest, ContentsPageSavesAndDropsChanges) {
    TFormMain w(makeProject("book"));
    w.MemoContents->setPlainText("1 Book\n2 Intro=10");
    w.SpeedButtonClick();
    EXPECT_EQ(readFile(d + "book.toc"), "1 Book\r\n2 Intro=10\r\n");

    w.MemoContents->setPlainText("typed and dropped");
    w.SpeedButton5Click();
    EXPECT_EQ(w.MemoContents->toPlainText(), "1 Book\n2 Intro=10");
}

TEST_F(MainTest, CloseProjectSavesContentsClearsPagesAndClosesTheHelpFirst) {
    TFormMain w(makeProject("book"));
    w.MemoContents->setPlainText("1 Chapter");
    w.MemoErrorLog->setPlainText("old messages");
    w.SpeedButton1Click();

    EXPECT_EQ(readFile(d + "book.toc"), "1 Chapter\r\n");
    EXPECT_TRUE(w.MemoContents->toPlainText().isEmpty());
    EXPECT_TRUE(w.MemoErrorLog->toPlainText().isEmpty());
    EXPECT_FALSE(dm.ProjectOpen());
    EXPECT_EQ(w.windowTitle(), "KivHelp");
    EXPECT_FALSE(w.PageControlRich->isEnabled());
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp"}));
}

TEST_F(MainTest, OpenAndNewCloseTheOldProjectsHelpBeforeSwitching) {
    const QString other = makeProject("other");
    TFormMain w(makeProject("book"));

    ui->fileNames << other;
    w.SpeedButtonOpenClick();
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "other");
    ui->fileNames << d + "third.hpj";
    w.SpeedButtonNewClick();
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "third");
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp", "close " + d + "other.hlp"}));
}

TEST_F(MainTest, DestroyingTheWindowClosesTheHelpButKeepsTheProject) {
    auto w = std::make_unique<TFormMain>(makeProject("book"));
    w->MemoContents->setPlainText("not saved");
    w.reset();
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp"}));
    EXPECT_EQ(readFile(d + "book.toc"), "");
    EXPECT_EQ(FormMain, nullptr);
    EXPECT_TRUE(dm.ProjectOpen());
}

// Closing or switching projects used to drop an edit that was not posted yet.
TEST_F(MainTest, ProjectCommandsStoreThePendingEditFirst) {
    const QString file = makeProject("book");
    {
        TFormMain w(file);
        addTopic(10, "Intro");
        dm.TbMain->Edit();
        dm.TbMain->FieldByName("NAME")->setAsString("Introduction");
        w.SpeedButton1Click();
    }
    dm.OpenProject(file);
    EXPECT_EQ(dm.TbMain->FieldByName("NAME")->AsString(), "Introduction");
}

TEST_F(MainTest, CompileKeysDoNothingWithoutProject) {
    TFormMain w;
    dm.CompilerPath = compilerScript();
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::NoModifier));
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::ControlModifier));
    sendKey(w.DBRichText, Qt::Key_F9);
    EXPECT_EQ(lastRun(), "<missing>");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(viewer->calls.isEmpty());
}

TEST_F(MainTest, F9InTheEditorCompilesTheCurrentTopicAndCtrlF9TheWholeProject) {
    TFormMain w(makeProject("book"));
    addTopic(10, "Intro");
    addTopic(20, "Usage");
    dm.CompilerPath = compilerScript();
    viewer->calls.clear();

    // The window sees the key before the editor and uses it up.
    EXPECT_TRUE(w.FormKeyDown(Qt::Key_F9, Qt::KeypadModifier));
    EXPECT_TRUE(QFile::exists(d + "book_20.rtf"));
    EXPECT_FALSE(QFile::exists(d + "book_10.rtf"));
    EXPECT_EQ(lastRun(), (d + "book.hpj\n").toUtf8());
    EXPECT_TRUE(w.MemoErrorLog->toPlainText().startsWith("Compiling book.hpj\nWarning 4113"));
    EXPECT_EQ(viewer->calls.last(), "open " + d + "book.hlp JumpId(\"\",\"20\")");
    EXPECT_TRUE(w.statusBar()->isHidden());

    QFile::remove(d + "bin/args.txt");
    const QString before = w.DBRichText->toPlainText();
    sendKey(w.DBRichText, Qt::Key_F9, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(d + "book_10.rtf"));
    EXPECT_EQ(w.DBRichText->toPlainText(), before);
    EXPECT_NE(lastRun(), "<missing>");
    EXPECT_EQ(w.ProgressBuild->maximum(), 2); // the build reported its topics
    EXPECT_TRUE(w.statusBar()->isHidden());

    // Other keys reach the focused control.
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::ShiftModifier));
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F8, Qt::NoModifier));
}

TEST_F(MainTest, CompileMenuAndInvokeRunTheCompiler) {
    TFormMain w(makeProject("book"));
    addTopic(10, "Intro");
    dm.CompilerPath = compilerScript();

    w.Compilehelpproject1->trigger();
    EXPECT_TRUE(QFile::exists(d + "book_10.rtf"));

    QFile::remove(d + "bin/args.txt");
    w.MemoErrorLog->clear();
    w.SpeedButton2Click();
    EXPECT_EQ(lastRun(), (d + "book.hpj\n").toUtf8());
    EXPECT_FALSE(w.MemoErrorLog->toPlainText().isEmpty());
}

TEST_F(MainTest, CompilerThatCannotStartRaisesAndHidesTheProgress) {
    TFormMain w(makeProject("book"));
    addTopic(10, "Intro");
    dm.CompilerPath = d + "no such compiler";
    w.MemoErrorLog->setPlainText("kept");
    try {
        w.SpeedButtonCompileClick();
        FAIL() << "no error";
    } catch (const EKivError& e) {
        EXPECT_TRUE(e.message().startsWith("Impossible to run Help compiler / ")) << e.what();
    }
    EXPECT_EQ(w.MemoErrorLog->toPlainText(), "kept");
    EXPECT_TRUE(w.statusBar()->isHidden());
}

TEST_F(MainTest, CompileWithoutCompilerPathAsksForItFirst) {
    TFormMain w(makeProject("book"));
    addTopic(10, "Intro");
    viewer->calls.clear();

    // Cancelled: the files are built, nothing is run and nothing is shown.
    answerOptions(false);
    w.SpeedButtonCompileClick();
    EXPECT_TRUE(QFile::exists(d + "book_10.rtf"));
    EXPECT_EQ(lastRun(), "<missing>");
    EXPECT_TRUE(viewer->calls.isEmpty());
    EXPECT_TRUE(ui->messages.isEmpty());

    const QString script = compilerScript();
    answerOptions(true, script);
    w.SpeedButtonCompileClick();
    EXPECT_EQ(dm.CompilerPath, script);
    EXPECT_NE(lastRun(), "<missing>");
    EXPECT_TRUE(readFile(dm.SettingsFile).contains(script.toUtf8()));
}

TEST(DefaultErrorHandler, ShowsEngineErrorsAndStaysSilentOnAbort) {
    RecordingUI::Scope ui;
    EXPECT_FALSE(TApplication::Guarded([]() -> bool { throw EAbort(); }));
    EXPECT_TRUE(ui->errors.isEmpty());
    EXPECT_FALSE(TApplication::Guarded([]() -> bool { throw EInOutError("Disk full"); }));
    EXPECT_FALSE(
        TApplication::Guarded([]() -> bool { throw std::runtime_error("plain failure"); }));
    EXPECT_EQ(ui->errors, QStringList({"Disk full", "plain failure"}));
    EXPECT_TRUE(TApplication::Guarded([] { return true; }));
}

} // namespace
