#include "EParser.h"

#include "Cp1252.h"
#include "KivError.h"
#include "KivForms.h"
#include "UIServices.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::array<const char*, 8> SectionWords = {
    "CONST", "RESOURCESTRING", "TYPE", "VAR", "FUNCTION", "PROCEDURE", "IMPLEMENTATION", ""};
constexpr std::array<const char*, 5> CallingConventionWords = {"REGISTER", "PASCAL", "CDECL",
                                                               "STDCALL", "SAFECALL"};
constexpr std::array<const char*, 4> VisibilityWords = {"PRIVATE", "PROTECTED", "PUBLIC",
                                                        "PUBLISHED"};
constexpr std::array<const char*, 5> MemberWords = {"CONSTRUCTOR", "DESTRUCTOR", "FUNCTION",
                                                    "PROCEDURE", "PROPERTY"};
constexpr std::array<const char*, 6> DirectiveWords = {"VIRTUAL",  "DYNAMIC",     "OVERRIDE",
                                                       "ABSTRACT", "REINTRODUCE", "OVERLOAD"};

enum SectionKind {
    skConst = 1,
    skResourceString,
    skType,
    skVar,
    skFunction,
    skProcedure,
    skImplementation,
    skEndOfText
};

// Text positions are ints; a unit text must leave room for the past-the-end mark.
constexpr qsizetype kMaxTextSize = TParser::kPastEnd - 2;

inline bool isIdentChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

inline bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Compares a word of `size` bytes with an upper-case keyword, ignoring the word's case.
bool equalsUpper(const char* word, qsizetype size, const char* keyword) {
    if (qsizetype(std::strlen(keyword)) != size) return false;
    for (qsizetype i = 0; i < size; ++i)
        if (upperAscii(word[i]) != keyword[i]) return false;
    return true;
}

bool isWord(const QByteArray& word, const char* keyword) {
    return equalsUpper(word.constData(), word.size(), keyword);
}

template <std::size_t N>
int lookup(const std::array<const char*, N>& table, const QByteArray& word) {
    for (std::size_t i = 0; i < N; ++i)
        if (isWord(word, table[i])) return int(i) + 1;
    return 0;
}

void unbalancedParenthesis() {
    KivShowMessage(QStringLiteral("Found \")\" without \"(\"\ntext is not corrected"));
}

void unbalancedSquareBracket() {
    KivShowMessage(QStringLiteral("Found \"]\" without \"[\"\ntext is not corrected"));
}

// Bracket depths of a scan. A closing bracket without its opening one is
// shown and not counted.
struct Brackets {
    int round = 0;
    int square = 0;

    bool open() const { return round > 0 || square > 0; }
    // False when `c` is no bracket.
    bool count(char c) {
        switch (c) {
        case '(':
            ++round;
            return true;
        case ')':
            if (round > 0)
                --round;
            else
                unbalancedParenthesis();
            return true;
        case '[':
            ++square;
            return true;
        case ']':
            if (square > 0)
                --square;
            else
                unbalancedSquareBracket();
            return true;
        default:
            return false;
        }
    }
};

// Drops leading characters of code 32 or below (blanks and line breaks).
QByteArray trimmedLeft(const QByteArray& s) {
    qsizetype i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 32)
        ++i;
    return s.mid(i);
}

// The unit text as LoadUnit builds it. A chunk writes at most its own bytes
// plus the character held back from the chunk before, so the room is made
// once per chunk and put() writes without checks.
class TextBuffer {
public:
    // Room for the whole file at once (up to a limit): pages that the text
    // never reaches are never touched, and growing by copies costs more.
    explicit TextBuffer(qint64 fileSize) {
        reserveMore(std::clamp<qint64>(fileSize + 1, 1, 64 << 20));
    }
    void reserveMore(qint64 n) {
        if (used_ + n > bytes_.size()) {
            bytes_.resize(std::max<qsizetype>(used_ + n, bytes_.size() * 2));
            data_ = bytes_.data();
        }
    }
    void put(char c) { data_[used_++] = c; }
    qsizetype size() const { return used_; }
    QByteArray take() {
        bytes_.truncate(used_);
        if (used_ < bytes_.capacity() / 2) bytes_.squeeze(); // stopped early
        return std::move(bytes_);
    }

private:
    QByteArray bytes_;
    char* data_ = nullptr;
    qsizetype used_ = 0;
};

enum class Comment { None, Paren, Line, Brace, Directive };

