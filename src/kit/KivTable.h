// The kit's table and query: datasets that describe themselves to the other
// kit components (caption, sort orders, unique key, allowed record actions,
// action and edit-data events), number auto-increment fields on SQL servers
// and refuse detail rows without a stored master row. Kit components never
// depend on these classes: they read the properties by name from whatever
// dataset they get (the KivGet... helpers below), so any dataset publishing
// the same names takes part.
//
// Also the process-wide dataset services the kit and the windows share.
#pragma once

#include "KivForms.h"
#include "TQuery.h"
#include "TTable.h"

#include <QFlags>
#include <QStringList>
#include <functional>

class TFieldReturn;

// Record actions offered by the context menus of data controls. Each action
// is one bit so that a set of them is a QFlags value.
enum TKivDataSetAction {
    daInsert = 0x01,
    daDelete = 0x02,
    daClone = 0x04,
    daPrint = 0x08,
    daPrintRecord = 0x10,
    daUserAction1 = 0x20,
    daUserAction2 = 0x40,
    daUserAction3 = 0x80
};
Q_DECLARE_FLAGS(TKivDataSetActions, TKivDataSetAction)
Q_DECLARE_OPERATORS_FOR_FLAGS(TKivDataSetActions)

inline constexpr TKivDataSetActions kivDefaultActions =
    TKivDataSetActions(daInsert | daDelete | daClone | daPrint | daPrintRecord);
inline constexpr TKivDataSetActions kivAllActions = TKivDataSetActions(0xFF);

// How a lookup control asks for the looked-up data to be shown (2: edit).
using TTypeShow = int;
using TOnEditDataEvent =
    std::function<void(QObject* sender, TTypeShow typeShow, TFieldReturn* fieldReturn)>;
// The handler clears `actionNeed` to stop the kit's own handling of the action.
using TOnDataSetActionEvent = std::function<void(QObject* sender, TDataSet* dataSet,
                                                 TKivDataSetAction action, bool& actionNeed)>;

// What the kit's table and query add to their dataset. Each class publishes
// these with its own Q_PROPERTY lines, as moc reads no templates.
template <class Base> class TKivDataSetOf : public Base {
public:
    explicit TKivDataSetOf(QObject* owner) : Base(owner) {
        this->events().add(QStringLiteral("OnEditData"), &OnEditData);
        this->events().add(QStringLiteral("OnAction"), &OnAction);
    }

    TKivDataSetActions Actions() const { return actions_; }
    void setActions(TKivDataSetActions actions) { actions_ = actions; }
    QString Caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }
    QStringList SortingList() const { return sortingList_; }
    // Copies the list and tells linked controls that the dataset changed.
    void setSortingList(const QStringList& list) {
        sortingList_ = list;
        this->DataEvent(TDataEvent::deDataSetChange, 0);
    }
    QString UniqueFields() const { return uniqueFields_; }
    void setUniqueFields(const QString& fields) { uniqueFields_ = fields; }

    // Events, also listed by name in events().
    TOnEditDataEvent OnEditData;
    TOnDataSetActionEvent OnAction;

protected:
    TKivDataSetActions actions_ = kivDefaultActions;
    QString caption_;
    QStringList sortingList_;
    QString uniqueFields_;
};

class TKivTable : public TKivDataSetOf<TTable> {
    Q_OBJECT
    Q_PROPERTY(TKivDataSetActions Actions READ Actions WRITE setActions)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QStringList SortingList READ SortingList WRITE setSortingList)
    Q_PROPERTY(QString UniqueFields READ UniqueFields WRITE setUniqueFields)

public:
    Q_INVOKABLE explicit TKivTable(QObject* owner = nullptr);
    ~TKivTable() override;

protected:
    void DoBeforeInsert() override; // the master-row guard
    void DoBeforePost() override;   // auto-increment numbering
};

class TKivQuery : public TKivDataSetOf<TQuery> {
    Q_OBJECT
    Q_PROPERTY(TKivDataSetActions Actions READ Actions WRITE setActions)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QStringList SortingList READ SortingList WRITE setSortingList)
    Q_PROPERTY(QString TableName READ TableName WRITE setTableName)
    Q_PROPERTY(QString UniqueFields READ UniqueFields WRITE setUniqueFields)

