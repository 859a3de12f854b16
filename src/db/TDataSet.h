// A dataset: a cursor over the records of a record source, with fields,
// navigation, editing, bookmarks, searching, a record filter and the events
// and data-link notifications that data-aware controls depend on.
//
// The cursor holds the row numbers of its source in the current order (after
// any range and filter); values are read from the source only when a field is
// read, so walking a large table costs no more than the values asked for.
// A source class (a table, a query, an in-memory table) implements the
// protected source operations below.
//
// Events are std::function members, listed by name in events(). A handler
// (or an overridden Do... step) may throw EAbort to cancel the operation
// silently: the dataset is left as it was before the operation began and the
// EAbort reaches the caller, whose handler shows nothing for it.
#pragma once

#include "FilterExpression.h"
#include "KivError.h"
#include "TEventTable.h"
#include "TField.h"

#include <QFlags>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TDataSource;

enum class TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter
};

enum class TDataEvent {
    deFieldChange, // info: the TField*
    deRecordChange,
    deDataSetChange,
    deDataSetScroll, // info: the distance moved
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    deFocusControl // info: the TField*
};

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

enum TFilterOption { foCaseInsensitive = 1 };
Q_DECLARE_FLAGS(TFilterOptions, TFilterOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFilterOptions)

// A column of the source, as the source describes it.
struct TFieldDef {
    QString name;
    TFieldType type = TFieldType::ftString;
    int size = 0;
    bool required = false;
};

// A mark of one record of one dataset; it stays valid while the record exists,
// whatever is inserted or deleted around it.
class TBookmark {
public:
    TBookmark() = default;
    bool isNull() const { return row_ < 0; }
    bool operator==(const TBookmark&) const = default;

private:
    friend class TDataSet;
    explicit TBookmark(int row) : row_(row) {}
    int row_ = -1;
};

class TDataSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
    Q_PROPERTY(QString Filter READ Filter WRITE setFilter)
    Q_PROPERTY(bool Filtered READ Filtered WRITE setFiltered)
    Q_PROPERTY(bool AutoCalcFields READ AutoCalcFields WRITE setAutoCalcFields)

public:
    using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
    using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

    explicit TDataSet(QObject* owner = nullptr);
    ~TDataSet() override;

    // ---- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, OnNewRecord;
    TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforePost, AfterPost;
    TDataSetNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete;
    TDataSetNotifyEvent BeforeScroll, AfterScroll, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;
    TEventTable& events() { return events_; }
    const TEventTable& events() const { return events_; }

    // ---- state
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void setActive(bool active);
    void Open() { setActive(true); }
    void Close() { setActive(false); }
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }
    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool AutoCalcFields() const { return autoCalcFields_; }
    void setAutoCalcFields(bool on) { autoCalcFields_ = on; }
    // Whether records may be inserted, edited and deleted now.
    virtual bool CanModify() const;

    // ---- fields
    const QList<TField*>& Fields() const { return fields_; }
    // Whether the fields were made from the source's columns at open (none
    // were declared in code).
    bool DefaultFields() const { return dynamicFields_; }
    int FieldCount() const { return int(fields_.size()); }
    TField* FindField(const QString& name) const;   // case-insensitive; nullptr when absent
    TField* FieldByName(const QString& name) const; // raises naming the field when absent
    QStringList FieldNames() const;
    // The fields of a ";"-separated list (raising for an unknown name).
    QList<TField*> GetFieldList(const QString& names) const;
    QVariant FieldValue(const QString& name) const { return FieldByName(name)->Value(); }
    void setFieldValue(const QString& name, const QVariant& v) { FieldByName(name)->setValue(v); }
    // The source's columns; known while open (and after a first open).
    const QVector<TFieldDef>& FieldDefs() const { return fieldDefs_; }

    // ---- navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const;
    int RecordCount() const;
    int RecNo() const; // 1-based; -1 when there is no current record
    // Cursor position of the record being inserted (it is not among the
    // RecordCount stored ones yet); -1 outside insert state.
    int InsertIndex() const { return state_ == TDataSetState::dsInsert ? insertIndex_ : -1; }
    void setRecNo(int recNo);

    // Runs `reader` with the fields reading the record at cursor position
    // `index` (0-based), without moving and without events; how a grid or a
    // report shows many records at once.
    void ReadRecordAt(int index, const std::function<void()>& reader);

    // ---- bookmarks
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark = TBookmark(); }
    bool BookmarkValid(const TBookmark& bookmark) const;
    // Order of two bookmarks in the current order (-1, 0, 1); a null or gone
    // bookmark comes first.
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;

    // ---- searching. `keyFields` is a ";"-separated list; `keyValues` one
    // value, or a QVariantList with one value per field.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = {});
    // The value(s) of `resultFields` in the first record matching exactly;
    // null when none matches. Does not move the cursor.
    QVariant Lookup(const QString& keyFields, const QVariant& keyValues,
                    const QString& resultFields) const;

    // ---- editing
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Leaves edit and insert state: posts a modified record, cancels an
    // unmodified one.
    void CheckBrowseMode();
    // Re-reads the source keeping the current record.
    void Refresh();
    // Asks linked controls to write their pending edits into the fields.
    void UpdateRecord();

    // ---- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }
    // Sends a notification to every data source and its links.
    void DataEvent(TDataEvent event, qintptr info = 0);

    // ---- record filter
    QString Filter() const { return filterText_; }
    void setFilter(const QString& text); // a text that does not parse raises, changing nothing
    bool Filtered() const { return filtered_; }
    void setFiltered(bool filtered);
    TFilterOptions FilterOptions() const { return filterOptions_; }
    void setFilterOptions(TFilterOptions options);

