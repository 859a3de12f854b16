#include "Shell.h"
#include "FakeDesktop.h"
#include "TestFiles.h"

namespace {

QString project(FakeDesktop& desktop) {
    return desktop.write("help/book.hpj", "[OPTIONS]\r\nTITLE=book\r\n");
}

} // namespace

TEST(Shell, NoAssociationGivesAnEmptyAnswer) {
    FakeDesktop desktop;
    EXPECT_EQ(Shell::FindExecutable(project(desktop)), "");
    // An association whose desktop file or program is missing counts as none.
    desktop.write("config/mimeapps.list", "[Default Applications]\ntext/plain=gone.desktop\n");
    desktop.write("data/applications/noprog.desktop",
                  "[Desktop Entry]\nExec=no-such-program-kiv %f\n");
    desktop.write("share/applications/mimeinfo.cache",
                  "[MIME Cache]\ntext/plain=noprog.desktop;\n");
    EXPECT_EQ(Shell::FindExecutable(project(desktop)), "");
}

TEST(Shell, UsersDefaultApplicationWinsAndItsProgramIsFoundOnPath) {
    FakeDesktop desktop;
    const QString hcw = writeScript(desktop.path("bin") + "/hcw-test", "exit 0");
    const QString other = writeScript(desktop.path("tools") + "/other editor", "exit 0");
    desktop.write(
        "data/applications/vendor/hcw.desktop",
        "[Desktop Entry]\nName=HCW\nExec=env LANG=C hcw-test %F\n[Desktop Action x]\nExec=wrong\n");
    desktop.write("share/applications/editor.desktop",
                  "[Desktop Entry]\nExec=\"" + other.toUtf8() + "\" %u\n");
    desktop.write("share/applications/mimeinfo.cache",
                  "[MIME Cache]\ntext/plain=editor.desktop;\n");
    // Without a default, a desktop file that declares the type is used.
    EXPECT_EQ(Shell::FindExecutable(project(desktop)), other);
    desktop.write("config/test-mimeapps.list",
                  "[Added Associations]\ntext/plain=editor.desktop\n"
                  "[Default Applications]\ntext/plain=missing.desktop;vendor-hcw.desktop\n");
    EXPECT_EQ(Shell::FindExecutable(project(desktop)), hcw);
}
