#include "TTable.h"

#include <algorithm>

// Follows the master dataset: a new master record re-reads the detail rows.
class TTable::MasterLink : public TDataLink {
public:
    explicit MasterLink(TTable* table) : table_(table) {}

protected:
    void ActiveChanged() override { table_->masterChanged(); }
    void DataSetChanged() override { table_->masterChanged(); }
    void RecordChanged(TField* field) override {
        if (!field || table_->masterFieldList().contains(field)) table_->masterChanged();
    }
    void CheckBrowseMode() override {
        if (table_->Active()) table_->CheckBrowseMode();
    }

private:
    TTable* table_;
};

TTable::TTable(QObject* owner)
    : TDBDataSet(owner), masterLink_(std::make_unique<MasterLink>(this)) {}

TTable::~TTable() {
    closeForDestruction();
    masterLink_.reset();
}

void TTable::setTableName(const QString& name) {
    if (name == tableName_) return;
    CheckInactive();
    tableName_ = name;
    indexDefs_.clear();
}

void TTable::setReadOnly(bool readOnly) {
    if (readOnly == readOnly_) return;
    CheckInactive();
    readOnly_ = readOnly;
}

bool TTable::CanModify() const {
    return TDBDataSet::CanModify();
}

// ---------------------------------------------------------------- open

void TTable::InternalOpen() {
    if (tableName_.trimmed().isEmpty()) error(QStringLiteral("Missing TableName property"));
    // An editing table keeps the write lock while open; when another process
    // keeps it, the table opens read-only (see sourceCanModify).
    std::shared_ptr<DbfTable> table =
        DbfTable::open(tablePath(tableName_), readOnly_ ? DbfAccess::Read : DbfAccess::Edit);
    QVector<TFieldDef> defs;
    QVector<int> map;
    for (const DbfFieldDef& f : table->fields()) {
        map << int(defs.size());
        defs << fieldDefOf(f.name, f.type, f.length, f.decimals);
    }
    setFieldDefs(defs);
    setSourceTable(table, map);
    indexDefs_ = table->indexes();
    resolveOrder(indexFieldNames_, indexName_);
    const int masterCount = int(masterFields_.split(QLatin1Char(';'), Qt::SkipEmptyParts).size());
    if (masterLink_->DataSource() && masterCount > orderFields_.size())
        error(QStringLiteral("Master fields and index fields do not match"));
}

void TTable::InternalClose() {
    TDBDataSet::InternalClose();
    orderFields_.clear();
    orderIndex_ = -1;
}

// ---------------------------------------------------------------- order

void TTable::resolveOrder(const QString& fieldNames, const QString& indexName) {
    const std::shared_ptr<DbfTable>& table = sourceTable();
    QVector<int> fields;
    int index = -1;
    if (!indexName.trimmed().isEmpty()) {
        for (int i = 0; i < table->indexes().size() && index < 0; ++i)
            if (table->indexes()[i].name.compare(indexName.trimmed(), Qt::CaseInsensitive) == 0)
                index = i;
        if (index < 0) error(QStringLiteral("Index '%1' not found").arg(indexName.trimmed()));
        for (const QString& name : table->indexes()[index].fields)
            fields << table->fieldIndex(name);
    } else {
        for (const QString& name : fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (name.trimmed().isEmpty()) continue;
            const int no = table->fieldIndex(name.trimmed());
            if (no < 0) error(QStringLiteral("Field '%1' not found").arg(name.trimmed()));
            fields << no;
        }
    }
    orderFields_ = fields;
    orderIndex_ = index;
}

