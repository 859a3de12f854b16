#include "KivRichSearch.h"

#include "DiReplace.h"
#include "KivForms.h"
#include "KivRich.h"
#include "KivTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

TDataSet* dataSetOf(TRichEdit& edit) {
    TDataSource* source = KivGetDataSourceProperty(&edit, QStringLiteral("DataSource"));
    return source ? source->DataSet() : nullptr;
}

// Puts `text` at the top of a combo's history; an entry equal in any case goes.
void remember(QComboBox* combo, const QString& text) {
    for (int i = combo->count() - 1; i >= 0; --i)
        if (combo->itemText(i).compare(text, Qt::CaseInsensitive) == 0) combo->removeItem(i);
    combo->insertItem(0, text);
    combo->setCurrentIndex(0);
}

} // namespace

int SearchEditor(TRichEdit& edit, const QString& text, TSearchTypes options, int scope,
                 bool fromCursor, bool afterSelection) {
    int start = 0, end = edit.GetTextLen();
    if (scope == ssSelected) {
        start = edit.SelStart();
        end = start + edit.SelLength();
    } else if (fromCursor) {
        start = afterSelection ? edit.SelStart() + edit.SelLength() : edit.SelStart();
    }
    const int at = edit.FindText(text, start, end, options);
    if (at < 0) return -1;
    edit.setFocus();
    edit.select(at, int(text.size()));
    return at;
}

int SearchDataSet(TRichEdit& edit, const QString& text, TSearchTypes options, int scope,
                  bool fromCursor, bool afterSelection, bool showMessage) {
    TDataSet* ds = dataSetOf(edit);
    if (!ds || !ds->Active()) return -1;
    TBookmark start;
    bool marked = false;
    if (scope == ssGlobal && !afterSelection && ds->RecNo() > 1) {
        start = ds->GetBookmark();
        marked = true;
        ds->First();
    }
    int at = SearchEditor(edit, text, options, scope, fromCursor, afterSelection);
    if (at < 0 && (scope == ssGlobal || scope == ssFromCurrent)) {
        if (!marked) {
            start = ds->GetBookmark();
            marked = true;
        }
        // Leaving a row stores its pending edit, as moving always does.
        while (at < 0) {
            ds->Next();
            if (ds->Eof()) break;
            at = SearchEditor(edit, text, options, scope, fromCursor, afterSelection);
        }
    }
    if (at < 0) {
        if (marked) GotoBookmarkSafe(ds, start);
        if (showMessage) KivShowMessage(QStringLiteral("Text '%1' not found").arg(text));
    }
    return at;
}

int ReplaceNext(TRichEdit& edit, const QString& text, const QString& replacement,
                TSearchTypes options, int scope, bool fromCursor, bool afterSelection,
                bool showMessage, bool prompt) {
    auto* db = qobject_cast<TKivDBRichEdit*>(&edit);
    if (!db || !db->Field() || !db->DataLink().CanModify()) return mrCancel;
    if (SearchDataSet(edit, text, options, scope, fromCursor, afterSelection, showMessage) < 0)
        return mrCancel;
    TDataSet* ds = dataSetOf(edit);
    if (ds && ds->State() != TDataSetState::dsEdit && ds->State() != TDataSetState::dsInsert)
        db->BeginEditing();
    const int answer = prompt ? TDialReplace::Instance().Ask(edit.SelText()) : int(mrYes);
    if (answer == mrYes || answer == mrAll) edit.ReplaceSelection(replacement);
    return answer;
}

// ---------------------------------------------------------------- the dialog

TRichEditSearch*& KivSearchWindow() {
    static TRichEditSearch* window = nullptr;
    return window;
}

TRichEditSearch::~TRichEditSearch() {
    if (KivSearchWindow() == this) KivSearchWindow() = nullptr;
}

