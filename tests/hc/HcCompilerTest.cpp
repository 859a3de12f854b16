// The compiler over files: what it warns about and still compiles, the errors
// that leave the old help file as it was, and the contents file that goes
// where the help file is.
#include "HcCompiler.h"
#include "TestBitmap.h"
#include "TestFiles.h"

#include <QDir>

#include <unistd.h>

namespace {

const QByteArray kHeader = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
                           "{\\colortbl;\\red0\\green128\\blue0;}\r\n";

QByteArray topic(const QByteArray& id, const QByteArray& title, const QByteArray& body) {
    QByteArray t = kHeader;
    if (!id.isEmpty()) t += "#{\\footnote # " + id + "}\r\n";
    if (!title.isEmpty()) t += "${\\footnote $ " + title + "}\r\n";
    return t + "\\pard " + body + "\\par\r\n}\r\n";
}

class HcCompilerTest : public ::testing::Test {
protected:
    // A project like ours: book.hpj from the template, its list and map.
    void project(const QByteArray& extraOptions = {}, const QByteArray& extraSections = {}) {
        writeFile(d + "book.hpj", "[OPTIONS]\r\nERRORLOG=book.err\r\nCOMPRESS=12 Hall Zeck\r\n"
                                  "TITLE=book\r\nLCID=0x409 0x0 0x0\r\nREPORT=Yes\r\n"
                                  "HLP=book.hlp\r\n" +
                                      extraOptions +
                                      "[FILES]\r\n#include book.lst\r\n[MAP]\r\n"
                                      "#include book.map\r\n[WINDOWS]\r\nproc=\"Procedures\"\r\n"
                                      "[CONFIG]\r\nBrowseButtons()\r\n" +
                                      extraSections);
    }
    QStringList errLines() { return QString::fromLatin1(readFile(d + "book.err")).split("\r\n"); }
    TempFolder tmp;
    const QString d = tmp.d + "help files/";
};

} // namespace

TEST_F(HcCompilerTest, BadInputIsWarnedAboutAndTheHelpFileStillWritten) {
    project({}, "[BAGGAGE]\r\ndata.bin\r\n");
    writeFile(d + "book.lst", "book_1.rtf\r\nbook_2.rtf\r\nbook_3.rtf\r\n");
    writeFile(d + "book.map", "#define 1 100\r\n#define 99 199\r\n");
    writeFile(d + "logo.bmp", Bmp24(1, 1));
    writeFile(d + "book_1.rtf",
              topic("1", "One",
                    "\\cf1\\strike Two\\strike0{\\v 2} \\strike Nowhere\\strike0{\\v 77} "
                    "\\strike Far\\strike0{\\v 2>nowin} \\{bmc logo.bmp\\} \\{bmc gone.bmp\\} "
                    "\\{bmc LOGO.BMP\\}\\frobnicate7 {\\*\\mine x}"));
    // Two topics in one file, the second reusing the first file's context.
    writeFile(d + "book_2.rtf", kHeader + "#{\\footnote # 2}${\\footnote $ Two}>{\\footnote > proc}"
                                          "Two\\par\\page #{\\footnote # 1}${\\footnote $ Again}"
                                          ">{\\footnote > elsewhere}Again\\par}");
    writeFile(d + "book_3.rtf", topic("", "Loose", "{\\b unbalanced"));
    writeFile(d + "book.cnt", ":Base book.hlp\r\n:Include book.toc\r\n");
    writeFile(d + "book.toc", "1 Book\r\n2 One=1\r\n2 Missing=55\r\n2 Other=9@other.hlp\r\n");

    QStringList printed;
    const Hc::CompileResult r =
        Hc::Compile(d + "book.hpj", [&printed](const QString& line) { printed << line; });
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.helpFile, d + "book.hlp");
    EXPECT_TRUE(readFile(d + "book.hlp").startsWith("\x3F\x5F\x03\x00"));
    EXPECT_EQ(r.topics, 4);
    EXPECT_EQ(r.bitmaps, 1); // the one file, named twice in two cases
    EXPECT_EQ(r.jumps, 3);
    QStringList lines = errLines();
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.takeLast(), "");
    EXPECT_TRUE(lines.takeLast().startsWith("Compile time: "));
    EXPECT_EQ(printed.mid(0, lines.size()), lines);
    EXPECT_EQ(
        lines,
        QStringList({"Compiling book.hpj",
                     "HC1002: Warning: book.hpj : Unknown section [BAGGAGE] ignored",
                     "HC3041: Warning: book_1.rtf : topic '1' : Bitmap 'gone.bmp' not found; the "
                     "topic goes without it",
                     "HC3001: Warning: book_3.rtf : Unbalanced braces: a group is not closed",
                     "HC3021: Warning: book_3.rtf : topic #1 : Topic has no context string (#): it "
                     "can be reached only through keywords or browsing",
                     "HC3011: Warning: book_2.rtf : topic '1' : Context string '1' is already used "
                     "in book_1.rtf; the first one is kept",
                     "HC3025: Warning: book_1.rtf : topic '1' : Jump to undefined topic ID: '77'",
                     "HC3031: Warning: book_1.rtf : topic '1' : Jump to undefined window: 'nowin'",
                     "HC3031: Warning: book_2.rtf : topic #2 : Window 'elsewhere' is not defined; "
                     "the topic shows in the main window",
                     "HC1006: Warning: book.map : Map entry 199 names undefined topic ID: '99'",
                     "HC4002: Warning: book.toc : Contents entry 'Missing' names undefined topic "
                     "ID: '55'",
                     "4 Topics, 3 Jumps, 0 Keywords, 1 Bitmap",
                     "Created book.hlp, " + QString::number(r.bytes) + " bytes; 10 warnings"}));

    // What went to the writer: the first context wins, unknown windows are dropped.
    Hc::CompileResult again;
    const Hlp::Project p = Hc::ReadProject(d + "book.hpj", again);
    ASSERT_EQ(p.topics.size(), 4u);
    EXPECT_EQ(p.topics[0].contexts, QStringList{"1"});
    EXPECT_TRUE(p.topics[2].contexts.isEmpty());
    EXPECT_EQ(p.topics[1].window, "proc");
    EXPECT_EQ(p.topics[2].window, "");
    EXPECT_EQ(p.map, (std::vector<std::pair<QString, quint32>>{{"1", 100}}));
    EXPECT_EQ(p.contentsFile, "book.cnt");
    EXPECT_TRUE(p.compress);
    EXPECT_EQ(p.configMacros, QStringList{"BrowseButtons()"});
}

