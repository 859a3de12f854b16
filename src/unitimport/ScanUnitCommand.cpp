#include "ScanUnitCommand.h"

#include "Cp1252.h"
#include "EParser.h"
#include "KivError.h"
#include "UIServices.h"
#include "fUnit.h"

#include <QByteArray>
#include <QFont>

#include <cstdio>
#include <memory>
#include <utility>

namespace {

// Collects the messages of the run and echoes them to standard error; there is
// nobody to answer a question or pick a file.
class ConsoleUI : public UIServices {
public:
    QStringList messages;

    void showMessage(const QString& text) override {
        messages << text;
        printError(text);
    }
    void showError(const QString& text) override { showMessage(text); }
    Answer ask(const QString& text, const QString&, Icon, const QList<Answer>&) override {
        printError(text);
        return Answer::Cancel;
    }
    QString openFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    bool chooseFont(QFont&) override { return false; }

    static void printError(const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fputc('\n', stderr);
    }
};

// Puts a console UI in place for the run and restores the previous one after.
class ConsoleScope {
public:
    ConsoleScope() {
        auto ui = std::make_unique<ConsoleUI>();
        ui_ = ui.get();
        previous_ = UIServices::install(std::move(ui));
    }
    ~ConsoleScope() { UIServices::install(std::move(previous_)); }
    ConsoleUI& ui() const { return *ui_; }

private:
    ConsoleUI* ui_;
    std::unique_ptr<UIServices> previous_;
};

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
        ConsoleUI::printError(QStringLiteral("Usage: kivhelp --scan-unit FILE.pas"));
        return 1;
    }
    ConsoleScope console;
    TParser parser;
    try {
        parser.LoadUnit(file);
    } catch (const EKivError& e) {
        ConsoleUI::printError(e.message());
        return 1;
    }
    parser.ParseInterface();
    const QByteArray json = toJson(parser, console.ui().messages);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}
