#include "ImportUnitCommand.h"

#include "CollectingUI.h"
#include "DMod.h"
#include "EParser.h"
#include "KivError.h"
#include "KivRich.h"
#include "KivTable.h"
#include "TextFiles.h"
#include "UnitTopics.h"
#include "fUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: kivhelp --import-unit FILE.pas PROJECT.hpj [--first-id N] [--increment N]\n"
    "       [--select LISTS] [--private] [--no-protected] [--no-visibility]\n"
    "       [--main-window NAME] [--prop-window NAME]\n"
    "LISTS: comma-separated names of classes, constants, types, variables, routines";

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

struct ImportOptions {
    QString unitFile;
    QString projectFile;
    std::optional<int> firstId;
    std::optional<int> increment;
    std::optional<QStringList> select;
    bool usePrivate = false;
    bool useProtected = true;
    bool showVisibility = true;
    std::optional<QString> mainWindow;
    std::optional<QString> propWindow;
};

EKivError usage(const QString& reason) {
    return EKivError(reason + QLatin1Char('\n') + QLatin1String(kUsage));
}

int number(const QString& option, const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok) throw usage(QStringLiteral("%1 needs a whole number, not \"%2\"").arg(option, text));
    return n;
}

// Throws EKivError with the usage text for anything it does not understand.
ImportOptions parse(const QStringList& arguments) {
    ImportOptions o;
    QStringList given;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            if (o.unitFile.isEmpty())
                o.unitFile = arg;
            else if (o.projectFile.isEmpty())
                o.projectFile = arg;
            else
                throw usage(QStringLiteral("Unexpected argument \"%1\"").arg(arg));
            continue;
        }
        // Given twice, an option would leave the reader guessing which one counts.
        if (given.contains(arg)) throw usage(QStringLiteral("%1 is given twice").arg(arg));
        given << arg;
        const auto value = [&]() -> QString {
            if (++i == arguments.size()) throw usage(QStringLiteral("%1 needs a value").arg(arg));
            return arguments[i];
        };
        if (arg == QLatin1String("--first-id")) {
            o.firstId = number(arg, value());
        } else if (arg == QLatin1String("--increment")) {
            o.increment = number(arg, value());
        } else if (arg == QLatin1String("--select")) {
            const QString lists = value().trimmed();
            o.select = lists.isEmpty() ? QStringList() : lists.split(QLatin1Char(','));
        } else if (arg == QLatin1String("--private")) {
            o.usePrivate = true;
        } else if (arg == QLatin1String("--no-protected")) {
            o.useProtected = false;
        } else if (arg == QLatin1String("--no-visibility")) {
            o.showVisibility = false;
        } else if (arg == QLatin1String("--main-window")) {
            o.mainWindow = value();
        } else if (arg == QLatin1String("--prop-window")) {
            o.propWindow = value();
        } else {
            throw usage(QStringLiteral("Unknown option \"%1\"").arg(arg));
        }
    }
    if (o.unitFile.isEmpty()) throw usage(QStringLiteral("No unit file given"));
    if (o.projectFile.isEmpty()) throw usage(QStringLiteral("No project file given"));
    return o;
}

// The window's choices as the options ask; every check before a row is written.
void applyOptions(TFormDelphiUnit& form, const ImportOptions& o) {
    if (o.select) {
        const std::pair<const char*, QListWidget*> lists[] = {
            {"classes", form.CheckListBoxClasses},
            {"constants", form.CheckListBoxConst},
            {"types", form.CheckListBoxTypes},
            {"variables", form.CheckListBoxVar},
            {"routines", form.CheckListBoxRoutines}};
        QList<QListWidget*> chosen;
        for (const QString& name : *o.select) {
            const QString n = name.trimmed().toLower();
            const auto match =
                std::find_if(std::begin(lists), std::end(lists),
                             [&n](const auto& l) { return n == QLatin1String(l.first); });
            if (match == std::end(lists))
                throw usage(QStringLiteral("Unknown list \"%1\" in --select").arg(name));
            chosen << match->second;
        }
        for (const auto& [name, list] : lists) {
            const Qt::CheckState state = chosen.contains(list) ? Qt::Checked : Qt::Unchecked;
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setCheckState(state);
        }
    }
    // The window's own spin boxes hold the allowed ranges.
    const auto setNumber = [](QSpinBox* box, const char* option, const std::optional<int>& value) {
        if (!value) return;
        if (*value < box->minimum() || *value > box->maximum())
            throw usage(QStringLiteral("%1 must lie in %2 to %3")
                            .arg(QLatin1String(option))
                            .arg(box->minimum())
                            .arg(box->maximum()));
        box->setValue(*value);
    };
    setNumber(form.SpinEditFirst, "--first-id", o.firstId);
    setNumber(form.SpinEditInc, "--increment", o.increment);
    const auto chooseWindow = [](QComboBox* combo, const char* option, const QString& name) {
        // Window names are not case-sensitive for the help compiler.
        const int at = combo->findText(name, Qt::MatchFixedString);
        if (at < 0)
            throw EKivError(QStringLiteral("%1: the project has no window \"%2\"")
                                .arg(QLatin1String(option), name));
        combo->setCurrentIndex(at);
    };
    if (o.mainWindow) chooseWindow(form.ComboBoxMainWindows, "--main-window", *o.mainWindow);
    if (o.propWindow) chooseWindow(form.ComboBoxPropWindows, "--prop-window", *o.propWindow);
    form.CheckBoxVisibility->setChecked(o.showVisibility);
    form.CheckBoxPrivate->setChecked(o.usePrivate);
    form.CheckBoxProtected->setChecked(o.useProtected);
}

