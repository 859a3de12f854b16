#include "DBGrid.h"

#include "KivError.h"
#include "KivForms.h"
#include "UIServices.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace {

void showDatasetError(const EKivError& e) {
    if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
}

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

// ---------------------------------------------------------------- model

// Rows are the dataset's cursor positions (plus the record being inserted);
// nothing is read until a cell is asked for.
class TDBGridModel : public QAbstractTableModel {
public:
    explicit TDBGridModel(TDBGrid& grid) : QAbstractTableModel(&grid), grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.ColumnCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rows_ || index.column() >= grid_.ColumnCount())
            return {};
        TField* f = grid_.Column(index.column()).Field;
        if (!f) return {};
        switch (role) {
        case Qt::DisplayRole: {
            QString text;
            grid_.readRow(index.row(), [&] { text = f->DisplayText(); });
            return text;
        }
        case Qt::EditRole: {
            QString text;
            grid_.readRow(index.row(), [&] { text = f->Text(); });
            return text;
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(KivQtAlignment(f->Alignment()) | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
            section >= grid_.ColumnCount())
            return {};
        return grid_.Column(section).TitleCaption();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (grid_.CanEditColumn(index.column())) f |= Qt::ItemIsEditable;
        return f;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !index.isValid()) return false;
        return grid_.writeCell(index.row(), index.column(), value.toString());
    }

    // The rows the dataset has now; resets the views when that changed.
    void refreshRows(bool force) {
        const int now = countRows();
        if (force || now != rows_) {
            beginResetModel();
            rows_ = now;
            endResetModel();
        } else if (rows_ > 0 && grid_.ColumnCount() > 0) {
            emit dataChanged(index(0, 0), index(rows_ - 1, grid_.ColumnCount() - 1));
        }
    }

private:
    int countRows() const {
        TDataSet* ds = grid_.DataSet();
        if (!ds) return 0;
        return ds->RecordCount() + (ds->InsertIndex() >= 0 ? 1 : 0);
    }

    TDBGrid& grid_;
    int rows_ = 0;
};

// ---------------------------------------------------------------- delegate

class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const TGridCellStyle s = grid_.CellStyle(index.row(), index.column());
        painter->save();
        painter->fillRect(option.rect, s.background);
        painter->setFont(s.font);
        painter->setPen(s.foreground);
        const QRect r = option.rect.adjusted(2, 0, -2, 0);
        painter->setClipRect(option.rect);
        painter->drawText(r, int(s.alignment | Qt::AlignVCenter) | Qt::TextSingleLine, s.text);
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* edit = new TDBGridInplaceEdit(parent);
        edit->setFrame(false);
        grid_.editorCreated(edit);
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* edit = static_cast<TDBGridInplaceEdit*>(editor);
        TField* f = grid_.Column(index.column()).Field;
        edit->setMaxLength(f && f->DataType() == TFieldType::ftString && f->Size() > 0 ? f->Size()
                                                                                       : 32767);
        edit->setAlignment(f ? KivQtAlignment(f->Alignment()) : Qt::AlignLeft);
        edit->setText(index.data(Qt::EditRole).toString());
        edit->setModified(false);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* edit = static_cast<TDBGridInplaceEdit*>(editor);
        if (!edit->isModified()) return;
        if (model->setData(index, edit->text(), Qt::EditRole)) edit->setModified(false);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override {
        editor->setGeometry(option.rect);
        grid_.EditorLaidOut(editor, grid_.Column(index.column()).Field);
    }

