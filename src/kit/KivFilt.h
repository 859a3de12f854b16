// The filter engine: named, stored filters that restrict what a data source
// shows. The current filter is applied either as the dataset's own record
// filter or as an SQL select run by an extract query, which then stands in
// for the dataset behind the data source until the filter is taken off.
//
// Also two dataset operations the engine uses that others use on their own:
// making a query the twin of a dataset, and moving one dataset to the record
// another one shows.
#pragma once

#include "KivFiltItems.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TEventTable.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

enum TFilterSetAs { fsFilter, fsFilterQuery, fsQuery, fsQueryFilter };
enum TLikeKind { lkNormal, lkToUpper, lkAsAaBbCc };
enum TTableNameKind { tnNoQuotes, tnQuotes, tnQuotesCreator };

class TKivFilter : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(bool OneFilter READ OneFilter WRITE setOneFilter)
    Q_PROPERTY(int FilterSetAs READ FilterSetAs WRITE setFilterSetAs)
    Q_PROPERTY(int LikeKind READ LikeKind WRITE setLikeKind)
    Q_PROPERTY(int TableNameKind READ TableNameKind WRITE setTableNameKind)
    Q_PROPERTY(TDataSet* QExtracts READ QExtracts WRITE setQExtracts)
    Q_PROPERTY(int WidthDataSetName READ WidthDataSetName WRITE setWidthDataSetName)
    Q_PROPERTY(int WidthFieldName READ WidthFieldName WRITE setWidthFieldName)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TFilterEditValueEvent =
        std::function<void(QObject* sender, TField* field, QWidget* value)>;
    using TConstructConditionEvent =
        std::function<void(QObject* sender, QString& condition, TField* field,
                           const QString& operation, const QVariant& value)>;
    using TDataSetFilterEvent =
        std::function<void(QObject* sender, QString& text, TDataSet* dataSet)>;
    // Loads or saves the filters of a component instead of the engine's own file.
    using TFilterFileHook = std::function<void(TKivFilter* filter)>;

    explicit TKivFilter(QObject* owner = nullptr);
    ~TKivFilter() override;

    // ---- properties
    TDataSource* DataSource() const { return dataSource_; }
    // First gives the previous dataset back its own filter settings.
    void setDataSource(TDataSource* source);
    bool OneFilter() const { return oneFilter_; }
    void setOneFilter(bool one);
    int FilterSetAs() const { return filterSetAs_; }
    // Refused with a message while the filter is set.
    void setFilterSetAs(int how);
    int LikeKind() const { return likeKind_; }
    void setLikeKind(int kind) { likeKind_ = TLikeKind(kind); }
    int TableNameKind() const { return tableNameKind_; }
    void setTableNameKind(int kind) { tableNameKind_ = TTableNameKind(kind); }
    TDataSet* QExtracts() const { return extracts_; }
    void setQExtracts(TDataSet* query);
    int WidthDataSetName() const { return widthDataSetName_; }
    void setWidthDataSetName(int width) { widthDataSetName_ = validWidth(width, 175); }
    int WidthFieldName() const { return widthFieldName_; }
    void setWidthFieldName(int width) { widthFieldName_ = validWidth(width, 150); }
    // Detail datasets on which clauses may be set.
    QList<TDataSet*> SubDataSets() const;
    void setSubDataSets(const QList<TDataSet*>& dataSets);

    TNotifyEvent OnSet, OnUnset;
    TFilterEditValueEvent OnCreateValue;
    TConstructConditionEvent OnConstructCondition;
    TDataSetFilterEvent OnDataSetLink;
    TNotifyEvent OnCreateQExtracts;
    TDataSetFilterEvent OnConstructFilter;
    TNotifyEvent OnVisualizeFilters, OnGetFromEditWindow, OnSetToEditWindow;
    TEventTable& events() { return events_; }

    // ---- the filter list
    QList<TFilterItem>& Filters() { return filters_; }
    int CurrentIndex() const { return current_; }
    // nullptr when there is no filter.
    TFilterItem* CurrentFilter();
    bool AddFilter();
    void DeleteFilter();
    void PriorFilter();
    void NextFilter();
    void SelectFilter(int index);
    int FindFilter(const QString& name) const;
    // Clauses of the current filter.
    void AddCondition();
    void DeleteCondition(int index);

    // Fixed conditions added to the text for each dataset: 0 the main
    // dataset, i the i-th detail dataset. Filled by the owner.
    QStringList& ExtraConditions() { return extraConditions_; }

    // ---- applying
    // true: sets the current filter; false: takes the filter off.
    void SetFilter(bool set);
    bool FilterIsSet() const { return isSet_; }
    // The dataset the filter works on: the one behind the data source, or the
    // one the extract query stands in for.
    TDataSet* MainDataSet() const;

    // ---- texts (also what the filter form shows)
    QString QuoteTableName(const QString& tableName) const;
    // Clause `index` of the current filter for `dataSet` (the main dataset
    // when null); `sql` writes it for SQL, else for the record filter.
    QString ConditionText(int index, TDataSet* dataSet, bool sql);
    QString FilterText(TDataSet* dataSet, bool sql);
    QString WhereClause();
    // Whether setting now would run the extract query.
    bool NeedsExtract();
    // "Select ... from T EFilter [Where W] [Order by O]".
    static QString SelectStatement(TDataSet* source, const QString& tableName, const QString& where,
                                   const QString& order);

    // Opens the filter form: "Set filter" stores the filters and sets the
    // current one, "Take off" stores them and takes the filter off, Cancel
    // reloads the stored ones. Without a dataset it only clears the list.
    void EditFilters();

    // ---- the filter file
    void LoadFilters();
    void SaveFilters();
    // The engine's own file: "c:\" + "TableName" with "." as "_" (or the
    // dataset's name) + ".flt", as other programs using these files expect.
    QString DefaultFileName() const;
    void ReadFilters(QIODevice& in);
    void WriteFilters(QIODevice& out, const QString& fileName) const;

    static TFilterFileHook& LoadFiltersHook();
    static TFilterFileHook& SaveFiltersHook();
    // The class of the extract queries the engine makes (TKivQuery when null);
    // it needs a Q_INVOKABLE constructor taking the owner.
    static const QMetaObject*& ExtractQueryClass();

