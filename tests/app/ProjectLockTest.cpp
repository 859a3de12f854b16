// A project open in a kivhelp window while another program comes along: a
// second window opens it read-only and names the holder, the build works
// beside it, nothing is overwritten, and once the holder is killed opening
// the project again makes it editable.
#include "DbfLock.h"
#include "KivError.h"
#include "Main.h"
#include "ProjectFixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace {

class ProjectLockTest : public ProjectFixture {
protected:
    ~ProjectLockTest() override {
        holder.kill();
        holder.waitForFinished(10000);
    }

    // A copy of its own, so that its settings file lies in the test's folder.
    const QString program = tmp.d + "kivhelp";
    const QString project = d + "book.hpj";
    const QString table = d + "book.dbf";
    QProcess holder;
};

} // namespace

TEST_F(ProjectLockTest, SecondWindowIsReadOnlyAndNamesTheHolder) {
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("KIVHELP"), program));
    createProject();
    addTopic(1, "One", topicText("One"));
    dm.CloseProject(false);
    holder.start(program, {project});
    ASSERT_TRUE(holder.waitForStarted());
    const QString who = QStringLiteral("kivhelp (process %1)").arg(holder.processId());
    QElapsedTimer clock;
    clock.start();
    while (!readFile(DbfLock::notePath(table))
                .contains(QStringLiteral("pid=%1\r\n").arg(holder.processId()).toUtf8())) {
        ASSERT_LT(clock.elapsed(), 60000) << holder.readAllStandardError().toStdString();
        QThread::msleep(20);
    }
    {
        TFormMain w(project);
        ASSERT_TRUE(dm.ProjectOpen()) << ui->messages.join('|').toStdString();
        EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book [read-only: open in " + who + "]");
        EXPECT_EQ(dm.TbMain->RecordCount(), 1);
        EXPECT_FALSE(dm.TbMain->CanModify());
        // Nor is the contents file overwritten with this window's older page.
        EXPECT_TRUE(w.MemoContents->isReadOnly());
        const QByteArray contents = readFile(d + "book.toc");
        w.MemoContents->setPlainText("1 Changed here");
        w.SpeedButtonClick();
        EXPECT_EQ(readFile(d + "book.toc"), contents);
        for (auto change : {&TDataSet::Edit, &TDataSet::Append, &TDataSet::Delete}) {
            try {
                (dm.TbMain->*change)();
                ADD_FAILURE() << "a change was accepted";
            } catch (const EKivError& e) {
                EXPECT_EQ(e.message(), "TbMain: Table \"" + QFileInfo(table).canonicalFilePath() +
                                           "\" is open read-only: it is being written by " + who);
            }
        }
    }

    // The build only reads; creating over the project is refused.
    const QByteArray before = readFile(table);
    ProgramRun r = runProgram(program, {"--build", project, "--no-compile"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(readFile(d + "book_1.rtf").contains("One"));
    r = runProgram(program, {"--new", project});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Error. Project not created")) << r.err.constData();
    EXPECT_EQ(readFile(table), before);

    // Killed, the holder leaves a stale note but no lock: opening again (the
    // module still has the table open read-only) makes the project editable.
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(DbfLock::notePath(table)));
    dm.OpenProject(project);
    EXPECT_EQ(dm.WrittenBy(), QString());
    ASSERT_TRUE(dm.TbMain->CanModify());
    addTopic(2, "Two");
    EXPECT_EQ(dm.TbCalc->RecordCount(), 2);
}