protected:
    // ---- the record source
    // Opens the source and describes its columns with setFieldDefs.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() {}
    // Brings the source up to date before Refresh re-reads its rows.
    virtual void InternalRefresh() {}
    // The source's live rows in the current order (with any range applied).
    virtual std::vector<int> sourceRows() = 0;
    virtual QVariant sourceValue(int row, int fieldNo) const = 0;
    // A memo of a source row as stored, undecoded; false when the source has
    // no stored form to give.
    virtual bool sourceMemoBytes(int, int, QByteArray&) const { return false; }
    // Writing; each either stores everything or raises and stores nothing.
    virtual int sourceInsert(const QVector<QVariant>& values);
    virtual void sourceUpdate(int row, const QVector<QVariant>& values);
    virtual void sourceDelete(int row);
    virtual bool sourceCanModify() const { return false; }
    // Why the source refuses changes, when it knows better than "read-only".
    virtual QString sourceReadOnlyReason() const { return {}; }
    // Whether a row of the cursor was deleted through another cursor since.
    virtual bool sourceRowDeleted(int) const { return false; }
    // Places the cursor after a record was stored (inserted or changed) or
    // deleted (row -1). By default re-reads the order and goes to the record.
    virtual void afterSourceWrite(int row, bool inserted);

    // ---- steps that descendants extend; each fires its event
    virtual void DoBeforeOpen() { fire(BeforeOpen); }
    virtual void DoAfterOpen() { fire(AfterOpen); }
    virtual void DoBeforeClose() { fire(BeforeClose); }
    virtual void DoAfterClose() { fire(AfterClose); }
    virtual void DoBeforeInsert() { fire(BeforeInsert); }
    virtual void DoAfterInsert() { fire(AfterInsert); }
    virtual void DoOnNewRecord() { fire(OnNewRecord); }
    virtual void DoBeforeEdit() { fire(BeforeEdit); }
    virtual void DoAfterEdit() { fire(AfterEdit); }
    virtual void DoBeforePost() { fire(BeforePost); }
    virtual void DoAfterPost() { fire(AfterPost); }
    virtual void DoBeforeCancel() { fire(BeforeCancel); }
    virtual void DoAfterCancel() { fire(AfterCancel); }
    virtual void DoBeforeDelete() { fire(BeforeDelete); }
    virtual void DoAfterDelete() { fire(AfterDelete); }
    virtual void DoBeforeScroll() { fire(BeforeScroll); }
    virtual void DoAfterScroll() { fire(AfterScroll); }
    virtual void DoOnCalcFields() { fire(OnCalcFields); }

    // ---- helpers for descendants
    void setFieldDefs(const QVector<TFieldDef>& defs) { fieldDefs_ = defs; }
    // Closes without events; for the destructors of source classes, whose
    // owners' handlers may already be gone.
    void closeForDestruction();
    [[noreturn]] void error(const QString& message) const;
    void CheckActive() const;
    void CheckInactive() const;
    void CheckCanModify() const;
    void SetState(TDataSetState state);
    // Re-reads the rows and filters them, keeping the record `row` current when
    // it is still there, else the same position.
    void resyncRows(int row);
    std::vector<int>& cursorRows() { return rows_; }
    int cursorIndex() const { return cur_; }
    void setCursorIndex(int index);
    int currentRow() const {
        return cur_ >= 0 && cur_ < int(rows_.size()) ? rows_[size_t(cur_)] : -1;
    }
    int insertIndex() const { return insertIndex_; }
    // The record under edit or insert, indexed by field number.
    QVector<QVariant>& editBuffer() { return editBuf_; }
    // The key buffer of the set-key state, indexed by field number.
    QVector<QVariant>& keyBuffer() { return keyBuf_; }
    // Runs the filter and the OnFilterRecord handler on one source row.
    bool recordAccepted(int row);
    bool filterActive() const;
    // Moves to the row at `index` of the cursor, firing the scroll events.
    void moveToIndex(int index);
    // The value of a data field in any source row.
    QVariant rowValue(int row, const TField* field) const {
        return sourceValue(row, field->FieldNo());
    }
    // Tests a value of a field against a search key (exact, or as a prefix).
    static bool keyMatches(const TField* field, const QVariant& value, const QVariant& key,
                           bool caseInsensitive, bool partial);
    QVector<QVariant> searchValues(const QList<TField*>& fields, const QVariant& keyValues) const;

