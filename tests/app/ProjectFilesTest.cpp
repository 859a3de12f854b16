// The project's text files, the settings file and finding the help compiler.
#include "ProjectFiles.h"
#include "FakeDesktop.h"
#include "FileSizeLimit.h"
#include "KivError.h"
#include "KivFilt.h"
#include "TMemTable.h"
#include "TestFiles.h"

TEST(ProjectFiles, StemAndFolderOfAProjectFile) {
    const std::pair<QString, QString> stems[] = {{"/help/book.hpj", "book"},
                                                 {"/my.help/a.b.hpj", "a"},
                                                 {"/help/book", "book"},
                                                 {"/help/.hpj", ""}};
    for (const auto& [file, stem] : stems)
        EXPECT_EQ(ProjectStemOf(file), stem) << file.toStdString();
    EXPECT_EQ(ProjectDirOf("/help/book.hpj"), "/help/");
    EXPECT_EQ(ProjectDirOf("book.hpj"), "");
}

TEST(ProjectFiles, NewProjectFilesByteForByte) {
    TempFolder t;
    EXPECT_TRUE(ExistingProjectFiles(t.d, "book").isEmpty());
    WriteProjectFiles(t.d, "book");
    EXPECT_EQ(readFile(t.d + "book.hpj"),
              "[OPTIONS]\r\nERRORLOG=book.err\r\nCOMPRESS=12 Hall Zeck\r\n"
              "CITATION=Created by KIVHELP\r\nTITLE=book\r\nLCID=0x409 0x0 0x0\r\nREPORT=Yes\r\n"
              "HLP=book.hlp\r\n[FILES]\r\n#include book.lst\r\n[MAP]\r\n#include book.map\r\n"
              "[WINDOWS]\r\n\r\n[CONFIG]\r\nBrowseButtons()\r\n\r\n");
    EXPECT_EQ(readFile(t.d + "book.cnt"),
              ":Base book.hlp\r\n:Title book\r\n:Index book=book.hlp\r\n:Include book.toc\r\n\r\n");
    for (const char* empty : {"book.toc", "book.lst", "book.map"})
        EXPECT_EQ(readFile(t.d + empty), "");
    EXPECT_EQ(ExistingProjectFiles(t.d, "book"),
              (QStringList{"book.hpj", "book.cnt", "book.toc", "book.lst", "book.map"}));
    EXPECT_EQ(QDir(t.d).entryList(QDir::Files).size(), 5);
}

TEST(ProjectFiles, FailedWriteStopsAtTheFileThatFailed) {
    TempFolder t;
    writeFile(t.d + "book.hpj", "[OPTIONS]\r\nTITLE=mine\r\n");
    {
        FileSizeLimit limit(150); // room for the contents file, not the project file
        EXPECT_THROW(WriteProjectFiles(t.d, "book"), EInOutError);
    }
    EXPECT_EQ(readFile(t.d + "book.hpj"), "[OPTIONS]\r\nTITLE=mine\r\n");
    EXPECT_EQ(QDir(t.d).entryList(QDir::Files), QStringList{"book.hpj"});
}

TEST(ProjectFiles, WindowNamesInFileOrder) {
    TempFolder t;
    const QString hpj = writeFile(
        t.d + "book.hpj", "[OPTIONS]\r\nTITLE=x\r\n[windows]\r\nmain=\"Book\",,,,(r14876671)\r\n"
                          "popup=\"\",(10,10,500,400)\r\ngarbage line\r\n[CONFIG]\r\nx=1\r\n");
    EXPECT_EQ(LoadWindowNames(hpj), (QStringList{"main", "popup"}));
    EXPECT_TRUE(LoadWindowNames(t.d + "missing.hpj").isEmpty());
}

TEST(ProjectFiles, ContentsRoundTripWithCrLf) {
    TempFolder t;
    const QString toc = t.d + "book.toc";
    EXPECT_THROW(LoadContents(toc), EInOutError);
    const QStringList lines{"1 Introduction", "2 First steps=12", "",
                            QString::fromUtf8("2 Caf\u00e9")};
    SaveContents(toc, lines);
    EXPECT_EQ(readFile(toc), "1 Introduction\r\n2 First steps=12\r\n\r\n2 Caf\xe9\r\n");
    EXPECT_EQ(LoadContents(toc), lines);
    writeFile(toc, "a\nb\r\nc"); // typed elsewhere: any line end reads
    EXPECT_EQ(LoadContents(toc), (QStringList{"a", "b", "c"}));
}

