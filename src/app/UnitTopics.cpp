#include "UnitTopics.h"

#include "DMod.h"
#include "EParser.h"
#include "KivFilt.h"
#include "KivForms.h"
#include "KivGrid.h"
#include "KivRich.h"
#include "KivTable.h"
#include "Main.h"
#include "TopicCodes.h"
#include "fUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString trimmedLeft(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i].unicode() <= 32)
        ++i;
    return s.mid(i);
}

// The values one generation run shares between its steps.
class Generator {
public:
    Generator(TKivDBRichEdit& editor, QPlainTextEdit& contents, const QString& unitName,
              TFormDelphiUnit& form, QList<int>* appended)
        : contents_(contents), dm_(*DM), edit_(editor), form_(form), unit_(unitName),
          appended_(appended) {}

    void run();
    int generated() const { return generated_; }

private:
    void nextFreeId();
    QString browseKey() const;
    void appendTopicRow(const QString& name);
    void set(const char* field, const QString& value) {
        dm_.TbMain->FieldByName(QLatin1String(field))->setAsString(value);
    }
    void post() { dm_.TbMain->Post(); }
    void editTopic(int id) {
        dm_.TbMain->Locate(QStringLiteral("ID"), id);
        edit_.BeginEditing();
    }
    void lineBreaks(int n) { edit_.ReplaceSelection(kCrLf.repeated(n)); }
    void caretToEnd() { edit_.setSelStart(edit_.GetTextLen()); }
    void unitLink();
    void writeDeclarationSections(const QString& declaration, bool showVisibility);
    void generateElementTopics(QListWidget* list, const QString& kindWord, const QString& prefix,
                               int wordsToName);
    void generateMemberTopics(QStringList& members, const QString& listWord);
    void writeUnitSection(QListWidget* list, const QString& heading);
    static bool windowChosen(const QComboBox* combo) {
        return combo->currentIndex() >= 0 && !combo->currentText().isEmpty();
    }
    QStringList contents() const {
        const QString text = contents_.toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }
    void setContents(const QStringList& lines) {
        contents_.setPlainText(lines.join(QLatin1Char('\n')));
    }
    void appendContents(const QString& line) { setContents(contents() << line); }

    QPlainTextEdit& contents_;
    TDM& dm_;
    TKivDBRichEdit& edit_;
    TFormDelphiUnit& form_;
    QString unit_;
    int running_ = 0;
    int increment_ = 10;
    int unitId_ = 0;
    int classId_ = 0;
    QString className_;
    QList<int>* appended_;
    int generated_ = 0;
};

void Generator::nextFreeId() {
    // IDs already taken are skipped, never reused.
    do
        running_ += increment_;
    while (dm_.TbCalc->Locate(QStringLiteral("ID"), running_));
}

QString Generator::browseKey() const {
    return unit_ + QLatin1Char(':') + KivZeroPad(QString::number(running_), 6);
}

void Generator::appendTopicRow(const QString& name) {
    // Recorded before the row exists, so a caller undoing a failed run also
    // finds a row whose post went through just before the failure.
    if (appended_) *appended_ << running_;
    ++generated_;
    dm_.TbMain->Append();
    dm_.TbMain->FieldByName(QStringLiteral("ID"))->setAsInteger(running_);
    set("NAME", name);
    set("UNIT", unit_);
}

void Generator::unitLink() {
    TRichEdit::UpdateBracket update(edit_);
    SetHeadingFont(edit_.SelAttributes());
    edit_.ReplaceSelection(QStringLiteral("Unit") + kCrLf);
    SetNormalFont(edit_.SelAttributes());
    InsertTopicLink(edit_, dm_, unitId_, unit_, false, nullptr);
    lineBreaks(2);
}

