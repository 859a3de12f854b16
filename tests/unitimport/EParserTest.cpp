// Reading a unit file into comment-free text, and the cursor primitives.
#include "EParser.h"
#include "KivError.h"
#include "QtPrinters.h"
#include "RecordingUI.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kParen = QStringLiteral("Found \")\" without \"(\"\ntext is not corrected");
const QString kSquare = QStringLiteral("Found \"]\" without \"[\"\ntext is not corrected");

class LoadUnitTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("U.pas")) {
        return writeFile(dir.filePath(name), bytes);
    }
    QByteArray load(const QByteArray& bytes) {
        TParser p;
        EXPECT_TRUE(p.LoadUnit(write(bytes)));
        return p.Text;
    }
};

TEST_F(LoadUnitTest, CommentsLiteralsAndTheStopWord) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a{x}b{$IFDEF X}c", "abc"},
        {"a(*x*)b(*)c(* ) * *)d", "abcd"}, // "(*)" is a whole comment
        {"a // c\r\nb", "a b"},            // the line break goes with the comment
        {"a // one\nb //\nc", "a b c"},    // so does a bare LF
        {"a/b(c)*d", "a/b(c)*d"},
        {"s = 'it''s {no} // (*no*)';", "s = 'it''s {no} // (*no*)';"},
        {"unit A;\r\nimplementation\r\nuses B;", "unit A;\r\nimplementation\r"},
        {"x IMPLEMENTATION;y", "x IMPLEMENTATION;"},
        {"x Implementation1 y", "x Implementation1"},
        {"'implementation' {implementation} // implementation\nimplementations z",
         "'implementation'  implementations z"},
        {"a implementation", "a implementation"},
        // A file ending inside a comment or literal keeps what came before.
        {"a{open", "a"},
        {"a(*open", "a"},
        {"x 'ab", "x 'a"},
        {"a(", "a("},
        {"", ""},
        {QByteArray("a\0b\xE9\xFF'\0'", 8), QByteArray("a\0b\xE9\xFF'\0'", 8)},
    };
    for (const auto& [source, text] : cases)
        EXPECT_EQ(load(source), text) << source.constData();
}

TEST_F(LoadUnitTest, UnitNameDialogAndUnreadableFiles) {
    RecordingUI::Scope ui;
    TParser p;
    ASSERT_TRUE(p.LoadUnit(write("x", QStringLiteral("my.dir/My.Unit.pas"))));
    EXPECT_EQ(p.UnitName, QStringLiteral("My"));

    p.Text = "old";
    EXPECT_FALSE(p.LoadUnit()); // dialog cancelled
    EXPECT_THROW(p.LoadUnit(dir.filePath(QStringLiteral("missing.pas"))), EInOutError);
    EXPECT_THROW(p.LoadUnit(dir.path()), EInOutError);
    EXPECT_EQ(p.Text, "old");
    EXPECT_EQ(p.UnitName, QStringLiteral("My"));
    EXPECT_EQ(ui->fileDialogs,
              QStringList({QStringLiteral("|Delphi unit (*.pas)|*.pas|Any file (*.*)|*.*|pas")}));

    ui->fileNames.enqueue(write("unit Q;", QStringLiteral("Q.pas")));
    EXPECT_TRUE(p.LoadUnit());
    EXPECT_EQ(p.UnitName, QStringLiteral("Q"));
}

TEST_F(LoadUnitTest, FiftyMegabytes) {
    QByteArray big = "unit Big; interface uses ";
    while (big.size() < (50 << 20))
        big += "  X{c}, // note\n";
    TParser p;
    ASSERT_TRUE(p.LoadUnit(write(big)));
    EXPECT_EQ(p.Text.count("X,"), big.count("X{c},"));
    EXPECT_FALSE(p.Text.contains("note"));
    p.ParseInterface();
    EXPECT_TRUE(p.Constants.isEmpty() && p.Types.isEmpty() && p.Classes.isEmpty());
    EXPECT_EQ(load("unit A; implementation " + big), "unit A; implementation ");
}

TEST_F(LoadUnitTest, LiteralsCommentsAndStopWordAcrossReadChunks) {
    for (int n = 65530; n <= 65540; ++n) {
        const QByteArray literal = "'" + QByteArray(n, 'a') + "'";
        EXPECT_EQ(load(literal + "{c}" + literal), literal + literal) << n;
        EXPECT_EQ(load(QByteArray(n, ' ') + "implementation;x"),
                  QByteArray(n, ' ') + "implementation;");
    }
}

