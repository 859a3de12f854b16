#include "TMemTable.h"

TMemTable::TMemTable(QObject* owner) : TDataSet(owner) {}

TMemTable::~TMemTable() {
    closeForDestruction();
}

void TMemTable::addFieldDef(const QString& name, TFieldType type, int size, bool required) {
    CheckInactive();
    defs_.append(TFieldDef{name, type, size, required});
}

void TMemTable::clearFieldDefs() {
    CheckInactive();
    defs_.clear();
}

void TMemTable::addFieldDefsFrom(const QList<TField*>& fields) {
    for (const TField* f : fields)
        if (f->FieldKind() == TFieldKind::fkData)
            addFieldDef(f->FieldName(), f->DataType(), f->Size(), f->Required());
}

void TMemTable::InternalOpen() {
    if (defs_.isEmpty()) error(QStringLiteral("No fields defined"));
    setFieldDefs(defs_);
}

void TMemTable::InternalClose() {
    records_.clear();
    deleted_.clear();
}

std::vector<int> TMemTable::sourceRows() {
    std::vector<int> rows;
    rows.reserve(records_.size());
    for (size_t i = 0; i < records_.size(); ++i)
        if (!deleted_[i]) rows.push_back(int(i));
    return rows;
}

QVariant TMemTable::sourceValue(int row, int fieldNo) const {
    if (row < 0 || size_t(row) >= records_.size()) return {};
    return records_[size_t(row)].value(fieldNo);
}

int TMemTable::sourceInsert(const QVector<QVariant>& values) {
    records_.push_back(values);
    deleted_.push_back(false);
    return int(records_.size()) - 1;
}

void TMemTable::sourceUpdate(int row, const QVector<QVariant>& values) {
    records_.at(size_t(row)) = values;
}

void TMemTable::sourceDelete(int row) {
    deleted_.at(size_t(row)) = true;
}
