#include "RunProgram.h"
#include "FailureText.h"
#include "TestFiles.h"
#include "Wine.h"

#include <QTemporaryDir>

namespace {

// Restores the search of PATH for wine when a test ends.
struct WineScope {
    explicit WineScope(const QString& path) {
        Wine::setLocator([path] { return path; });
    }
    ~WineScope() { Wine::setLocator({}); }
};

} // namespace

TEST(RunProgram, ProgramThatCannotStartRaisesTheNameAndCommandLine) {
    EXPECT_EQ(failureOf([] {
                  RunProgram("/no/such/hcw.exe", {"/A/C/E/M", "/help/book.hpj"},
                             "/no/such/hcw.exe /A/C/E/M /help/book.hpj", "Help compiler", true,
                             true);
              }),
              "Impossible to run Help compiler / /no/such/hcw.exe /A/C/E/M /help/book.hpj");
    // An empty name still leaves both separators in place.
    EXPECT_EQ(failureOf([] { RunProgram("/no/such/x", {}, "/no/such/x a", "", false, false); }),
              "Impossible to run  / /no/such/x a");
    EXPECT_EQ(failureOf([] { RunProgram("", {}, "", "n", true, true); }), "Impossible to run n / ");
}

TEST(RunProgram, WaitingReturnsTheExitCodeAndNotWaitingReturnsZero) {
    QTemporaryDir dir;
    const QString marker = dir.filePath("done");
    const QString prog =
        writeScript(dir.filePath("p"), "sleep 0.3; touch '" + marker.toUtf8() + "'; exit 7");
    EXPECT_EQ(RunProgram(prog, {}, prog, "x", true, true), 7);
    EXPECT_TRUE(QFile::exists(marker));
    QFile::remove(marker);
    EXPECT_EQ(RunProgram(prog, {}, prog, "x", false, true), 0);
    EXPECT_FALSE(QFile::exists(marker)); // returned before the program ended
    const QString crash = writeScript(dir.filePath("crash"), "kill -9 $$");
    EXPECT_EQ(RunProgram(crash, {}, crash, "x", true, true), -1);
}

TEST(RunProgram, ArgumentsWithBlanksStayWholeInTheCallersFolderAndEnvironment) {
    QTemporaryDir dir;
    const QString out = dir.filePath("my tools/out.txt");
    const QString prog = writeRecorder(dir.filePath("my tools/rec ord"), out,
                                       "pwd >> '" + out.toUtf8() + "'; echo \"$KIV_RUN_TEST\" >> '" +
                                           out.toUtf8() + "'");
    qputenv("KIV_RUN_TEST", "inherited");
    const QString project = dir.filePath("my tools/help project/my book.hpj");
    EXPECT_EQ(RunProgram(prog, {"/A/C/E/M", project}, "display only", "c", true, false), 0);
    EXPECT_EQ(readFile(out), "[/A/C/E/M]\n[" + project.toUtf8() + "]\n" +
                                 QDir::currentPath().toUtf8() + "\ninherited\n");
}

TEST(RunProgram, HiddenProgramWithMuchOutputDoesNotBlock) {
    QTemporaryDir dir;
    const QString prog = writeScript(dir.filePath("noisy"), "head -c 2000000 /dev/zero; "
                                                            "head -c 2000000 /dev/zero >&2");
    EXPECT_EQ(RunProgram(prog, {}, prog, "x", true, true), 0);
}

TEST(RunProgram, WindowsProgramGoesThroughWineWhenInstalled) {
    QTemporaryDir dir;
    const QString exe = writeFile(dir.filePath("HCW.EXE"), QByteArray("MZ\x90\0\x03", 5));
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString out = dir.filePath("wine.txt");
    const QString wine = writeRecorder(dir.filePath("wine"), out, "exit 4");
    const QString project = writeFile(dir.filePath("help dir/book.hpj"), {});
    {
        WineScope scope(wine);
        EXPECT_EQ(RunProgram(exe, {"/A/C/E/M", project}, exe, "Help compiler", true, true), 4);
        QString winProject = "Z:" + project;
        winProject.replace('/', '\\');
        EXPECT_EQ(readFile(out),
                  "[" + exe.toUtf8() + "]\n[/A/C/E/M]\n[" + winProject.toUtf8() + "]\n");
    }
    {
        // Without wine the file is started as it is, which cannot work.
        WineScope scope("");
        EXPECT_EQ(failureOf([&] { RunProgram(exe, {}, exe, "Help compiler", true, true); }),
                  "Impossible to run Help compiler / " + exe);
    }
    // Any other program is never handed to wine.
    QFile::remove(out);
    WineScope scope(wine);
    const QString native = writeScript(dir.filePath("hc"), "exit 2");
    EXPECT_EQ(RunProgram(native, {}, native, "x", true, true), 2);
    EXPECT_FALSE(QFile::exists(out));
}
