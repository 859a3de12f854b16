#include "KivContr.h"

#include "DBGrid.h"
#include "KivDB.h"
#include "KivError.h"
#include "KivFieldLayout.h"
#include "KivForms.h"
#include "KivTable.h"
#include "UIServices.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QSplitter>

namespace {

bool isEnter(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

// Enter without Ctrl or Alt moves on.
void enterAsTab(QWidget* control, const QKeyEvent* e) {
    if (isEnter(e) && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        KivEnterAsTab(control, e->key());
}

} // namespace

// ---------------------------------------------------------------- edit and label

void TKivDBEdit::keyPressEvent(QKeyEvent* event) {
    TDBEdit::keyPressEvent(event);
    enterAsTab(this, event);
}

void TKivDBText::setLookField(const QString& name) {
    lookField_ = name;
    refresh();
}

QString TKivDBText::fieldText() const {
    const auto* look = qobject_cast<const TKivLookField*>(Field());
    if (look && look->FieldKind() == TFieldKind::fkLookup && !lookField_.isEmpty())
        return look->ResultText(lookField_);
    return TDBText::fieldText();
}

// ---------------------------------------------------------------- list combo

TKivCustomDBCombo::TKivCustomDBCombo(QWidget* parent) : TDBComboBox(parent) {
    link_.OnDataChange = [this] {
        fillItems();
        showField();
    };
    link_.OnLayoutChange = link_.OnDataChange;
}

// The list field's texts, refilled only when they changed.
void TKivCustomDBCombo::fillItems() {
    const auto* list = qobject_cast<const TKivListField*>(Field());
    const QStringList values = list ? list->Values() : QStringList();
    if (values == filled_ && count() == values.size()) return;
    filled_ = values;
    clear();
    addItems(values);
}

void TKivCustomDBCombo::keyPressEvent(QKeyEvent* event) {
    auto* list = qobject_cast<TKivListField*>(Field());
    const bool modifiable = list && link_.CanModify();
    const int key = event->key();
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (modifiable) {
            if (beginEditingFromInput()) list->Clear();
            event->accept();
            return;
        }
    } else if (isEnter(event) && (event->modifiers() & Qt::ControlModifier)) {
        showPopup();
        event->accept();
        return;
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9 && !view()->isVisible()) {
        const int digit = key - Qt::Key_0;
        if (modifiable && digit <= list->MaxValue()) {
            if (beginEditingFromInput()) {
                try {
                    list->setAsInteger(digit);
                } catch (const EKivError& e) {
                    UIServices::instance().showError(e.message());
                }
            }
            event->accept();
            return;
        }
        QApplication::beep();
    }
    TDBComboBox::keyPressEvent(event);
}

void TKivDBCombo::keyPressEvent(QKeyEvent* event) {
    const bool listShown = view()->isVisible();
    TKivCustomDBCombo::keyPressEvent(event);
    if (!listShown) enterAsTab(this, event);
}

// ---------------------------------------------------------------- sorting combo

// Rebuilds the combo when the dataset opens, closes or changes; a scroll
// changes no order.
class TKivDBSortingCombo::Link : public TDataLink {
public:
    explicit Link(TKivDBSortingCombo& combo) : combo_(combo) {}

protected:
    void ActiveChanged() override { combo_.Rebuild(); }
    void DataSetChanged() override {
        if (combo_.IndexMode())
            combo_.Reselect();
        else
            combo_.Rebuild();
    }
    void DataSetScrolled(int) override {}

private:
    TKivDBSortingCombo& combo_;
};

TKivDBSortingCombo::TKivDBSortingCombo(QWidget* parent)
    : QComboBox(parent), link_(std::make_unique<Link>(*this)) {
    resize(180, height());
    connect(this, &QComboBox::activated, this, [this](int index) { chosen(index); });
}

TKivDBSortingCombo::~TKivDBSortingCombo() {
    link_->setDataSource(nullptr);
}

TDataSource* TKivDBSortingCombo::DataSource() const {
    return link_->DataSource();
}

void TKivDBSortingCombo::setDataSource(TDataSource* source) {
    link_->setDataSource(source);
}

void TKivDBSortingCombo::setSelfList(bool on) {
    selfList_ = on;
    Rebuild();
}

void TKivDBSortingCombo::setItems(const QStringList& items) {
    items_ = items;
    Rebuild();
}

TDataSet* TKivDBSortingCombo::dataSet() const {
    return link_->Active() ? link_->DataSet() : nullptr;
}

QStringList TKivDBSortingCombo::OrderList() const {
    if (selfList_ && !items_.isEmpty()) return items_;
    const QStringList sorting =
        KivGetStringListProperty(link_->DataSet(), QStringLiteral("SortingList"));
    return sorting.isEmpty() ? items_ : sorting;
}

bool TKivDBSortingCombo::IndexMode() const {
    return qobject_cast<TTable*>(link_->DataSet()) &&
           (OrderList().isEmpty() || (!selfList_ && !items_.isEmpty()));
}

void TKivDBSortingCombo::Rebuild() {
    if (!parentWidget()) return;
    ++recursion_;
    const QSignalBlocker quiet(this);
    clear();
    if (TDataSet* ds = dataSet(); ds && isEnabled()) {
        if (IndexMode()) {
            auto* table = static_cast<TTable*>(ds);
            table->UpdateIndexDefs();
            for (const DbfIndexDef& def : table->IndexDefs())
                addItem(def.fields.isEmpty() ? def.name : DisplayLabels(ds, def.fieldList()));
        } else {
            for (const QString& entry : OrderList())
                addItem(DisplayLabels(ds, entry));
        }
    }
    --recursion_;
    Reselect();
}

void TKivDBSortingCombo::Reselect() {
    TDataSet* ds = dataSet();
    int at = -1;
    if (ds) {
        const QString sorting = GetSortFields(ds);
        const auto same = [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) == 0;
        };
        if (IndexMode()) {
            const auto* table = static_cast<const TTable*>(ds);
            const QVector<DbfIndexDef>& defs = table->IndexDefs();
            for (int i = 0; i < defs.size() && at < 0; ++i)
                if (!table->IndexName().isEmpty() && same(defs[i].name, table->IndexName())) at = i;
            for (int i = 0; i < defs.size() && at < 0; ++i)
                if (same(defs[i].fieldList(), sorting)) at = i;
        } else {
            const QStringList orders = OrderList();
            for (int i = 0; i < orders.size() && at < 0; ++i)
                if (same(orders[i], sorting)) at = i;
        }
    }
    if (at >= count()) at = -1;
    if (currentIndex() == at) return;
    ++recursion_;
    setCurrentIndex(at);
    --recursion_;
}

