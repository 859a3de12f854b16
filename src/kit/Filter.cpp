#include "Filter.h"

#include "DbfValue.h"
#include "KivDB.h"
#include "KivEditors.h"
#include "KivForms.h"
#include "KivLook.h"
#include "UIServices.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>

namespace {

constexpr int kRowStep = 23;
constexpr int kLinkStep = 21;
constexpr int kHeader = 57;
constexpr int kOperationWidth = 52;

const QColor kGrey(128, 128, 128);

QToolButton* toolButton(QWidget* parent, const QString& caption, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setToolTip(hint);
    return b;
}

QToolButton* redButton(QWidget* parent, const QString& caption, const QString& hint) {
    QToolButton* b = toolButton(parent, caption, hint);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, Qt::red);
    b->setPalette(p);
    return b;
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, color);
    w->setPalette(p);
}

void silver(QComboBox* combo) {
    QPalette p = combo->palette();
    p.setColor(QPalette::Base, QColor(192, 192, 192));
    p.setColor(QPalette::Button, QColor(192, 192, 192));
    combo->setPalette(p);
}

} // namespace

TFormFilter::TViewItem::~TViewItem() {
    delete Number;
    delete DataSet;
    delete Field;
    delete Operation;
    delete Value;
}

TFormFilter::TFormFilter(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Edit filters"));
    setFixedSize(599, 390);
    SBPred = toolButton(this, QStringLiteral("<"), QStringLiteral("Previous filter"));
    SBNext = toolButton(this, QStringLiteral(">"), QStringLiteral("Next filter"));
    SBAdd = redButton(this, QStringLiteral("+"), QStringLiteral("Insert filter"));
    SBDelete = redButton(this, QStringLiteral("-"), QStringLiteral("Delete filter"));
    SBRestore = toolButton(this, QStringLiteral("\u21BA"), QStringLiteral("Cancel edit"));
    int x = 4;
    for (QToolButton* b : {SBPred, SBNext, SBAdd, SBDelete, SBRestore}) {
        b->setGeometry(x, 4, 25, 25);
        x += 27;
    }
    EditFilterName = new QLineEdit(this);
    EditFilterName->setToolTip(QStringLiteral("Filter name"));
    EditFilterName->setGeometry(x + 4, 5, 380, 23);
    LNumberFilter = new QLabel(this);
    LNumberFilter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LNumberFilter->setGeometry(599 - 70, 5, 62, 23);
    SBAddCond = toolButton(this, QStringLiteral("Insert"),
                           QStringLiteral("Insert clause (Ctrl+Gray_Plus)"));
    SBDeleteCond = toolButton(this, QStringLiteral("Delete"),
                              QStringLiteral("Delete clause (Ctrl+Gray_Minus)"));
    SBAddCond->setGeometry(4, 31, 60, 23);
    SBDeleteCond->setGeometry(66, 31, 60, 23);
    CheckBoxAutoTotal = new QCheckBox(QStringLiteral("\"And\" for all clauses"), this);
    CheckBoxAutoTotal->setChecked(true);
    CheckBoxAutoTotal->setGeometry(140, 31, 200, 23);

    Scroll = new QScrollArea(this);
    rowsHost_ = new QWidget;
    Scroll->setWidget(rowsHost_);
    Scroll->setGeometry(0, kHeader, 599, 224);

    BitBtnSet = new QPushButton(QStringLiteral("Set filter"), this);
    BitBtnSet->setToolTip(QStringLiteral("Set current filter (extract)"));
    BitBtnNone = new QPushButton(QStringLiteral("Take off"), this);
    BitBtnNone->setToolTip(QStringLiteral("Take off used filter"));
    BitBtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtnCancel->setToolTip(QStringLiteral("Cancel edit"));
    x = 4;
    for (QPushButton* b : {BitBtnSet, BitBtnNone, BitBtnCancel}) {
        b->setAutoDefault(false); // Enter in a row must not end the window
        b->setGeometry(x, 356, 85, 28);
        x += 88;
    }
    LabelTotalHint =
        new QLabel(QStringLiteral(" Description of links between clauses. For "
                                  "example,\n #1 and (#2 or #4), where #1 - first clause"),
                   this);
    LabelTotalHint->setGeometry(x + 4, 350, 599 - x - 8, 26);
    LabelSubTotalHint = new QLabel(this);
    LabelSubTotalHint->setGeometry(x + 4, 374, 599 - x - 8, 14);

    connect(SBPred, &QToolButton::clicked, this, [this] {
        ReadBack();
        filter_->PriorFilter();
        ShowCurrent();
    });
    connect(SBNext, &QToolButton::clicked, this, [this] {
        ReadBack();
        filter_->NextFilter();
        ShowCurrent();
    });
    connect(SBAdd, &QToolButton::clicked, this, [this] {
        ReadBack();
        filter_->AddFilter();
        ShowCurrent();
    });
    connect(SBDelete, &QToolButton::clicked, this, [this] {
        using A = UIServices::Answer;
        if (UIServices::instance().ask(QStringLiteral("Delete filter"), windowTitle(),
                                       UIServices::Icon::Question, {A::Yes, A::No}) != A::Yes)
            return;
        filter_->DeleteFilter();
        ShowCurrent();
    });
    connect(SBRestore, &QToolButton::clicked, this, [this] {
        filter_->LoadFilters();
        ShowCurrent();
    });
    connect(SBAddCond, &QToolButton::clicked, this, [this] {
        if (!filter_->CurrentFilter()) return;
        filter_->AddCondition();
        addRow();
        fillRow(int(rows_.size()) - 1);
        rows_.back()->Field->setFocus();
        SBDeleteCond->setEnabled(true);
    });
    connect(SBDeleteCond, &QToolButton::clicked, this,
            [this] { DeleteConditionOf(QApplication::focusWidget()); });
    connect(EditFilterName, &QLineEdit::editingFinished, this, [this] { ReadBack(); });
    connect(CheckBoxAutoTotal, &QCheckBox::clicked, this, [this] {
        ReadBack();
        enableLinkArea(!CheckBoxAutoTotal->isChecked());
    });
    connect(BitBtnSet, &QPushButton::clicked, this, [this] {
        ReadBack();
        done(ResultSet);
    });
    connect(BitBtnNone, &QPushButton::clicked, this, [this] {
        ReadBack();
        done(ResultTakeOff);
    });
    connect(BitBtnCancel, &QPushButton::clicked, this, [this] { done(ResultCancel); });
}

