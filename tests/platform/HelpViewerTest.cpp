#include "HelpViewer.h"
#include "FakeDesktop.h"
#include "ScriptFile.h"
#include "SystemHelpViewer.h"
#include "Wine.h"

#include <QDir>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

TEST(HelpViewer, ReadsTheContextOfAJumpIdMacro) {
    EXPECT_EQ(JumpIdContext(R"(JumpId("","12"))"), "12");
    EXPECT_EQ(JumpIdContext(R"( jumpid ( "" , "a_b" ) )"), "a_b");
    EXPECT_EQ(JumpIdContext(R"(JI("other.hlp","7"))"), "7");
    EXPECT_EQ(JumpIdContext(""), "");
    EXPECT_EQ(JumpIdContext(R"(JumpId("","12"); Exit())"), "");
    EXPECT_EQ(JumpIdContext(R"(JumpContext("",12))"), "");
}

namespace {

// Waits until `path` holds `lines` lines, for a program started without waiting.
QByteArray waitForFile(const QString& path, int lines = 2) {
    for (int i = 0; i < 100 && fileBytes(path).count('\n') < lines; ++i)
        QThread::msleep(50);
    return fileBytes(path);
}

bool alive(const QByteArray& pid) {
    return pid.toInt() > 0 && ::kill(pid.toInt(), 0) == 0;
}

} // namespace

TEST(SystemHelpViewer, OpensWinhlpAtTheTopicThroughWineAndClosesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("my help"));
    const QString hlp = dir.filePath("my help/book.hlp");
    QFile(hlp).open(QIODevice::WriteOnly);
    const QString out = dir.filePath("wine.txt");
    const QString pidFile = dir.filePath("pid");
    const QString wine = writeScript(dir.filePath("wine"), "echo $$ > '" + pidFile.toUtf8() +
                                                               "'; for a in \"$@\"; do printf "
                                                               "'[%s]\\n' \"$a\"; done > '" +
                                                               out.toUtf8() + "'; exec sleep 30");
    Wine::setLocator([wine] { return wine; });
    {
        SystemHelpViewer viewer;
        viewer.open(hlp, R"(JumpId("","12"))");
        QString winPath = "Z:" + hlp;
        winPath.replace('/', '\\');
        EXPECT_EQ(waitForFile(out), "[winhlp32]\n[-i]\n[12]\n[" + winPath.toUtf8() + "]\n");
        const QByteArray pid = fileBytes(pidFile).trimmed();
        EXPECT_TRUE(alive(pid));
        viewer.close(dir.filePath("my help/../my help/book.hlp"));
        EXPECT_FALSE(alive(pid));

        // With no macro, the file opens at its first topic.
        QFile::remove(out);
        viewer.open(hlp, "");
        EXPECT_EQ(waitForFile(out), "[winhlp32]\n[" + winPath.toUtf8() + "]\n");
        viewer.close(dir.filePath("other.hlp")); // not ours: nothing happens
        EXPECT_TRUE(alive(fileBytes(pidFile).trimmed()));
    }
    // The viewer ends what it started when it goes away.
    EXPECT_FALSE(alive(fileBytes(pidFile).trimmed()));
    Wine::setLocator({});
}

TEST(SystemHelpViewer, WithoutWineOpensTheDesktopsProgramForTheFile) {
    FakeDesktop desktop;
    const QString hlp = desktop.write("my help/book.hlp", "?_\x03\x00");
    const QString out = desktop.path("out") + "/viewer.txt";
    const QString pidFile = desktop.path("out") + "/pid";
    const QString viewer =
        writeScript(desktop.path("bin") + "/viewer", "echo $$ > '" + pidFile.toUtf8() +
                                                         "'; printf '[%s]\\n' "
                                                         "\"$@\" > '" +
                                                         out.toUtf8() + "'; exec sleep 30");
    desktop.associate(QMimeDatabase().mimeTypeForFile(hlp).name(), viewer);
    Wine::setLocator([] { return QString(); });
    SystemHelpViewer help;
    help.open(hlp, R"(JumpId("","12"))"); // this program cannot be told the topic
    EXPECT_EQ(waitForFile(out, 1), "[" + hlp.toUtf8() + "]\n");
    const QByteArray pid = fileBytes(pidFile).trimmed();
    EXPECT_TRUE(alive(pid));
    help.close(hlp);
    EXPECT_FALSE(alive(pid));
    Wine::setLocator({});
}
