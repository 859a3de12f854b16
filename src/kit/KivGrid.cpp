#include "KivGrid.h"

#include "KivContr.h"
#include "KivDB.h"
#include "KivError.h"
#include "KivFormDB.h"
#include "KivForms.h"
#include "UIServices.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QVBoxLayout>

#include <climits>

namespace {

void showDatasetError(const EKivError& e) {
    if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
}

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isLookField(const TField* f) {
    return qobject_cast<const TKivLookField*>(f) && f->FieldKind() == TFieldKind::fkLookup;
}

} // namespace

// ---------------------------------------------------------------- totals list

void TListTotal::setTotal(const QString& fieldName, const QString& text) {
    for (auto& [name, total] : items_)
        if (name.compare(fieldName, Qt::CaseInsensitive) == 0) {
            total = text;
            return;
        }
    items_.append({fieldName, text});
}

QString TListTotal::Total(const QString& fieldName) const {
    for (const auto& [name, total] : items_)
        if (name.compare(fieldName, Qt::CaseInsensitive) == 0) return total;
    return {};
}

// ---------------------------------------------------------------- title lines

QStringList KivTitleLines(const QString& caption, int width, const QFontMetrics& metrics,
                          int maxLines) {
    QStringList lines;
    const qsizetype n = caption.size();
    const QChar blank = QLatin1Char(' ');
    qsizetype pos = 0;
    while (pos < n && lines.size() < maxLines) {
        qsizetype len = 0;
        while (pos + len < n && metrics.horizontalAdvance(caption.mid(pos, len + 1)) <= width)
            ++len;
        if (len == 0) len = 1; // a character wider than the column still takes a line
        if (pos + len < n && caption[pos + len] != blank) {
            const qsizetype b = caption.lastIndexOf(blank, pos + len - 1);
            if (b > pos) len = b - pos;
        }
        QString line = caption.mid(pos, len);
        while (line.endsWith(blank))
            line.chop(1);
        lines << line;
        pos += len;
        while (pos < n && caption[pos] == blank)
            ++pos;
    }
    if (pos < n && !lines.isEmpty()) {
        QString& last = lines.last();
        const QString dots = QStringLiteral("...");
        while (!last.isEmpty() && metrics.horizontalAdvance(last + dots) > width)
            last.chop(1);
        last += dots;
    }
    return lines;
}

// ---------------------------------------------------------------- data link

void TKivGridDataLink::DataSetChanged() {
    TGridDataLink::DataSetChanged();
    static_cast<TKivDbGrid&>(grid()).linkChanged();
}

void TKivGridDataLink::DataSetScrolled(int distance) {
    TGridDataLink::DataSetScrolled(distance);
    static_cast<TKivDbGrid&>(grid()).linkChanged();
}

void TKivGridDataLink::LayoutChanged() {
    TGridDataLink::LayoutChanged();
    static_cast<TKivDbGrid&>(grid()).linkChanged();
}

void TKivGridDataLink::RecordChanged(TField* field) {
    TGridDataLink::RecordChanged(field);
    static_cast<TKivDbGrid&>(grid()).linkChanged();
}

// ---------------------------------------------------------------- totals bar

