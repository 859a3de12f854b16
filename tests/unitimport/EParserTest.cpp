// Reading a unit file into comment-free text, and the cursor primitives.
#include "EParser.h"
#include "KivError.h"
#include "RecordingUI.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kParen = QStringLiteral("Found \")\" without \"(\"\ntext is not corrected");
const QString kSquare = QStringLiteral("Found \"]\" without \"[\"\ntext is not corrected");

class LoadUnitTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("Unit1.pas")) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QByteArray load(const QByteArray& bytes) {
        TParser p;
        EXPECT_TRUE(p.LoadUnit(write(bytes)));
        return p.Text;
    }
};

TEST_F(LoadUnitTest, RemovesAllThreeCommentFormsWithTheirDelimiters) {
    EXPECT_EQ(load("a{x}b"), "ab");
    EXPECT_EQ(load("a{$IFDEF X}b{$ENDIF}c"), "abc");
    EXPECT_EQ(load("a(*x*)b"), "ab");
    EXPECT_EQ(load("a(*)b"), "ab"); // the opener's "*" also closes
    EXPECT_EQ(load("a(* ) * *)b"), "ab");
    EXPECT_EQ(load("a // c\r\nb"), "a b");
    EXPECT_EQ(load("a/b(c)*d"), "a/b(c)*d");
}

TEST_F(LoadUnitTest, LineCommentEndsAtLineFeedWithoutCarriageReturn) {
    EXPECT_EQ(load("a // one\nb // two\nc"), "a b c");
    EXPECT_EQ(load("x //\ny"), "x y");
}

TEST_F(LoadUnitTest, StringLiteralsComeThroughUnchanged) {
    EXPECT_EQ(load("s = 'it''s {no} // (*comment*)';"), "s = 'it''s {no} // (*comment*)';");
    EXPECT_EQ(load("s = '';t"), "s = '';t");
}

TEST_F(LoadUnitTest, StopsAfterImplementationAndOneCharacter) {
    EXPECT_EQ(load("unit A; interface\r\nimplementation\r\nuses B;"),
              "unit A; interface\r\nimplementation\r");
    EXPECT_EQ(load("x IMPLEMENTATION;y"), "x IMPLEMENTATION;");
    EXPECT_EQ(load("x Implementation1 y"), "x Implementation1");
    EXPECT_EQ(load("x implementation_y"), "x implementation_");
    // Inside literals and comments, or as part of a longer word, it does not stop.
    const QByteArray skipped = "'implementation' {implementation} (*implementation*) "
                               "// implementation\nimplementations z";
    EXPECT_EQ(load(skipped), "'implementation'   implementations z");
    EXPECT_EQ(load("a implementation"), "a implementation"); // nothing after it
}

TEST_F(LoadUnitTest, FileEndingInsideCommentOrLiteralKeepsWhatWasRead) {
    EXPECT_EQ(load("a{open"), "a");
    EXPECT_EQ(load("a(*open"), "a");
    EXPECT_EQ(load("a//open"), "a");
    EXPECT_EQ(load("x 'ab"), "x 'a");
    EXPECT_EQ(load("a("), "a(");
    EXPECT_EQ(load(""), "");
}

TEST_F(LoadUnitTest, KeepsHighAndNulBytes) {
    const QByteArray bytes("a\0b\xE9\xFF'\0'", 8);
    EXPECT_EQ(load(bytes), bytes);
}

TEST_F(LoadUnitTest, UnitNameIsFileNameCutAtFirstDot) {
    TParser p;
    ASSERT_TRUE(p.LoadUnit(write("x", QStringLiteral("my.dir/My.Unit.pas"))));
    EXPECT_EQ(p.UnitName, QStringLiteral("My"));
    ASSERT_TRUE(p.LoadUnit(write("x", QStringLiteral("Main.pas"))));
    EXPECT_EQ(p.UnitName, QStringLiteral("Main"));
}

