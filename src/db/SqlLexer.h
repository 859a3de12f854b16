// Splits an SQL statement into tokens. Every token keeps its character offset
// so that errors can point at the place where the statement went wrong.
#pragma once

#include <QString>
#include <QVector>

enum class SqlTokenKind {
    End,
    Identifier, // bare word, keywords included (compare with SqlToken::is)
    Quoted,     // "double quoted": a table file name or a column name
    String,     // 'text' with '' for an apostrophe
    Number,
    Parameter, // :Name
    Symbol     // operators and punctuation: ( ) , . * + - / = <> != < > <= >= || ;
};

struct SqlToken {
    SqlTokenKind kind = SqlTokenKind::End;
    QString text; // the word, the unquoted string, the parameter name or the symbol
    int pos = 0;  // offset of the token's first character in the statement
    int end = 0;  // offset just past the token

    bool is(const char* keyword) const {
        return kind == SqlTokenKind::Identifier &&
               text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char* symbol) const {
        return kind == SqlTokenKind::Symbol && text == QLatin1String(symbol);
    }
};

// Raises EDatabaseError for an unterminated quote or a character that starts no token.
QVector<SqlToken> tokenizeSql(const QString& statement);

// "Syntax error at position N near "token"" with N counted from 1.
[[noreturn]] void throwSqlSyntaxError(const QString& statement, const SqlToken& token,
                                      const QString& detail = {});