TFormFilter::~TFormFilter() = default;

void TFormFilter::setFilter(TKivFilter* filter) {
    filter_ = filter;
    WidthDataSetName = filter->WidthDataSetName();
    WidthFieldName = filter->WidthFieldName();
    buildLinkArea();
    ShowCurrent();
}

QList<TDataSet*> TFormFilter::dataSets() const {
    QList<TDataSet*> list{filter_->MainDataSet()};
    list += filter_->SubDataSets();
    return list;
}

QString TFormFilter::captionOf(TDataSet* dataSet) const {
    const QString caption = KivGetStringProperty(dataSet, QStringLiteral("Caption"));
    return caption.isEmpty() ? KivGetStringProperty(dataSet, QStringLiteral("TableName")) : caption;
}

// ---------------------------------------------------------------- link area

void TFormFilter::buildLinkArea() {
    qDeleteAll(LinkEdits);
    qDeleteAll(LinkLabels);
    qDeleteAll(ForAllBoxes);
    LinkEdits.clear();
    LinkLabels.clear();
    ForAllBoxes.clear();
    const QList<TDataSet*> sets = dataSets();
    const bool details = sets.size() > 1;
    const int top = 323 - int(sets.size()) * kLinkStep;
    Scroll->setGeometry(0, kHeader, width(), top - 2 - kHeader);
    for (int i = 0; i < sets.size(); ++i) {
        const int y = top + i * kLinkStep;
        int x = 3;
        if (details) {
            auto* label = new QLabel(captionOf(sets[i]), this);
            label->setGeometry(x, y, WidthDataSetName, 20);
            label->show();
            LinkLabels << label;
            x += WidthDataSetName + 4;
            if (i > 0) {
                auto* box = new QCheckBox(QStringLiteral("For all"), this);
                box->setToolTip(QStringLiteral("Clause must fulfil for all records"));
                box->setGeometry(x, y, 70, 20);
                box->show();
                connect(box, &QCheckBox::clicked, this, [this] { ReadBack(); });
                ForAllBoxes << box;
            }
            x += 74;
        }
        auto* edit = new QLineEdit(this);
        edit->setGeometry(x, y, width() - 8 - x, 20);
        edit->show();
        connect(edit, &QLineEdit::editingFinished, this, [this] { ReadBack(); });
        LinkEdits << edit;
    }
    LabelSubTotalHint->setText(
        details ? QStringLiteral(" Symbol ' | ' - separator of groups of clauses") : QString());
    if (filter_->OnVisualizeFilters) filter_->OnVisualizeFilters(this);
}

