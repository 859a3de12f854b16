// kivhelp --new from outside: the files it leaves, the messages on standard
// error and the exit status.
#include "TestFiles.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CommandRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CommandRun newProject(const QStringList& args, const QString& workingDir = {}) {
    const QString program = QString::fromLocal8Bit(qgetenv("KIVHELP"));
    EXPECT_FALSE(program.isEmpty()) << "KIVHELP is not set";
    QProcess p;
    if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
    p.start(program, QStringList{QStringLiteral("--new")} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

TEST(NewProjectCommand, CreatesTheProjectAndRefusesToCreateItTwice) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    CommandRun r = newProject({d + "book.hpj"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_TRUE(r.out.isEmpty());
    for (const char* name :
         {"book.hpj", "book.cnt", "book.toc", "book.lst", "book.map", "book.dbf"})
        EXPECT_TRUE(QFileInfo::exists(d + name)) << name;
    EXPECT_TRUE(readFile(d + "book.cnt").startsWith(":Base book.hlp\r\n"));

    writeFile(d + "book.hpj", readFile(d + "book.hpj") + "; the author's own line\r\n");
    const auto edited = folderFiles(d);
    r = newProject({d + "book.hpj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Error. Project not created\n")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("book.hpj")); // the reason follows the message
    EXPECT_EQ(folderFiles(d), edited);

    // A relative name is created in the working folder.
    r = newProject({"my.proj.hpj"}, d);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo::exists(d + "my.hpj"));
    EXPECT_TRUE(QFileInfo::exists(d + "my.dbf"));
}

TEST(NewProjectCommand, UnusableArgumentsFailWithAMessage) {
    QTemporaryDir dir;
    const std::pair<QStringList, const char*> cases[] = {
        {{}, "Usage"},
        {{dir.path() + "/.hpj"}, "Error. Project not created\n"},
        {{dir.path() + "/no/such/folder/book.hpj"}, "Error. Project not created\n"}};
    for (const auto& [args, message] : cases) {
        const CommandRun r = newProject(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.startsWith(message)) << r.err.constData();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

} // namespace