public:
    Q_INVOKABLE explicit TKivQuery(QObject* owner = nullptr);
    ~TKivQuery() override;

    // The table the query reads (a dBase file name such as "book.dbf").
    QString TableName() const { return tableName_; }
    void setTableName(const QString& name) { tableName_ = name; }

protected:
    // Fills an empty SortingList from the indexes of TableName after the open.
    void InternalOpen() override;
    void DoBeforePost() override; // auto-increment numbering

private:
    QString tableName_;
};

// ---- kit properties read by name from any object (see also the by-name
// helpers of KivForms.h); an object without the property gives an empty
// value. Names match in any case.
TDataSet* KivGetDataSetProperty(const QObject* component, const QString& propertyName);
TDataSource* KivGetDataSourceProperty(const QObject* component, const QString& propertyName);
// "Actions"; every action when the dataset has no such property.
TKivDataSetActions KivGetActions(const QObject* dataSet);
// The event table of a dataset or data source; nullptr for other objects.
TEventTable* KivEventTable(QObject* component);
// The handler of an event by name, empty when absent or of another type.
TOnEditDataEvent KivGetOnEditData(QObject* dataSet);
TOnDataSetActionEvent KivGetOnAction(QObject* dataSet);

// ---- the unique key of a dataset (";"-separated): "UniqueFields"; else the
// fields of the first primary or unique index of the table (for a query, of
// its "TableName"); else every non-blob data field.
QString GetUniqueFields(TDataSet* dataSet);
// Every data field that is not a blob, joined with `separator`.
QString GetNonBlobFields(const TDataSet* dataSet, QChar separator = QLatin1Char(';'));
// The same for an SQL select list: joined with ",", "*" when there is none.
QString GetSelectFieldList(const TDataSet* dataSet);

// ---- statements on a module-wide query
// The first field of the first row of a select (null when there is no field).
QVariant SelectValue(const QString& databaseName, const QString& sql);
// Runs a statement returning no rows; with `quiet` an error is swallowed.
void ExecSQL(const QString& databaseName, const QString& sql, bool quiet = false);

// ---- order
// The current order as a ";"-separated field list: a table's index fields,
// else "IndexFieldNames", else the order-by part of "SQL".
QString GetSortFields(TDataSet* dataSet);
// Sets the order (";"- or ","-separated); with `keepPosition` the dataset
// returns to the same record by its unique key.
void SetSortFields(TDataSet* dataSet, const QString& fields, bool keepPosition = true);
// Position of the word "order" of the order-by clause (outside quotes, any
// case), -1 when there is none.
qsizetype FindOrderBy(const QString& sql);
// The fields of the order-by clause, ";"-separated; empty without a clause.
QString GetOrderByFields(const QString& sql);
// The statement with its order-by clause replaced by one over `fields`
// (removed when `fields` is empty).
QString SetOrderByFields(const QString& sql, const QString& fields);

// ---- position
// A query is closed, reopened and returned to its record; others refresh.
void RefreshDataSet(TDataSet* dataSet);
// Goes to the bookmark; nothing for a null bookmark or a record that is gone.
void GotoBookmarkSafe(TDataSet* dataSet, const TBookmark& bookmark);
bool LocateRecord(TDataSet* dataSet, const QString& keyFields, const QVariant& keyValues,
                  TLocateOptions options = {});

// "(" a ") and (" b ")", or the one that is not empty.
QString AndConditions(const QString& a, const QString& b);
// Inserts a record with the modifiable values of the current one; the new
// record is left in insert state.
void CloneRecord(TDataSet* dataSet);
// The display width each non-blob, non-lookup field needs for the longest text
// among the first `recordLimit` records (L + 1 + L div 20, L at most 255); the
// current record stays. Grids size their columns from it.
QList<QPair<TField*, int>> MeasureFieldWidths(TDataSet* dataSet, int recordLimit);
// Sets the fields' DisplayWidth to what MeasureFieldWidths finds.
void FitFieldWidths(TDataSet* dataSet, int recordLimit);
// The display labels of a ";"-separated field list joined with ","; names
// that are not fields stay as they are.
QString DisplayLabels(const TDataSet* dataSet, const QString& fields);