void Generator::writeDeclarationSections(const QString& d, bool showVisibility) {
    TRichEdit::UpdateBracket update(edit_);
    caretToEnd();
    TTextAttributes& a = edit_.SelAttributes();
    if (!d.isEmpty()) {
        SetHeadingFont(a);
        edit_.ReplaceSelection(QStringLiteral("Declaration") + kCrLf);
        SetDeclarationFont(a);
        if (showVisibility) {
            const qsizetype blank = d.indexOf(QLatin1Char(' '));
            a.setColor(QColor(128, 128, 128));
            a.setStyle(fsItalic);
            edit_.ReplaceSelection(blank < 0 ? QString() : d.left(blank));
            SetDeclarationFont(a);
            edit_.ReplaceSelection(blank < 0 ? d : d.mid(blank));
        } else {
            edit_.ReplaceSelection(d);
        }
        lineBreaks(2);
    }
    SetHeadingFont(a);
    edit_.ReplaceSelection(QStringLiteral("Description"));
    SetNormalFont(a);
    lineBreaks(1);
}

void Generator::generateElementTopics(QListWidget* list, const QString& kindWord,
                                      const QString& prefix, int wordsToName) {
    static const QString kDigits = QStringLiteral("0123456789");
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        const QString e = item->text();
        int position = 1;
        QString name;
        for (int k = 0; k < wordsToName; ++k)
            name = KivSkipBlanksTakeWord(position, e, kDigits);
        const QString kind = kindWord.isEmpty() ? KivTakeWord(e).toLower() : kindWord;
        if (item->checkState() != Qt::Checked) {
            item->setText(name);
            continue;
        }
        nextFreeId();
        appendTopicRow(name + QLatin1Char(' ') + kind);
        set("BSEQ", browseKey());
        set("KEYS", name);
        set("DECLAR", e);
        WriteTopicTitle(edit_, name + QLatin1Char(' ') + kind, false, true);
        unitLink();
        writeDeclarationSections(prefix + e, false);
        post();
        item->setText(name + QLatin1Char('|') + QString::number(running_));
    }
}

void Generator::generateMemberTopics(QStringList& members, const QString& listWord) {
    if (!form_.CheckBoxPrivate->isChecked())
        members.removeIf([](const QString& m) { return m.left(7) == QLatin1String("PRIVATE"); });
    if (!form_.CheckBoxProtected->isChecked())
        members.removeIf([](const QString& m) { return m.left(9) == QLatin1String("PROTECTED"); });
    if (members.isEmpty()) return;

    nextFreeId();
    const int listId = running_;
    appendContents(QStringLiteral("2 ") + listWord);
    appendTopicRow(className_ + QLatin1Char(' ') + listWord);
    const bool inWindow = windowChosen(form_.ComboBoxPropWindows);
    WriteTopicTitle(edit_, className_ + QLatin1Char(' ') + listWord, true, inWindow);
    if (inWindow)
        InsertPageLink(edit_, dm_, classId_, className_, false, form_.ComboBoxMainWindows);
    post();

    editTopic(classId_);
    InsertPageLink(edit_, dm_, listId, listWord, !inWindow, form_.ComboBoxPropWindows);
    post();

    for (QString& m : members) {
        QString name, declaration;
        SplitMember(m, form_.CheckBoxVisibility->isChecked(), name, declaration);
        nextFreeId();
        appendContents(QStringLiteral("3 ") + name + QLatin1Char('=') + QString::number(running_));
        appendTopicRow(className_ + QLatin1Char('.') + name);
        set("CLASS", className_);
        set("DECLAR", m);
        set("BSEQ", browseKey());
        set("KEYS", className_ + QLatin1Char(',') + name + QLatin1Char(';') + name +
                        QLatin1Char(',') + className_);
        m = name + QLatin1Char('|') + QString::number(running_);
        WriteTopicTitle(edit_, className_ + QLatin1Char('.') + name, false, true);
        InsertPageLink(edit_, dm_, classId_, className_, false, nullptr);
        writeDeclarationSections(declaration, form_.CheckBoxVisibility->isChecked());
        post();
    }

    editTopic(listId);
    {
        TRichEdit::UpdateBracket update(edit_);
        caretToEnd();
        SetNormalFont(edit_.SelAttributes());
        for (const QString& m : members) {
            const qsizetype bar = m.indexOf(QLatin1Char('|'));
            InsertTopicLink(edit_, dm_, m.mid(bar + 1).toInt(), m.left(bar), false,
                            form_.ComboBoxMainWindows);
            lineBreaks(1);
        }
    }
    post();
}

