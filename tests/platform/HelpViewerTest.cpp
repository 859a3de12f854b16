#include "HelpViewer.h"
#include "FakeDesktop.h"
#include "SystemHelpViewer.h"
#include "TestFiles.h"
#include "Wine.h"

#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QThread>
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

// A viewer program that records its arguments in `out`, then its process ID
// in `out` + ".pid", and stays running.
QString writeViewer(const QString& path, const QString& out) {
    return writeRecorder(path, out, "echo $$ > '" + out.toUtf8() + ".pid'; exec sleep 30");
}

// The process ID of the viewer recording to `out`, once it has started.
QByteArray viewerPid(const QString& out) {
    for (int i = 0; i < 100 && !readFile(out + ".pid").endsWith('\n'); ++i)
        QThread::msleep(50);
    return readFile(out + ".pid").trimmed();
}

bool alive(const QByteArray& pid) {
    return pid.toInt() > 0 && ::kill(pid.toInt(), 0) == 0;
}

} // namespace

TEST(SystemHelpViewer, OpensWinhlpAtTheTopicThroughWineAndClosesIt) {
    QTemporaryDir dir;
    const QString hlp = writeFile(dir.filePath("my help/book.hlp"), {});
    const QString out = dir.filePath("wine.txt");
    const QString wine = writeViewer(dir.filePath("wine"), out);
    Wine::setLocator([wine] { return wine; });
    QByteArray pid;
    {
        SystemHelpViewer viewer;
        viewer.open(hlp, R"(JumpId("","12"))");
        QString winPath = "Z:" + hlp;
        winPath.replace('/', '\\');
        pid = viewerPid(out);
        EXPECT_EQ(readFile(out), "[winhlp32]\n[-i]\n[12]\n[" + winPath.toUtf8() + "]\n");
        EXPECT_TRUE(alive(pid));
        viewer.close(dir.filePath("my help/../my help/book.hlp"));
        EXPECT_FALSE(alive(pid));

        // With no macro, the file opens at its first topic.
        QFile::remove(out + ".pid");
        viewer.open(hlp, "");
        pid = viewerPid(out);
        EXPECT_EQ(readFile(out), "[winhlp32]\n[" + winPath.toUtf8() + "]\n");
        viewer.close(dir.filePath("other.hlp")); // not ours: nothing happens
        EXPECT_TRUE(alive(pid));
    }
    // The viewer ends what it started when it goes away.
    EXPECT_FALSE(alive(pid));
    Wine::setLocator({});
}

TEST(SystemHelpViewer, WithoutWineOpensTheDesktopsProgramForTheFile) {
    FakeDesktop desktop;
    const QString hlp = desktop.write("my help/book.hlp", "?_\x03\x00");
    const QString out = desktop.path("out") + "/viewer.txt";
    const QString viewer = writeViewer(desktop.path("bin") + "/viewer", out);
    desktop.associate(QMimeDatabase().mimeTypeForFile(hlp).name(), viewer);
    Wine::setLocator([] { return QString(); });
    SystemHelpViewer help;
    help.open(hlp, R"(JumpId("","12"))"); // this program cannot be told the topic
    const QByteArray pid = viewerPid(out);
    EXPECT_EQ(readFile(out), "[" + hlp.toUtf8() + "]\n");
    EXPECT_TRUE(alive(pid));
    help.close(hlp);
    EXPECT_FALSE(alive(pid));
    Wine::setLocator({});
}
