#include "ScanUnitCommand.h"

#include "CollectingUI.h"
#include "Cp1252.h"
#include "EParser.h"
#include "KivError.h"
#include "fUnit.h"

#include <QByteArray>

#include <cstdio>

namespace {

void appendJsonString(QByteArray& out, const QString& s) {
    QString escaped;
    escaped.reserve(s.size() + 2);
    escaped += QLatin1Char('"');
    for (const QChar ch : s) {
        switch (ch.unicode()) {
        case '"':
            escaped += QLatin1String("\\\"");
            break;
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\b':
            escaped += QLatin1String("\\b");
            break;
        case '\f':
            escaped += QLatin1String("\\f");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        default:
            if (ch.unicode() < 0x20)
                escaped += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
            else
                escaped += ch;
        }
    }
    escaped += QLatin1Char('"');
    out += escaped.toUtf8();
}

void appendJsonArray(QByteArray& out, const QStringList& items, const char* indent) {
    if (items.isEmpty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    for (qsizetype i = 0; i < items.size(); ++i) {
        out += indent;
        out += "  ";
        appendJsonString(out, items[i]);
        out += i + 1 < items.size() ? ",\n" : "\n";
    }
    out += indent;
    out += ']';
}

// `,` line break, indent, "key": array.
void appendField(QByteArray& out, const char* indent, const char* key, const QStringList& list) {
    out += ",\n";
    out += indent;
    out += '"';
    out += key;
    out += "\": ";
    appendJsonArray(out, list, indent);
}

QByteArray toJson(const TParser& parser, const QStringList& messages) {
    QByteArray out = "{\n  \"unit\": ";
    appendJsonString(out, parser.UnitName);
    out += ",\n  \"text\": ";
    appendJsonString(out, Cp1252::decode(parser.Text));
    appendField(out, "  ", "constants", parser.Constants);
    appendField(out, "  ", "types", parser.Types);
    appendField(out, "  ", "variables", parser.Variables);
    appendField(out, "  ", "routines", parser.Routines);
    out += ",\n  \"classes\": [";
    for (qsizetype i = 0; i < parser.Classes.size(); ++i) {
        const TClassEntry& entry = parser.Classes[i];
        const TClassItems items(entry.Members);
        out += i > 0 ? ",\n    {\n      \"name\": " : "\n    {\n      \"name\": ";
        appendJsonString(out, entry.Name);
        appendField(out, "      ", "members", entry.Members);
        appendField(out, "      ", "properties", items.Properties);
        appendField(out, "      ", "methods", items.Methods);
        appendField(out, "      ", "events", items.Events);
        out += "\n    }";
    }
    out += parser.Classes.isEmpty() ? "]" : "\n  ]";
    appendField(out, "  ", "messages", messages);
    out += "\n}\n";
    return out;
}

} // namespace

int runScanUnit(const QString& file) {
    if (file.isEmpty()) {
        std::fputs("Usage: kivhelp --scan-unit FILE.pas\n", stderr);
        return 1;
    }
    CollectingUI::Scope console(true);
    TParser parser;
    try {
        parser.LoadUnit(file);
    } catch (const EKivError& e) {
        console.ui().showError(e.message());
        return 1;
    }
    parser.ParseInterface();
    const QByteArray json = toJson(parser, console.ui().messages);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}
