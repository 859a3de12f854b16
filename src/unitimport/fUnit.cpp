#include "fUnit.h"

#include "EParser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString trimmedLeft(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i].unicode() <= 32)
        ++i;
    return s.mid(i);
}

} // namespace

TClassItems::TClassItems(const QStringList& members) {
    for (const QString& item : members) {
        // Without a "|" the whole item counts as the declaration.
        const QString declaration =
            trimmedLeft(item.mid(item.indexOf(QLatin1Char('|')) + 1)).toUpper();
        if (!declaration.startsWith(QLatin1String("PROPERTY"))) {
            Methods << item;
            continue;
        }
        // A property named On... or of an ...Event type is an event.
        const QString rest = trimmedLeft(declaration.mid(8));
        if (rest.startsWith(QLatin1String("ON")) || rest.contains(QLatin1String("EVENT")))
            Events << item;
        else
            Properties << item;
    }
}

// ---------------------------------------------------------------- the window

namespace {

QListWidget* checkList(QWidget* parent, const QString& hint) {
    auto* list = new QListWidget(parent);
    list->setToolTip(hint);
    return list;
}

void addChecked(QListWidget* list, const QStringList& items, bool checked) {
    for (const QString& text : items) {
        auto* item = new QListWidgetItem(text, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QPushButton* button(QWidget* parent, const QString& caption, const QString& hint) {
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus); // the list clicked last stays the target
    return b;
}

} // namespace

TFormDelphiUnit::TFormDelphiUnit(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Delphi Unit"));
    resize(604, 385);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    ComboBoxMainWindows = new QComboBox(this);
    ComboBoxMainWindows->setToolTip(QStringLiteral("Main window"));
    SpinEditFirst = new QSpinBox(this);
    SpinEditFirst->setToolTip(QStringLiteral("First ID number"));
    SpinEditFirst->setRange(-2147483647, 2147483647);
    SpinEditFirst->setSingleStep(10);
    SpinEditInc = new QSpinBox(this);
    SpinEditInc->setToolTip(QStringLiteral("Increment ID number"));
    SpinEditInc->setRange(1, 1000);
    SpinEditInc->setSingleStep(10);
    SpinEditInc->setValue(10);
    SpeedButton1 = button(this, QStringLiteral("Delete"), QStringLiteral("Delete element"));
    SpeedButton2 = button(this, QStringLiteral("MoveUp"), QStringLiteral("Move up element"));
    SpeedButton3 = button(this, QStringLiteral("MoveDn"), QStringLiteral("Move down element"));
    for (QWidget* w :
         {static_cast<QWidget*>(ComboBoxMainWindows), static_cast<QWidget*>(SpinEditFirst),
          static_cast<QWidget*>(SpinEditInc), static_cast<QWidget*>(SpeedButton1),
          static_cast<QWidget*>(SpeedButton2), static_cast<QWidget*>(SpeedButton3)})
        top->addWidget(w);
    top->addStretch();
    layout->addLayout(top);

    PageControl = new QTabWidget(this);
    auto* classes = new QWidget;
    auto* grid = new QGridLayout(classes);
    CheckListBoxClasses = checkList(classes, QStringLiteral("Create personal topic for Class"));
    ListBoxProperties = new QListWidget(classes);
    ListBoxMethods = new QListWidget(classes);
    ListBoxMethods->setToolTip(QStringLiteral("Methods"));
    ListBoxEvents = new QListWidget(classes);
    grid->addWidget(CheckListBoxClasses, 0, 0, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Properties"), classes), 0, 1);
    grid->addWidget(ListBoxProperties, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Methods"), classes), 0, 2);
    grid->addWidget(ListBoxMethods, 1, 2, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Events"), classes), 2, 1);
    grid->addWidget(ListBoxEvents, 3, 1);
    auto* moves = new QHBoxLayout;
    SpeedButton4 = button(classes, QStringLiteral("Property to Events"),
                          QStringLiteral("Move property to Events"));
    SpeedButton5 = button(classes, QStringLiteral("Event to Properties"),
                          QStringLiteral("Move event to Properties"));
    ComboBoxPropWindows = new QComboBox(classes);
    ComboBoxPropWindows->setToolTip(QStringLiteral("Properties window"));
    moves->addWidget(SpeedButton4);
    moves->addWidget(SpeedButton5);
    moves->addWidget(ComboBoxPropWindows);
    grid->addLayout(moves, 4, 0, 1, 3);
    auto* checks = new QHBoxLayout;
    CheckBoxVisibility = new QCheckBox(QStringLiteral("Show visibility"), classes);
    CheckBoxVisibility->setToolTip(
        QStringLiteral("Show visibility of properties/methods in declaration"));
    CheckBoxVisibility->setChecked(true);
    CheckBoxPrivate = new QCheckBox(QStringLiteral("Use private methods"), classes);
    CheckBoxPrivate->setToolTip(
        QStringLiteral("If not checked all private declaration will be ignored"));
    CheckBoxProtected = new QCheckBox(QStringLiteral("Use protected methods"), classes);
    CheckBoxProtected->setToolTip(
        QStringLiteral("If not checked all protected declaration will be ignored"));
    CheckBoxProtected->setChecked(true);
    for (QCheckBox* c : {CheckBoxVisibility, CheckBoxPrivate, CheckBoxProtected})
        checks->addWidget(c);
    grid->addLayout(checks, 5, 0, 1, 3);
    PageControl->addTab(classes, QStringLiteral("Classes"));
    CheckListBoxConst = checkList(nullptr, QStringLiteral("Create personal topic"));
    CheckListBoxTypes = checkList(nullptr, QStringLiteral("Create personal topic"));
    CheckListBoxVar = checkList(nullptr, QStringLiteral("Create personal topic"));
    CheckListBoxRoutines = checkList(nullptr, QStringLiteral("Create persoal topic"));
    PageControl->addTab(CheckListBoxConst, QStringLiteral("Constants"));
    PageControl->addTab(CheckListBoxTypes, QStringLiteral("Types"));
    PageControl->addTab(CheckListBoxVar, QStringLiteral("Variables"));
    PageControl->addTab(CheckListBoxRoutines, QStringLiteral("Routines"));
    PageControl->setCurrentIndex(PageClasses);
    layout->addWidget(PageControl, 1);

    auto* bottom = new QHBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    bottom->addStretch();
    bottom->addWidget(BitBtn1);
    bottom->addWidget(BitBtn2);
    layout->addLayout(bottom);

    connect(CheckListBoxClasses, &QListWidget::currentRowChanged, this,
            &TFormDelphiUnit::CheckListBoxClassesClick);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFormDelphiUnit::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TFormDelphiUnit::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TFormDelphiUnit::SpeedButton3Click);
    connect(SpeedButton4, &QPushButton::clicked, this, &TFormDelphiUnit::SpeedButton4Click);
    connect(SpeedButton5, &QPushButton::clicked, this, &TFormDelphiUnit::SpeedButton5Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TFormDelphiUnit::~TFormDelphiUnit() = default;

void TFormDelphiUnit::Fill(const TParser& parser) {
    for (const TClassEntry& c : parser.Classes) {
        addChecked(CheckListBoxClasses, {c.Name}, true);
        classItems_.push_back(std::make_unique<TClassItems>(c.Members));
        CheckListBoxClasses->item(CheckListBoxClasses->count() - 1)
            ->setData(Qt::UserRole,
                      QVariant::fromValue(static_cast<void*>(classItems_.back().get())));
    }
    addChecked(CheckListBoxConst, parser.Constants, false);
    addChecked(CheckListBoxTypes, parser.Types, true);
    addChecked(CheckListBoxVar, parser.Variables, false);
    addChecked(CheckListBoxRoutines, parser.Routines, true);
    const QListWidget* lists[] = {CheckListBoxClasses, CheckListBoxConst, CheckListBoxTypes,
                                  CheckListBoxVar, CheckListBoxRoutines};
    for (int page = PageClasses; page <= PageRoutines; ++page)
        PageControl->setTabVisible(page, lists[page]->count() > 0);
}

bool TFormDelphiUnit::PageShown(Page page) const {
    return PageControl->isTabVisible(page);
}

TClassItems* TFormDelphiUnit::ClassItems(int row) const {
    const QListWidgetItem* item = CheckListBoxClasses->item(row);
    return item ? static_cast<TClassItems*>(item->data(Qt::UserRole).value<void*>()) : nullptr;
}

void TFormDelphiUnit::CheckListBoxClassesClick() {
    if (TClassItems* shown = LastClassIndex >= 0 ? ClassItems(LastClassIndex) : nullptr) {
        shown->Properties = texts(ListBoxProperties);
        shown->Methods = texts(ListBoxMethods);
        shown->Events = texts(ListBoxEvents);
    }
    for (QListWidget* l : {ListBoxProperties, ListBoxMethods, ListBoxEvents})
        l->clear();
    const int row = CheckListBoxClasses->currentRow();
    if (TClassItems* selected = ClassItems(row)) {
        ListBoxProperties->addItems(selected->Properties);
        ListBoxMethods->addItems(selected->Methods);
        ListBoxEvents->addItems(selected->Events);
    }
    LastClassIndex = row;
}

QListWidget* TFormDelphiUnit::CurrentElementList() const {
    switch (PageControl->currentIndex()) {
    case PageConstants:
        return CheckListBoxConst;
    case PageTypes:
        return CheckListBoxTypes;
    case PageVariables:
        return CheckListBoxVar;
    case PageRoutines:
        return CheckListBoxRoutines;
    default:
        break;
    }
    QWidget* focused = focusWidget();
    for (QListWidget* l : {CheckListBoxClasses, ListBoxProperties, ListBoxMethods, ListBoxEvents})
        if (focused == l) return l;
    return nullptr;
}

void TFormDelphiUnit::DeleteElement(QListWidget* list) {
    const int i = list ? list->currentRow() : -1;
    if (i < 0) return;
    const bool classes = list == CheckListBoxClasses;
    if (classes) {
        // The class's member edits go with it.
        LastClassIndex = -1;
        TClassItems* items = ClassItems(i);
        std::erase_if(classItems_, [items](const auto& p) { return p.get() == items; });
    }
    const QSignalBlocker quiet(list);
    delete list->takeItem(i);
    list->setCurrentRow(list->count() == 0 ? -1 : std::min(i, list->count() - 1));
    if (classes) CheckListBoxClassesClick();
}

void TFormDelphiUnit::MoveElement(QListWidget* list, int by) {
    const int i = list ? list->currentRow() : -1;
    if (i < 0 || i + by < 0 || i + by >= list->count()) return;
    const bool classes = list == CheckListBoxClasses;
    if (classes) {
        CheckListBoxClassesClick();
        LastClassIndex = -1;
    }
    const QSignalBlocker quiet(list);
    QListWidgetItem* item = list->takeItem(i); // keeps its check mark
    list->insertItem(i + by, item);
    list->setCurrentRow(i + by);
    if (classes) CheckListBoxClassesClick();
}

void TFormDelphiUnit::SpeedButton1Click() {
    DeleteElement(CurrentElementList());
}

void TFormDelphiUnit::SpeedButton2Click() {
    MoveElement(CurrentElementList(), -1);
}

void TFormDelphiUnit::SpeedButton3Click() {
    MoveElement(CurrentElementList(), 1);
}

void TFormDelphiUnit::moveMember(QListWidget* from, QListWidget* to) {
    if (from->currentRow() < 0) return;
    to->addItem(from->currentItem()->text());
    to->setCurrentRow(to->count() - 1);
    DeleteElement(from);
}

void TFormDelphiUnit::SpeedButton4Click() {
    moveMember(ListBoxProperties, ListBoxEvents);
}

void TFormDelphiUnit::SpeedButton5Click() {
    moveMember(ListBoxEvents, ListBoxProperties);
}

void TFormDelphiUnit::FormClose() {
    CheckListBoxClassesClick();
}

void TFormDelphiUnit::done(int result) {
    FormClose();
    QDialog::done(result);
}