class TKivDbGrid::TotalsBar : public QWidget {
public:
    explicit TotalsBar(TKivDbGrid& grid) : QWidget(&grid), grid_(grid) { hide(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        grid_.DrawTotals(p, rect());
    }

private:
    TKivDbGrid& grid_;
};

// ---------------------------------------------------------------- grid

TKivDbGrid::TKivDbGrid(QWidget* parent) : TDBGrid(parent) {
    setDataLink(std::make_unique<TKivGridDataLink>(*this));
    totals_ = new TotalsBar(*this);
}

TKivDbGrid::~TKivDbGrid() = default;

void TKivDbGrid::setTotal(bool on) {
    if (total_ == on) return;
    total_ = on;
    if (!on) setViewportMargins(viewportMargins().left(), viewportMargins().top(), 0, 0);
    relayout();
}

void TKivDbGrid::setTitleAlignment(TAlignment alignment) {
    titleAlignment_ = alignment;
    relayout();
}

void TKivDbGrid::setTitleRows(int rows) {
    titleRows_ = qint16(std::max(0, rows));
    relayout();
}

TListTotal& TKivDbGrid::ListTotal() {
    if (!listTotal_) listTotal_ = std::make_unique<TListTotal>();
    return *listTotal_;
}

bool TKivDbGrid::GetTotalText(int, QString&) {
    return false;
}

QString TKivDbGrid::TotalText(int column) {
    if (column < 0 || column >= ColumnCount()) return {};
    if (listTotal_) return listTotal_->Total(Column(column).FieldName());
    QString text;
    return GetTotalText(column, text) ? text : QString();
}

void TKivDbGrid::DrawTotals(QPainter& painter, const QRect& area) {
    painter.fillRect(area, Color());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(area.topLeft(), area.topRight());
    painter.setPen(palette().color(QPalette::Text));
    for (int c = 0; c < ColumnCount(); ++c) {
        const QRect cell(columnViewportPosition(c), area.top() + 1, columnWidth(c),
                         area.height() - 1);
        if (cell.right() < area.left() || cell.left() > area.right()) continue;
        painter.save();
        painter.setClipRect(cell);
        painter.drawText(cell.adjusted(2, 0, -2, 0),
                         int(KivQtAlignment(Column(c).Alignment()) | Qt::AlignVCenter) |
                             Qt::TextSingleLine,
                         TotalText(c));
        painter.restore();
    }
}

// The totals line takes one row and a grid line under the rows. The table
// view resets the bottom margin whenever it lays itself out; putting it back
// resizes the viewport, which lays out again once more at most.
void TKivDbGrid::updateGeometries() {
    TDBGrid::updateGeometries();
    if (!totals_ || placing_ > 4) return;
    QScopedValueRollback guard(placing_, placing_ + 1);
    const QMargins m = viewportMargins();
    const int bottom = total_ ? DefaultRowHeight() + 1 : 0;
    if (m.bottom() != bottom) setViewportMargins(m.left(), m.top(), m.right(), bottom);
    if (total_) {
        const QRect v = viewport()->geometry();
        totals_->setGeometry(v.left(), v.bottom() + 1, v.width(), bottom);
        totals_->show();
        totals_->raise();
        totals_->update();
    } else {
        totals_->hide();
    }
}

void TKivDbGrid::scrollContentsBy(int dx, int dy) {
    TDBGrid::scrollContentsBy(dx, dy);
    if (dx != 0 && total_) totals_->update();
}

static int neededTitleLines(const TKivDbGrid& grid, int column, int maxLines) {
    const TColumn& c = grid.Column(column);
    if (!c.Field) return 1;
    return int(KivTitleLines(c.TitleCaption(), c.Width - 4, grid.horizontalHeader()->fontMetrics(),
                             maxLines)
                   .size());
}

QStringList TKivDbGrid::TitleLines(int column) const {
    if (titleRows_ <= 0 || !Column(column).Field) return TDBGrid::TitleLines(column);
    int most = 1;
    for (int c = 0; c < ColumnCount() && most < titleRows_; ++c)
        most = std::max(most, neededTitleLines(*this, c, titleRows_));
    if (most <= 1) return TDBGrid::TitleLines(column);
    const TColumn& c = Column(column);
    return KivTitleLines(c.TitleCaption(), c.Width - 4, horizontalHeader()->fontMetrics(),
                         titleRows_);
}

TAlignment TKivDbGrid::TitleAlignmentOf(int column) const {
    return Column(column).TitleAlignment.value_or(titleAlignment_);
}

bool TKivDbGrid::IsTabStop(int column) const {
    if (column < 0 || column >= ColumnCount() || !DataLink().Active()) return false;
    const TColumn& c = Column(column);
    TField* f = c.Field;
    if (c.ReadOnly || !f || f->ReadOnly()) return false;
    if (f->FieldKind() == TFieldKind::fkLookup) {
        const QStringList keys = f->KeyFields().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (keys.isEmpty()) return false;
        for (const QString& name : keys) {
            const TField* key = f->DataSet() ? f->DataSet()->FindField(name) : nullptr;
            if (!key || key->ReadOnly()) return false;
        }
    }
    return f->FieldKind() != TFieldKind::fkCalculated || c.ButtonEllipsis;
}

void TKivDbGrid::StyleDataCell(TField* field, bool selected, TGridCellStyle& style) const {
    auto* self = const_cast<TKivDbGrid*>(this);
    if (OnSetFont) OnSetFont(self, field, style.font);
    if (!selected && field && OnSetColor) OnSetColor(self, field, style.background);
}

void TKivDbGrid::EditorLaidOut(QWidget* editor, TField* field) {
    QFont f = font();
    if (OnSetFont) OnSetFont(this, field, f);
    editor->setFont(f);
    if (OnSetLayout) OnSetLayout(this, field);
}

void TKivDbGrid::SelectedColumnChanged() {
    hideSpecialEditors();
    editorKind_ = TEditorKind::Plain;
    const int column = SelectedIndex();
    if (column < 0 || column >= ColumnCount() || ReadOnly() || Column(column).ReadOnly) return;
    TField* f = SelectedField();
    if (isLookField(f))
        editorKind_ = TEditorKind::Lookup;
    else if (qobject_cast<TKivListField*>(f))
        editorKind_ = TEditorKind::List;
}

void TKivDbGrid::linkChanged() {
    hideSpecialEditors();
    SelectedColumnChanged();
    if (total_) totals_->update();
}

void TKivDbGrid::hideSpecialEditors() {
    bool hidden = false;
    for (QComboBox* combo :
         {static_cast<QComboBox*>(listCombo_), static_cast<QComboBox*>(lookupCombo_)}) {
        if (!combo || !combo->isVisible()) continue;
        combo->hidePopup();
        combo->hide();
        hidden = true;
    }
    if (hidden) setFocus();
}

void TKivDbGrid::ShowCellEditor() {
    switch (editorKind_) {
    case TEditorKind::List:
        showListCombo();
        break;
    case TEditorKind::Lookup:
        showLookupCombo();
        break;
    case TEditorKind::Plain:
        ShowEditor();
        break;
    }
}

void TKivDbGrid::showListCombo() {
    TField* field = SelectedField();
    const QModelIndex at = currentIndex();
    if (!field || !at.isValid()) return;
    try {
        if (!listCombo_) {
            listCombo_ = new TKivDBCombo(viewport());
            listCombo_->hide();
            listCombo_->installEventFilter(this);
        }
        listCombo_->setDataSource(DataSource());
        listCombo_->setDataField(field->FieldName());
    } catch (const std::exception&) {
        delete listCombo_;
        KivShowMessage(QStringLiteral("Error create Combo!"));
        ShowEditor();
        return;
    }
    listCombo_->setReadOnly(ReadOnly());
    showOverCell(listCombo_, field);
}

TKivInplaceLookupCombo* TKivDbGrid::CreateLookupCombo() {
    return new TKivInplaceLookupCombo(viewport());
}

void TKivDbGrid::showLookupCombo() {
    auto* look = qobject_cast<TKivLookField*>(selectedLookField());
    if (!look || !currentIndex().isValid() || !look->LookupDataSet()) return;
    try {
        if (!lookupCombo_) {
            lookupCombo_ = CreateLookupCombo();
            lookupCombo_->hide();
            lookupCombo_->installEventFilter(this);
            new TDataSource(lookupCombo_); // lists the lookup dataset
        }
        auto* list = lookupCombo_->findChild<TDataSource*>();
        list->setDataSet(look->LookupDataSet());
        lookupCombo_->setListSource(list);
        lookupCombo_->setKeyField(look->LookupKeyFields());
        lookupCombo_->setListField(look->ResultFieldNames().join(QLatin1Char(';')));
        lookupCombo_->setDataSource(DataSource());
        lookupCombo_->setDataField(look->FieldName());
        lookupCombo_->setListFieldIndex(look->ListFieldIndex());
    } catch (const std::exception&) {
        delete lookupCombo_;
        KivShowMessage(QStringLiteral("Error create LookupCombo!"));
        ShowEditor();
        return;
    }
    lookupCombo_->setReadOnly(ReadOnly());
    // As wide as the lookup's grid fields ask, else the combo's own list width.
    int width = 0;
    if (!look->LookupGridFields.isEmpty()) {
        int chars = 0;
        for (const TField* f : look->GridFields())
            chars += f->DisplayWidth();
        width = KivMeasureFont(font()).width() * (chars + 3);
    }
    lookupCombo_->setDropDownWidth(width);
    showOverCell(lookupCombo_, look);
}

void TKivDbGrid::showOverCell(QComboBox* combo, TField* field) {
    QFont f = font();
    if (OnSetFont) OnSetFont(this, field, f);
    combo->setFont(f);
    combo->setGeometry(visualRect(currentIndex()));
    if (OnSetLayout) OnSetLayout(this, field);
    combo->show();
    combo->raise();
    combo->setFocus();
    combo->showPopup();
}

// Keys of the list combo as the grid's editor: Enter moves on to the next
// column, Esc returns to the grid, and leaving it closes it.
bool TKivDbGrid::eventFilter(QObject* watched, QEvent* event) {
    QComboBox* combo = nullptr;
    if (watched == listCombo_ && listCombo_) combo = listCombo_;
    if (watched == lookupCombo_ && lookupCombo_) combo = lookupCombo_;
    if (combo) {
        if (event->type() == QEvent::KeyPress && !combo->view()->isVisible()) {
            const auto* k = static_cast<QKeyEvent*>(event);
            const bool enter =
                isEnter(k->key()) && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
            if (enter || k->key() == Qt::Key_Escape) {
                combo->hide();
                setFocus();
                if (enter) KivEnterAsTab(this, k->key());
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const auto* f = static_cast<QFocusEvent*>(event);
            // The lookup combo's code edit takes the focus without closing it.
            const bool toCodeEdit = lookupCombo_ && combo == lookupCombo_ &&
                                    lookupCombo_->isAncestorOf(QApplication::focusWidget());
            if (f->reason() != Qt::PopupFocusReason && combo->isVisible() &&
                !combo->view()->isVisible() && !toCodeEdit)
                combo->hide();
        }
    }
    return TDBGrid::eventFilter(watched, event);
}

TField* TKivDbGrid::selectedLookField() const {
    TField* f = SelectedField();
    return isLookField(f) ? f : nullptr;
}

void TKivDbGrid::listDigit(int digit) {
    auto* list = qobject_cast<TKivListField*>(SelectedField());
    if (!list || !CanEditColumn(SelectedIndex()) || digit > list->MaxValue()) {
        QApplication::beep();
        return;
    }
    try {
        if (!DataLink().Edit()) return;
        list->setAsInteger(digit);
    } catch (const EKivError& e) {
        showDatasetError(e);
    }
}

void TKivDbGrid::nextLookupResult() {
    auto* look = qobject_cast<TKivLookField*>(selectedLookField());
    if (!look) return;
    const int count = int(look->ResultFieldNames().size());
    const int next = look->ListFieldIndex() + 1;
    look->setListFieldIndex(next < count ? next : 0);
    viewport()->update();
}

void TKivDbGrid::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers() & ~Qt::KeypadModifier;
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0) {
            event->accept();
            return;
        }
    }
    if (isEnter(key) && !(shift & Qt::AltModifier)) {
        if (shift & Qt::ControlModifier)
            ShowCellEditor();
        else
            KivEnterAsTab(this, key);
        event->accept();
        return;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && shift == Qt::NoModifier &&
        qobject_cast<TKivListField*>(SelectedField())) {
        listDigit(key - Qt::Key_0);
        event->accept();
        return;
    }
    if (key == Qt::Key_Z && shift == Qt::ControlModifier) {
        nextLookupResult();
        event->accept();
        return;
    }
    if (key == Qt::Key_F1 && shift == Qt::AltModifier && selectedLookField()) {
        EditLookupData();
        event->accept();
        return;
    }
    TDBGrid::keyPressEvent(event);
}

