#include "ScanUnitCommand.h"

#include "CollectingUI.h"
#include "Cp1252.h"
#include "EParser.h"
#include "KivError.h"
#include "fUnit.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

// Qt's writer escapes a string as JSON wants it; the brackets of the array
// around it are dropped.
void appendJsonString(QByteArray& out, const QString& s) {
    const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    out += QByteArrayView(array).sliced(1, array.size() - 2);
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