// The current record is found again by its key in the new order, which is
// quicker than searching the whole order for it.
void TTable::orderChanged() {
    const int row = currentRow();
    QVector<QVariant> key;
    if (row >= 0)
        for (int no : std::as_const(orderFields_))
            key << sourceTable()->value(row, no);
    resyncRows(-1);
    if (row >= 0) {
        const std::vector<int>& rows = cursorRows();
        auto it = std::partition_point(rows.begin(), rows.end(),
                                       [&](int r) { return compareKey(r, key) < 0; });
        while (it != rows.end() && *it != row && compareKey(*it, key) == 0)
            ++it;
        if (it == rows.end() || *it != row) it = std::find(rows.begin(), rows.end(), row);
        if (it != rows.end()) setCursorIndex(int(it - rows.begin()));
    }
    DataEvent(TDataEvent::deDataSetChange);
}

void TTable::setIndexFieldNames(const QString& names) {
    if (names == indexFieldNames_ && indexName_.isEmpty()) return;
    if (Active()) {
        CheckBrowseMode();
        resolveOrder(names, QString()); // raises before anything changes
    }
    indexFieldNames_ = names;
    indexName_.clear();
    if (Active()) orderChanged();
}

void TTable::setIndexName(const QString& name) {
    if (name == indexName_ && indexFieldNames_.isEmpty()) return;
    if (Active()) {
        CheckBrowseMode();
        resolveOrder(QString(), name);
    }
    indexName_ = name;
    indexFieldNames_.clear();
    if (Active()) orderChanged();
}

TField* TTable::IndexFields(int i) const {
    if (i < 0 || i >= orderFields_.size()) return nullptr;
    for (TField* f : Fields())
        if (f->FieldNo() == orderFields_[i]) return f;
    return nullptr;
}

QString TTable::IndexFieldList() const {
    if (Active()) {
        QStringList names;
        for (int no : orderFields_)
            names << FieldDefs()[no].name;
        return names.join(QLatin1Char(';'));
    }
    if (!indexName_.isEmpty()) {
        for (const DbfIndexDef& def : indexDefs_)
            if (def.name.compare(indexName_, Qt::CaseInsensitive) == 0) return def.fieldList();
        return {};
    }
    return indexFieldNames_;
}

void TTable::UpdateIndexDefs() {
    if (sourceTable()) {
        indexDefs_ = sourceTable()->indexes();
        return;
    }
    if (tableName_.trimmed().isEmpty()) error(QStringLiteral("Missing TableName property"));
    indexDefs_ = DbfTable::open(tablePath(tableName_))->indexes();
}

QStringList TTable::GetIndexNames() {
    UpdateIndexDefs();
    QStringList names;
    for (const DbfIndexDef& def : std::as_const(indexDefs_))
        names << def.name;
    return names;
}

// ---------------------------------------------------------------- rows

QList<TField*> TTable::masterFieldList() const {
    TDataSet* master = masterLink_->DataSet();
    if (!master || !master->Active() || masterFields_.trimmed().isEmpty()) return {};
    return master->GetFieldList(masterFields_);
}

std::vector<int> TTable::sourceRows() {
    const std::shared_ptr<DbfTable>& table = sourceTable();
    std::vector<int> rows =
        orderIndex_ >= 0 ? table->indexRows(orderIndex_) : table->orderedRows(orderFields_);
    const QList<TField*> master = masterLink_->Active() ? masterFieldList() : QList<TField*>();
    const int count = std::min(int(master.size()), int(orderFields_.size()));
    if (count == 0) return rows;
    QVector<QVariant> values;
    for (int i = 0; i < count; ++i) {
        const QVariant v = master[i]->Value();
        TField* detail = IndexFields(i);
        values << (detail && !isEmptyValue(v) ? detail->convertValue(v) : v);
    }
    std::vector<int> kept;
    for (int row : rows) {
        bool match = true;
        for (int i = 0; i < count && match; ++i)
            match = compareFieldValues(table->value(row, orderFields_[i]), values[i]) == 0;
        if (match) kept.push_back(row);
    }
    return kept;
}

void TTable::InternalRefresh() {
    if (sourceTable()) sourceTable()->refresh();
}

// ---------------------------------------------------------------- master

void TTable::setMasterFields(const QString& fields) {
    if (fields == masterFields_) return;
    masterFields_ = fields;
    if (Active()) masterChanged();
}

