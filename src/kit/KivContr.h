// The kit's small data-aware controls: the edit and the label, the list combo
// for list fields (digits pick an entry, Delete empties it) and the sorting
// combo that switches a dataset's order.
#pragma once

#include "DBControls.h"

#include <QComboBox>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>
#include <memory>

#include "DBGrid.h"

// Enter moves the focus on, as Tab does.
class TKivDBEdit : public TDBEdit {
    Q_OBJECT
public:
    explicit TKivDBEdit(QWidget* parent = nullptr) : TDBEdit(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// For a kit lookup field, LookField names the result field to show.
class TKivDBText : public TDBText {
    Q_OBJECT
    Q_PROPERTY(QString LookField READ LookField WRITE setLookField)
public:
    explicit TKivDBText(QWidget* parent = nullptr) : TDBText(parent) {}

    QString LookField() const { return lookField_; }
    void setLookField(const QString& name);

protected:
    QString fieldText() const override;

private:
    QString lookField_;
};

// A combo of the texts of a list field: a digit key stores that value,
// Delete and Backspace empty the field, Ctrl+Enter opens the list.
class TKivCustomDBCombo : public TDBComboBox {
    Q_OBJECT
    Q_PROPERTY(int Items READ count)
public:
    explicit TKivCustomDBCombo(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillItems();
    QStringList filled_;
};

class TKivDBCombo : public TKivCustomDBCombo {
    Q_OBJECT
public:
    explicit TKivDBCombo(QWidget* parent = nullptr) : TKivCustomDBCombo(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Lists the orders a dataset offers (its SortingList, the combo's own Items,
// or a table's indexes) and re-sorts the dataset, keeping the current record,
// when the user picks one.
class TKivDBSortingCombo : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(bool SelfList READ SelfList WRITE setSelfList)
    Q_PROPERTY(QStringList Items READ Items WRITE setItems)

public:
    explicit TKivDBSortingCombo(QWidget* parent = nullptr);
    ~TKivDBSortingCombo() override;

    TDataSource* DataSource() const;
    void setDataSource(TDataSource* source);
    bool SelfList() const { return selfList_; }
    void setSelfList(bool on);
    QStringList Items() const { return items_; }
    void setItems(const QStringList& items);

    // The ";"-separated field lists offered in list mode.
    QStringList OrderList() const;
    // Whether the entries are the table's indexes rather than the order list.
    bool IndexMode() const;

    void Rebuild();
    void Reselect();

protected:
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    class Link;
    friend class Link;
    TDataSet* dataSet() const;
    void chosen(int index);

    std::unique_ptr<Link> link_;
    bool selfList_ = false;
    QStringList items_;
    int recursion_ = 0;
};

// A grid's current record as a form: labelled editors in the grid's place.
class TKivScrollBoxForGrid : public QScrollArea {
    Q_OBJECT
public:
    explicit TKivScrollBoxForGrid(QWidget* parent = nullptr);

    TDBGrid* Grid() const { return grid_; }
    // Takes the grid's place, size and font; forgets the grid when it goes.
    void setGrid(TDBGrid* grid);
    bool Shown() const { return shown_; }
    // Shows the record view in the grid's place, or the grid again.
    void Toggle();
    // Builds the editors again (while shown), keeping the focus among them.
    void Rebuild();

private:
    void build();
    void clearEditors();
    QWidget* firstFocusable() const;

    QPointer<TDBGrid> grid_;
    QWidget* host_ = nullptr;
    bool shown_ = false;
};