// A primitive's result and the position after it (0: not checked).
struct Read {
    QByteArray text, result;
    int pos = 0;
};

void expectReads(QByteArray (*primitive)(int&, const QByteArray&),
                 std::initializer_list<Read> reads) {
    for (const Read& r : reads) {
        int pos = 1;
        EXPECT_EQ(primitive(pos, r.text), r.result) << r.text.constData();
        if (r.pos) {
            EXPECT_EQ(pos, r.pos) << r.text.constData();
        }
    }
}

TEST(PrimitivesTest, ReadWordAndNextWord) {
    int pos = 1;
    EXPECT_EQ(TParser::ReadWord(pos, "ab_1 c;"), "ab_1");
    EXPECT_EQ(TParser::ReadWord(pos, "ab_1 c;"), ""); // on a separator: stays
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(TParser::NextWord(pos, "ab_1 c;"), "c");
    EXPECT_EQ(pos, 7);
    // An identifier that runs to the very end is not returned.
    expectReads(TParser::ReadWord, {{"Ident", "", TParser::kPastEnd}});
    expectReads(TParser::NextWord, {{" Ident", "", TParser::kPastEnd}});
}

TEST(PrimitivesTest, SkipBlanksPassesOverBracketsStringsAndComments) {
    RecordingUI::Scope ui;
    const auto skip = [](const QByteArray& text, bool keepComments) {
        int pos = 1;
        return TParser::SkipBlanks(pos, text, keepComments);
    };
    EXPECT_EQ(skip("(a; b) [c] 'd e' x", false), "(a; b) [c] 'd e' ");
    EXPECT_EQ(skip(" {c} (*d*) //e\nx", false), "   ");
    EXPECT_EQ(skip(" {c} (*)(b (*)) //e\r\nx", true), " {c} (*)(b (*)) //e\r\n");
    // Directives are kept; "(*)" closes itself.
    EXPECT_EQ(skip("{$R+} (*)(b (*)) x", false), "{$R+} (b ) ");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(skip(") ] ')]' (x) ]y", false), ") ] ')]' (x) ]");
    EXPECT_EQ(ui->messages, QStringList({kParen, kSquare, kSquare}));
}

TEST(PrimitivesTest, ReadToSemicolon) {
    RecordingUI::Scope ui;
    expectReads(TParser::ReadToSemicolon,
                {{" X = 1; Y = 2;", " X = 1;", 8},
                 {" F(A: Byte; B: string = ';'): Boolean; stdcall;",
                  " F(A: Byte; B: string = ';'): Boolean;"},
                 // Index parameters hold semicolons that do not end the declaration.
                 {" Cells[ACol: Integer; ARow: Integer]: string read Get; default;",
                  " Cells[ACol: Integer; ARow: Integer]: string read Get;"},
                 {" X: Integer \r\n end;", " X: Integer;", 16}, // END stops before itself
                 {"A IMPLEMENTATION ", "A;", 3},
                 {" Ending = Endless;", " Ending = Endless;"},
                 // The last identifier is lost, as ReadWord loses it.
                 {" X = Y", " X =;", TParser::kPastEnd},
                 {" P(a; end; x", " P(a; end; x;"}}); // unclosed: runs to the end
    EXPECT_TRUE(ui->messages.isEmpty());
    expectReads(TParser::ReadToSemicolon,
                {{" A = (1)); B", " A = (1));"}, {" A = 1]; B", " A = 1];"}});
    EXPECT_EQ(ui->messages, QStringList({kParen, kSquare}));
}

TEST(PrimitivesTest, ReadBlockNestsOnlyOnRecord) {
    expectReads(TParser::ReadBlock,
                {{" = record A: Byte; B: record C: Byte; end; D: Char; end; X",
                  " = record A: Byte; B: record C: Byte; end; D: Char; end;", 56},
                 {"(TObject) procedure P; end; Y", "(TObject) procedure P; end;"},
                 {" R: record A: Byte; end; procedure P; end;", " R: record A: Byte; end;"},
                 {" A: Byte; unfinished", " A: Byte; ;"}});
}

} // namespace