TEST_F(LoadUnitTest, DialogChoosesTheFileOrCancels) {
    RecordingUI::Scope ui;
    TParser p;
    p.Text = "old";
    EXPECT_FALSE(p.LoadUnit());
    EXPECT_EQ(p.Text, "old");
    ASSERT_EQ(ui->fileDialogs.size(), 1);
    EXPECT_EQ(ui->fileDialogs[0],
              QStringLiteral("|Delphi unit (*.pas)|*.pas|Any file (*.*)|*.*|pas"));

    ui->fileNames.enqueue(write("unit Q;", QStringLiteral("Q.pas")));
    EXPECT_TRUE(p.LoadUnit());
    EXPECT_EQ(p.Text, "unit Q;");
    EXPECT_EQ(p.UnitName, QStringLiteral("Q"));
}

TEST_F(LoadUnitTest, UnreadableFileRaisesInOutErrorAndChangesNothing) {
    TParser p;
    p.Text = "old";
    EXPECT_THROW(p.LoadUnit(dir.filePath(QStringLiteral("missing.pas"))), EInOutError);
    EXPECT_THROW(p.LoadUnit(dir.path()), EInOutError);
    EXPECT_EQ(p.Text, "old");
}

TEST_F(LoadUnitTest, LargeFileIsReadInFullOrUpToTheStopWord) {
    QByteArray big;
    big.reserve(50 << 20);
    while (big.size() < (50 << 20))
        big += "  X{c}: Integer; // note\n";
    const QByteArray text = load(big);
    EXPECT_EQ(text.size(), big.size() / 25 * 14);
    EXPECT_EQ(load("unit A; implementation " + big), "unit A; implementation ");
}

TEST(ReadWordTest, ReadsIdentifierCharacters) {
    int pos = 1;
    EXPECT_EQ(TParser::ReadWord(pos, "ab_1 c"), "ab_1");
    EXPECT_EQ(pos, 5);
    // On a separator: the empty word, position unchanged; NextWord goes on.
    EXPECT_EQ(TParser::ReadWord(pos, "ab_1 c;"), "");
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(TParser::NextWord(pos, "ab_1 c;"), "c");
    EXPECT_EQ(pos, 7);
}

TEST(ReadWordTest, IdentifierAtTheVeryEndIsNotReturned) {
    int pos = 1;
    EXPECT_EQ(TParser::ReadWord(pos, "Ident"), "");
    EXPECT_EQ(pos, TParser::kPastEnd);
    EXPECT_EQ(TParser::ReadWord(pos, "Ident"), "");
    EXPECT_EQ(TParser::NextWord(pos, "x"), "");
    EXPECT_EQ(pos, TParser::kPastEnd);
    pos = 3;
    EXPECT_EQ(TParser::NextWord(pos, "a "), "");
    EXPECT_EQ(pos, TParser::kPastEnd);
}

TEST(SkipBlanksTest, PassesOverBracketsStringsAndComments) {
    RecordingUI::Scope ui;
    int pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, "(a; b) [c] 'd e' x", false), "(a; b) [c] 'd e' ");
    EXPECT_EQ(pos, 18);
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, " {c} (*d*) //e\nx", false), "   ");
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, " {c} (*d*) //e\r\nx", true), " {c} (*d*) //e\r\n");
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, "{$R+} (*)x", false), "{$R+} ");
    EXPECT_EQ(pos, 10);
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, "(b (*)) c", false), "(b ) ");
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, " ;", false), " ;");
    EXPECT_EQ(pos, 3);
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST(SkipBlanksTest, UnbalancedClosersShowMessageAndGoOn) {
    RecordingUI::Scope ui;
    int pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, ") ] (x) ]y", false), ") ] (x) ]");
    EXPECT_EQ(ui->messages, QStringList({kParen, kSquare, kSquare}));
    // A closer inside a string counts for nothing.
    pos = 1;
    EXPECT_EQ(TParser::SkipBlanks(pos, "')]' x", false), "')]' ");
    EXPECT_EQ(ui->messages.size(), 3);
}