// SkipBlanks proper. `out` is null when the caller discards the separator text,
// which keeps NextWord free of allocations.
void skipBlanks(int& pos, const QByteArray& text, bool keep, QByteArray* out) {
    const int n = int(text.size());
    const char* d = text.constData();
    if (pos < 1) pos = 1;
    const int start = pos;
    bool inString = false;
    Brackets brackets;
    Comment comment = Comment::None;
    for (; pos <= n; ++pos) {
        const char c = d[pos - 1];
        if (comment == Comment::None && !inString && !brackets.open() && isIdentChar(c)) return;
        if (comment != Comment::None) {
            if (out && (keep || comment == Comment::Directive)) out->append(c);
            // A line comment ends at LF even without CR: Linux files have no CR.
            if ((comment == Comment::Paren && c == ')' && pos > 1 && d[pos - 2] == '*') ||
                (comment == Comment::Line && c == '\n') ||
                ((comment == Comment::Brace || comment == Comment::Directive) && c == '}'))
                comment = Comment::None;
            continue;
        }
        if (c == '\'') inString = !inString;
        if (inString) {
            if (out) out->append(c);
            continue;
        }
        if (brackets.count(c)) {
            if (out) out->append(c);
            continue;
        }
        bool openedComment = false;
        switch (c) {
        case '{':
            if (pos < n && d[pos] == '$') {
                comment = Comment::Directive;
            } else {
                comment = Comment::Brace;
                openedComment = true;
            }
            break;
        case '*':
            // The "(" before was handled by this call, outside strings and comments.
            if (pos > start && d[pos - 2] == '(') {
                comment = Comment::Paren;
                --brackets.round;
                openedComment = true;
                if (out && !keep) out->chop(1);
            }
            break;
        case '/':
            if (pos > start && d[pos - 2] == '/') {
                comment = Comment::Line;
                openedComment = true;
                if (out && !keep) out->chop(1);
            }
            break;
        default:
            break;
        }
        if (out && !(openedComment && !keep)) out->append(c);
    }
}

} // namespace

int TParser::SectionIndex(const QByteArray& word) {
    return lookup(SectionWords, word);
}
int TParser::CallingConventionIndex(const QByteArray& word) {
    return lookup(CallingConventionWords, word);
}
int TParser::VisibilityIndex(const QByteArray& word) {
    return lookup(VisibilityWords, word);
}
int TParser::MemberKindIndex(const QByteArray& word) {
    return lookup(MemberWords, word);
}
int TParser::DirectiveIndex(const QByteArray& word) {
    return lookup(DirectiveWords, word);
}

const char* TParser::VisibilityName(int index) {
    return index >= 0 && index < int(VisibilityWords.size()) ? VisibilityWords[index] : "";
}

bool TParser::LoadUnit(const QString& fileName) {
    QString path = fileName;
    if (path.isEmpty()) {
        path = UIServices::instance().openFileName(
            QString(), QStringLiteral("Delphi unit (*.pas)|*.pas|Any file (*.*)|*.*"),
            QStringLiteral("pas"), QString());
        if (path.isEmpty()) return false;
    }

    const QFileInfo info(path);
    if (info.isDir()) throw EInOutError(QStringLiteral("Cannot read %1: it is a folder").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));

    enum class State { Normal, LineComment, ParenComment, BraceComment, String };
    State state = State::Normal;
    int pending = -1; // the character held back, -1 for none
    bool stop = false;
    // Only the last run of letters matters, and only while it can still be the stop word.
    char word[15];
    int wordLength = 0;
    TextBuffer out(file.size());

    QByteArray chunk(1 << 16, Qt::Uninitialized);
    while (!stop) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            throw EInOutError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        if (got == 0) break;
        if (out.size() + got > kMaxTextSize)
            throw EInOutError(QStringLiteral("Cannot read %1: the unit is too large").arg(path));
        out.reserveMore(got + 1);
        const char* in = chunk.constData();
        for (qint64 k = 0; k < got && !stop; ++k) {
            const char c = in[k];
            if (state == State::Normal) {
                if (pending == '/' && c == '/') {
                    state = State::LineComment;
                } else if (pending == '(' && c == '*') {
                    state = State::ParenComment;
                } else {
                    if (pending >= 0) out.put(char(pending));
                    if (isLetter(c)) {
                        // Runs longer than the stop word all count as 15 letters.
                        if (wordLength < 15) word[wordLength++] = c;
                    } else {
                        if (wordLength == 14 && equalsUpper(word, 14, "IMPLEMENTATION"))
                            stop = true;
                        wordLength = 0;
                        if (c == '{')
                            state = State::BraceComment;
                        else if (c == '\'')
                            state = State::String;
                    }
                }
                pending = static_cast<unsigned char>(c);
            } else {
                switch (state) {
                case State::LineComment:
                    // LF alone ends the line too; the line break goes with the comment.
                    if (c == '\n') state = State::Normal;
                    break;
                case State::ParenComment:
                    if (pending == '*' && c == ')') state = State::Normal;
                    break;
                case State::BraceComment:
                    if (c == '}') state = State::Normal;
                    break;
                case State::String:
                    out.put(char(pending));
                    if (c == '\'') {
                        state = State::Normal;
                        out.put(c);
                    }
                    break;
                case State::Normal:
                    break;
                }
                pending = state == State::Normal ? -1 : static_cast<unsigned char>(c);
            }
        }
    }
    if (state == State::Normal && pending >= 0) {
        out.reserveMore(1);
        out.put(char(pending));
    }

    Text = out.take();
    const QString name = info.fileName();
    UnitName = name.left(name.indexOf(QLatin1Char('.')));
    return true;
}