TRichEditSearch::TRichEditSearch(QWidget* parent) : QDialog(parent) {
    if (!KivSearchWindow()) KivSearchWindow() = this;
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(this);
    auto* texts = new QGridLayout;
    ComboBoxFind = new QComboBox(this);
    ComboBoxFind->setEditable(true);
    ComboBoxReplace = new QComboBox(this);
    ComboBoxReplace->setEditable(true);
    for (QComboBox* c : {ComboBoxFind, ComboBoxReplace})
        c->setInsertPolicy(QComboBox::NoInsert); // the history is kept by hand
    LabelReplace = new QLabel(QStringLiteral("Replace with"), this);
    texts->addWidget(new QLabel(QStringLiteral("Text to find"), this), 0, 0);
    texts->addWidget(ComboBoxFind, 0, 1);
    texts->addWidget(LabelReplace, 1, 0);
    texts->addWidget(ComboBoxReplace, 1, 1);
    layout->addLayout(texts);

    auto* groups = new QHBoxLayout;
    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QVBoxLayout(options);
    CheckBoxCase = new QCheckBox(QStringLiteral("Case sensitive"), options);
    CheckBoxWhole = new QCheckBox(QStringLiteral("Whole words only"), options);
    CheckBoxPrompt = new QCheckBox(QStringLiteral("Prompt on replace"), options);
    CheckBoxPrompt->setChecked(true);
    for (QCheckBox* c : {CheckBoxCase, CheckBoxWhole, CheckBoxPrompt})
        optionsLayout->addWidget(c);
    groups->addWidget(options);

    auto* scope = new QGroupBox(QStringLiteral("Scope"), this);
    auto* scopeLayout = new QVBoxLayout(scope);
    RadioButtonGlobal = new QRadioButton(QStringLiteral("Global"), scope);
    RadioButtonFromCurrent = new QRadioButton(scope);
    RadioButtonOnlyCurrent = new QRadioButton(scope);
    RadioButtonSelected = new QRadioButton(QStringLiteral("Selected text"), scope);
    for (QRadioButton* r :
         {RadioButtonGlobal, RadioButtonFromCurrent, RadioButtonOnlyCurrent, RadioButtonSelected}) {
        scopeLayout->addWidget(r);
        connect(r, &QRadioButton::clicked, this, &TRichEditSearch::ScopeClicked);
    }
    RadioButtonFromCurrent->setChecked(true);
    groups->addWidget(scope);

    auto* origin = new QGroupBox(QStringLiteral("Origin"), this);
    auto* originLayout = new QVBoxLayout(origin);
    RadioButtonFromCursor = new QRadioButton(QStringLiteral("From cursor"), origin);
    RadioButtonEntire = new QRadioButton(QStringLiteral("Entire scope"), origin);
    originLayout->addWidget(RadioButtonFromCursor);
    originLayout->addWidget(RadioButtonEntire);
    RadioButtonFromCursor->setChecked(true);
    groups->addWidget(origin);
    layout->addLayout(groups);

    auto* buttons = new QHBoxLayout;
    BtnFind = new QPushButton(QStringLiteral("Find"), this);
    BtnFind->setDefault(true);
    BtnReplace = new QPushButton(QStringLiteral("Replace"), this);
    BtnReplaceAll = new QPushButton(QStringLiteral("Replace All"), this);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {BtnFind, BtnReplace, BtnReplaceAll})
        buttons->addWidget(b);
    buttons->addSpacing(8);
    buttons->addWidget(BtnCancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(BtnFind, &QPushButton::clicked, this, &TRichEditSearch::BtnFindClick);
    connect(BtnReplace, &QPushButton::clicked, this, &TRichEditSearch::BtnReplaceClick);
    connect(BtnReplaceAll, &QPushButton::clicked, this, &TRichEditSearch::BtnReplaceAllClick);
    connect(BtnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TRichEditSearch::storeFind() {
    remember(ComboBoxFind, ComboBoxFind->currentText());
    Scope = RadioButtonGlobal->isChecked()        ? ssGlobal
            : RadioButtonFromCurrent->isChecked() ? ssFromCurrent
            : RadioButtonOnlyCurrent->isChecked() ? ssOnlyCurrent
                                                  : ssSelected;
    Options = {};
    if (CheckBoxWhole->isChecked()) Options |= stWholeWord;
    if (CheckBoxCase->isChecked()) Options |= stMatchCase;
    FromCursor = RadioButtonFromCursor->isChecked();
    Mode = 0;
}

// An empty replacement replaces with nothing: deleting a phrase is a
// replacement too.
void TRichEditSearch::storeReplace() {
    storeFind();
    remember(ComboBoxReplace, ComboBoxReplace->currentText());
    Prompt = CheckBoxPrompt->isChecked();
    Mode = 1;
}

void TRichEditSearch::BtnFindClick() {
    if (ComboBoxFind->currentText().isEmpty()) return;
    storeFind();
    done(mrOk);
}

void TRichEditSearch::BtnReplaceClick() {
    if (ComboBoxFind->currentText().isEmpty()) return;
    storeReplace();
    done(mrYes);
}

void TRichEditSearch::BtnReplaceAllClick() {
    if (ComboBoxFind->currentText().isEmpty()) return;
    storeReplace();
    Mode = 2;
    done(mrAll);
}

void TRichEditSearch::ScopeClicked() {
    BtnReplaceAll->setEnabled(!RadioButtonSelected->isChecked());
}

void TRichEditSearch::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) ScopeClicked();
}