// A failed generation leaves the table and the contents file as they were:
// half a unit (topics without their contents lines, links into nothing) is
// worse than none, and a second run would add a second half. The table has
// no transactions, so the rows appended are deleted again.
void undo(TDM& dm, const QList<int>& appended, const QString& tocPath,
          const QByteArray& tocBefore) {
    QStringList problems;
    try {
        dm.TbMain->Cancel();
        QList<int> left;
        for (int id : appended)
            if (dm.TbMain->Locate(QStringLiteral("ID"), id)) dm.TbMain->Delete();
        for (int id : appended)
            if (dm.TbCalc->Locate(QStringLiteral("ID"), id)) left << id;
        if (!left.isEmpty()) {
            QStringList ids;
            for (int id : left)
                ids << QString::number(id);
            problems << QStringLiteral("Topics %1 remain in the table")
                            .arg(ids.join(QStringLiteral(", ")));
        }
    } catch (const std::exception& e) {
        problems << QStringLiteral("The topics generated could not all be removed: %1")
                        .arg(QString::fromStdString(e.what()));
    }
    QFile toc(tocPath);
    if (toc.open(QIODevice::ReadOnly) && toc.readAll() != tocBefore) {
        toc.close();
        if (!toc.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            toc.write(tocBefore) != tocBefore.size() || !toc.flush())
            problems << QStringLiteral("%1 could not be restored").arg(tocPath);
    }
    if (problems.isEmpty())
        print(stderr, QStringLiteral("Nothing was imported: the topics generated so far were "
                                     "removed again"));
    for (const QString& p : problems)
        print(stderr, p);
}

int import(const ImportOptions& o, CollectingUI& ui) {
    TDM dm;
    // Pages standing in for the main window's: opening loads the contents
    // into one, the generation adds its lines there, and saving the contents
    // writes it back to S.toc.
    QPlainTextEdit contents;
    QPlainTextEdit errorLog;
    dm.setMainWindowPages(&contents, &errorLog);
    dm.OpenProject(QFileInfo(o.projectFile).absoluteFilePath());
    if (!dm.ProjectOpen()) {
        if (!dm.LastFailure().isEmpty()) print(stderr, dm.LastFailure());
        return 1;
    }

    TParser parser;
    parser.LoadUnit(o.unitFile);
    parser.ParseInterface();
    if (NothingFound(parser)) {
        ui.showMessage(QStringLiteral("Nothing found"));
        return 1;
    }
    TFormDelphiUnit form;
    PrepareImportWindow(form, parser);
    applyOptions(form, o);
    // What OK does before the generation: the window stores the shown class's
    // member edits. (A fresh data module has no topic filter to take off.)
    form.accept();

    // The editor the generation writes through, set up as the main window's.
    TKivDBRichEdit editor;
    editor.setFont(QFont(QStringLiteral("Arial"), 10));
    editor.setDataSource(dm.DSMain);
    editor.setDataField(QStringLiteral("TEXT"));

    const QString tocPath = dm.ProjectFile(QStringLiteral(".toc"));
    QFile toc(tocPath);
    const QByteArray tocBefore = toc.open(QIODevice::ReadOnly) ? toc.readAll() : QByteArray();
    toc.close();
    QList<int> appended;
    int generated = 0;
    try {
        generated = GenerateUnitTopics(editor, contents, parser.UnitName, form, &appended);
    } catch (const std::exception& e) {
        print(stderr, QString::fromStdString(e.what()));
        undo(dm, appended, tocPath, tocBefore);
        return 1;
    }
    dm.CloseProject(false);
    print(stdout, QStringLiteral("Generated %1 topics").arg(generated));
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}

} // namespace

int runImportUnit(const QStringList& arguments) {
    CollectingUI::Scope ui(true);
    try {
        return import(parse(arguments), ui.ui());
    } catch (const std::exception& e) {
        print(stderr, QString::fromStdString(e.what()));
        return 1;
    }
}
