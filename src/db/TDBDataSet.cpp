#include "TDBDataSet.h"

#include "DbfLock.h"

#include <QDir>
#include <QFileInfo>

TDBDataSet::TDBDataSet(QObject* owner) : TDataSet(owner) {}

TDBDataSet::~TDBDataSet() {
    closeForDestruction();
}

void TDBDataSet::setDatabaseName(const QString& name) {
    if (name == databaseName_) return;
    CheckInactive();
    databaseName_ = name;
}

bool TDBDataSet::IsSQLBased() const {
    return driverName_.compare(QStringLiteral("STANDARD"), Qt::CaseInsensitive) != 0;
}

QString TDBDataSet::tablePath(const QString& tableName) const {
    QString name = tableName.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".dbf");
    if (QFileInfo(name).isAbsolute() || databaseName_.isEmpty()) return name;
    return QDir(databaseName_).filePath(name);
}

TFieldDef TDBDataSet::fieldDefOf(const QString& name, FieldType type, int length, int decimals) {
    TFieldDef def;
    def.name = name;
    def.size = 0;
    switch (type) {
    case FieldType::Character:
        def.type = TFieldType::ftString;
        def.size = length;
        break;
    case FieldType::Numeric:
    case FieldType::Float:
        // Narrow whole numbers are 16-bit integers, as the coded list fields expect.
        def.type = decimals == 0 && length > 0 && length <= 4 ? TFieldType::ftSmallint
                                                              : TFieldType::ftFloat;
        break;
    case FieldType::Integer:
        def.type = TFieldType::ftInteger;
        break;
    case FieldType::AutoInc:
        def.type = TFieldType::ftAutoInc;
        break;
    case FieldType::Double:
        def.type = TFieldType::ftFloat;
        break;
    case FieldType::Date:
        def.type = TFieldType::ftDate;
        break;
    case FieldType::Timestamp:
        def.type = TFieldType::ftDateTime;
        break;
    case FieldType::Logical:
        def.type = TFieldType::ftBoolean;
        break;
    case FieldType::Memo:
        def.type = TFieldType::ftMemo;
        break;
    case FieldType::Binary:
    case FieldType::General:
        def.type = TFieldType::ftBlob;
        break;
    }
    return def;
}

void TDBDataSet::setSourceTable(std::shared_ptr<DbfTable> table, QVector<int> map) {
    table_ = std::move(table);
    map_ = std::move(map);
}

QString TDBDataSet::WrittenBy() const {
    return writtenElsewhere() ? table_->otherWriter()->text() : QString();
}

QString TDBDataSet::sourceReadOnlyReason() const {
    return table_ ? table_->readOnlyReason() : QString();
}

void TDBDataSet::InternalClose() {
    table_.reset();
    map_.clear();
}

QVariant TDBDataSet::sourceValue(int row, int fieldNo) const {
    if (!table_ || row < 0 || row >= table_->rowCount()) return {};
    return table_->value(row, map_[fieldNo]);
}

bool TDBDataSet::sourceMemoBytes(int row, int fieldNo, QByteArray& bytes) const {
    if (!table_ || row < 0 || row >= table_->rowCount()) return false;
    bytes = table_->memoBytes(row, map_[fieldNo]);
    return true;
}

// Columns the dataset does not show keep their stored values.
DbfRecord TDBDataSet::tableRecord(int row, const QVector<QVariant>& values) const {
    const int count = int(table_->fields().size());
    DbfRecord record(count);
    bool complete = map_.size() == count;
    if (!complete && row >= 0) record = table_->record(row);
    for (int i = 0; i < map_.size(); ++i)
        record[map_[i]] = values.value(i);
    return record;
}

int TDBDataSet::sourceInsert(const QVector<QVariant>& values) {
    return table_->appendRow(tableRecord(-1, values));
}

void TDBDataSet::sourceUpdate(int row, const QVector<QVariant>& values) {
    table_->updateRow(row, tableRecord(row, values));
}

void TDBDataSet::sourceDelete(int row) {
    table_->deleteRow(row);
}

bool TDBDataSet::sourceRowDeleted(int row) const {
    return table_ && row >= 0 && row < table_->rowCount() && table_->isDeleted(row);
}
