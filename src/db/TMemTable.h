// A dataset that keeps its records in memory: fields are described with
// addFieldDef before opening; the records live until the dataset closes.
// Serves dialogs that need a scratch record with the fields of another
// dataset.
#pragma once

#include "TDataSet.h"

class TMemTable : public TDataSet {
    Q_OBJECT
public:
    explicit TMemTable(QObject* owner = nullptr);
    ~TMemTable() override;

    void addFieldDef(const QString& name, TFieldType type, int size = 0, bool required = false);
    void clearFieldDefs();
    // Describes one column per data field of `fields` (the persistent fields
    // of a dataset that is to be opened on this table).
    void addFieldDefsFrom(const QList<TField*>& fields);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    std::vector<int> sourceRows() override;
    QVariant sourceValue(int row, int fieldNo) const override;
    int sourceInsert(const QVector<QVariant>& values) override;
    void sourceUpdate(int row, const QVector<QVariant>& values) override;
    void sourceDelete(int row) override;
    bool sourceCanModify() const override { return true; }

private:
    QVector<TFieldDef> defs_;
    std::vector<QVector<QVariant>> records_;
    std::vector<bool> deleted_;
};