protected:
    // Enter writes the cell and moves on, as Tab does.
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(event);
            auto* editor = qobject_cast<QWidget*>(object);
            if (editor && isEnter(k->key()) &&
                !(k->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                KivEnterAsTab(&grid_, k->key());
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TDBGrid& grid_;
};

// ---------------------------------------------------------------- headers

namespace {

// The indicator column: a mark on the current record's row.
// A header section's face and its bottom and right edges.
void paintHeaderFrame(QPainter& painter, const QRect& rect, const QPalette& palette) {
    painter.fillRect(rect, palette.button());
    painter.setPen(palette.mid().color());
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

class TIndicatorHeader : public QHeaderView {
public:
    explicit TIndicatorHeader(TDBGrid& grid) : QHeaderView(Qt::Vertical, &grid), grid_(grid) {
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(TDBGrid::IndicatorWidth);
    }
    QSize sizeHint() const override { return {TDBGrid::IndicatorWidth, 0}; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        paintHeaderFrame(*painter, rect, palette());
        TDataSet* ds = grid_.DataSet();
        if (ds && logicalIndex == grid_.CurrentRow()) {
            painter->setPen(palette().buttonText().color());
            painter->setBrush(palette().buttonText());
            const QPoint c = rect.center();
            switch (ds->State()) {
            case TDataSetState::dsInsert:
                painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
                break;
            case TDataSetState::dsEdit:
                painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
                painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
                painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
                break;
            default: {
                const QPoint tri[3] = {
                    {c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}};
                painter->drawPolygon(tri, 3);
            }
            }
        }
        painter->restore();
    }

private:
    TDBGrid& grid_;
};

// Column titles over one or more lines, each with its alignment.
class TTitleHeader : public QHeaderView {
public:
    explicit TTitleHeader(TDBGrid& grid) : QHeaderView(Qt::Horizontal, &grid), grid_(grid) {
        setSectionsClickable(true);
        setHighlightSections(false);
    }
    QSize sizeHint() const override {
        return {QHeaderView::sizeHint().width(), grid_.TitleRowHeight()};
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        paintHeaderFrame(*painter, rect, palette());
        painter->setPen(palette().buttonText().color());
        painter->setFont(font());
        const QStringList lines = grid_.TitleLines(logicalIndex);
        const Qt::Alignment align = KivQtAlignment(grid_.TitleAlignmentOf(logicalIndex));
        const int lineHeight = grid_.DefaultRowHeight() - 3;
        QRect line = rect.adjusted(2, 2, -2, 0);
        line.setHeight(lines.size() > 1 ? lineHeight : rect.height() - 2);
        for (const QString& text : lines) {
            painter->drawText(line, int(align | Qt::AlignVCenter) | Qt::TextSingleLine, text);
            line.translate(0, lineHeight);
        }
        painter->restore();
    }

private:
    TDBGrid& grid_;
};

} // namespace

// ---------------------------------------------------------------- data link

void TGridDataLink::ActiveChanged() {
    grid_.activeChanged();
}

void TGridDataLink::EditingChanged() {
    grid_.verticalHeader()->viewport()->update();
}

void TGridDataLink::DataSetChanged() {
    grid_.dataSetChanged();
}

void TGridDataLink::DataSetScrolled(int) {
    grid_.dataSetChanged();
}

void TGridDataLink::LayoutChanged() {
    grid_.layoutChanged();
}

void TGridDataLink::RecordChanged(TField*) {
    grid_.recordChanged();
}

void TGridDataLink::UpdateData() {
    grid_.updateData();
}

// ---------------------------------------------------------------- grid

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent), link_(std::make_unique<TGridDataLink>(*this)) {
    setHorizontalHeader(new TTitleHeader(*this));
    setVerticalHeader(new TIndicatorHeader(*this));
    model_ = new TDBGridModel(*this);
    setModel(model_);
    setItemDelegate(new TDBGridDelegate(*this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight());
    horizontalHeader()->setMinimumSectionSize(1);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section >= 0 && section < ColumnCount()) columns_[size_t(section)].Width = size;
            });
}

TDBGrid::~TDBGrid() {
    link_->setDataSource(nullptr);
}

void TDBGrid::setDataLink(std::unique_ptr<TGridDataLink> link) {
    TDataSource* source = link_->DataSource();
    const bool readOnly = link_->ReadOnly();
    link_->setDataSource(nullptr);
    link_ = std::move(link);
    link_->setReadOnly(readOnly);
    link_->setDataSource(source);
}

void TDBGrid::setReadOnly(bool readOnly) {
    link_->setReadOnly(readOnly);
    if (readOnly && state() == EditingState && editor_)
        closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
}

QColor TDBGrid::Color() const {
    return palette().color(QPalette::Base);
}

void TDBGrid::setColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
}

int TDBGrid::DefaultRowHeight() const {
    return fontMetrics().height() + 3;
}

int TDBGrid::TitleRowHeight() const {
    const qsizetype lines = [this] {
        qsizetype most = 1;
        for (int c = 0; c < ColumnCount(); ++c)
            most = std::max(most, TitleLines(c).size());
        return most;
    }();
    return lines > 1 ? (DefaultRowHeight() - 3) * int(lines) + 4 : DefaultRowHeight();
}

