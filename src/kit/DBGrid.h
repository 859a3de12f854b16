// The framework's data grid: a table view over the records of a data source's
// dataset. Its columns are the dataset's visible fields in field order (title:
// the display label; width and alignment from the field); an indicator
// column, 11 pixels wide, marks the current record and its state. The current
// cell follows the dataset's current record and moving the cell moves the
// record. Cells are read on demand as they are painted, so a dataset of any
// size costs only the rows on screen. Text typed into a cell is written
// through the field; a value the field refuses is shown as an error.
#pragma once

#include "TDataSource.h"

#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>

class TDBGrid;
class TDBGridModel;

// One column of the grid; the settings the owner gives a column stay with its
// field when the columns are rebuilt.
struct TColumn {
    QPointer<TField> Field;
    int Width = 64; // pixels
    bool ReadOnly = false;
    QColor Color;                             // invalid: the grid's colour
    std::optional<TAlignment> TitleAlignment; // unset: the grid's title rule
    bool ButtonEllipsis = false;              // the cell offers a "..." button

    QString FieldName() const { return Field ? Field->FieldName() : QString(); }
    QString TitleCaption() const { return Field ? Field->DisplayLabel() : QString(); }
    TAlignment Alignment() const { return Field ? Field->Alignment() : TAlignment::taLeftJustify; }
};

// What a data cell is drawn with.
struct TGridCellStyle {
    QString text;
    QColor background;
    QColor foreground;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool selected = false;
};

// The grid's link to its data source; the grid follows every notification.
class TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TDBGrid& grid) : grid_(grid) {}

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

    TDBGrid& grid() { return grid_; }

private:
    TDBGrid& grid_;
};

// The in-place text editor of a cell.
class TDBGridInplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBGridInplaceEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
};

class TDBGrid : public QTableView {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)

public:
    static constexpr int IndicatorWidth = 11;

    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const { return link_->DataSource(); }
    void setDataSource(TDataSource* source) { link_->setDataSource(source); }
    TGridDataLink& DataLink() { return *link_; }
    const TGridDataLink& DataLink() const { return *link_; }
    TDataSet* DataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }
    bool ReadOnly() const { return link_->ReadOnly(); }
    void setReadOnly(bool readOnly);
    // Background of the data cells.
    QColor Color() const;
    void setColor(const QColor& color);

    int ColumnCount() const { return int(columns_.size()); }
    TColumn& Column(int index) { return columns_[size_t(index)]; }
    const TColumn& Column(int index) const { return columns_[size_t(index)]; }
    // The column of the current cell and its field.
    int SelectedIndex() const;
    void setSelectedIndex(int column);
    TField* SelectedField() const;
    // Row of the grid that shows the dataset's current record; -1 without one.
    int CurrentRow() const;
    // The text height plus 3: the height of a data row.
    int DefaultRowHeight() const;
    int TitleRowHeight() const;

    // How the data cell at (row, column) is drawn, read from its record.
    TGridCellStyle CellStyle(int row, int column) const;
    // The lines of a column's title as drawn, and their alignment.
    virtual QStringList TitleLines(int column) const;
    virtual TAlignment TitleAlignmentOf(int column) const;
    // Whether Tab and Enter stop at the column.
    virtual bool IsTabStop(int column) const;
    // Whether the column's cells take typed text.
    bool CanEditColumn(int column) const;

    // Opens the text editor on the current cell.
    void ShowEditor();
    // Whether a cell editor is open.
    bool EditorMode() const { return state() == EditingState; }
    // The open text editor, if any.
    TDBGridInplaceEdit* InplaceEditor() const { return editor_; }

protected:
    // Replaces the data link (before a data source is set).
    void setDataLink(std::unique_ptr<TGridDataLink> link);
    // Called while the row's record is readable, for a cell of `field`; may
    // change the style (the highlight of a selected cell is applied after).
    virtual void StyleDataCell(TField* field, bool selected, TGridCellStyle& style) const;
    // The in-place editor is being placed over the current cell.
    virtual void EditorLaidOut(QWidget* editor, TField* field);
    // The current cell moved to another column.
    virtual void SelectedColumnChanged() {}
    // Re-measures titles and geometry.
    void relayout();

    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    friend class TGridDataLink;
    friend class TDBGridModel;
    friend class TDBGridDelegate;

    void activeChanged();
    void dataSetChanged();
    void recordChanged();
    void layoutChanged();
    void updateData();
    void rebuildColumns();
    void syncCurrent();
    // Runs `reader` with the fields reading the record shown on `row`.
    void readRow(int row, const std::function<void()>& reader) const;
    bool writeCell(int row, int column, const QString& text);
    bool beginEdit();
    void editorCreated(TDBGridInplaceEdit* editor);

    std::unique_ptr<TGridDataLink> link_;
    TDBGridModel* model_ = nullptr;
    std::vector<TColumn> columns_;
    QPointer<TDBGridInplaceEdit> editor_;
    int syncing_ = 0;
    int selected_ = 0;
};
