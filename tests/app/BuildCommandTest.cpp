// kivhelp --build from outside: the files it writes, the compiler run, what it
// prints and its exit status.
#include "CompilerScript.h"
#include "DMod.h"
#include "KivTable.h"
#include "QtPrinters.h"
#include "RecordingUI.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CommandRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class BuildCommandTest : public ::testing::Test {
protected:
    // The settings file lies beside the program, so each test runs its own copy.
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        const QString built = QString::fromLocal8Bit(qgetenv("KIVHELP"));
        ASSERT_FALSE(built.isEmpty()) << "KIVHELP is not set";
        ASSERT_TRUE(QDir().mkpath(tmp.path() + "/tools"));
        program = tmp.path() + "/tools/kivhelp";
        ASSERT_TRUE(QFile::copy(built, program));

        d = tmp.path() + "/help files/";
        ASSERT_TRUE(QDir().mkpath(d));
        TDM dm;
        dm.CreateProject(d + "book.hpj");
        ASSERT_TRUE(dm.ProjectOpen()) << ui->messages.join('|').toStdString();
        addTopic(dm, 1, "{\\rtf1{\\fonttbl}{\\colortbl;}\\pard One\\par}", "100");
        addTopic(dm, 2, "{\\rtf1{\\fonttbl}{\\colortbl;}\\pard Two \\{HRef=1\\}\\par}", "");
        addTopic(dm, 10, "{\\rtf1{\\fonttbl}{\\colortbl;}\\pard Ten\\par}", "");
        dm.CloseProject(false);
    }

    static void addTopic(TDM& dm, int id, const QString& text, const QString& ctx) {
        dm.TbMain->Append();
        dm.TbMain->FieldByName("ID")->setAsInteger(id);
        dm.TbMain->FieldByName("TEXT")->setAsString(text);
        if (!ctx.isEmpty()) dm.TbMain->FieldByName("CTX")->setAsString(ctx);
        dm.TbMain->Post();
    }

    void setCompiler(const QString& path) const {
        QFile ini(tmp.path() + "/tools/kivhelp.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Compiler]\r\nName=" + path.toLocal8Bit() + "\r\n");
    }

    CommandRun build(const QStringList& args, const QString& workingDir = {}) const {
        QProcess p;
        if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
        p.start(program, QStringList{"--build"} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput(), p.readAllStandardError()};
    }

    QTemporaryDir tmp;
    QString program;
    QString d;
    RecordingUI::Scope ui;
};

TEST_F(BuildCommandTest, WritesTheBuildFilesWithoutCompilingOrStoring) {
    const QByteArray table = readFile(d + "book.dbf");
    CommandRun r = build({d + "book.hpj", "--no-compile"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_EQ(readFile(d + "book.lst"), "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.map"), "#define 1 100\r\n");
    EXPECT_TRUE(readFile(d + "book_2.rtf").contains("Two {\\v 1}"));
    EXPECT_EQ(readFile(d + "book.dbf"), table);

    // One topic, named by its ID; a relative project name means the working folder.
    r = build({"--topic", "10", "--no-compile", "book.hpj"}, d);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(readFile(d + "book.lst"), "book_10.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.map"), "");
}

TEST_F(BuildCommandTest, CompilesAsTheCompileCommandAndPrintsTheMessages) {
    const QString compiler = writeCompilerScript(tmp.path() + "/hc/hcw.exe");
    setCompiler(compiler);
    CommandRun r = build({d + "book.hpj"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, "Compiling book.hpj\nWarning 4113: topic 3 has no title\n");
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_EQ(recordedArgs(compiler), "/A/C/E/M\n" + (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(readFile(d + "book.lst"), "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n");

    // The compiler's exit status is not looked at; a missing message file prints nothing.
    setCompiler(writeCompilerScript(tmp.path() + "/hc/other", "rm \"$base.err\"; exit 3"));
    r = build({d + "book.hpj", "--topic", "2"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(recordedArgs(tmp.path() + "/hc/other"), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(readFile(d + "book.lst"), "book_2.rtf\r\n");
}

TEST_F(BuildCommandTest, CompilerProblemsFailAfterTheBuild) {
    CommandRun r = build({d + "book.hpj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("No help compiler set")) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(readFile(d + "book.lst"), "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n");

    const QString missing = tmp.path() + "/no such/hcw.exe";
    setCompiler(missing);
    r = build({d + "book.hpj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              ("Impossible to run Help compiler / " + missing + " /A/C/E/M " + d + "book.hpj\n")
                  .toLocal8Bit());
    EXPECT_FALSE(QFile::exists(d + "book.err"));
}

TEST_F(BuildCommandTest, BadArgumentsAndMissingProjectsFailWithAMessage) {
    const QByteArray list = readFile(d + "book.lst");
    for (const QStringList& args :
         {QStringList{}, QStringList{"--topic"}, QStringList{d + "book.hpj", "--topic", "x1"},
          QStringList{d + "book.hpj", "--fast"}, QStringList{d + "book.hpj", d + "other.hpj"}}) {
        const CommandRun r = build(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: kivhelp --build")) << r.err.constData();
    }

    CommandRun r = build({d + "book.hpj", "--topic", "99", "--no-compile"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No topic with ID 99\n");
    EXPECT_EQ(readFile(d + "book.lst"), list);

    r = build({d + "none.hpj", "--no-compile"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Error. Project not open\n")) << r.err.constData();
    EXPECT_FALSE(QFile::exists(d + "none.lst"));
}

TEST_F(BuildCommandTest, WarningsGoToStandardErrorAndTheBuildGoesOn) {
    {
        TDM dm;
        dm.OpenProject(d + "book.hpj");
        ASSERT_TRUE(dm.ProjectOpen());
        addTopic(dm, 20, "{\\rtf1}}} broken", "");
    }
    CommandRun r = build({d + "book.hpj", "--no-compile"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.startsWith("Bad system region in RTF\n")) << r.err.constData();
    EXPECT_TRUE(readFile(d + "book.lst").endsWith("book_20.rtf\r\n"));
}

} // namespace