void TKivDBSortingCombo::chosen(int index) {
    TDataSet* ds = dataSet();
    if (recursion_ > 0 || !isEnabled() || !ds || index < 0) return;
    QString fields;
    if (IndexMode()) {
        const QVector<DbfIndexDef>& defs = static_cast<TTable*>(ds)->IndexDefs();
        if (index >= defs.size()) return;
        fields = defs[index].fields.isEmpty() ? defs[index].name : defs[index].fieldList();
    } else {
        fields = OrderList().value(index);
    }
    try {
        SetSortFields(ds, fields, true);
    } catch (const EKivError& e) {
        UIServices::instance().showError(e.message());
        Reselect();
    }
}

void TKivDBSortingCombo::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) Rebuild();
}

bool TKivDBSortingCombo::event(QEvent* event) {
    const bool handled = QComboBox::event(event);
    if (event->type() == QEvent::ParentChange) Rebuild();
    return handled;
}

// ---------------------------------------------------------------- record view

TKivScrollBoxForGrid::TKivScrollBoxForGrid(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(false);
    hide();
}

void TKivScrollBoxForGrid::setGrid(TDBGrid* grid) {
    grid_ = grid;
    if (!grid) return;
    setGeometry(grid->geometry());
    setFont(grid->font());
    setSizePolicy(grid->sizePolicy());
}

namespace {

// Puts `to` where `from` is: in its splitter, its layout, or at its place.
void swapIn(QWidget* from, QWidget* to) {
    QWidget* parent = from->parentWidget();
    if (auto* splitter = qobject_cast<QSplitter*>(parent)) {
        splitter->replaceWidget(splitter->indexOf(from), to);
    } else if (parent && parent->layout()) {
        to->setParent(parent);
        parent->layout()->replaceWidget(from, to);
    } else {
        to->setParent(parent);
        to->setGeometry(from->geometry());
    }
    from->hide();
    to->show();
}

} // namespace

void TKivScrollBoxForGrid::Toggle() {
    if (!grid_) return;
    if (!shown_) {
        if (!grid_->DataSource() || !grid_->DataSource()->DataSet()) return;
        const bool focused = grid_->hasFocus();
        swapIn(grid_, this);
        shown_ = true;
        build();
        if (focused)
            if (QWidget* w = firstFocusable()) w->setFocus();
        return;
    }
    const bool focused = host_ && host_->isAncestorOf(QApplication::focusWidget());
    swapIn(this, grid_);
    shown_ = false;
    if (focused) grid_->setFocus();
}

void TKivScrollBoxForGrid::build() {
    host_ = new QWidget;
    TDataSource* source = grid_->DataSource();
    QFont labels = font();
    labels.setBold(!source->DataSet()->CanModify());
    host_->resize(viewport()->width(), 10);
    KivLayoutFieldEditors(host_, source, &labels, true, true,
                          grid_->palette().color(QPalette::Base));
    host_->resize(host_->minimumSize());
    setWidget(host_); // the scroll box owns it
}

void TKivScrollBoxForGrid::clearEditors() {
    delete takeWidget();
    host_ = nullptr;
}

QWidget* TKivScrollBoxForGrid::firstFocusable() const {
    if (!host_) return nullptr;
    for (QWidget* w : host_->findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus && !qobject_cast<QLabel*>(w)) return w;
    return nullptr;
}

void TKivScrollBoxForGrid::Rebuild() {
    if (!shown_ || !grid_) return;
    const bool focused = host_ && host_->isAncestorOf(QApplication::focusWidget());
    clearEditors();
    build();
    if (focused)
        if (QWidget* w = firstFocusable()) w->setFocus();
}
