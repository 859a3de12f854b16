#include "ProjectFiles.h"
#include "FakeDesktop.h"
#include "FileSizeLimit.h"
#include "KivError.h"
#include "TestFiles.h"

#include <QTemporaryDir>

TEST(ProjectFiles, StemAndFolderOfAProjectFile) {
    EXPECT_EQ(ProjectDirOf("/help/book.hpj"), "/help/");
    EXPECT_EQ(ProjectStemOf("/help/book.hpj"), "book");
    EXPECT_EQ(ProjectStemOf("/my.help/a.b.hpj"), "a");
    EXPECT_EQ(ProjectStemOf("/help/book"), "book");
    EXPECT_EQ(ProjectStemOf("/help/.hpj"), "");
    EXPECT_EQ(ProjectDirOf("book.hpj"), "");
}

TEST(ProjectFiles, NewProjectFilesByteForByte) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    EXPECT_TRUE(ExistingProjectFiles(d, "book").isEmpty());
    WriteProjectFiles(d, "book");
    EXPECT_EQ(readFile(d + "book.hpj"),
              "[OPTIONS]\r\nERRORLOG=book.err\r\nCOMPRESS=12 Hall Zeck\r\n"
              "CITATION=Created by KIVHELP\r\nTITLE=book\r\nLCID=0x409 0x0 0x0\r\nREPORT=Yes\r\n"
              "HLP=book.hlp\r\n[FILES]\r\n#include book.lst\r\n[MAP]\r\n#include book.map\r\n"
              "[WINDOWS]\r\n\r\n[CONFIG]\r\nBrowseButtons()\r\n\r\n");
    EXPECT_EQ(readFile(d + "book.cnt"),
              ":Base book.hlp\r\n:Title book\r\n:Index book=book.hlp\r\n:Include book.toc\r\n\r\n");
    for (const char* empty : {"book.toc", "book.lst", "book.map"})
        EXPECT_EQ(readFile(d + empty), "");
    EXPECT_EQ(QDir(d).entryList(QDir::Files),
              (QStringList{"book.cnt", "book.hpj", "book.lst", "book.map", "book.toc"}));
    EXPECT_EQ(ExistingProjectFiles(d, "book"),
              (QStringList{"book.hpj", "book.cnt", "book.toc", "book.lst", "book.map"}));
    // The fresh project has no windows and an empty contents body.
    EXPECT_TRUE(LoadWindowNames(d + "book.hpj").isEmpty());
    EXPECT_TRUE(LoadContents(d + "book.toc").isEmpty());
}

TEST(ProjectFiles, FailedWriteStopsAtTheFileThatFailed) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    writeFile(d + "book.hpj", "[OPTIONS]\r\nTITLE=mine\r\n");
    {
        FileSizeLimit limit(150); // room for the contents file, not the project file
        EXPECT_THROW(WriteProjectFiles(d, "book"), EInOutError);
    }
    EXPECT_EQ(readFile(d + "book.hpj"), "[OPTIONS]\r\nTITLE=mine\r\n");
    EXPECT_EQ(QDir(d).entryList(QDir::Files), QStringList{"book.hpj"});
}

TEST(ProjectFiles, WindowNamesInFileOrder) {
    QTemporaryDir dir;
    const QString hpj = dir.filePath("book.hpj");
    writeFile(hpj, "[OPTIONS]\r\nTITLE=x\r\n[windows]\r\nmain=\"Book\",,,,(r14876671)\r\n"
                  "popup=\"\",(10,10,500,400)\r\ngarbage line\r\n[CONFIG]\r\nBrowseButtons()\r\n");
    EXPECT_EQ(LoadWindowNames(hpj), (QStringList{"main", "popup"}));
    EXPECT_TRUE(LoadWindowNames(dir.filePath("missing.hpj")).isEmpty());
}

