// The common base of the datasets that read dBase tables through the engine
// (TTable and TQuery): the database (a folder), the database's driver, the
// cached-updates flag, and reading and writing rows of a DbfTable through a
// map from the dataset's columns to the table's fields.
#pragma once

#include "DbfTable.h"
#include "TDataSet.h"

class TDBDataSet : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE setDatabaseName)
    Q_PROPERTY(QString DriverName READ DriverName WRITE setDriverName)
    Q_PROPERTY(bool CachedUpdates READ CachedUpdates WRITE setCachedUpdates)

public:
    explicit TDBDataSet(QObject* owner = nullptr);
    ~TDBDataSet() override;

    // The folder that holds the tables.
    QString DatabaseName() const { return databaseName_; }
    void setDatabaseName(const QString& name);
    // "STANDARD" for local files (ours); any other driver counts as an SQL server.
    QString DriverName() const { return driverName_; }
    void setDriverName(const QString& name) { driverName_ = name; }
    bool IsSQLBased() const;

    // Changes are always stored at once; the flag is kept for the forms that
    // save and restore it, and applying updates posts any pending edit.
    bool CachedUpdates() const { return cachedUpdates_; }
    void setCachedUpdates(bool on) { cachedUpdates_ = on; }
    bool UpdatesPending() const { return false; }
    void ApplyUpdates() { CheckBrowseMode(); }
    void CommitUpdates() {}

    // The path of a table of the database: the folder joined with `tableName`,
    // with ".dbf" added to a name without an extension.
    QString tablePath(const QString& tableName) const;

    // Who writes the table when another process keeps it ("kivhelp (process
    // 12)"), so that this dataset is read-only; empty otherwise.
    QString WrittenBy() const;

protected:
    // The field definitions of table fields, for describing a source.
    static TFieldDef fieldDefOf(const QString& name, FieldType type, int length, int decimals);
    // Reads and writes through `table`; column i of the dataset is table field map[i].
    void setSourceTable(std::shared_ptr<DbfTable> table, QVector<int> map);
    const std::shared_ptr<DbfTable>& sourceTable() const { return table_; }
    const QVector<int>& columnMap() const { return map_; }
    bool writtenElsewhere() const { return table_ && table_->otherWriter(); }
    QString sourceReadOnlyReason() const override;

    void InternalClose() override;
    QVariant sourceValue(int row, int fieldNo) const override;
    bool sourceMemoBytes(int row, int fieldNo, QByteArray& bytes) const override;
    int sourceInsert(const QVector<QVariant>& values) override;
    void sourceUpdate(int row, const QVector<QVariant>& values) override;
    void sourceDelete(int row) override;
    bool sourceRowDeleted(int row) const override;

private:
    DbfRecord tableRecord(int row, const QVector<QVariant>& values) const;

    QString databaseName_;
    QString driverName_ = QStringLiteral("STANDARD");
    bool cachedUpdates_ = false;
    std::shared_ptr<DbfTable> table_;
    QVector<int> map_;
};
