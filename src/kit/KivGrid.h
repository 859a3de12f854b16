// The kit's data grid. On top of the framework grid the owner colours and
// styles each data cell per field and row, column titles run over several
// lines with their own alignment, a totals line can sit under the rows, list
// fields are edited with digit keys or a list combo, lookup fields with a
// lookup combo, Enter moves to the next column, and a lookup column opens its
// lookup dataset's editing window on Alt+F1. Also the two-list dialog that chooses the visible
// fields.
#pragma once

#include "DBGrid.h"
#include "KivContr.h"
#include "KivLook.h"

#include <QDialog>
#include <QList>
#include <QPair>

class QLabel;
class QListWidget;
class QPushButton;

// Total texts of the totals line by field name.
class TListTotal {
public:
    // Sets the text of a field (its name matched in any case).
    void setTotal(const QString& fieldName, const QString& text);
    // The text of a field; empty when it has none.
    QString Total(const QString& fieldName) const;
    int Count() const { return int(items_.size()); }
    void Clear() { items_.clear(); }

private:
    QList<QPair<QString, QString>> items_;
};

// Its data link closes the special editors whenever the dataset moves or
// changes under them, giving the focus back to the grid.
class TKivGridDataLink : public TGridDataLink {
public:
    using TGridDataLink::TGridDataLink;

protected:
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
};

// The drop-down editor of a lookup-field column.
class TKivInplaceLookupCombo : public TKivDBLookupCombo {
    Q_OBJECT
public:
    using TKivDBLookupCombo::TKivDBLookupCombo;
};

class TKivDbGrid : public TDBGrid {
    Q_OBJECT
    Q_PROPERTY(bool Total READ Total WRITE setTotal)
    Q_PROPERTY(int TitleAlignment READ titleAlignmentValue WRITE setTitleAlignmentValue)
    Q_PROPERTY(int TitleRows READ TitleRows WRITE setTitleRows)

public:
    using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
    using TSetColorEvent = std::function<void(QObject* sender, TField* field, QColor& color)>;
    using TSetFontEvent = std::function<void(QObject* sender, TField* field, QFont& font)>;
    using TSetLayoutEvent = std::function<void(QObject* sender, TField* field)>;

    enum class TEditorKind { Plain, List, Lookup };

    explicit TKivDbGrid(QWidget* parent = nullptr);
    ~TKivDbGrid() override;

    // Runs before the grid's own key handling; setting the key to 0 consumes it.
    TKeyEvent OnKeyDown;
    TSetColorEvent OnSetColor;
    TSetFontEvent OnSetFont;
    TSetLayoutEvent OnSetLayout;

    bool Total() const { return total_; }
    void setTotal(bool on);
    TAlignment TitleAlignment() const { return titleAlignment_; }
    void setTitleAlignment(TAlignment alignment);
    // Most lines of a column title; 0 keeps titles on one line.
    int TitleRows() const { return titleRows_; }
    void setTitleRows(int rows);

    // The totals list, created on first use.
    TListTotal& ListTotal();
    bool HasListTotal() const { return listTotal_ != nullptr; }
    // The text the totals line shows under a column.
    QString TotalText(int column);

    QStringList TitleLines(int column) const override;
    TAlignment TitleAlignmentOf(int column) const override;
    bool IsTabStop(int column) const override;

    // The editor the selected column gets.
    TEditorKind SelectedEditorKind() const { return editorKind_; }
    // Opens the selected cell's editor (the list combo for a list field, with
    // its list dropped down).
    void ShowCellEditor();
    // The in-place list combo; null until first used.
    TKivDBCombo* ListCombo() const { return listCombo_; }
    TKivInplaceLookupCombo* LookupCombo() const { return lookupCombo_; }
    // Opens the lookup dataset's editing window for the selected lookup
    // column and stores the key chosen there.
    void EditLookupData();
    // The visible-fields dialog, filled from the dataset; FieldsVisibility
    // shows it and applies the choice on OK.
    std::unique_ptr<class TKivDualListDlg> CreateFieldsDialog();
    void FieldsVisibility();

protected:
    // The lookup column's drop-down editor, owned by the grid; a subclass may
    // make its own kind.
    virtual TKivInplaceLookupCombo* CreateLookupCombo();
    // A subclass may supply the totals of columns this way when no totals
    // list is used; false: no text.
    virtual bool GetTotalText(int column, QString& text);
    virtual void DrawTotals(QPainter& painter, const QRect& area);

    void StyleDataCell(TField* field, bool selected, TGridCellStyle& style) const override;
    void EditorLaidOut(QWidget* editor, TField* field) override;
    void SelectedColumnChanged() override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TKivGridDataLink;
    class TotalsBar;

    // The dataset moved or changed under the editors.
    void linkChanged();
    void hideSpecialEditors();
    void showListCombo();
    void showLookupCombo();
    // Places a drop-down editor over the current cell and opens its list.
    void showOverCell(QComboBox* combo, TField* field);
    void listDigit(int digit);
    void nextLookupResult();
    TField* selectedLookField() const;
    int titleAlignmentValue() const { return int(titleAlignment_); }
    void setTitleAlignmentValue(int v) { setTitleAlignment(TAlignment(v)); }

    bool total_ = false;
    TAlignment titleAlignment_ = TAlignment::taLeftJustify;
    qint16 titleRows_ = 0;
    std::unique_ptr<TListTotal> listTotal_;
    TEditorKind editorKind_ = TEditorKind::Plain;
    QPointer<TKivDBCombo> listCombo_;
    QPointer<TKivInplaceLookupCombo> lookupCombo_;
    TotalsBar* totals_ = nullptr;
    int placing_ = 0;
};

// The lines a title takes in `width` pixels, at most `maxLines` of them: each
// line takes what fits, backing up to its last blank when a word would be cut;
// the last line ends in "..." when text is left over.
QStringList KivTitleLines(const QString& caption, int width, const QFontMetrics& metrics,
                          int maxLines);

// A dialog of two lists whose items move between them with the arrow
// buttons or by dragging.
class TKivDualListDlg : public QDialog {
    Q_OBJECT
public:
    explicit TKivDualListDlg(QWidget* parent = nullptr);

    QListWidget* SrcList = nullptr;
    QListWidget* DstList = nullptr;
    QPushButton* IncludeBtn = nullptr; // ">"
    QPushButton* IncAllBtn = nullptr;  // ">>"
    QPushButton* ExcludeBtn = nullptr; // "<"
    QPushButton* ExAllBtn = nullptr;   // "<<"
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void setTitles(const QString& caption, const QString& srcTitle, const QString& dstTitle);
    QString SrcTitle() const;
    QString DstTitle() const;
    // Moves the selected (or all) items from one list to the end of the other.
    static void MoveSelected(QListWidget* from, QListWidget* to);
    static void MoveAll(QListWidget* from, QListWidget* to);

    // The fields of `dataSet` (no blobs, none whose tag ends in 8) by label:
    // visible ones left in field order, the others right.
    void FillFields(const TDataSet* dataSet);
    // Left fields become visible in the order of their lines; right ones
    // invisible, behind the visible ones.
    void ApplyFields(TDataSet* dataSet) const;

private:
    QLabel* srcLabel_ = nullptr;
    QLabel* dstLabel_ = nullptr;
};