TEST_F(HcCompilerTest, ErrorsLeaveTheOldHelpFileAndNothingHalfWritten) {
    project();
    writeFile(d + "book.lst", "book_1.rtf\r\nbook_2.rtf\r\n");
    writeFile(d + "book.map", "");
    writeFile(d + "book_1.rtf", topic("1", "One", "One"));
    QDir().mkpath(d + "book_2.rtf"); // a folder where a topic file should be
    writeFile(d + "book.hlp", "OLD");
    Hc::CompileResult r = Hc::Compile(d + "book.hpj");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(readFile(d + "book.hlp"), "OLD");
    EXPECT_TRUE(errLines().contains("HC2001: Error: book_2.rtf : Cannot read the topic file " + d +
                                    "book_2.rtf: it is a folder"))
        << errLines().join('\n').toStdString();
    EXPECT_TRUE(errLines().contains("book.hlp not created: 1 error, 0 warnings"));

    // The file list itself missing; then the project file.
    QFile::remove(d + "book.lst");
    r = Hc::Compile(d + "book.hpj");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(errLines()[1], "HC1007: Error: book.hpj : Cannot open the included file 'book.lst'");
    r = Hc::Compile(d + "none.hpj");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(QString::fromLatin1(readFile(d + "none.err")).split("\r\n")[1],
              "HC1001: Error: none.hpj : Cannot read the project file: No such file or directory");

    // An output folder that cannot be made, even by root: a path under a file.
    writeFile(d + "book.lst", "book_1.rtf\r\n");
    writeFile(d + "blocker", "x");
    project("HLP=blocker/book.hlp\r\n");
    const auto before = folderFiles(d);
    r = Hc::Compile(d + "book.hpj");
    EXPECT_FALSE(r.written);
    EXPECT_TRUE(errLines()[1].startsWith("HC5001: Error: book.hlp : Cannot write the help file " +
                                         d + "blocker/book.hlp"))
        << errLines()[1].toStdString();
    auto after = folderFiles(d);
    after.erase("book.err");
    auto expected = before;
    expected.erase("book.err");
    EXPECT_EQ(after, expected); // nothing left behind but the messages
}

TEST_F(HcCompilerTest, TheContentsGoBesideAHelpFileInAnotherFolder) {
    project("HLP=out/book.hlp\r\n");
    QDir().mkpath(d + "out");
    writeFile(d + "book.lst", "book_1.rtf\r\n");
    writeFile(d + "book.map", "");
    writeFile(d + "book_1.rtf", topic("1", "One", "One"));
    writeFile(d + "book.cnt", ":Base book.hlp\r\n:Include book.toc\r\n");
    writeFile(d + "book.toc", "1 One=1\r\n");
    const Hc::CompileResult r = Hc::Compile(d + "book.hpj");
    EXPECT_TRUE(r.written) << r.log.join('\n').toStdString();
    EXPECT_EQ(readFile(d + "out/book.cnt"), readFile(d + "book.cnt"));
    EXPECT_EQ(readFile(d + "out/book.toc"), "1 One=1\r\n");
    EXPECT_FALSE(QFile::exists(d + "book.hlp"));
    EXPECT_EQ(r.messages.warnings(), 0) << r.log.join('\n').toStdString();
}