void Generator::writeUnitSection(QListWidget* list, const QString& heading) {
    if (list->count() == 0) return;
    TRichEdit::UpdateBracket update(edit_);
    caretToEnd();
    SetHeadingFont(edit_.SelAttributes());
    edit_.ReplaceSelection(heading + kCrLf);
    SetNormalFont(edit_.SelAttributes());
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        const QString text = item->text();
        const qsizetype bar = text.indexOf(QLatin1Char('|'));
        if (item->checkState() == Qt::Checked && bar >= 0)
            InsertTopicLink(edit_, dm_, text.mid(bar + 1).toInt(), text.left(bar), false, nullptr);
        else
            edit_.ReplaceSelection(text);
        lineBreaks(1);
    }
    lineBreaks(1);
}

void Generator::run() {
    increment_ = form_.SpinEditInc->value();
    running_ = form_.SpinEditFirst->value() - increment_;
    nextFreeId();
    unitId_ = running_;

    // The unit goes into the "1 Units" book, after the units already there.
    QStringList lines = contents();
    const qsizetype book = lines.indexOf(QStringLiteral("1 Units"));
    qsizetype at = lines.size();
    if (book < 0) {
        lines << QStringLiteral("1 Units");
        at = lines.size();
    } else {
        at = book + 1;
        while (at < lines.size() && !lines[at].isEmpty() && lines[at].startsWith(QLatin1Char('2')))
            ++at;
    }
    lines.insert(at, QStringLiteral("2 ") + unit_ + QStringLiteral(" unit=") +
                         QString::number(unitId_));
    setContents(lines);

    appendTopicRow(unit_ + QStringLiteral(" unit"));
    set("BSEQ", browseKey());
    set("KEYS", unit_ + QLatin1Char(';') + unit_ + QStringLiteral(" unit"));
    WriteTopicTitle(edit_, unit_ + QStringLiteral(" unit"), false, true);
    post();

    generateElementTopics(form_.CheckListBoxConst, QStringLiteral("constant"),
                          QStringLiteral("Const "), 1);
    generateElementTopics(form_.CheckListBoxTypes, QStringLiteral("type"), QStringLiteral("Type "),
                          1);

    QListWidget* classes = form_.CheckListBoxClasses;
    for (int i = 0; i < classes->count(); ++i) {
        QListWidgetItem* item = classes->item(i);
        if (item->checkState() != Qt::Checked) continue;
        className_ = item->text();
        nextFreeId();
        classId_ = running_;
        appendContents(QStringLiteral("1 ") + className_);
        appendContents(QStringLiteral("2 ") + className_ + QStringLiteral(" reference=") +
                       QString::number(classId_));
        appendTopicRow(className_);
        set("BSEQ", browseKey());
        set("KEYS", className_);
        set("CLASS", className_);
        item->setText(className_ + QLatin1Char('|') + QString::number(classId_));
        WriteTopicTitle(edit_, className_, false, true);
        unitLink();
        writeDeclarationSections(QString(), false);
        post();
        if (TClassItems* members = form_.ClassItems(i)) {
            generateMemberTopics(members->Properties, QStringLiteral("properties"));
            generateMemberTopics(members->Methods, QStringLiteral("methods"));
            generateMemberTopics(members->Events, QStringLiteral("events"));
        }
    }

    generateElementTopics(form_.CheckListBoxVar, QStringLiteral("variable"), QStringLiteral("Var "),
                          1);
    generateElementTopics(form_.CheckListBoxRoutines, QString(), QString(), 2);

    editTopic(unitId_);
    writeUnitSection(form_.CheckListBoxConst, QStringLiteral("Constants"));
    writeUnitSection(form_.CheckListBoxTypes, QStringLiteral("Types"));
    writeUnitSection(form_.CheckListBoxClasses, QStringLiteral("Classes"));
    writeUnitSection(form_.CheckListBoxVar, QStringLiteral("Variables"));
    writeUnitSection(form_.CheckListBoxRoutines, QStringLiteral("Routines"));
    post();
    dm_.SaveContents();
}

} // namespace

