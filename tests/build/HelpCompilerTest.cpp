#include "HelpCompiler.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(HelpCompiler, HcwInAnyCaseGetsTheSwitchesOthersDoNot) {
    CompilerCall c = CompileCommand(QStringLiteral("/tools/hcw.exe"), QStringLiteral("/help/book.hpj"));
    EXPECT_EQ(c.commandLine, QStringLiteral("/tools/hcw.exe /A/C/E/M /help/book.hpj"));
    EXPECT_EQ(c.arguments, (QStringList{QStringLiteral("/A/C/E/M"), QStringLiteral("/help/book.hpj")}));
    EXPECT_EQ(CompileCommand(QStringLiteral("C:\\Tools\\Hcw.Exe"), QStringLiteral("x.hpj")).arguments.size(), 2);
    c = CompileCommand(QStringLiteral("/tools/mycomp.exe"), QStringLiteral("/help/book.hpj"));
    EXPECT_EQ(c.commandLine, QStringLiteral("/tools/mycomp.exe /help/book.hpj"));
    // hcw.exe must be the whole file name, not a folder or a suffix
    EXPECT_EQ(CompileCommand(QStringLiteral("/hcw.exe/comp"), QStringLiteral("p")).arguments.size(), 1);
    EXPECT_EQ(CompileCommand(QStringLiteral("/t/xhcw.exe"), QStringLiteral("p")).arguments.size(), 1);
}

TEST(HelpCompiler, PathsWithBlanksStayWholeArguments) {
    const CompilerCall c = CompileCommand(QStringLiteral("/my tools/HCW.EXE"), QStringLiteral("/my help/b.hpj"));
    EXPECT_EQ(c.program, QStringLiteral("/my tools/HCW.EXE"));
    EXPECT_EQ(c.arguments.last(), QStringLiteral("/my help/b.hpj"));
    EXPECT_EQ(c.commandLine, QStringLiteral("/my tools/HCW.EXE /A/C/E/M /my help/b.hpj"));
    const CompilerCall i = InteractiveCommand(QStringLiteral("/my tools/HCW.EXE"), QStringLiteral("/h/b.hpj"));
    EXPECT_EQ(i.arguments, QStringList{QStringLiteral("/h/b.hpj")});
}

TEST(HelpCompiler, JumpIdNamesTheTopic) {
    EXPECT_EQ(JumpIdMacro(QStringLiteral("12")), QStringLiteral("JumpId(\"\",\"12\")"));
    EXPECT_EQ(JumpIdMacro(QString()), QString());
}

TEST(HelpCompiler, ErrorLogLinesOrNothing) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("b.err"));
    EXPECT_TRUE(ReadErrorLog(path).isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Error 4639: b_1.rtf\r\n\r\nCaf\xE9 done\r\n");
    f.close();
    EXPECT_EQ(ReadErrorLog(path), (QStringList{QStringLiteral("Error 4639: b_1.rtf"), QString(),
                                               QString::fromUtf8("Café done")}));
}
