#include "Shell.h"
#include "ScriptFile.h"

#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Points every XDG folder of the desktop's associations into a temporary folder.
class DesktopFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* var : kVars)
            saved_ << qgetenv(var);
        qputenv("XDG_CONFIG_HOME", root("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", root("etc").toUtf8());
        qputenv("XDG_DATA_HOME", root("data").toUtf8());
        qputenv("XDG_DATA_DIRS", root("share").toUtf8());
        // The MIME database itself stays the system's.
        QFile::link("/usr/share/mime", root("share") + "/mime");
        qputenv("XDG_CURRENT_DESKTOP", "Test");
        qputenv("PATH", (root("bin") + ":" + qEnvironmentVariable("PATH")).toUtf8());
    }
    void TearDown() override {
        for (int i = 0; i < 6; ++i)
            qputenv(kVars[i], saved_[i]);
    }
    QString root(const QString& sub) {
        QDir(dir_.path()).mkpath(sub);
        return dir_.filePath(sub);
    }
    void write(const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString project() {
        const QString path = root("help") + "/book.hpj";
        write(path, "[OPTIONS]\r\nTITLE=book\r\n");
        return path;
    }

    static constexpr const char* kVars[6] = {"XDG_CONFIG_HOME",     "XDG_CONFIG_DIRS",
                                             "XDG_DATA_HOME",       "XDG_DATA_DIRS",
                                             "XDG_CURRENT_DESKTOP", "PATH"};
    QTemporaryDir dir_;
    QList<QByteArray> saved_;
};

} // namespace

TEST_F(DesktopFixture, NoAssociationGivesAnEmptyAnswer) {
    EXPECT_EQ(Shell::FindExecutable(project()), "");
    // An association whose desktop file or program is missing counts as none.
    write(root("config") + "/mimeapps.list", "[Default Applications]\ntext/plain=gone.desktop\n");
    write(root("data") + "/applications/noprog.desktop",
          "[Desktop Entry]\nExec=no-such-program-kiv %f\n");
    write(root("share") + "/applications/mimeinfo.cache",
          "[MIME Cache]\ntext/plain=noprog.desktop;\n");
    EXPECT_EQ(Shell::FindExecutable(project()), "");
}

TEST_F(DesktopFixture, UsersDefaultApplicationWinsAndItsProgramIsFoundOnPath) {
    const QString hcw = writeScript(root("bin") + "/hcw-test", "exit 0");
    const QString other = writeScript(root("tools") + "/other editor", "exit 0");
    write(
        root("data") + "/applications/vendor/hcw.desktop",
        "[Desktop Entry]\nName=HCW\nExec=env LANG=C hcw-test %F\n[Desktop Action x]\nExec=wrong\n");
    write(root("share") + "/applications/editor.desktop",
          "[Desktop Entry]\nExec=\"" + other.toUtf8() + "\" %u\n");
    write(root("share") + "/applications/mimeinfo.cache",
          "[MIME Cache]\ntext/plain=editor.desktop;\n");
    // Without a default, a desktop file that declares the type is used.
    EXPECT_EQ(Shell::FindExecutable(project()), other);
    write(root("config") + "/test-mimeapps.list",
          "[Added Associations]\ntext/plain=editor.desktop\n"
          "[Default Applications]\ntext/plain=missing.desktop;vendor-hcw.desktop\n");
    EXPECT_EQ(Shell::FindExecutable(project()), hcw);
}