TDataSource* TTable::MasterSource() const {
    return masterLink_->DataSource();
}

void TTable::setMasterSource(TDataSource* source) {
    if (source && source->DataSet() == this)
        error(QStringLiteral("Circular datalinks are not allowed"));
    masterLink_->setDataSource(source);
}

void TTable::DoOnNewRecord() {
    if (masterLink_->Active()) {
        const QList<TField*> master = masterFieldList();
        for (int i = 0; i < master.size() && i < orderFields_.size(); ++i)
            if (TField* detail = IndexFields(i)) detail->setValue(master[i]->Value());
    }
    TDBDataSet::DoOnNewRecord();
}

void TTable::masterChanged() {
    if (!Active() || State() == TDataSetState::dsSetKey) return;
    CheckBrowseMode();
    resyncRows(-1);
    First();
}

// ---------------------------------------------------------------- key buffer

void TTable::setKeyState(bool clear) {
    CheckBrowseMode();
    if (clear) {
        keyBuffer().fill(QVariant());
        keyFieldCount_ = 0;
    }
    SetState(TDataSetState::dsSetKey);
}

void TTable::SetKey() {
    setKeyState(true);
}
void TTable::EditKey() {
    setKeyState(false);
}

QVector<QVariant> TTable::keyValues(int count) const {
    QVector<QVariant> key;
    auto& buffer = const_cast<TTable*>(this)->keyBuffer();
    for (int i = 0; i < count; ++i)
        key << buffer.value(orderFields_[i]);
    return key;
}

int TTable::compareKey(int row, const QVector<QVariant>& key) const {
    for (int i = 0; i < key.size(); ++i) {
        const int c = compareDbfValues(sourceTable()->value(row, orderFields_[i]), key[i]);
        if (c != 0) return c;
    }
    return 0;
}

bool TTable::GotoKey() {
    CheckBrowseMode(); // leaves the set-key state
    if (orderFields_.isEmpty()) error(QStringLiteral("No index currently active"));
    const int count = keyFieldCount_ > 0 ? std::min(keyFieldCount_, int(orderFields_.size()))
                                         : int(orderFields_.size());
    const QVector<QVariant> key = keyValues(count);
    DoBeforeScroll();
    const std::vector<int>& rows = cursorRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (compareKey(rows[i], key) != 0) continue;
        setCursorIndex(int(i));
        DataEvent(TDataEvent::deDataSetChange);
        DoAfterScroll();
        return true;
    }
    return false;
}

void TTable::GotoNearest() {
    CheckBrowseMode();
    if (orderFields_.isEmpty()) error(QStringLiteral("No index currently active"));
    const int count = keyFieldCount_ > 0 ? std::min(keyFieldCount_, int(orderFields_.size()))
                                         : int(orderFields_.size());
    const QVector<QVariant> key = keyValues(count);
    const std::vector<int>& rows = cursorRows();
    const auto it = std::partition_point(rows.begin(), rows.end(),
                                         [&](int row) { return compareKey(row, key) < 0; });
    moveToIndex(it == rows.end() ? int(rows.size()) - 1 : int(it - rows.begin()));
}

void TTable::setKeyValues(const QVariantList& values) {
    SetKey();
    try {
        if (values.size() > orderFields_.size())
            error(QStringLiteral("%1 key values for an order of %2 fields")
                      .arg(values.size())
                      .arg(orderFields_.size()));
        for (int i = 0; i < values.size(); ++i) {
            TField* f = IndexFields(i);
            if (!f) error(QStringLiteral("Index field %1 has no field object").arg(i + 1));
            f->setValue(values[i]);
        }
        keyFieldCount_ = int(values.size());
    } catch (...) {
        Cancel();
        throw;
    }
}

bool TTable::FindKey(const QVariantList& values) {
    setKeyValues(values);
    return GotoKey();
}

void TTable::FindNearest(const QVariantList& values) {
    setKeyValues(values);
    GotoNearest();
}