void TParser::ClearResults() {
    Constants.clear();
    Variables.clear();
    Routines.clear();
    Types.clear();
    Classes.clear();
}

QByteArray TParser::ReadWord(int& pos, const QByteArray& text) {
    const int n = int(text.size());
    const char* d = text.constData();
    if (pos < 1) pos = 1;
    int i = pos;
    while (i <= n && isIdentChar(d[i - 1]))
        ++i;
    if (i > n) {
        // An identifier that runs to the very end is not returned.
        pos = kPastEnd;
        return {};
    }
    const QByteArray word = text.mid(pos - 1, i - pos);
    pos = i;
    return word;
}

QByteArray TParser::SkipBlanks(int& pos, const QByteArray& text, bool keepComments) {
    QByteArray out;
    skipBlanks(pos, text, keepComments, &out);
    return out;
}

QByteArray TParser::NextWord(int& pos, const QByteArray& text) {
    skipBlanks(pos, text, false, nullptr);
    return ReadWord(pos, text);
}

QByteArray TParser::ReadToSemicolon(int& pos, const QByteArray& text) {
    const int n = int(text.size());
    const char* d = text.constData();
    if (pos < 1) pos = 1;
    const int start = pos;
    // Everything passed over is appended in order, so the result is the slice
    // from start to `end`; a word that stops the reading is not part of it.
    int end = -1;
    bool inString = false;
    // Square brackets count too: index parameter lists hold semicolons that
    // do not end the declaration.
    Brackets brackets;
    while (pos <= n) {
        const char c = d[pos - 1];
        if (c == ';' && !inString && !brackets.open()) break;
        if (c == '\'') inString = !inString;
        if (!inString && !brackets.count(c)) {
            if (!brackets.open() && isIdentChar(c)) {
                int i = pos;
                while (i <= n && isIdentChar(d[i - 1]))
                    ++i;
                if (i > n) { // ReadWord drops an identifier at the very end
                    end = pos;
                    pos = kPastEnd;
                    break;
                }
                if (equalsUpper(d + pos - 1, i - pos, "IMPLEMENTATION") ||
                    equalsUpper(d + pos - 1, i - pos, "END")) {
                    end = pos; // the caller reads the stop word again
                    break;
                }
                pos = i;
                continue;
            }
        }
        ++pos;
    }
    if (end < 0) end = pos;
    if (pos <= n && d[pos - 1] == ';') ++pos;
    while (end > start && static_cast<unsigned char>(d[end - 2]) <= 32)
        --end;
    QByteArray result;
    result.reserve(end - start + 1);
    result.append(d + start - 1, end - start);
    result.append(';');
    return result;
}

QByteArray TParser::ReadBlock(int& pos, const QByteArray& text) {
    QByteArray result;
    int depth = 0;
    if (pos < 1) pos = 1;
    while (pos <= int(text.size())) {
        skipBlanks(pos, text, false, &result);
        const QByteArray word = ReadWord(pos, text);
        result += word;
        if (isWord(word, "RECORD")) {
            ++depth;
        } else if (isWord(word, "END")) {
            --depth;
            if (depth <= 0) break;
        }
    }
    result += ';';
    return result;
}