QStringList TDBGrid::TitleLines(int column) const {
    return {Column(column).TitleCaption()};
}

TAlignment TDBGrid::TitleAlignmentOf(int column) const {
    return Column(column).TitleAlignment.value_or(TAlignment::taLeftJustify);
}

bool TDBGrid::IsTabStop(int column) const {
    return column >= 0 && column < ColumnCount();
}

bool TDBGrid::CanEditColumn(int column) const {
    if (column < 0 || column >= ColumnCount() || !link_->Active() || link_->ReadOnly())
        return false;
    const TColumn& c = Column(column);
    return !c.ReadOnly && c.Field && c.Field->CanModify();
}

int TDBGrid::SelectedIndex() const {
    return selected_;
}

void TDBGrid::setSelectedIndex(int column) {
    if (column < 0 || column >= ColumnCount()) return;
    const int row = CurrentRow();
    if (row >= 0)
        setCurrentIndex(model_->index(row, column));
    else if (selected_ != column) {
        selected_ = column;
        SelectedColumnChanged();
    }
}

TField* TDBGrid::SelectedField() const {
    return selected_ >= 0 && selected_ < ColumnCount() ? Column(selected_).Field.data() : nullptr;
}

int TDBGrid::CurrentRow() const {
    TDataSet* ds = DataSet();
    if (!ds) return -1;
    const int inserting = ds->InsertIndex();
    return inserting >= 0 ? inserting : ds->RecNo() - 1;
}

void TDBGrid::readRow(int row, const std::function<void()>& reader) const {
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (row == CurrentRow()) {
        reader();
        return;
    }
    const int inserting = ds->InsertIndex();
    ds->ReadRecordAt(inserting >= 0 && row > inserting ? row - 1 : row, reader);
}

TGridCellStyle TDBGrid::CellStyle(int row, int column) const {
    TGridCellStyle s;
    s.font = font();
    s.foreground = palette().color(QPalette::Text);
    s.background = Color();
    if (column < 0 || column >= ColumnCount()) return s;
    const TColumn& c = Column(column);
    if (c.Color.isValid()) s.background = c.Color;
    s.alignment = KivQtAlignment(c.Alignment());
    s.selected = row == CurrentRow() && column == selected_;
    TField* f = c.Field;
    try {
        readRow(row, [&] {
            s.text = f ? f->DisplayText() : QString();
            StyleDataCell(f, s.selected, s);
        });
    } catch (const EKivError&) {
        // A record that cannot be read is drawn empty rather than stopping the paint.
        s.text.clear();
    }
    if (s.selected) {
        s.background = palette().color(QPalette::Highlight);
        s.foreground = palette().color(QPalette::HighlightedText);
    }
    return s;
}

void TDBGrid::StyleDataCell(TField*, bool, TGridCellStyle&) const {}

void TDBGrid::EditorLaidOut(QWidget*, TField*) {}

void TDBGrid::rebuildColumns() {
    std::vector<TColumn> old = std::move(columns_);
    columns_.clear();
    TDataSet* ds = DataSet();
    if (!ds) return;
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (TField* f : ds->Fields()) {
        if (!f->Visible()) continue;
        TColumn c;
        for (const TColumn& o : old)
            if (o.Field == f) c = o;
        c.Field = f;
        c.Width =
            std::max(f->DisplayWidth() * charWidth + 4,
                     horizontalHeader()->fontMetrics().horizontalAdvance(f->DisplayLabel()) + 4);
        columns_.push_back(c);
    }
}

void TDBGrid::relayout() {
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight());
    for (int c = 0; c < ColumnCount(); ++c)
        horizontalHeader()->resizeSection(c, Column(c).Width);
    updateGeometries();
    horizontalHeader()->viewport()->update();
    viewport()->update();
}

void TDBGrid::activeChanged() {
    layoutChanged();
}

void TDBGrid::layoutChanged() {
    {
        QScopedValueRollback guard(syncing_, syncing_ + 1);
        rebuildColumns();
        model_->refreshRows(true);
        if (selected_ >= ColumnCount()) selected_ = std::max(0, ColumnCount() - 1);
    }
    relayout();
    syncCurrent();
}

void TDBGrid::dataSetChanged() {
    {
        QScopedValueRollback guard(syncing_, syncing_ + 1);
        model_->refreshRows(false);
    }
    syncCurrent();
}