void TKivDbGrid::mousePressEvent(QMouseEvent* event) {
    TDBGrid::mousePressEvent(event);
    if ((event->modifiers() & Qt::AltModifier) && event->button() == Qt::LeftButton &&
        indexAt(event->position().toPoint()) == currentIndex() && selectedLookField())
        EditLookupData();
}

void TKivDbGrid::EditLookupData() {
    TField* look = selectedLookField();
    TDataSet* ds = look ? look->DataSet() : nullptr;
    if (!ds || !look->LookupDataSet()) return;
    try {
        const QList<TField*> keys = ds->GetFieldList(look->KeyFields());
        if (keys.isEmpty()) return;
        QVariant value;
        if (keys.size() == 1) {
            value = keys.first()->Value();
        } else {
            QVariantList values;
            for (const TField* k : keys)
                values << k->Value();
            value = values;
        }
        if (!KivEditData(this, look->LookupDataSet(), ds, look->LookupKeyFields(), value)) return;
        if (ReadOnly()) return;
        for (const TField* k : keys)
            if (!k->CanModify()) return;
        if (ds->State() != TDataSetState::dsEdit && ds->State() != TDataSetState::dsInsert)
            ds->Edit();
        if (keys.size() == 1) {
            keys.first()->setValue(value);
        } else {
            const QVariantList values = value.toList();
            for (int i = 0; i < keys.size(); ++i)
                keys[i]->setValue(values.value(i));
        }
    } catch (const EKivError& e) {
        showDatasetError(e);
    }
}

