#include "ScanUnitCommand.h"

#include "CollectingUI.h"
#include "Cp1252.h"
#include "EParser.h"
#include "KivError.h"
#include "fUnit.h"

#include <QByteArray>

#include <cstdio>
#include <utility>

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

QByteArray toJson(const TParser& parser, const QStringList& messages) {
    QByteArray out = "{\n  \"unit\": ";
    appendJsonString(out, parser.UnitName);
    out += ",\n  \"text\": ";
    appendJsonString(out, Cp1252::decode(parser.Text));
    const std::pair<const char*, const QStringList*> lists[] = {{"constants", &parser.Constants},
                                                                {"types", &parser.Types},
                                                                {"variables", &parser.Variables},
                                                                {"routines", &parser.Routines}};
    for (const auto& [key, list] : lists) {
        out += ",\n  \"";
        out += key;
        out += "\": ";
        appendJsonArray(out, *list, "  ");
    }
    out += ",\n  \"classes\": [";
    for (qsizetype i = 0; i < parser.Classes.size(); ++i) {
        const TClassEntry& entry = parser.Classes[i];
        const TClassItems items(entry.Members);
        out += i > 0 ? ",\n    {\n      \"name\": " : "\n    {\n      \"name\": ";
        appendJsonString(out, entry.Name);
        const std::pair<const char*, const QStringList*> parts[] = {
            {"members", &entry.Members},
            {"properties", &items.Properties},
            {"methods", &items.Methods},
            {"events", &items.Events}};
        for (const auto& [key, list] : parts) {
            out += ",\n      \"";
            out += key;
            out += "\": ";
            appendJsonArray(out, *list, "      ");
        }
        out += "\n    }";
    }
    out += parser.Classes.isEmpty() ? "]" : "\n  ]";
    out += ",\n  \"messages\": ";
    appendJsonArray(out, messages, "  ");
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
