// Finding a record of a dataset by the values of its sorting fields.
//
// TKivFindDlg asks for one value per field of the dataset's current order in
// a dialog made for the occasion and moves the dataset to the record: by the
// table's key search when the order allows it and the match must be exact,
// else by a locate that may ignore case or match a prefix. When nothing
// matches, a table offers to go to the nearest record instead. The values
// typed are kept in the table's key buffer and offered again next time.
#pragma once

#include "DiFind.h"
#include "TMemTable.h"

#include <QPointer>
#include <memory>

class TTable;

// The scratch record of one search: an in-memory table with a writable copy
// of every non-blob field of the searched dataset (lookup fields keep their
// lookup settings, so the user picks from the same list).
class TKivFindDataSet : public TMemTable {
    Q_OBJECT
public:
    explicit TKivFindDataSet(QObject* owner = nullptr);
    ~TKivFindDataSet() override;

    // Copies the fields of `source`; the dataset must be closed.
    void CopyFields(const TDataSet* source);
};

class TKivFindDlg : public QObject {
    Q_OBJECT
    Q_PROPERTY(int MaxLabelWidth READ MaxLabelWidth WRITE setMaxLabelWidth)
    Q_PROPERTY(int MaxEditWidth READ MaxEditWidth WRITE setMaxEditWidth)
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)

public:
    Q_INVOKABLE explicit TKivFindDlg(QObject* owner = nullptr);
    ~TKivFindDlg() override;

    // Caps, in characters, of the label and editor columns; 0 or less: none.
    int MaxLabelWidth() const { return maxLabelWidth_; }
    void setMaxLabelWidth(int width) { maxLabelWidth_ = width; }
    int MaxEditWidth() const { return maxEditWidth_; }
    void setMaxEditWidth(int width) { maxEditWidth_ = width; }
    // Cleared when the source is destroyed.
    TDataSource* DataSource() const { return dataSource_; }
    void setDataSource(TDataSource* source) { dataSource_ = source; }

    // The options of the last search that involved a string field.
    bool CaseSensitive() const { return caseSensitive_; }
    void setCaseSensitive(bool on) { caseSensitive_ = on; }
    bool FullCoincidence() const { return fullCoincidence_; }
    void setFullCoincidence(bool on) { fullCoincidence_ = on; }

    // Shows the dialog modally and searches; true when the user chose Find
    // (whether or not a record was found), false on Cancel or when there is
    // nothing to search.
    virtual bool Execute();

    // ---- the stages of Execute, for callers that show the dialog themselves
    // Prepares the dialog and the scratch record for the data source's
    // dataset and takes its controls away; false, after any message, when no
    // search is possible (no open dataset, no sorting fields).
    bool BeginSearch();
    // The user chose Find: stores the typed values in the key buffer and
    // searches. True when the dataset went to a record (the match or, when
    // the user asked for it, the nearest one).
    bool FindChosen();
    // The user cancelled.
    void Cancelled();
    // Frees the dialog and the scratch record and gives the dataset its
    // controls back; safe at any time, also after a failed search.
    void EndSearch();

    // While a search is prepared.
    TDialFind* Dialog() const { return dialog_.get(); }
    TKivFindDataSet* FindDataSet() const { return findDataSet_.get(); }
    // The sorting fields (of the searched dataset) and the fields shown for
    // them (of the scratch record; a lookup field in place of its key).
    const QList<TField*>& SortFields() const { return sortFields_; }
    const QList<TField*>& ShownFields() const { return shownFields_; }

private:
    TTable* keyTable() const;
    bool askNearest();

    int maxLabelWidth_ = 0;
    int maxEditWidth_ = 0;
    QPointer<TDataSource> dataSource_;
    bool caseSensitive_ = true;
    bool fullCoincidence_ = true;

    QPointer<TDataSet> searched_;
    bool controlsDisabled_ = false;
    std::unique_ptr<TDialFind> dialog_;
    std::unique_ptr<TKivFindDataSet> findDataSet_;
    QList<TField*> sortFields_;
    QList<TField*> shownFields_;
    bool anyString_ = false;
};