private:
    friend class TField;
    friend class TMemoField;
    friend class TDataSource;

    void fire(const TDataSetNotifyEvent& e) {
        if (e) e(this);
    }
    void addField(TField* field);
    void removeField(TField* field);
    void moveField(TField* field, int index);
    QVariant getFieldData(const TField* field) const;
    bool storedMemoBytes(const TField* field, QByteArray& bytes) const;
    void setFieldData(TField* field, const QVariant& value);
    void bindFields();
    void unbindFields();
    void bindFilter(FilterExpression& expr) const;
    void rebuildRows();
    void calculateFields() const;
    void ensureCalcFields() const;
    void discardEdit();
    // Insert at the cursor, or Append at the end.
    void beginInsert(bool atEnd);
    void checkCurrentRowExists();
    void addDataSource(TDataSource* source);
    void removeDataSource(TDataSource* source);
    int findRow(int row) const;
    int activeRow() const { return peekRow_ >= 0 ? peekRow_ : currentRow(); }
    int findMatch(const QList<TField*>& fields, const QVector<QVariant>& keys, bool ci,
                  bool partial) const;

    TEventTable events_;
    TDataSetState state_ = TDataSetState::dsInactive;
    int tag_ = 0;
    bool modified_ = false;
    bool autoCalcFields_ = true;
    bool destroying_ = false;

    QList<TField*> fields_;
    bool dynamicFields_ = false;
    QVector<TFieldDef> fieldDefs_;
    int calcFieldCount_ = 0;

    std::vector<int> rows_;
    int cur_ = -1;
    bool bof_ = true;
    bool eof_ = true;

    QVector<QVariant> editBuf_;
    int editRow_ = -1;
    int insertIndex_ = -1;
    QVector<QVariant> keyBuf_;

    mutable QVector<QVariant> calcBuf_;
    mutable int calcRow_ = -2; // row the calculated values belong to; -2 none
    mutable bool calcDirty_ = true;
    mutable TDataSetState calcSavedState_ = TDataSetState::dsInactive;
    int filterRow_ = -1;
    int peekRow_ = -1;

    QString filterText_;
    bool filtered_ = false;
    TFilterOptions filterOptions_;
    std::unique_ptr<FilterExpression> filterExpr_;

    int disableCount_ = 0;
    TDataSetState disableState_ = TDataSetState::dsInactive;
    TDataEvent enableEvent_ = TDataEvent::deDataSetChange;
    QList<QPointer<TDataSource>> dataSources_;
};