void TRichEditSearch::Prepare(bool withReplace, TRichEdit& edit) {
    setWindowTitle(withReplace ? QStringLiteral("Search \\ Replace") : QStringLiteral("Search"));
    for (QWidget* w : {static_cast<QWidget*>(LabelReplace), static_cast<QWidget*>(ComboBoxReplace),
                       static_cast<QWidget*>(CheckBoxPrompt), static_cast<QWidget*>(BtnReplace),
                       static_cast<QWidget*>(BtnReplaceAll)})
        w->setVisible(withReplace);
    const QVariant global = edit.property("SearchGlobal");
    const bool searchGlobal = !global.isValid() || global.toBool();
    RadioButtonGlobal->setEnabled(searchGlobal);
    RadioButtonFromCurrent->setEnabled(searchGlobal);
    RadioButtonSelected->setEnabled(edit.SelLength() > 0);
    if ((RadioButtonSelected->isChecked() && !RadioButtonSelected->isEnabled()) ||
        (!searchGlobal && (RadioButtonGlobal->isChecked() || RadioButtonFromCurrent->isChecked())))
        RadioButtonOnlyCurrent->setChecked(true);
    QString record = KivGetStringProperty(&edit, QStringLiteral("RecordName"));
    if (record.isEmpty()) record = QStringLiteral("current record");
    RadioButtonFromCurrent->setText(QStringLiteral("From ") + record);
    RadioButtonOnlyCurrent->setText(QStringLiteral("Only for ") + record);
    ScopeClicked();
    ComboBoxFind->setFocus();
}

void TRichEditSearch::Execute(bool withReplace, TRichEdit& edit) {
    Prepare(withReplace, edit);
    Run(exec(), edit);
}

void TRichEditSearch::replaceAll(TRichEdit& edit, bool fromCursor, bool afterSelection,
                                 bool firstMessage) {
    const QString text = ComboBoxFind->currentText();
    const QString replacement = ComboBoxReplace->currentText();
    bool message = firstMessage;
    for (;;) {
        const int answer = ReplaceNext(edit, text, replacement, Options, Scope, fromCursor,
                                       afterSelection, message, Prompt);
        if (answer == mrAll) Prompt = false;
        if (answer == mrCancel) return;
        fromCursor = afterSelection = true;
        message = false;
    }
}

void TRichEditSearch::Run(int result, TRichEdit& edit) {
    const QString text = ComboBoxFind->currentText();
    if (text.isEmpty() || (result != mrOk && result != mrYes && result != mrAll)) return;
    switch (Mode) {
    case 0:
        SearchDataSet(edit, text, Options, Scope, FromCursor, false, true);
        break;
    case 1:
        ReplaceNext(edit, text, ComboBoxReplace->currentText(), Options, Scope, FromCursor, false,
                    true, Prompt);
        break;
    default:
        replaceAll(edit, FromCursor, false, true);
    }
}

void TRichEditSearch::Again(TRichEdit& edit) {
    const QString text = ComboBoxFind->currentText();
    if (text.isEmpty()) return;
    switch (Mode) {
    case 0:
        SearchDataSet(edit, text, Options, Scope, true, true, true);
        break;
    case 1:
        ReplaceNext(edit, text, ComboBoxReplace->currentText(), Options, Scope, true, true, true,
                    Prompt);
        break;
    default:
        replaceAll(edit, true, true, true);
    }
}
