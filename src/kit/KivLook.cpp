#include "KivLook.h"

#include "DbfValue.h"
#include "KivError.h"
#include "KivFormDB.h"
#include "KivForms.h"
#include "UIServices.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>

namespace {

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool listDataSetEditing(const TDataSet* ds) {
    return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
}

} // namespace

// The list dataset opened, closed or changed its rows; a scroll changes none.
class TKivCustomDBLookupCombo::ListLink : public TDataLink {
public:
    explicit ListLink(TKivCustomDBLookupCombo& combo) : combo_(combo) {}

protected:
    void ActiveChanged() override { combo_.listChanged(); }
    void DataSetChanged() override { combo_.listChanged(); }
    void DataSetScrolled(int) override {}

private:
    TKivCustomDBLookupCombo& combo_;
};

TKivCustomDBLookupCombo::TKivCustomDBLookupCombo(QWidget* parent)
    : QComboBox(parent), listLink_(std::make_unique<ListLink>(*this)), table_(new QTableView) {
    setModel(new QStandardItemModel(this));
    setView(table_); // the combo owns it
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->installEventFilter(this);
    dataLink_.OnDataChange = [this] { dataChanged(); };
    connect(this, &QComboBox::activated, this, [this](int row) {
        if (showing_ || row < 0) return;
        ChooseKey(model()->index(row, 0).data(Qt::UserRole));
    });
}

TKivCustomDBLookupCombo::~TKivCustomDBLookupCombo() {
    listLink_->setDataSource(nullptr);
}

TDataSource* TKivCustomDBLookupCombo::ListSource() const {
    return listLink_->DataSource();
}

void TKivCustomDBLookupCombo::setListSource(TDataSource* source) {
    listLink_->setDataSource(source);
    listChanged();
}

void TKivCustomDBLookupCombo::setKeyField(const QString& name) {
    keyField_ = name;
    listChanged();
}

void TKivCustomDBLookupCombo::setListField(const QString& names) {
    listField_ = names;
    listChanged();
}

void TKivCustomDBLookupCombo::setListFieldIndex(int index) {
    listFieldIndex_ = qMax(0, index);
    if (TKivLookField* look = LookField()) look->setListFieldIndex(listFieldIndex_);
    setModelColumn(listFieldIndex_ < model()->columnCount() ? listFieldIndex_ : 0);
    update();
}

void TKivCustomDBLookupCombo::setKeyValue(const QVariant& key) {
    keyValue_ = key;
    showKey();
}

void TKivCustomDBLookupCombo::setHeadLine(bool on) {
    headLine_ = on;
    table_->horizontalHeader()->setVisible(on);
}

void TKivCustomDBLookupCombo::setHeadColor(const QColor& color) {
    headColor_ = color;
    table_->horizontalHeader()->setStyleSheet(
        color.isValid()
            ? QStringLiteral("QHeaderView::section { background-color: %1; }").arg(color.name())
            : QString());
}

TKivLookField* TKivCustomDBLookupCombo::LookField() const {
    auto* look = qobject_cast<TKivLookField*>(Field());
    return look && look->FieldKind() == TFieldKind::fkLookup ? look : nullptr;
}

TKivLookFieldOptions TKivCustomDBLookupCombo::EffectiveOptions() const {
    const TKivLookField* look = LookField();
    return look ? look->Options() : options_;
}