void SplitMember(const QString& item, bool showVisibility, QString& name, QString& declaration) {
    const qsizetype bar = item.indexOf(QLatin1Char('|'));
    const QString after = item.mid(bar + 1);
    const QString b = trimmedLeft(after);
    const qsizetype blank = b.indexOf(QLatin1Char(' '));
    const QString rest = blank < 0 ? QString() : trimmedLeft(b.mid(blank + 1));
    qsizetype n = 0;
    while (n < rest.size() && (rest[n].isLetterOrNumber() || rest[n] == QLatin1Char('_')) &&
           rest[n].unicode() < 128)
        ++n;
    name = rest.left(n);
    if (showVisibility) {
        QString v = trimmedLeft(bar < 0 ? QString() : item.left(bar));
        if (v.size() >= 2) v = v.left(1) + v.mid(1).toLower();
        QString tail = after;
        while (!tail.isEmpty() && tail.back().unicode() <= 32)
            tail.chop(1);
        declaration = v + tail;
    } else {
        declaration = after.trimmed();
    }
}

int GenerateUnitTopics(TKivDBRichEdit& editor, QPlainTextEdit& contents, const QString& unitName,
                       TFormDelphiUnit& form, QList<int>* appended) {
    Generator generator(editor, contents, unitName, form, appended);
    generator.run();
    return generator.generated();
}

void GenerateUnitTopics(TFormMain& window, const QString& unitName, TFormDelphiUnit& form) {
    // The grid would repaint after every row; it is bound again however this ends.
    TDataSource* source = window.KivDbGrid->DataSource();
    window.KivDbGrid->setDataSource(nullptr);
    struct Rebind {
        TKivDbGrid* grid;
        TDataSource* source;
        ~Rebind() { grid->setDataSource(source); }
    } rebind{window.KivDbGrid, source};
    GenerateUnitTopics(*window.DBRichText, *window.MemoContents, unitName, form);
}

bool NothingFound(const TParser& parser) {
    return parser.Constants.isEmpty() && parser.Variables.isEmpty() && parser.Routines.isEmpty() &&
           parser.Types.isEmpty() && parser.Classes.isEmpty();
}

void PrepareImportWindow(TFormDelphiUnit& form, const TParser& parser) {
    QStringList names = DM->WindowNames;
    names.prepend(QString());
    form.ComboBoxMainWindows->addItems(names);
    form.ComboBoxPropWindows->addItems(names);
    form.ComboBoxMainWindows->setCurrentIndex(names.size() >= 2 ? 1 : -1);
    form.ComboBoxPropWindows->setCurrentIndex(names.size() >= 3 ? 2 : -1);
    if (const std::optional<int> first = DM->ProposedFirstId())
        form.SpinEditFirst->setValue(*first);
    form.Fill(parser);
}

void ImportUnit(TFormMain& window) {
    TParser parser;
    if (!parser.LoadUnit()) return;
    parser.ParseInterface();
    if (NothingFound(parser)) {
        KivShowMessage(QStringLiteral("Nothing found"));
        return;
    }
    TFormDelphiUnit form(&window);
    PrepareImportWindow(form, parser);
    if (form.exec() != QDialog::Accepted) return;
    window.EHMain->SetFilter(false);
    GenerateUnitTopics(window, parser.UnitName, form);
}