private:
    class Link;
    friend class Link;

    static int validWidth(int width, int fallback) {
        return width < 50 || width > 300 ? fallback : width;
    }
    void activeChanged();
    void setCurrent(int index) { current_ = index; }
    TDataSet* subDataSet(const QString& tableName) const;
    QString extraCondition(int position) const;
    QString linkExpression(const QString& expression, TDataSet* dataSet, bool sql);
    QString detailLink(TDataSet* detail);
    // Record-filter side.
    void saveState(TDataSet* dataSet);
    void restoreState(bool keepPosition);
    void applyRecordFilter(TDataSet* dataSet, const QString& text);
    void setByRecordFilter();
    void setByExtract();
    // Gives the underlying dataset the extract's order and record, and the
    // data source the underlying dataset again.
    void showUnderlying();

    TEventTable events_;
    QPointer<TDataSource> dataSource_;
    std::unique_ptr<Link> link_;
    bool oneFilter_ = false;
    TFilterSetAs filterSetAs_ = fsFilterQuery;
    TLikeKind likeKind_ = lkNormal;
    TTableNameKind tableNameKind_ = tnNoQuotes;
    QPointer<TDataSet> extracts_;
    bool ownsExtracts_ = false;
    int widthDataSetName_ = 175;
    int widthFieldName_ = 150;
    QList<QPointer<TDataSet>> subDataSets_;

    QList<TFilterItem> filters_;
    int current_ = -1;
    bool isSet_ = false;
    bool busy_ = false;
    bool likeUsed_ = false;
    QStringList extraConditions_;
    QPointer<TDataSet> underlying_;

    // The dataset's own filter settings, given back when the filter goes.
    struct SavedState {
        QPointer<TDataSet> dataSet;
        QString filter;
        bool filtered = false;
        TDataSet::TFilterRecordEvent onFilterRecord;
    } saved_;
};

// Copies into `query` what describes `source`: "DatabaseName" (when not
// empty), "TableName", "UniqueFields", "Caption", the tag, "SortingList",
// every event handler (matched by name) and a copy of every persistent field
// with its properties. Fields the query already has of the same name are kept.
// The query must be closed.
void TwinDataSet(TDataSet* source, TDataSet* query);

// Moves `target` to the record whose unique-key values (the source's unique
// key) equal those of the source's current record, matching text in any case.
// Nothing happens when the source has no key or no current record. Returns
// whether the record was found.
bool LocateSameRecord(TDataSet* source, TDataSet* target);