void TDBGrid::recordChanged() {
    viewport()->update();
    verticalHeader()->viewport()->update();
}

// A pending cell edit goes into the field before the record is stored.
void TDBGrid::updateData() {
    if (!editor_ || !editor_->isModified()) return;
    const int column = currentIndex().column();
    if (column < 0 || column >= ColumnCount() || !Column(column).Field) return;
    Column(column).Field->setText(editor_->text());
    editor_->setModified(false);
}

// The current cell goes to the dataset's current record.
void TDBGrid::syncCurrent() {
    QScopedValueRollback guard(syncing_, syncing_ + 1);
    const int row = CurrentRow();
    if (row < 0 || ColumnCount() == 0) {
        selectionModel()->clearCurrentIndex();
    } else {
        const QModelIndex at = model_->index(row, std::clamp(selected_, 0, ColumnCount() - 1));
        if (currentIndex() != at) {
            selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
            scrollTo(at);
        }
    }
    verticalHeader()->viewport()->update();
    viewport()->update();
}

// The user moved the cell: the dataset follows to that record; when it
// cannot (the pending edit is refused), the cell goes back.
void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid()) return;
    if (current.column() != selected_) {
        selected_ = current.column();
        SelectedColumnChanged();
    }
    TDataSet* ds = DataSet();
    if (ds && current.row() != CurrentRow()) {
        const int inserting = ds->InsertIndex();
        const int target =
            inserting >= 0 && current.row() > inserting ? current.row() - 1 : current.row();
        try {
            ds->CheckBrowseMode();
            ds->setRecNo(std::min(target, ds->RecordCount() - 1) + 1);
        } catch (const EKivError& e) {
            showDatasetError(e);
        }
    }
    syncCurrent();
}

// Tab and Enter walk the tab-stop columns row by row and stop at the last
// cell rather than wrapping to the top.
QModelIndex TDBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action != MoveNext && action != MovePrevious)
        return QTableView::moveCursor(action, modifiers);
    const QModelIndex from = currentIndex();
    if (!from.isValid()) return from;
    int row = from.row(), column = from.column();
    const int step = action == MoveNext ? 1 : -1;
    for (int n = 0; n < 2 * ColumnCount(); ++n) {
        column += step;
        if (column >= ColumnCount()) {
            column = 0;
            ++row;
        } else if (column < 0) {
            column = ColumnCount() - 1;
            --row;
        }
        if (row < 0 || row >= model_->rowCount()) return from;
        if (IsTabStop(column)) return model_->index(row, column);
    }
    return from;
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    TDataSet* ds = DataSet();
    // Esc drops the record's pending changes.
    if (event->key() == Qt::Key_Escape && ds &&
        (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert)) {
        try {
            ds->Cancel();
        } catch (const EKivError& e) {
            showDatasetError(e);
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::ShowEditor() {
    const QModelIndex at = currentIndex();
    if (at.isValid()) edit(at, AllEditTriggers, nullptr);
}

// Editing a cell first puts the record into edit state, as typing in any
// data control does.
bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (trigger == NoEditTriggers || state() == EditingState)
        return QTableView::edit(index, trigger, event);
    // Only the current record's cells are edited.
    if (!index.isValid() || index != currentIndex() || !CanEditColumn(index.column())) return false;
    if (!(editTriggers() & trigger) && trigger != AllEditTriggers) return false;
    const int column = index.column();
    if (!beginEdit()) return false;
    // Starting an insert in an empty dataset adds the row being edited.
    const QModelIndex at = model_->index(CurrentRow(), column);
    return QTableView::edit(at, trigger, event);
}

bool TDBGrid::beginEdit() {
    try {
        link_->Edit();
    } catch (const EKivError& e) {
        showDatasetError(e);
        return false;
    }
    return link_->Editing();
}

bool TDBGrid::writeCell(int row, int column, const QString& text) {
    if (row != CurrentRow() || !CanEditColumn(column)) return false;
    TField* f = Column(column).Field;
    try {
        if (!link_->Editing() && !link_->Edit()) return false;
        f->setText(text);
    } catch (const EKivError& e) {
        showDatasetError(e);
        return false;
    }
    return true;
}

void TDBGrid::editorCreated(TDBGridInplaceEdit* editor) {
    editor_ = editor;
}
