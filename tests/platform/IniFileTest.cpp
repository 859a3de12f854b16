#include "IniFile.h"
#include "FileSizeLimit.h"
#include "KivError.h"
#include "TestFiles.h"

// A settings file in a folder of its own.
class IniFileOnDisk : public ::testing::Test {
protected:
    TempFolder tmp;
    const QString path = tmp.d + "s.ini";
};

TEST(IniFile, KeepsKeyOrderAndMatchesNamesInAnyCase) {
    const IniFile ini = IniFile::fromBytes(
        "[OPTIONS]\r\nTITLE=book\r\n[WINDOWS]\r\n"
        "main=\"Book\",(0,0,1023,1023)\r\n popup = x \r\n"
        "Zeta=\"/opt/help tools/hcw.exe\"\r\nalpha=2\r\n[CONFIG]\r\nBrowseButtons()\r\n");
    EXPECT_EQ(ini.readSection("Windows"), (QStringList{"main", "popup", "Zeta", "alpha"}));
    EXPECT_EQ(ini.readString("windows", "POPUP"), "x");
    EXPECT_EQ(ini.readString("windows", "zeta"), "/opt/help tools/hcw.exe");
    EXPECT_EQ(ini.readString("windows", "main"), "\"Book\",(0,0,1023,1023)");
    EXPECT_EQ(ini.readString("Options", "title"), "book");
    EXPECT_EQ(ini.readString("Options", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("Nowhere", "title", "dflt"), "dflt");
    EXPECT_TRUE(ini.readSection("nowhere").isEmpty());
    // "BrowseButtons()" has no "=": it is no key.
    EXPECT_TRUE(ini.readSection("CONFIG").isEmpty());
    EXPECT_EQ(ini.sections(), (QStringList{"OPTIONS", "WINDOWS", "CONFIG"}));
}

TEST(IniFile, ToleratesGarbageAndOddLineEnds) {
    static const char raw[] = "no section=yes\n[broken\r=nokey\r\n;comment=1\n\x01\xff\x00 junk\n"
                              "[A]\rk1=v1\r\n\r\n[a]\nk1=second\nk2=\xe9t\xe9\nk1=dup\n[]\nx=1";
    const QByteArray garbage(raw, sizeof raw - 1);
    const IniFile ini = IniFile::fromBytes(garbage);
    // The first section of a name wins; duplicate keys are listed once.
    EXPECT_EQ(ini.readString("a", "k1"), "v1");
    EXPECT_EQ(ini.readSection("A"), QStringList{"k1"});
    EXPECT_EQ(ini.readString("broken", "anything", "d"), "d");
    EXPECT_TRUE(ini.readSection("").isEmpty());
    EXPECT_EQ(ini.sections(), (QStringList{"A"}));
    // Unknown lines survive a round trip; only the line ends become CR LF.
    const QByteArray out = ini.toBytes();
    EXPECT_TRUE(out.contains("[broken\r\n=nokey\r\n;comment=1\r\n"));
    EXPECT_TRUE(out.contains(QByteArray("\x01\xff\x00 junk\r\n", 9)));
    EXPECT_TRUE(out.endsWith("[]\r\nx=1\r\n"));
}

TEST_F(IniFileOnDisk, WritesInPlaceKeepingEverythingElse) {
    writeFile(path, "; settings\r\n[Compiler]\r\nname=/old/hcw\r\n\r\n[Other]\r\nk=v\r\n");
    IniFile ini(path);
    ini.writeString("COMPILER", "Name", "/opt/help tools/hcw.exe");
    ini.writeString("compiler", "Extra", QStringLiteral("é"));
    ini.writeString("New", "Key", "1");
    EXPECT_EQ(readFile(path),
              QByteArray("; settings\r\n[Compiler]\r\nname=/opt/help tools/hcw.exe\r\n"
                         "Extra=\xe9\r\n\r\n[Other]\r\nk=v\r\n[New]\r\nKey=1\r\n"));
    EXPECT_EQ(IniFile(path).readString("Compiler", "NAME"), "/opt/help tools/hcw.exe");
}

TEST_F(IniFileOnDisk, FailedWriteLosesNothing) {
    writeFile(path, "[Compiler]\r\nName=keep\r\n");
    IniFile ini(path);
    {
        FileSizeLimit limit(40); // the disk is full
        EXPECT_THROW(ini.writeString("Compiler", "Name", QString(100, 'x')), EInOutError);
    }
    EXPECT_EQ(readFile(path), QByteArray("[Compiler]\r\nName=keep\r\n"));
    // The object also still holds what is on disk, and no temporary file is left.
    EXPECT_EQ(ini.readString("Compiler", "Name"), "keep");
    EXPECT_EQ(QDir(tmp.d).entryList(QDir::Files), QStringList{"s.ini"});
    ini.writeString("Compiler", "Other", "1");
    EXPECT_EQ(readFile(path), QByteArray("[Compiler]\r\nName=keep\r\nOther=1\r\n"));
}

TEST_F(IniFileOnDisk, UnreadableFileIsNeverOverwritten) {
    writeFile(path, "[Compiler]\r\nName=keep\r\nOther=1\r\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    IniFile ini(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (ini.readString("Compiler", "Name") == "keep") GTEST_SKIP() << "modes are not enforced";
    EXPECT_THROW(ini.writeString("Compiler", "Name", "x"), EInOutError);
    EXPECT_EQ(readFile(path), QByteArray("[Compiler]\r\nName=keep\r\nOther=1\r\n"));
}

TEST_F(IniFileOnDisk, MissingFileReadsEmptyAndIsCreatedOnlyByAValidEntry) {
    IniFile ini(path);
    EXPECT_EQ(ini.readString("Compiler", "Name"), "");
    // Entries that would read back as another structure are refused.
    EXPECT_THROW(ini.writeString("Compiler", "Name", "a\r\n[Evil]"), EKivError);
    EXPECT_THROW(ini.writeString("Com]piler", "Name", "a"), EKivError);
    EXPECT_THROW(ini.writeString("Compiler", "Na=me", "a"), EKivError);
    EXPECT_THROW(ini.writeString("Compiler", "", "a"), EKivError);
    EXPECT_FALSE(QFile::exists(path));
    ini.writeString("Compiler", "Name", "x");
    EXPECT_EQ(readFile(path), QByteArray("[Compiler]\r\nName=x\r\n"));
}
