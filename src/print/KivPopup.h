// Ready-made context menus for data-aware controls: the record commands
// (insert, delete, edit, post, cancel, refresh, clone) on the dataset of the
// control the menu was opened for, plus commands for its kind of control:
// navigation, grid views and printing, clipboard, font, paragraph and search.
// One shared instance per kind of menu.
#pragma once

#include "TDataSet.h"

#include <QMenu>
#include <QPointer>
#include <functional>

class TPopupMenuKivDBControls : public QMenu {
    Q_OBJECT
public:
    static TPopupMenuKivDBControls& Instance();

    // Opens the menu for `control` at a global position.
    void PopupFor(QWidget* control, const QPoint& globalPos);
    // The menu's state for `control`: every item disabled, then enabled by
    // the rules of each kind of menu. Opening does this first.
    void Prepare(QWidget* control);
    QWidget* Control() const { return control_; }
    TDataSet* DataSet() const { return dataSet_; }

    QAction *InsertRecord, *DeleteRecord, *EditRecord, *PostEdit, *CancelEdit, *RefreshData,
        *CloneRecord;

protected:
    explicit TPopupMenuKivDBControls(QWidget* parent = nullptr) : QMenu(parent) {}
    // Adds the menu's own items, then its base's.
    virtual void build();
    virtual void updateItems();
    QAction* item(const QString& caption, const std::function<void()>& run,
                  const QKeySequence& shortcut = {});
    // The control an item works on: the one the menu was opened for, or,
    // for a shortcut, the focused control.
    QWidget* target();
    template <class Menu> static Menu& shared();

private:
    void insertRecord();
    void deleteRecord();
    void editRecord();
    void postEdit();
    void cancelEdit();
    void refreshData();
    void cloneRecord();
    bool actionAllowed(int action);

    QPointer<QWidget> control_;
    QPointer<TDataSet> dataSet_;
};

class TPopupMenuKivDBFieldControls : public TPopupMenuKivDBControls {
    Q_OBJECT
public:
    static TPopupMenuKivDBFieldControls& Instance();
    QAction *FirstRecord, *PriorRecord, *NextRecord, *LastRecord;

protected:
    using TPopupMenuKivDBControls::TPopupMenuKivDBControls;
    void build() override;
    void updateItems() override;
};

class TPopupMenuKivDBGrid : public TPopupMenuKivDBControls {
    Q_OBJECT
public:
    static TPopupMenuKivDBGrid& Instance();
    QAction *FieldsVisibility, *Print, *PrintRecord, *GridOneRecord, *PickLength;

protected:
    using TPopupMenuKivDBControls::TPopupMenuKivDBControls;
    void build() override;
    void updateItems() override;
};

class TPopupMenuKivDBMemo : public TPopupMenuKivDBControls {
    Q_OBJECT
public:
    static TPopupMenuKivDBMemo& Instance();
    QAction *Copy, *Paste, *SelectAll;

protected:
    using TPopupMenuKivDBControls::TPopupMenuKivDBControls;
    void build() override;
    void updateItems() override;
};

class TPopupMenuKivDBRichEdit : public TPopupMenuKivDBMemo {
    Q_OBJECT
public:
    static TPopupMenuKivDBRichEdit& Instance();
    QAction *Font, *BasicFont, *Paragraph, *SearchReplace, *SearchNext, *PrintText;

protected:
    using TPopupMenuKivDBMemo::TPopupMenuKivDBMemo;
    void build() override;
    void updateItems() override;
};

// Gives `control` the menu on a right click and the menu's shortcuts while
// it has the focus.
void KivUseContextMenu(QWidget* control, TPopupMenuKivDBControls& menu);