TEST(ReadToSemicolonTest, ReadsOneDeclaration) {
    int pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " X = 1; Y = 2;"), " X = 1;");
    EXPECT_EQ(pos, 8);
    // Semicolons in parameter lists, index lists and literals do not end it.
    pos = 1;
    const QByteArray heading = " F(A: Integer; B: string = ';'): Boolean; stdcall;";
    EXPECT_EQ(TParser::ReadToSemicolon(pos, heading), " F(A: Integer; B: string = ';'): Boolean;");
    pos = 1;
    const QByteArray cells = " Cells[ACol: Integer; ARow: Integer]: string read GetCell; default;";
    EXPECT_EQ(TParser::ReadToSemicolon(pos, cells),
              " Cells[ACol: Integer; ARow: Integer]: string read GetCell;");
}

TEST(ReadToSemicolonTest, StopsBeforeEndOrImplementation) {
    int pos = 1;
    const QByteArray text = " X: Integer \r\n end;";
    EXPECT_EQ(TParser::ReadToSemicolon(pos, text), " X: Integer;");
    EXPECT_EQ(pos, 16);
    EXPECT_EQ(TParser::NextWord(pos, text), "end");
    pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, "A IMPLEMENTATION "), "A;");
    EXPECT_EQ(pos, 3);
    // Words merely starting with the stop words do not stop it.
    pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " Ending = Endless;"), " Ending = Endless;");
}

TEST(ReadToSemicolonTest, EndOfTextAndUnbalancedBrackets) {
    RecordingUI::Scope ui;
    int pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " X = Y"), " X =;");
    EXPECT_EQ(pos, TParser::kPastEnd);
    pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " A = (1));"), " A = (1));");
    EXPECT_EQ(ui->messages, QStringList({kParen}));
    pos = 1;
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " A = 1]; B"), " A = 1];");
    EXPECT_EQ(ui->messages, QStringList({kParen, kSquare}));
    pos = 1; // an unclosed "(" runs to the end of the text
    EXPECT_EQ(TParser::ReadToSemicolon(pos, " P(a; end; x"), " P(a; end; x;");
    EXPECT_GT(pos, 12);
}

TEST(ReadBlockTest, NestsOnlyOnRecord) {
    const QByteArray text = " = record A: Integer; B: record C: Byte; end; D: Char; end; X";
    int pos = 1;
    EXPECT_EQ(TParser::ReadBlock(pos, text),
              " = record A: Integer; B: record C: Byte; end; D: Char; end;");
    EXPECT_EQ(text.mid(pos - 1), "; X");
    // After the word class the first end closes, unless a record field opened one.
    pos = 1;
    EXPECT_EQ(TParser::ReadBlock(pos, "(TObject) procedure P; end; Y"),
              "(TObject) procedure P; end;");
    pos = 1;
    EXPECT_EQ(TParser::ReadBlock(pos, " R: record A: Byte; end; procedure P; end;"),
              " R: record A: Byte; end;");
    pos = 1;
    EXPECT_EQ(TParser::ReadBlock(pos, " A: Byte; unfinished"), " A: Byte; ;");
}

TEST(KeywordTest, LookupsIgnoreCaseAndCountFromOne) {
    EXPECT_EQ(TParser::SectionIndex("const"), 1);
    EXPECT_EQ(TParser::SectionIndex("ResourceString"), 2);
    EXPECT_EQ(TParser::SectionIndex("Implementation"), 7);
    EXPECT_EQ(TParser::SectionIndex(""), 8);
    EXPECT_EQ(TParser::SectionIndex("constant"), 0);
    EXPECT_EQ(TParser::CallingConventionIndex("SafeCall"), 5);
    EXPECT_EQ(TParser::CallingConventionIndex("overload"), 0);
    EXPECT_EQ(TParser::VisibilityIndex("published"), 4);
    EXPECT_EQ(TParser::MemberKindIndex("Property"), 5);
    EXPECT_EQ(TParser::DirectiveIndex("overload"), 6);
    EXPECT_EQ(TParser::DirectiveIndex(""), 0);
}

} // namespace