std::unique_ptr<TKivDualListDlg> TKivDbGrid::CreateFieldsDialog() {
    auto dlg = std::make_unique<TKivDualListDlg>(this);
    dlg->setTitles(QStringLiteral("Fields visibility"), QStringLiteral("Visible fields"),
                   QStringLiteral("Invisible fields"));
    dlg->FillFields(DataSet());
    return dlg;
}

void TKivDbGrid::FieldsVisibility() {
    TDataSet* ds = DataSet();
    if (!ds) return;
    const std::unique_ptr<TKivDualListDlg> dlg = CreateFieldsDialog();
    if (dlg->exec() != QDialog::Accepted) return;
    try {
        dlg->ApplyFields(ds);
    } catch (const EKivError& e) {
        showDatasetError(e);
    }
}

// ---------------------------------------------------------------- dual list

TKivDualListDlg::TKivDualListDlg(QWidget* parent) : QDialog(parent) {
    SrcList = new QListWidget(this);
    DstList = new QListWidget(this);
    for (QListWidget* list : {SrcList, DstList}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        list->setDefaultDropAction(Qt::MoveAction);
    }
    srcLabel_ = new QLabel(this);
    dstLabel_ = new QLabel(this);
    IncludeBtn = new QPushButton(QStringLiteral(">"), this);
    IncAllBtn = new QPushButton(QStringLiteral(">>"), this);
    ExcludeBtn = new QPushButton(QStringLiteral("<"), this);
    ExAllBtn = new QPushButton(QStringLiteral("<<"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {IncludeBtn, IncAllBtn, ExcludeBtn, ExAllBtn}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto* box = new QDialogButtonBox(this);
    OkBtn = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    CancelBtn = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    auto* grid = new QGridLayout(this);
    grid->addWidget(srcLabel_, 0, 0);
    grid->addWidget(dstLabel_, 0, 2);
    grid->addWidget(SrcList, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(DstList, 1, 2);
    grid->addWidget(box, 2, 0, 1, 3);
    connect(IncludeBtn, &QPushButton::clicked, this, [this] { MoveSelected(SrcList, DstList); });
    connect(IncAllBtn, &QPushButton::clicked, this, [this] { MoveAll(SrcList, DstList); });
    connect(ExcludeBtn, &QPushButton::clicked, this, [this] { MoveSelected(DstList, SrcList); });
    connect(ExAllBtn, &QPushButton::clicked, this, [this] { MoveAll(DstList, SrcList); });
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TKivDualListDlg::setTitles(const QString& caption, const QString& srcTitle,
                                const QString& dstTitle) {
    setWindowTitle(caption);
    srcLabel_->setText(srcTitle);
    dstLabel_->setText(dstTitle);
}

QString TKivDualListDlg::SrcTitle() const {
    return srcLabel_->text();
}

QString TKivDualListDlg::DstTitle() const {
    return dstLabel_->text();
}

void TKivDualListDlg::MoveSelected(QListWidget* from, QListWidget* to) {
    for (int i = 0; i < from->count();) {
        if (from->item(i)->isSelected()) {
            QListWidgetItem* item = from->takeItem(i);
            item->setSelected(false);
            to->addItem(item);
        } else {
            ++i;
        }
    }
}

void TKivDualListDlg::MoveAll(QListWidget* from, QListWidget* to) {
    while (from->count() > 0) {
        QListWidgetItem* item = from->takeItem(0);
        item->setSelected(false);
        to->addItem(item);
    }
}

void TKivDualListDlg::FillFields(const TDataSet* dataSet) {
    SrcList->clear();
    DstList->clear();
    if (!dataSet) return;
    for (const TField* f : dataSet->Fields()) {
        if (f->IsBlob() || f->Tag() % 10 == 8) continue;
        auto* item = new QListWidgetItem(f->DisplayLabel());
        item->setData(Qt::UserRole, f->FieldName());
        (f->Visible() ? SrcList : DstList)->addItem(item);
    }
}

void TKivDualListDlg::ApplyFields(TDataSet* dataSet) const {
    if (!dataSet) return;
    dataSet->DisableControls();
    struct Enable {
        TDataSet* ds;
        ~Enable() { ds->EnableControls(); }
    } enable{dataSet};
    const auto field = [dataSet](const QListWidgetItem* item) {
        return dataSet->FindField(item->data(Qt::UserRole).toString());
    };
    for (int i = 0; i < SrcList->count(); ++i)
        if (TField* f = field(SrcList->item(i))) {
            f->setVisible(true);
            f->setIndex(i);
        }
    for (int i = 0; i < DstList->count(); ++i)
        if (TField* f = field(DstList->item(i))) {
            f->setVisible(false);
            f->setIndex(SrcList->count() + i);
        }
}
