// The link check of a project from outside (kivhelp --check, --build) and in
// the compile commands: what they report, where it goes, and exit statuses.
#include "CompileProject.h"
#include "ProjectFixture.h"

namespace {

struct WindowHost : CompileHost {
    void EnsureCompiler() override {}
};

class CheckCommandTest : public ProjectFixture {
protected:
    void SetUp() override {
        createProject();
        addTopic(1, "Home", topicText("\\strike Next\\strike0 \\{HRef=2\\}"));
        addTopic(2, "Next", topicText("\\strike Back\\strike0 \\{HRef=1\\}"));
    }
    ProgramRun run(const QStringList& args) {
        dm.CloseProject(false); // one owner of the table at a time
        const ProgramRun r = runProgram(QString::fromLocal8Bit(qgetenv("KIVHELP")), args, d);
        dm.OpenProject(d + "book.hpj");
        return r;
    }
    const QByteArray unreached3 = "Topic 3 (Three): not reached by any jump, pop-up, contents "
                                  "line or browse sequence\n";
};

TEST_F(CheckCommandTest, CheckPrintsFindingsAndFailsOnlyForMissingTargets) {
    ProgramRun r = run({"--check", "book.hpj"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();

    addTopic(3, "Three", topicText("\\{bmc none.bmp\\}"));
    r = run({"--check", d + "book.hpj"});
    EXPECT_EQ(r.status, 0); // warnings only
    EXPECT_EQ(r.out, "Topic 3 (Three): missing picture none.bmp\n" + unreached3);

    addTopic(4, "Four", topicText("\\ul Lost\\ul0 \\{HRef=40\\}"), "1004");
    r = run({"--check", d + "book.hpj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.endsWith("Topic 4 (Four): pop-up to missing topic 40\n"
                               "Topic 4 (Four): not reached by any jump, pop-up, contents line "
                               "or browse sequence\n"))
        << r.out.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();

    // --build shows the same before the compiler's messages; its status is the build's.
    r = run({"--build", d + "book.hpj", "--no-compile"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Topic 3 (Three): missing picture none.bmp\n" + unreached3));
    r = run({"--build", d + "book.hpj", "--no-compile", "--topic", "4"});
    EXPECT_EQ(r.out, "Topic 4 (Four): pop-up to missing topic 40\n");

    for (const QStringList& bad :
         {QStringList{"--check"}, {"--check", d + "none.hpj"}, {"--check", "a.hpj", "b.hpj"}}) {
        r = run(bad);
        EXPECT_EQ(r.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}

// The Error log page after a compile: the findings, then the compiler's messages.
TEST_F(CheckCommandTest, ErrorLogShowsFindingsBeforeTheCompilersMessages) {
    withPages();
    dm.OpenProject(d + "book.hpj"); // with the pages
    dm.CompilerPath = writeCompilerScript(tmp.d + "tools/hc");
    addTopic(3, "Three", topicText("\\strike Gone\\strike0 \\{HRef=30>side\\} \\{HRef=1\\}"));
    contents.setPlainText("1 Book\n2 Start=1");
    WindowHost host;
    const LinkFindings f = CompileProject(true, host);
    const QString messages = "Compiling book.hpj\nWarning 4113: topic 3 has no title";
    const QString three = "Topic 3 (Three): ";
    EXPECT_TRUE(f.missingTargets);
    EXPECT_EQ(errorLog.toPlainText(),
              three + "jump to missing topic 30\n" + three +
                  "jump to topic 30 in undefined window side\n" + three +
                  "not reached by any jump, pop-up, contents line or browse sequence\n" + messages);
}

} // namespace
