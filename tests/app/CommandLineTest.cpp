// kivhelp --build and --new from outside: the files they write, the compiler
// run, what they print and their exit status.
#include "ProjectFixture.h"

namespace {

class CommandLineTest : public ProjectFixture {
protected:
    // The settings file lies beside the program, so each test runs its own
    // copy, on a project with three topics.
    void SetUp() override {
        const QString built = QString::fromLocal8Bit(qgetenv("KIVHELP"));
        ASSERT_FALSE(built.isEmpty()) << "KIVHELP is not set";
        ASSERT_TRUE(QDir().mkpath(tmp.d + "tools"));
        ASSERT_TRUE(QFile::copy(built, program));
        createProject();
        addTopic(1, "One", topicText("One"), "100");
        addTopic(2, "Two", topicText("Two"));
        addTopic(10, "Ten", topicText("Ten"));
        dm.CloseProject(false);
    }

    void setCompiler(const QString& path) const {
        writeFile(tmp.d + "tools/kivhelp.ini", "[Compiler]\r\nName=" + path.toLocal8Bit() + "\r\n");
    }

    ProgramRun run(const QStringList& args, const QString& workingDir = {}) const {
        return runProgram(program, args, workingDir.isEmpty() ? tmp.d : workingDir);
    }

    const QString program = tmp.d + "tools/kivhelp";
    const QByteArray all = "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n";
};

// A topic the build warns about is written all the same.
TEST_F(CommandLineTest, BuildWritesTheFilesWithoutCompilingOrStoring) {
    dm.OpenProject(d + "book.hpj");
    addTopic(20, "Broken", "{\\rtf1}}} broken");
    dm.CloseProject(false);
    const QByteArray table = readFile(d + "book.dbf");
    ProgramRun r = run({"--build", d + "book.hpj", "--no-compile"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    // Only the link check speaks: nothing leads to topics 2, 10 and 20.
    EXPECT_EQ(r.out.count("not reached"), 3) << r.out.constData();
    EXPECT_TRUE(r.err.startsWith("Bad system region in RTF\n")) << r.err.constData();
    EXPECT_EQ(readFile(d + "book.lst"), all + "book_20.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.map"), "#define 1 100\r\n");
    EXPECT_EQ(readFile(d + "book.dbf"), table);

    // One topic, named by its ID; a relative project name means the working folder.
    r = run({"--build", "--topic", "10", "--no-compile", "book.hpj"}, d);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(readFile(d + "book.lst"), "book_10.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.map"), "");
}

TEST_F(CommandLineTest, BuildCompilesAndPrintsTheMessages) {
    const QString compiler = writeCompilerScript(tmp.d + "hc/hcw.exe");
    setCompiler(compiler);
    ProgramRun r = run({"--build", d + "book.hpj"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.endsWith("\nCompiling book.hpj\nWarning 4113: topic 3 has no title\n"))
        << r.out.constData(); // after the link check's findings
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_EQ(recordedArgs(compiler), "/A/C/E/M\n" + (d + "book.hpj").toUtf8() + "\n");

    // The compiler's exit status is not looked at; a missing message file prints nothing.
    const QString other = writeCompilerScript(tmp.d + "other/hc", "rm \"$base.err\"; exit 3");
    setCompiler(other);
    r = run({"--build", d + "book.hpj", "--topic", "2"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(recordedArgs(other), (d + "book.hpj").toUtf8() + "\n");
    EXPECT_EQ(readFile(d + "book.lst"), "book_2.rtf\r\n");
}

TEST_F(CommandLineTest, BuildFailsWithAMessage) {
    const QString missing = tmp.d + "no such/hcw.exe";
    const QString usage = "Usage: kivhelp --build";
    const QString hpj = d + "book.hpj";
    // Arguments, what standard error says, whether the files get built.
    const std::tuple<QStringList, QString, bool> cases[] = {
        {{hpj}, "No help compiler set", true},
        {{hpj, "--compiler-set"},
         "Impossible to run Help compiler / " + missing + " /A/C/E/M " + hpj + "\n",
         true},
        {{}, usage, false},
        {{"--topic"}, usage, false},
        {{hpj, "--topic", "x1"}, usage, false},
        {{hpj, "--fast"}, usage, false},
        {{hpj, d + "other.hpj"}, usage, false},
        {{hpj, "--topic", "99", "--no-compile"}, "No topic with ID 99\n", false},
        {{d + "none.hpj", "--no-compile"}, "Error. Project not open\n", false}};
    for (const auto& [args, message, built] : cases) {
        QStringList given = args;
        if (given.removeAll("--compiler-set")) setCompiler(missing);
        QFile::remove(d + "book.lst");
        const ProgramRun r = run(QStringList{"--build"} + given);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(message.toLocal8Bit())) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(readFile(d + "book.lst"), built ? all : "<missing>") << r.err.constData();
    }
    EXPECT_FALSE(QFile::exists(d + "book.err") || QFile::exists(d + "none.lst"));
}

TEST_F(CommandLineTest, NewCreatesTheProjectAndRefusesToCreateItTwice) {
    const QString n = tmp.d + "new/";
    QDir().mkpath(n);
    ProgramRun r = run({"--new", n + "book.hpj"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty());
    EXPECT_TRUE(readFile(n + "book.cnt").startsWith(":Base book.hlp\r\n"));
    EXPECT_TRUE(QFileInfo::exists(n + "book.dbf"));

    writeFile(n + "book.hpj", readFile(n + "book.hpj") + "; the author's own line\r\n");
    const auto edited = folderFiles(n);
    r = run({"--new", n + "book.hpj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Error. Project not created\n")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("book.hpj")); // the reason follows the message
    EXPECT_EQ(folderFiles(n), edited);

    r = run({"--new", "my.proj.hpj"}, n); // relative: in the working folder
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(n + "my.hpj") && QFileInfo::exists(n + "my.dbf"));

    r = run({"--new"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Usage")) << r.err.constData();
}

} // namespace