QList<TField*> TKivCustomDBLookupCombo::ListFields() const {
    TDataSet* ds = listLink_->Active() ? listLink_->DataSet() : nullptr;
    if (!ds) return {};
    QList<TField*> fields;
    for (const QString& name : listField_.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (TField* f = ds->FindField(name.trimmed())) fields << f;
    return fields;
}

bool TKivCustomDBLookupCombo::ListVisible() const {
    return view()->isVisible();
}

// ---------------------------------------------------------------- the list

void TKivCustomDBLookupCombo::listChanged() {
    dirty_ = true;
    if (!keyValue_.isNull()) showKey();
}

void TKivCustomDBLookupCombo::fillList() {
    dirty_ = false;
    showing_ = true;
    auto* items = static_cast<QStandardItemModel*>(model());
    items->clear();
    TDataSet* ds = listLink_->Active() ? listLink_->DataSet() : nullptr;
    const QList<TField*> fields = ListFields();
    TField* key = ds ? ds->FindField(keyField_) : nullptr;
    if (ds && key && !fields.isEmpty()) {
        QStringList titles;
        for (const TField* f : fields)
            titles << f->DisplayLabel();
        items->setHorizontalHeaderLabels(titles);
        const int rows = ds->RecordCount();
        for (int r = 0; r < rows; ++r) {
            ds->ReadRecordAt(r, [&] {
                QList<QStandardItem*> row;
                for (const TField* f : fields) {
                    auto* item = new QStandardItem(f->DisplayText());
                    item->setTextAlignment(KivQtAlignment(f->Alignment()) | Qt::AlignVCenter);
                    row << item;
                }
                row.first()->setData(key->Value(), Qt::UserRole);
                items->appendRow(row);
            });
        }
    }
    setModelColumn(listFieldIndex_ < items->columnCount() ? listFieldIndex_ : 0);
    showing_ = false;
}

// Until the list is needed whole, the closed combo shows its key's row
// alone: a table of thousands of topics is not read again after every change.
void TKivCustomDBLookupCombo::showKeyRow() {
    auto* items = static_cast<QStandardItemModel*>(model());
    showing_ = true;
    items->clear();
    TDataSet* ds = listLink_->Active() ? listLink_->DataSet() : nullptr;
    const QList<TField*> fields = ListFields();
    if (ds && !fields.isEmpty() && !keyValue_.isNull() && ds->FindField(keyField_)) {
        QStringList names;
        for (const TField* f : fields)
            names << f->FieldName();
        const QVariant found = ds->Lookup(keyField_, keyValue_, names.join(QLatin1Char(';')));
        if (!found.isNull()) {
            const QVariantList values =
                found.typeId() == QMetaType::QVariantList ? found.toList() : QVariantList{found};
            QList<QStandardItem*> row;
            for (const QVariant& v : values)
                row << new QStandardItem(v.toString());
            row.first()->setData(keyValue_, Qt::UserRole);
            items->appendRow(row);
        }
    }
    setModelColumn(listFieldIndex_ < items->columnCount() ? listFieldIndex_ : 0);
    setCurrentIndex(items->rowCount() > 0 ? 0 : -1);
    showing_ = false;
}

void TKivCustomDBLookupCombo::showKey() {
    if (dirty_) {
        showKeyRow();
        return;
    }
    int at = -1;
    if (!keyValue_.isNull())
        for (int r = 0; r < model()->rowCount() && at < 0; ++r)
            if (model()->index(r, 0).data(Qt::UserRole) == keyValue_) at = r;
    showing_ = true;
    setCurrentIndex(at);
    showing_ = false;
}

void TKivCustomDBLookupCombo::showPopup() {
    ensureList();
    table_->resizeColumnsToContents();
    int width = dropDownWidth_;
    if (width <= 0) {
        width = table_->verticalScrollBar()->sizeHint().width();
        for (int c = 0; c < model()->columnCount(); ++c)
            width += table_->columnWidth(c);
    }
    view()->setMinimumWidth(qMax(width, this->width()));
    QComboBox::showPopup();
    if (currentIndex() >= 0) table_->selectRow(currentIndex());
}

void TKivCustomDBLookupCombo::ensureList() {
    if (!dirty_) return;
    fillList();
    showKey();
}

// ---------------------------------------------------------------- the key

TField* TKivCustomDBLookupCombo::keyTarget() const {
    TField* field = Field();
    if (!field) return nullptr;
    // A lookup field shows the looked-up value; the key lives in its key field.
    if (field->FieldKind() == TFieldKind::fkLookup)
        return field->DataSet() ? field->DataSet()->FindField(field->KeyFields()) : nullptr;
    return field;
}

void TKivCustomDBLookupCombo::dataChanged() {
    const TField* target = keyTarget();
    keyValue_ = target ? target->Value() : QVariant();
    showKey();
}

void TKivCustomDBLookupCombo::ChooseKey(const QVariant& key) {
    TField* target = keyTarget();
    if (target && !readOnly_ && target->CanModify()) {
        try {
            TDataSet* ds = target->DataSet();
            if (!listDataSetEditing(ds)) ds->Edit();
            target->setValue(key);
        } catch (const EKivError& e) {
            UIServices::instance().showError(e.message());
            dataChanged();
            return;
        }
    } else if (target) {
        dataChanged(); // the stored key stays
        return;
    }
    keyValue_ = key;
    showKey();
    if (OnChange) OnChange(this);
}

void TKivCustomDBLookupCombo::EditData() {
    TDataSet* list = listLink_->DataSet();
    TField* field = Field();
    QVariant value = keyValue_;
    const QString keys =
        field && field->FieldKind() == TFieldKind::fkLookup ? field->KeyFields() : keyField_;
    if (KivEditData(this, list, field ? field->DataSet() : nullptr, keys, value) && !readOnly_)
        ChooseKey(value);
}

void TKivCustomDBLookupCombo::nextListField() {
    const int count = qMax(1, int(ListFields().size()));
    setListFieldIndex((listFieldIndex_ + 1) % count);
}

// ---------------------------------------------------------------- keys

void TKivCustomDBLookupCombo::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_Z && mods == Qt::ControlModifier) {
        nextListField();
        event->accept();
        return;
    }
    if (key == Qt::Key_F1 && (mods & Qt::AltModifier)) {
        EditData();
        event->accept();
        return;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !(mods & Qt::AltModifier)) {
        const TKivLookField* look = LookField();
        const bool filtered = look && (!look->LookupFilterKey.isEmpty() || look->OnFilter);
        if (filtered || !EffectiveOptions().testFlag(foUpDownInClose)) {
            event->accept();
            return;
        }
        ensureList();
    }
    if (isEnter(key) && (mods & Qt::ControlModifier)) {
        showPopup();
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

// Keys while the list is open reach its view.
bool TKivCustomDBLookupCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched != table_ || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    auto* e = static_cast<QKeyEvent*>(event);
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const auto acceptCurrent = [this] {
        const int row = table_->currentIndex().row();
        hidePopup();
        if (row >= 0) ChooseKey(model()->index(row, 0).data(Qt::UserRole));
    };
    if (key == Qt::Key_Z && mods == Qt::ControlModifier) {
        hidePopup();
        nextListField();
        showPopup();
        return true;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && (mods & Qt::AltModifier)) {
        acceptCurrent();
        return true;
    }
    if (isEnter(key)) {
        acceptCurrent();
        if (!(mods & Qt::ControlModifier)) KivEnterAsTab(this, key);
        return true;
    }
    if (key == Qt::Key_Escape) {
        hidePopup();
        return true;
    }
    if (key == Qt::Key_F1 && (mods & Qt::AltModifier)) {
        hidePopup();
        EditData();
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

// ---------------------------------------------------------------- code edit

TKivLookupEdit::TKivLookupEdit(TKivDBLookupCombo* combo) : QLineEdit(combo), combo_(combo) {
    hide();
}

void TKivLookupEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Tab) {
        combo_->setFocus();
        QCoreApplication::postEvent(combo_,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
        return;
    }
    if (isEnter(key)) {
        hide();
        combo_->setFocus();
        QKeyEvent enter(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(combo_, &enter);
        return;
    }
    if (key == Qt::Key_Escape) {
        cancelled_ = true;
        hide();
        combo_->setFocus();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TKivLookupEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (closing_) return;
    closing_ = true;
    if (!isReadOnly() && !cancelled_) combo_->ApplyCode(text());
    cancelled_ = false;
    hide();
    closing_ = false;
}

TKivDBLookupCombo::TKivDBLookupCombo(QWidget* parent) : TKivCustomDBLookupCombo(parent) {}

void TKivDBLookupCombo::OpenCodeEdit(const QString& text) {
    if (!codeEdit_) codeEdit_ = new TKivLookupEdit(this);
    TField* field = Field();
    TField* target = field && field->FieldKind() == TFieldKind::fkLookup && field->DataSet()
                         ? field->DataSet()->FindField(field->KeyFields())
                         : field;
    const bool readOnly = ReadOnly() || (target && !target->CanModify());
    if (target && !readOnly && !listDataSetEditing(target->DataSet())) {
        try {
            target->DataSet()->Edit();
        } catch (const EKivError& e) {
            UIServices::instance().showError(e.message());
            return;
        }
    }
    codeEdit_->setReadOnly(readOnly);
    codeEdit_->setGeometry(rect());
    codeEdit_->setText(text);
    codeEdit_->show();
    codeEdit_->setFocus();
    codeEdit_->end(false);
}

void TKivDBLookupCombo::ApplyCode(const QString& text) {
    try {
        if (text.isEmpty()) {
            ChooseKey(QVariant());
            return;
        }
        TDataSet* list = ListSource() ? ListSource()->DataSet() : nullptr;
        const TField* current = ListFields().value(ListFieldIndex());
        if (!list || !current) return;
        if (EffectiveOptions().testFlag(foValueNotInLookup) &&
            current->FieldName().compare(KeyField(), Qt::CaseInsensitive) == 0) {
            // A key that need not be in the list: taken as the key field's kind.
            QVariant key = text;
            bool ok = true;
            switch (current->DataType()) {
            case TFieldType::ftDate:
            case TFieldType::ftDateTime: {
                const QDate d = dateFromText(text);
                ok = d.isValid();
                key = d;
                break;
            }
            case TFieldType::ftFloat:
                key = text.toDouble(&ok);
                break;
            case TFieldType::ftSmallint:
            case TFieldType::ftInteger:
            case TFieldType::ftAutoInc:
                key = text.toLongLong(&ok);
                break;
            default:
                break;
            }
            if (!ok) throw EKivError(QStringLiteral("Incorrect information"));
            ChooseKey(key);
            return;
        }
        if (list->Locate(current->FieldName(), text, loCaseInsensitive | loPartialKey)) {
            ChooseKey(list->FieldByName(KeyField())->Value());
        } else {
            KivShowMessage(QStringLiteral("Incorrect value"));
            setFocus();
        }
    } catch (const EKivError&) {
        setFocus();
        KivShowMessage(QStringLiteral("Incorrect information"));
    }
}

void TKivDBLookupCombo::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(this, event)) return;
    const int key = event->key();
    const bool closed = !ListVisible();
    const TKivLookFieldOptions options = EffectiveOptions();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (closed && (key == Qt::Key_F2 || key == Qt::Key_Space) && options.testFlag(foEditWindow)) {
        OpenCodeEdit();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (closed && !text.isEmpty() && text[0].unicode() > 32 &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        if (options.testFlag(foAutoCodeName)) {
            const QChar c = text[0];
            if (c.isDigit())
                setListFieldIndex(0);
            else if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                     (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                     (c.unicode() >= 192 && c.unicode() <= 255))
                setListFieldIndex(1);
        }
        if (options.testFlag(foEditWindow) && !options.testFlag(foAutoDropDown)) {
            OpenCodeEdit(text);
            event->accept();
            return;
        }
    }
    TKivCustomDBLookupCombo::keyPressEvent(event);
    if (closed && isEnter(key) && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        KivEnterAsTab(this, key);
}