TEST(ProjectFiles, ContentsRoundTripWithCrLf) {
    QTemporaryDir dir;
    const QString toc = dir.filePath("book.toc");
    EXPECT_THROW(LoadContents(toc), EInOutError);
    const QStringList lines{":Base book.hlp", "1 Introduction", "2 First steps=12", "",
                            QString::fromUtf8("2 Caf\u00e9")};
    SaveContents(toc, lines);
    EXPECT_EQ(readFile(toc), ":Base book.hlp\r\n1 Introduction\r\n2 First steps=12\r\n\r\n"
                            "2 Caf\xe9\r\n");
    EXPECT_EQ(LoadContents(toc), lines);
    SaveContents(toc, {});
    EXPECT_EQ(readFile(toc), "");
    writeFile(toc, "a\nb\r\nc"); // typed elsewhere: any line end reads
    EXPECT_EQ(LoadContents(toc), (QStringList{"a", "b", "c"}));
}

TEST(ProjectFiles, SettingsFileIsNamedAfterThePathBeforeItsFirstDot) {
    EXPECT_EQ(SettingsFileBesideProgram("/Tools/KivHelp.exe"), "/Tools/KivHelp.ini");
    EXPECT_EQ(SettingsFileBesideProgram("/My.Tools/KivHelp.exe"), "/My.ini");
    EXPECT_EQ(SettingsFileBesideProgram("/usr/bin/kivhelp"), "/usr/bin/kivhelp.ini");

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("tools"));
    const QString program = dir.filePath("tools/kivhelp");
    EXPECT_EQ(SettingsFilePath(program), dir.filePath("tools/kivhelp.ini"));

    // An installed program's folder cannot be written (here: it is not even
    // there): the config folder is used, and made when the settings are saved.
    FakeDesktop desktop;
    const QString fallback = SettingsFilePath("/nonexistent-kiv/My.Tools/KivHelp");
    EXPECT_EQ(fallback, desktop.path("config") + "/kivhelp/My.ini");
    SaveSettings(fallback, "/opt/hc/hcw.exe");
    EXPECT_EQ(LoadSettings(fallback), "/opt/hc/hcw.exe");
}

TEST(ProjectFiles, SettingsKeepTheCompilerPath) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("kivhelp.ini");
    EXPECT_EQ(LoadSettings(ini), ""); // missing file
    writeFile(ini, "garbage\r\n[compiler]\r\nNAME=/old/hcw.exe\r\n[Other]\r\nx=1\r\n");
    EXPECT_EQ(LoadSettings(ini), "/old/hcw.exe");
    SaveSettings(ini, "/opt/help tools/hcw.exe");
    EXPECT_EQ(readFile(ini),
              "garbage\r\n[compiler]\r\nNAME=/opt/help tools/hcw.exe\r\n[Other]\r\nx=1\r\n");
    SaveSettings(ini, "");
    EXPECT_EQ(LoadSettings(ini), "");
}

TEST(ProjectFiles, EnsureCompilerAsksOnlyWhenThePathIsEmpty) {
    FakeDesktop desktop;
    const QString compiler = desktop.write("bin/hc", "#!/bin/sh\n");
    QFile::setPermissions(compiler, QFile::ReadOwner | QFile::ExeOwner);
    const QString hpj = desktop.write("help/book.hpj", "[OPTIONS]\r\n");

    QStringList shown;
    const auto cancel = [&](QString& path) { shown << path; };
    QString path = "/opt/hcw.exe";
    EnsureCompiler(path, hpj, cancel);
    EXPECT_TRUE(shown.isEmpty());

    path.clear();
    EnsureCompiler(path, hpj, cancel); // no association
    EXPECT_EQ(shown, QStringList{""});
    EXPECT_EQ(path, "");

    desktop.associate("text/plain", compiler);
    // Cancelled: the proposal is still used for this run.
    EnsureCompiler(path, hpj, cancel);
    EXPECT_EQ(shown, (QStringList{"", compiler}));
    EXPECT_EQ(path, compiler);
    // Confirmed with another path.
    path.clear();
    EnsureCompiler(path, hpj, [](QString& p) { p = "/chosen/hcw.exe"; });
    EXPECT_EQ(path, "/chosen/hcw.exe");
}
