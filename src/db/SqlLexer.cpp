#include "SqlLexer.h"

#include "KivError.h"

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

[[noreturn]] void failAt(const QString& statement, int pos, const QString& what) {
    SqlToken t;
    t.kind = SqlTokenKind::Symbol;
    t.pos = pos;
    t.end = pos + 1;
    t.text = statement.mid(pos, 1);
    throwSqlSyntaxError(statement, t, what);
}

} // namespace

void throwSqlSyntaxError(const QString& statement, const SqlToken& token, const QString& detail) {
    QString near =
        token.kind == SqlTokenKind::End
            ? QStringLiteral("end of statement")
            : QLatin1Char('"') + statement.mid(token.pos, token.end - token.pos) + QLatin1Char('"');
    QString msg =
        QStringLiteral("Syntax error at position %1 near %2").arg(token.pos + 1).arg(near);
    if (!detail.isEmpty()) msg += QStringLiteral(": ") + detail;
    throw EDatabaseError(msg);
}

QVector<SqlToken> tokenizeSql(const QString& s) {
    QVector<SqlToken> out;
    const int n = int(s.size());
    int i = 0;
    while (true) {
        while (i < n && s[i].isSpace())
            ++i;
        if (i + 1 < n && s[i] == QLatin1Char('-') && s[i + 1] == QLatin1Char('-')) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        SqlToken t;
        t.pos = i;
        if (i >= n) {
            t.kind = SqlTokenKind::End;
            t.end = n;
            out.append(t);
            return out;
        }
        const QChar c = s[i];
        if (isWordStart(c)) {
            int j = i + 1;
            while (j < n && isWordChar(s[j]))
                ++j;
            t.kind = SqlTokenKind::Identifier;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote character inside stands for itself.
            int j = i + 1;
            QString text;
            while (true) {
                if (j >= n) failAt(s, i, QStringLiteral("unterminated quote"));
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) {
                        text += c;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                text += s[j++];
            }
            t.kind = c == QLatin1Char('\'') ? SqlTokenKind::String : SqlTokenKind::Quoted;
            t.text = text;
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            int j = i;
            while (j < n && s[j].isDigit())
                ++j;
            if (j < n && s[j] == QLatin1Char('.')) {
                ++j;
                while (j < n && s[j].isDigit())
                    ++j;
            }
            if (j < n && (s[j] == QLatin1Char('e') || s[j] == QLatin1Char('E'))) {
                int k = j + 1;
                if (k < n && (s[k] == QLatin1Char('+') || s[k] == QLatin1Char('-'))) ++k;
                if (k < n && s[k].isDigit()) {
                    while (k < n && s[k].isDigit())
                        ++k;
                    j = k;
                }
            }
            if (j < n && isWordStart(s[j])) failAt(s, i, QStringLiteral("bad number"));
            t.kind = SqlTokenKind::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char(':') && i + 1 < n && isWordStart(s[i + 1])) {
            int j = i + 2;
            while (j < n && isWordChar(s[j]))
                ++j;
            t.kind = SqlTokenKind::Parameter;
            t.text = s.mid(i + 1, j - i - 1);
            i = j;
        } else {
            static const char* const two[] = {"<>", "!=", "<=", ">=", "||"};
            t.kind = SqlTokenKind::Symbol;
            const QString pair = s.mid(i, 2);
            for (const char* op : two)
                if (pair == QLatin1String(op)) t.text = pair;
            if (t.text.isEmpty()) {
                if (!QStringLiteral("(),.*+-/=<>;%").contains(c))
                    failAt(s, i, QStringLiteral("unexpected character"));
                t.text = QString(c);
            }
            i += int(t.text.size());
        }
        t.end = i;
        out.append(t);
    }
}