TEST(ProjectFiles, SettingsFileAndTheCompilerPathInIt) {
    EXPECT_EQ(SettingsFileBesideProgram("/Tools/KivHelp.exe"), "/Tools/KivHelp.ini");
    EXPECT_EQ(SettingsFileBesideProgram("/My.Tools/KivHelp.exe"), "/My.ini");
    EXPECT_EQ(SettingsFileBesideProgram("/usr/bin/kivhelp"), "/usr/bin/kivhelp.ini");
    TempFolder t;
    ASSERT_TRUE(QDir(t.d).mkpath("tools"));
    EXPECT_EQ(SettingsFilePath(t.d + "tools/kivhelp"), t.d + "tools/kivhelp.ini");

    // An installed program's folder cannot be written (here: it is not even
    // there): the config folder is used, and made when the settings are saved.
    FakeDesktop desktop;
    const QString fallback = SettingsFilePath("/nonexistent-kiv/My.Tools/KivHelp");
    EXPECT_EQ(fallback, desktop.path("config") + "/kivhelp/My.ini");
    SaveSettings(fallback, "/opt/hc/hcw.exe");
    EXPECT_EQ(LoadSettings(fallback), "/opt/hc/hcw.exe");

    // Other sections and lines stay as they were.
    const QString ini = t.d + "kivhelp.ini";
    EXPECT_EQ(LoadSettings(ini), "");
    writeFile(ini, "garbage\r\n[compiler]\r\nNAME=/old/hcw.exe\r\n[Other]\r\nx=1\r\n");
    EXPECT_EQ(LoadSettings(ini), "/old/hcw.exe");
    SaveSettings(ini, "/opt/help tools/hcw.exe");
    EXPECT_EQ(readFile(ini),
              "garbage\r\n[compiler]\r\nNAME=/opt/help tools/hcw.exe\r\n[Other]\r\nx=1\r\n");
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
    desktop.associate("text/plain", compiler);
    EnsureCompiler(path, hpj, cancel); // cancelled: the proposal is still used
    EXPECT_EQ(shown, (QStringList{"", compiler}));
    EXPECT_EQ(path, compiler);
    path.clear();
    EnsureCompiler(path, hpj, [](QString& p) { p = "/chosen/hcw.exe"; });
    EXPECT_EQ(path, "/chosen/hcw.exe");

    // Our own compiler, installed beside the program, is taken without asking.
    const QString program = desktop.write("inst/kivhelp", "");
    EXPECT_EQ(InstalledCompiler(program), "");
    const QString kivhc = desktop.write("inst/kivhc", "#!/bin/sh\n");
    EXPECT_EQ(InstalledCompiler(program), "") << "not executable";
    QFile::setPermissions(kivhc, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(InstalledCompiler(program), kivhc);
    path.clear();
    shown.clear();
    EnsureCompiler(path, hpj, cancel, InstalledCompiler(program));
    EXPECT_EQ(path, kivhc);
    EXPECT_TRUE(shown.isEmpty());
}

TEST(ProjectFiles, FilterFilesLieBesideTheProgramAndLoadOnlyForABoundFilter) {
    TempFolder t;
    ASSERT_TRUE(QDir(t.d).mkpath("tools"));
    const QString path = FilterFilePath(t.d + "tools/kivhelp", "EHMain");
    EXPECT_EQ(path, t.d + "tools/EHMain.flt");
    FakeDesktop desktop;
    EXPECT_EQ(FilterFilePath("/nonexistent-kiv/bin/kivhelp", "EHId"),
              desktop.path("config") + "/kivhelp/EHId.flt");

    TKivFilter written;
    written.AddFilter();
    written.AddFilter();
    SaveFilterFile(written, path);

    TMemTable table;
    table.addFieldDef("ID", TFieldType::ftInteger);
    TDataSource source;
    TKivFilter read;
    LoadFilterFile(read, path); // shows no dataset yet
    EXPECT_TRUE(read.Filters().isEmpty());
    source.setDataSet(&table);
    read.setDataSource(&source);
    LoadFilterFile(read, path);
    ASSERT_EQ(read.Filters().size(), 2);
    EXPECT_EQ(read.CurrentIndex(), 1);
    LoadFilterFile(read, t.d + "tools/none.flt"); // no file: the filters stay
    EXPECT_EQ(read.Filters().size(), 2);
}