void TFormFilter::enableLinkArea(bool on) {
    for (QWidget* w : LinkEdits)
        w->setEnabled(on);
    for (QWidget* w : LinkLabels)
        w->setEnabled(on);
    for (QWidget* w : ForAllBoxes)
        w->setEnabled(on);
    setTextColor(LabelTotalHint, on ? QColor(Qt::black) : kGrey);
    setTextColor(LabelSubTotalHint, on ? QColor(Qt::black) : kGrey);
}

// ---------------------------------------------------------------- showing

void TFormFilter::ShowCurrent() {
    updating_ = true;
    const bool one = filter_->OneFilter();
    SBAdd->setEnabled(!one);
    TFilterItem* f = filter_->CurrentFilter();
    const QList<TDataSet*> sets = dataSets();
    if (!f) {
        for (QWidget* w : {static_cast<QWidget*>(SBPred), static_cast<QWidget*>(SBNext),
                           static_cast<QWidget*>(SBDelete), static_cast<QWidget*>(EditFilterName),
                           static_cast<QWidget*>(CheckBoxAutoTotal)})
            w->setEnabled(false);
        EditFilterName->clear();
        for (QLineEdit* e : LinkEdits)
            e->clear();
        for (QCheckBox* b : ForAllBoxes)
            b->setChecked(false);
        enableLinkArea(false);
    } else {
        const int index = filter_->CurrentIndex();
        CheckBoxAutoTotal->setEnabled(true);
        CheckBoxAutoTotal->setChecked(f->AndForAll);
        SBDelete->setEnabled(!one);
        SBPred->setEnabled(index >= 1);
        SBNext->setEnabled(index < filter_->Filters().size() - 1);
        EditFilterName->setEnabled(true);
        EditFilterName->setText(f->Name);
        for (int i = 0; i < LinkEdits.size(); ++i) {
            const QString name =
                i == 0 ? QString()
                       : KivGetStringProperty(sets.value(i), QStringLiteral("TableName"));
            TDataSetItem& item = f->DataSetItem(name);
            LinkEdits[i]->setText(item.LinkText);
            if (i > 0 && i - 1 < ForAllBoxes.size()) ForAllBoxes[i - 1]->setChecked(item.ForAll);
        }
        enableLinkArea(!f->AndForAll);
    }
    LNumberFilter->setText(one || !f ? QString()
                                     : QStringLiteral("%1/%2")
                                           .arg(filter_->CurrentIndex() + 1)
                                           .arg(filter_->Filters().size()));
    const int clauses = f ? int(f->Conditions.size()) : 0;
    while (int(rows_.size()) > clauses)
        rows_.pop_back();
    while (int(rows_.size()) < clauses)
        addRow();
    checkDetails();
    for (int r = 0; r < clauses; ++r)
        fillRow(r);
    SBAddCond->setEnabled(f != nullptr);
    SBDeleteCond->setEnabled(clauses > 0);
    updating_ = false;
    if (!rows_.empty()) rows_.front()->Field->setFocus();
    if (filter_->OnSetToEditWindow) filter_->OnSetToEditWindow(this);
}

// Clauses on a detail dataset that is gone go back to the main dataset.
void TFormFilter::checkDetails() {
    TFilterItem* f = filter_->CurrentFilter();
    if (!f) return;
    for (TConditionItem& c : f->Conditions) {
        if (c.DataSetName.isEmpty() || clauseDataSet(c)) continue;
        KivShowMessage(QStringLiteral("Component ") + filter_->objectName() + QLatin1Char('\n') +
                       QStringLiteral("Detail table ") + c.DataSetName +
                       QStringLiteral(" is absent in SubDataSets"));
        c = TConditionItem();
    }
}