void TParser::ParseInterface() {
    ClearResults();
    enum class State { Skipping, Constants, Types, Variables, Routine };
    State state = State::Skipping;
    int pos = 1;
    QByteArray word;
    while (pos <= int(Text.size())) {
        switch (state) {
        case State::Skipping:
            word = NextWord(pos, Text);
            break;
        case State::Constants:
        case State::Types:
        case State::Variables:
            // Declarations run up to the next section word (or the end of the text).
            for (word = NextWord(pos, Text); SectionIndex(word) == 0; word = NextWord(pos, Text)) {
                if (state == State::Constants)
                    Constants << Cp1252::decode(word + ReadToSemicolon(pos, Text));
                else if (state == State::Types)
                    ParseTypeDeclaration(pos, word);
                else
                    ParseVariableDeclaration(pos, word);
            }
            break;
        case State::Routine: {
            QByteArray heading = word + ReadToSemicolon(pos, Text);
            word = NextWord(pos, Text);
            while (CallingConventionIndex(word) > 0) {
                heading += ' ' + word + ';';
                word = NextWord(pos, Text);
            }
            Routines << Cp1252::decode(heading);
            state = State::Skipping;
            break;
        }
        }
        switch (SectionIndex(word)) {
        case skConst:
        case skResourceString:
            state = State::Constants;
            break;
        case skType:
            state = State::Types;
            break;
        case skVar:
            state = State::Variables;
            break;
        case skFunction:
        case skProcedure:
            state = State::Routine;
            break;
        case skImplementation:
        case skEndOfText:
            return;
        default:
            break;
        }
    }
}

void TParser::ParseTypeDeclaration(int& pos, const QByteArray& name) {
    int ahead = pos;
    const QByteArray kind = NextWord(ahead, Text);
    if (isWord(kind, "RECORD")) {
        Types << Cp1252::decode(name + ReadBlock(pos, Text));
        return;
    }
    if (isWord(kind, "INTERFACE") || isWord(kind, "DISPINTERFACE")) {
        NextWord(pos, Text);
        const QByteArray rest = trimmedLeft(SkipBlanks(pos, Text, false));
        if (rest.startsWith(';')) return; // forward declaration
        ParseClassBody(name, ReadBlock(pos, Text), false);
        return;
    }
    if (isWord(kind, "CLASS") && !isWord(NextWord(ahead, Text), "OF")) {
        NextWord(pos, Text);
        const QByteArray rest = trimmedLeft(SkipBlanks(pos, Text, false));
        if (!rest.contains(';'))
            ParseClassBody(name, ReadBlock(pos, Text), true);
        else if (!rest.startsWith(';')) // only an ancestor, as in a one-line exception class
            ParseClassBody(name, rest, true);
        return; // a forward declaration stores nothing
    }
    Types << Cp1252::decode(name + ReadToSemicolon(pos, Text));
}

void TParser::ParseVariableDeclaration(int& pos, const QByteArray& firstWord) {
    const QByteArray declaration = firstWord + ReadToSemicolon(pos, Text);
    const qsizetype colon = declaration.indexOf(':');
    // Without a colon it is no variable (say a calling convention after a
    // procedural-type variable); an item would have no type.
    if (colon < 0) return;
    QByteArray type = declaration.mid(colon + 1);
    int typePos = 1;
    if (isWord(NextWord(typePos, type), "RECORD")) type += ReadBlock(pos, Text);
    QByteArray names = declaration.left(colon);
    for (qsizetype comma; (comma = names.indexOf(',')) >= 0; names = names.mid(comma + 1))
        Variables << Cp1252::decode(names.left(comma) + ": " + type);
    Variables << Cp1252::decode(names + ": " + type);
}

void TParser::ParseClassBody(const QByteArray& name, const QByteArray& body, bool isClass) {
    int visibility = isClass ? 3 : 2;
    QStringList members;
    int pos = 1;
    while (pos <= int(body.size())) {
        const QByteArray word = NextWord(pos, body);
        if (const int v = VisibilityIndex(word); v > 0) {
            visibility = v - 1;
            continue;
        }
        const int kind = MemberKindIndex(word);
        if (kind >= 1 && kind <= 4) {
            const QByteArray rest = ReadToSemicolon(pos, body);
            if (rest == ";") continue;
            QByteArray item = VisibilityName(visibility) + QByteArray(" | ") + word + rest;
            int ahead = pos;
            for (QByteArray next = NextWord(ahead, body);
                 CallingConventionIndex(next) > 0 || DirectiveIndex(next) > 0;
                 next = NextWord(ahead, body)) {
                item += ' ' + next + ';';
                pos = ahead;
            }
            members << Cp1252::decode(item);
        } else if (kind == 5) {
            const QByteArray rest = ReadToSemicolon(pos, body);
            int restPos = 1;
            QByteArray declaration = NextWord(restPos, rest);
            declaration += SkipBlanks(restPos, rest, false);
            declaration += NextWord(restPos, rest);
            if (!declaration.endsWith(';')) declaration += ';';
            int ahead = pos;
            if (isWord(NextWord(ahead, body), "DEFAULT")) {
                pos = ahead;
                declaration += " Default;";
            }
            members << Cp1252::decode(VisibilityName(visibility) + QByteArray(" | ") + word + ' ' +
                                      declaration);
        }
    }
    Classes << TClassEntry{Cp1252::decode(name), members};
}
