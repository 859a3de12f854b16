// A dataset over one dBase table: its order (an index, or any field list,
// sorted on the fly when no index matches), the key buffer for searching in
// that order, and master/detail linking to another dataset.
#pragma once

#include "TDBDataSet.h"
#include "TDataSource.h"

#include <memory>

class TTable : public TDBDataSet {
    Q_OBJECT
    Q_PROPERTY(QString TableName READ TableName WRITE setTableName)
    Q_PROPERTY(QString IndexFieldNames READ IndexFieldNames WRITE setIndexFieldNames)
    Q_PROPERTY(QString IndexName READ IndexName WRITE setIndexName)
    Q_PROPERTY(QString MasterFields READ MasterFields WRITE setMasterFields)
    Q_PROPERTY(TDataSource* MasterSource READ MasterSource WRITE setMasterSource)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)

public:
    explicit TTable(QObject* owner = nullptr);
    ~TTable() override;

    QString TableName() const { return tableName_; }
    void setTableName(const QString& name);
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    bool CanModify() const override;

    // The order: IndexFieldNames (";"-separated) or the index IndexName;
    // setting one clears the other. While open the current record stays.
    QString IndexFieldNames() const { return indexFieldNames_; }
    void setIndexFieldNames(const QString& names);
    QString IndexName() const { return indexName_; }
    void setIndexName(const QString& name);
    // The fields of the current order, and their names joined with ";".
    int IndexFieldCount() const { return int(orderFields_.size()); }
    TField* IndexFields(int i) const;
    QString IndexFieldList() const;

    // The table's index definitions, read again from the table by Update
    // (opening the file for it when the dataset is closed).
    const QVector<DbfIndexDef>& IndexDefs() const { return indexDefs_; }
    void UpdateIndexDefs();
    QStringList GetIndexNames();

    // Key buffer: SetKey clears it, EditKey keeps the previous values; the
    // fields of the current order are then written as the search key.
    void SetKey();
    void EditKey();
    // How many leading order fields a search uses; 0 means all of them.
    int KeyFieldCount() const { return keyFieldCount_; }
    void setKeyFieldCount(int count) { keyFieldCount_ = count; }
    // Goes to the first record whose key equals the buffer; false (staying)
    // when there is none.
    bool GotoKey();
    // Goes to the first record whose key is at or after the buffer in the
    // current order (the last record when none is).
    void GotoNearest();
    bool FindKey(const QVariantList& values);
    void FindNearest(const QVariantList& values);

    // The detail side: only rows whose leading order fields equal the master
    // dataset's MasterFields are shown, following the master's record.
    QString MasterFields() const { return masterFields_; }
    void setMasterFields(const QString& fields);
    TDataSource* MasterSource() const;
    void setMasterSource(TDataSource* source);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    std::vector<int> sourceRows() override;
    // Shows what another process stored since the table was read.
    void InternalRefresh() override;
    bool sourceCanModify() const override { return !readOnly_ && !writtenElsewhere(); }
    // A new detail record starts with its master's key.
    void DoOnNewRecord() override;

private:
    class MasterLink;
    friend class MasterLink;
    void resolveOrder(const QString& fieldNames, const QString& indexName);
    void orderChanged();
    void masterChanged();
    QList<TField*> masterFieldList() const;
    void setKeyState(bool clear);
    QVector<QVariant> keyValues(int count) const;
    int compareKey(int row, const QVector<QVariant>& key) const;
    void setKeyValues(const QVariantList& values);

    QString tableName_;
    bool readOnly_ = false;
    QString indexFieldNames_;
    QString indexName_;
    QVector<DbfIndexDef> indexDefs_;
    QVector<int> orderFields_; // table field numbers of the current order
    int orderIndex_ = -1;      // the index giving the order, -1 when sorted here
    int keyFieldCount_ = 0;
    QString masterFields_;
    std::unique_ptr<MasterLink> masterLink_;
};