TConditionItem* TFormFilter::clause(int row) {
    TFilterItem* f = filter_->CurrentFilter();
    return f && row >= 0 && row < f->Conditions.size() ? &f->Conditions[row] : nullptr;
}

TDataSet* TFormFilter::clauseDataSet(const TConditionItem& c) const {
    if (c.DataSetName.isEmpty()) return filter_->MainDataSet();
    for (TDataSet* d : filter_->SubDataSets())
        if (KivGetStringProperty(d, QStringLiteral("TableName"))
                .compare(c.DataSetName, Qt::CaseInsensitive) == 0)
            return d;
    return nullptr;
}

TField* TFormFilter::clauseField(const TConditionItem& c) const {
    TDataSet* ds = clauseDataSet(c);
    if (!ds) return nullptr;
    const QString name = c.DisplayFieldName.isEmpty() ? c.FieldName : c.DisplayFieldName;
    for (TField* f : FilterableFields(ds))
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

QList<TField*> TFormFilter::FilterableFields(TDataSet* dataSet) {
    QList<TField*> list;
    if (!dataSet) return list;
    for (TField* f : dataSet->Fields())
        if (f->FieldKind() != TFieldKind::fkCalculated && f->Tag() % 10 != 8) list << f;
    return list;
}

QStringList TFormFilter::Operations(const TField* field) const {
    QStringList ops{QStringLiteral("="), QStringLiteral("<>")};
    const auto* look = qobject_cast<const TKivLookField*>(field);
    const bool lookup = field && field->FieldKind() == TFieldKind::fkLookup;
    if (!(lookup && look && look->Options().testFlag(foOnlyEqualinFilter)))
        ops << QStringLiteral("<") << QStringLiteral(">") << QStringLiteral("<=")
            << QStringLiteral(">=");
    if (field && filter_->FilterSetAs() != fsFilter && field->FieldKind() == TFieldKind::fkData &&
        (field->DataType() == TFieldType::ftString || field->DataType() == TFieldType::ftMemo))
        ops << QStringLiteral("~");
    return ops;
}

// ---------------------------------------------------------------- rows

void TFormFilter::addRow() {
    auto item = std::make_unique<TViewItem>();
    const int row = int(rows_.size());
    item->Number = new QLabel(rowsHost_);
    if (filter_->SubDataSets().size() > 0) {
        item->DataSet = new QComboBox(rowsHost_);
        silver(item->DataSet);
        connect(item->DataSet, &QComboBox::activated, this,
                [this, w = item->DataSet](int index) { ChooseDataSet(rowOf(w), index); });
    }
    item->Field = new QComboBox(rowsHost_);
    connect(item->Field, &QComboBox::textActivated, this,
            [this, w = item->Field](const QString& text) { ChooseField(rowOf(w), text); });
    item->Operation = new QComboBox(rowsHost_);
    silver(item->Operation);
    QFont bold = item->Operation->font();
    bold.setBold(true);
    item->Operation->setFont(bold);
    QPalette red = item->Operation->palette();
    red.setColor(QPalette::Text, Qt::red);
    red.setColor(QPalette::ButtonText, Qt::red);
    item->Operation->setPalette(red);
    connect(item->Operation, &QComboBox::textActivated, this,
            [this, w = item->Operation](const QString& text) { ChooseOperation(rowOf(w), text); });
    for (QWidget* w : {static_cast<QWidget*>(item->Number), static_cast<QWidget*>(item->DataSet),
                       static_cast<QWidget*>(item->Field), static_cast<QWidget*>(item->Operation)})
        if (w) w->show();
    rows_.push_back(std::move(item));
    placeRow(row);
}

void TFormFilter::placeRow(int row) {
    TViewItem& item = *rows_[size_t(row)];
    const int y = 3 + row * kRowStep;
    item.Number->setText(QString::number(row + 1));
    item.Number->setGeometry(3, y + 5, 14, 16);
    int x = 18;
    if (item.DataSet) {
        item.DataSet->setGeometry(x, y, WidthDataSetName, 21);
        x += WidthDataSetName + 2;
    }
    item.Field->setGeometry(x, y, WidthFieldName, 21);
    x += WidthFieldName + 2;
    // Wide enough for "<=" beside this style's drop-down arrow.
    item.Operation->setGeometry(x, y, kOperationWidth, 21);
    x += kOperationWidth + 2;
    if (item.Value) item.Value->move(x, y);
    rowsHost_->resize(
        qMax(Scroll->viewport()->width(), x + (item.Value ? item.Value->width() : 0) + 4),
        3 + int(rows_.size()) * kRowStep);
}

int TFormFilter::rowOf(const QWidget* control) const {
    for (size_t r = 0; r < rows_.size(); ++r) {
        const TViewItem& item = *rows_[r];
        if (!control) return -1;
        for (const QWidget* w :
             {static_cast<QWidget*>(item.DataSet), static_cast<QWidget*>(item.Field),
              static_cast<QWidget*>(item.Operation), item.Value})
            if (w && (w == control || w->isAncestorOf(control))) return int(r);
    }
    return -1;
}

void TFormFilter::fillRow(int row) {
    const bool was = updating_;
    updating_ = true;
    TViewItem& item = *rows_[size_t(row)];
    const TConditionItem& c = *clause(row);
    TDataSet* ds = clauseDataSet(c);
    if (item.DataSet) {
        item.DataSet->clear();
        for (TDataSet* d : dataSets())
            item.DataSet->addItem(captionOf(d));
        const int at = c.DataSetName.isEmpty() ? 0 : int(filter_->SubDataSets().indexOf(ds)) + 1;
        item.DataSet->setCurrentIndex(at);
    }
    TField* field = clauseField(c);
    item.Field->clear();
    for (const TField* f : FilterableFields(ds))
        item.Field->addItem(f->DisplayName());
    item.Field->setCurrentIndex(field ? item.Field->findText(field->DisplayName()) : -1);
    item.Operation->clear();
    item.Operation->addItems(Operations(field));
    item.Operation->setCurrentIndex(item.Operation->findText(c.Operation));
    makeValueEditor(row, field);
    placeRow(row);
    updating_ = was;
}

void TFormFilter::makeValueEditor(int row, TField* field) {
    TViewItem& item = *rows_[size_t(row)];
    delete item.Value;
    item.Value = nullptr;
    if (!field) return;
    QWidget* w = KivCreateEditor(rowsHost_, field, KivMeasureFont(font()).width());
    if (!w) return;
    item.Value = w;
    const QVariant v = clause(row)->Value;
    const bool was = updating_;
    updating_ = true;
    if (auto* look = qobject_cast<TKivCustomDBLookupCombo*>(w)) {
        look->setKeyValue(v);
        look->OnChange = [this, w](QObject*) { ValueChanged(rowOf(w)); };
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setCurrentIndex(v.isNull() ? -1 : v.toInt());
        connect(combo, &QComboBox::activated, this, [this, w] { ValueChanged(rowOf(w)); });
    } else if (auto* date = qobject_cast<QDateEdit*>(w)) {
        QDate d = v.toDate();
        if (!d.isValid() && !v.isNull()) d = dateFromText(v.toString());
        date->setDate(d.isValid() ? d : QDate::currentDate());
        connect(date, &QDateEdit::dateChanged, this, [this, w] { ValueChanged(rowOf(w)); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(v.isNull() ? QString() : v.toString());
        connect(edit, &QLineEdit::textEdited, this, [this, w] { ValueChanged(rowOf(w)); });
    }
    updating_ = was;
    w->show();
    if (filter_->OnCreateValue) filter_->OnCreateValue(this, field, w);
}

void TFormFilter::ChooseDataSet(int row, int index) {
    TConditionItem* c = clause(row);
    if (updating_ || !c) return;
    const QList<TDataSet*> subs = filter_->SubDataSets();
    c->DataSetName = index <= 0 || index > subs.size()
                         ? QString()
                         : KivGetStringProperty(subs[index - 1], QStringLiteral("TableName"));
    c->FieldName.clear();
    c->DisplayFieldName.clear();
    c->Operation = QStringLiteral("=");
    c->Value = QVariant();
    fillRow(row);
}

void TFormFilter::ChooseField(int row, const QString& displayName) {
    TConditionItem* c = clause(row);
    if (updating_ || !c) return;
    TField* chosen = nullptr;
    for (TField* f : FilterableFields(clauseDataSet(*c)))
        if (f->DisplayName() == displayName) chosen = f;
    if (!chosen) {
        fillRow(row);
        return;
    }
    if (chosen->FieldKind() == TFieldKind::fkLookup) {
        c->FieldName = chosen->KeyFields();
        c->DisplayFieldName = chosen->FieldName();
    } else {
        c->FieldName = chosen->FieldName();
        c->DisplayFieldName.clear();
    }
    c->Operation = QStringLiteral("=");
    c->Value = QVariant();
    TViewItem& item = *rows_[size_t(row)];
    updating_ = true;
    item.Operation->clear();
    item.Operation->addItems(Operations(chosen));
    item.Operation->setCurrentIndex(0);
    updating_ = false;
    makeValueEditor(row, chosen);
    placeRow(row);
    if (item.Value && !item.Field->view()->isVisible()) item.Value->setFocus();
}

void TFormFilter::ChooseOperation(int row, const QString& operation) {
    TConditionItem* c = clause(row);
    if (updating_ || !c) return;
    TViewItem& item = *rows_[size_t(row)];
    if (item.Operation->findText(operation) < 0) {
        item.Operation->setCurrentIndex(-1);
        return;
    }
    c->Operation = operation;
}

void TFormFilter::ValueChanged(int row) {
    TConditionItem* c = clause(row);
    if (updating_ || !c) return;
    QWidget* w = rows_[size_t(row)]->Value;
    TField* field = clauseField(*c);
    if (auto* look = qobject_cast<TKivCustomDBLookupCombo*>(w)) {
        c->Value = look->KeyValue();
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int at = combo->currentIndex();
        const bool emptyItem =
            qobject_cast<const TKivListField*>(field) && combo->currentText().isEmpty();
        c->Value = at < 0 || emptyItem ? QVariant() : QVariant(at);
    } else if (auto* date = qobject_cast<QDateEdit*>(w)) {
        c->Value = date->date();
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = edit->text();
        if (text.isEmpty()) {
            c->Value = QVariant();
            return;
        }
        bool ok = true;
        QVariant v = text;
        switch (field ? field->DataType() : TFieldType::ftString) {
        case TFieldType::ftDate: {
            const QDate d = dateFromText(text);
            ok = d.isValid();
            v = d;
            break;
        }
        case TFieldType::ftFloat:
            v = text.toDouble(&ok);
            break;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
            v = text.toLongLong(&ok);
            break;
        default:
            break;
        }
        // Text that is not yet a value of the field's kind stays text.
        c->Value = ok ? v : QVariant(text);
    }
}

void TFormFilter::DeleteConditionOf(QWidget* control) {
    const int row = rowOf(control);
    if (row < 0) return;
    filter_->DeleteCondition(row);
    rows_.erase(rows_.begin() + row);
    for (int r = row; r < int(rows_.size()); ++r)
        placeRow(r);
    SBDeleteCond->setEnabled(!rows_.empty());
}

// ---------------------------------------------------------------- read-back and keys

void TFormFilter::ReadBack() {
    TFilterItem* f = filter_ ? filter_->CurrentFilter() : nullptr;
    if (updating_ || !f) return;
    f->Name = EditFilterName->text();
    f->AndForAll = CheckBoxAutoTotal->isChecked();
    const QList<TDataSet*> sets = dataSets();
    for (int i = 0; i < LinkEdits.size(); ++i) {
        const QString name =
            i == 0 ? QString() : KivGetStringProperty(sets.value(i), QStringLiteral("TableName"));
        TDataSetItem& item = f->DataSetItem(name);
        item.LinkText = LinkEdits[i]->text();
        if (i > 0 && i - 1 < ForAllBoxes.size()) item.ForAll = ForAllBoxes[i - 1]->isChecked();
    }
    if (filter_->OnGetFromEditWindow) filter_->OnGetFromEditWindow(this);
}

void TFormFilter::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    if (ctrl && keypad && event->key() == Qt::Key_Plus) {
        SBAddCond->click();
        return;
    }
    if (ctrl && keypad && event->key() == Qt::Key_Minus) {
        SBDeleteCond->click();
        return;
    }
    if (ctrl && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
            combo && rowOf(combo) >= 0) {
            if (combo->view()->isVisible())
                combo->hidePopup();
            else
                combo->showPopup();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
