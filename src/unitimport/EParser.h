// Reads a Pascal source unit into comment-free interface text and sorts the
// declarations of its interface section into lists.
//
// This is a cursor-based scanner, not a token lexer: every primitive takes a
// 1-based position into a text, reads from there, advances the position and
// returns a piece of the text. A position greater than the text's length means
// the text is exhausted; kPastEnd marks that state explicitly. Texts are 8-bit
// (Windows-1252) and stay QByteArray inside; the result lists are decoded.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One scanned class or interface: its name and its member items, each a
// visibility name, " | " and the member's declaration.
struct TClassEntry {
    QString Name;
    QStringList Members;
};

class TParser {
public:
    static constexpr int kPastEnd = 2147483647;

    QString UnitName;
    // From the first byte of the file up to and including the word implementation
    // and the one character after it, with every comment removed.
    QByteArray Text;
    QStringList Constants;
    QStringList Variables;
    QStringList Routines;
    QStringList Types;
    QList<TClassEntry> Classes;

    // Reads a unit into Text and UnitName. Without a file name the user picks one
    // in the open dialog; false when the dialog is cancelled. Throws EInOutError
    // when the file cannot be read.
    bool LoadUnit(const QString& fileName = QString());
    void ClearResults();

    // Cursor primitives; each may be applied to any text, not only to Text.
    static QByteArray ReadWord(int& pos, const QByteArray& text);
    static QByteArray SkipBlanks(int& pos, const QByteArray& text, bool keepComments);
    static QByteArray NextWord(int& pos, const QByteArray& text);
    static QByteArray ReadToSemicolon(int& pos, const QByteArray& text);
    static QByteArray ReadBlock(int& pos, const QByteArray& text);

    // 1-based index of the word (any case) in its keyword table, 0 when absent.
    static int SectionIndex(const QByteArray& word);
    static int CallingConventionIndex(const QByteArray& word);
    static int VisibilityIndex(const QByteArray& word);
    static int MemberKindIndex(const QByteArray& word);
    static int DirectiveIndex(const QByteArray& word);

    // Visibility names as written into member items, indexed from 0.
    static const char* VisibilityName(int index);

    // Scans Text from its start, replacing the earlier results.
    void ParseInterface();
    void ParseClassBody(const QByteArray& name, const QByteArray& body, bool isClass);

private:
    void ParseTypeDeclaration(int& pos, const QByteArray& name);
    void ParseVariableDeclaration(int& pos, const QByteArray& firstWord);
};
