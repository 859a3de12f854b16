// Source units: LoadUnit reads the bytes from a file, ParseInterface scans them.
#include "EParser.h"
#include "KivError.h"
#include "UIServices.h"
#include "fUnit.h"

#include <QFont>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// Bracket messages must not open boxes; they are counted and dropped.
class QuietUI : public UIServices {
public:
    void showMessage(const QString&) override { ++shown; }
    void showError(const QString&) override { ++shown; }
    Answer ask(const QString&, const QString&, Icon, const QList<Answer>&) override {
        return Answer::Cancel;
    }
    QString openFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    bool chooseFont(QFont&) override { return false; }
    long shown = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool installed = [] {
        UIServices::install(std::make_unique<QuietUI>());
        return true;
    }();
    (void)installed;
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open()) return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.flush();

    TParser parser;
    if (!parser.LoadUnit(file.fileName())) __builtin_trap();
    if (parser.Text.size() > qsizetype(size)) __builtin_trap();
    parser.ParseInterface();
    for (const TClassEntry& entry : parser.Classes) {
        const TClassItems items(entry.Members);
        if (items.Properties.size() + items.Methods.size() + items.Events.size() !=
            entry.Members.size())
            __builtin_trap();
    }
    return 0;
}
