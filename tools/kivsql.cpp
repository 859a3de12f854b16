// kivsql DIR [STATEMENT]: SQL over the dBase tables of a folder.
//
// Without STATEMENT the statements are read from standard input, each ended by
// a ";" at the end of a line (outside quotes) or by the end of the input.
// A select prints CSV; ".tables" lists the tables and ".schema "T.dbf"" prints
// the statements that recreate a table. The first error ends the run with its
// message on standard error and exit status 1.
#include "Cp1252.h"
#include "SqlDatabase.h"
#include "SqlEval.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cstdio>

namespace {

class Output {
public:
    ~Output() { flush(); }
    void line(const QString& text) {
        buffer_ += text.toUtf8();
        buffer_ += '\n';
        if (buffer_.size() > (1 << 16)) flush();
    }
    void flush() {
        if (!buffer_.isEmpty()) std::fwrite(buffer_.constData(), 1, size_t(buffer_.size()), stdout);
        std::fflush(stdout);
        buffer_.clear();
    }

private:
    QByteArray buffer_;
};

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void printResult(const SqlResult& r, Output& out) {
    QStringList fields;
    for (const SqlColumn& c : r.columns)
        fields << csvField(c.name);
    out.line(fields.join(QLatin1Char(',')));
    for (int row = 0; row < r.rowCount(); ++row) {
        fields.clear();
        for (int c = 0; c < r.columns.size(); ++c)
            fields << csvField(sqlText(r.value(row, c)));
        out.line(fields.join(QLatin1Char(',')));
    }
}

void run(SqlDatabase& db, const QString& statement, Output& out) {
    const QString text = statement.trimmed();
    if (text.isEmpty()) return;
    if (text.startsWith(QLatin1Char('.'))) {
        QString command = text;
        if (command.endsWith(QLatin1Char(';'))) command.chop(1);
        const QString word = command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        QString arg = command.mid(word.size()).trimmed();
        if (word == QLatin1String(".tables") && arg.isEmpty()) {
            for (const QString& t : db.tables())
                out.line(t);
            return;
        }
        if (word == QLatin1String(".schema") && !arg.isEmpty()) {
            if (arg.size() >= 2 && arg.startsWith(QLatin1Char('"')) &&
                arg.endsWith(QLatin1Char('"')))
                arg = arg.mid(1, arg.size() - 2);
            const QString schema = db.schema(arg);
            out.line(schema.endsWith(QLatin1Char('\n')) ? schema.chopped(1) : schema);
            return;
        }
        throw EDatabaseError(
            QStringLiteral("Unknown command \"%1\" (use .tables or .schema \"T.dbf\")")
                .arg(command));
    }
    const SqlResult r = db.execute(text);
    if (r.isSelect) printResult(r, out);
}

// Splits the input into statements: a ";" ends one when it is the last
// character of a line and stands outside quotes; a dot command is one line.
QStringList splitStatements(const QString& input) {
    QStringList statements;
    QString current;
    QChar quote;
    const QStringList lines = input.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // A CR before the LF belongs to a quoted text that spans the line break;
        // outside quotes it is blank space like any other.
        const QString& line = lines[i];
        if (current.trimmed().isEmpty() && quote.isNull() &&
            line.trimmed().startsWith(QLatin1Char('.'))) {
            statements << line.trimmed();
            current.clear();
            continue;
        }
        for (QChar c : line) {
            if (quote.isNull()) {
                if (c == QLatin1Char('\'') || c == QLatin1Char('"')) quote = c;
            } else if (c == quote) {
                quote = QChar(); // a doubled quote reopens at once
            }
        }
        const QString trimmed = line.trimmed();
        if (quote.isNull() && trimmed.endsWith(QLatin1Char(';'))) {
            current += line.left(line.lastIndexOf(QLatin1Char(';')));
            statements << current;
            current.clear();
        } else {
            current += line;
            if (i + 1 < lines.size()) current += QLatin1Char('\n');
        }
    }
    if (!current.trimmed().isEmpty()) statements << current;
    return statements;
}

// Scripts are UTF-8; one that is not is taken for Windows-1252, the code page
// of the tables, rather than losing its accented letters.
QString decodeInput(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? Cp1252::decode(bytes) : text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: kivsql DIR [STATEMENT]\n");
        return 1;
    }
    Output out;
    try {
        const QString dir = args[1];
        if (!QFileInfo(dir).isDir())
            throw EInOutError(QStringLiteral("Folder \"%1\" does not exist").arg(dir));
        SqlDatabase db(dir);
        QStringList statements;
        if (args.size() == 3) {
            statements << args[2];
        } else {
            QFile in;
            if (!in.open(stdin, QIODevice::ReadOnly))
                throw EInOutError(QStringLiteral("Cannot read standard input"));
            statements = splitStatements(decodeInput(in.readAll()));
        }
        for (const QString& s : statements)
            run(db, s, out);
    } catch (const EKivError& e) {
        out.flush();
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
