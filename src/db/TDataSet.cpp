#include "TDataSet.h"

#include "TDataSource.h"

#include <algorithm>

namespace {

bool editing(TDataSetState s) {
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert;
}

// Puts the state back when a calculation or filter pass ends, thrown or not.
class StateGuard {
public:
    StateGuard(TDataSetState& state, TDataSetState temporary) : state_(state), saved_(state) {
        state_ = temporary;
    }
    ~StateGuard() { state_ = saved_; }
    TDataSetState saved() const { return saved_; }

private:
    TDataSetState& state_;
    TDataSetState saved_;
};

bool typesCompatible(TFieldType field, TFieldType def) {
    auto group = [](TFieldType t) {
        switch (t) {
        case TFieldType::ftString:
            return 1;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
        case TFieldType::ftFloat:
            return 2;
        case TFieldType::ftBoolean:
            return 3;
        case TFieldType::ftDate:
        case TFieldType::ftDateTime:
            return 4;
        case TFieldType::ftMemo:
            return 5;
        case TFieldType::ftBlob:
            return 6;
        case TFieldType::ftUnknown:
            break;
        }
        return 0;
    };
    return group(field) == group(def);
}

} // namespace

TDataSet::TDataSet(QObject* owner) : QObject(owner) {
    events_.add(QStringLiteral("BeforeOpen"), &BeforeOpen);
    events_.add(QStringLiteral("AfterOpen"), &AfterOpen);
    events_.add(QStringLiteral("BeforeClose"), &BeforeClose);
    events_.add(QStringLiteral("AfterClose"), &AfterClose);
    events_.add(QStringLiteral("BeforeInsert"), &BeforeInsert);
    events_.add(QStringLiteral("AfterInsert"), &AfterInsert);
    events_.add(QStringLiteral("OnNewRecord"), &OnNewRecord);
    events_.add(QStringLiteral("BeforeEdit"), &BeforeEdit);
    events_.add(QStringLiteral("AfterEdit"), &AfterEdit);
    events_.add(QStringLiteral("BeforePost"), &BeforePost);
    events_.add(QStringLiteral("AfterPost"), &AfterPost);
    events_.add(QStringLiteral("BeforeCancel"), &BeforeCancel);
    events_.add(QStringLiteral("AfterCancel"), &AfterCancel);
    events_.add(QStringLiteral("BeforeDelete"), &BeforeDelete);
    events_.add(QStringLiteral("AfterDelete"), &AfterDelete);
    events_.add(QStringLiteral("BeforeScroll"), &BeforeScroll);
    events_.add(QStringLiteral("AfterScroll"), &AfterScroll);
    events_.add(QStringLiteral("OnCalcFields"), &OnCalcFields);
    events_.add(QStringLiteral("OnFilterRecord"), &OnFilterRecord);
}

// Descendants close in their own destructor (their source is gone by the time
// this one runs); here only the links and fields are let go.
TDataSet::~TDataSet() {
    for (const QPointer<TDataSource>& ds : std::as_const(dataSources_))
        if (ds) ds->dataSetDestroyed(this);
    for (TField* f : std::as_const(fields_))
        f->dataSet_ = nullptr;
    if (dynamicFields_) qDeleteAll(fields_);
}

void TDataSet::error(const QString& message) const {
    throw EDatabaseError(objectName().isEmpty() ? message
                                                : objectName() + QStringLiteral(": ") + message);
}

void TDataSet::CheckActive() const {
    if (!Active()) error(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::CheckInactive() const {
    if (Active()) error(QStringLiteral("Cannot perform this operation on an open dataset"));
}

bool TDataSet::CanModify() const {
    return Active() && sourceCanModify();
}

void TDataSet::CheckCanModify() const {
    if (CanModify()) return;
    const QString reason = Active() ? sourceReadOnlyReason() : QString();
    error(reason.isEmpty() ? QStringLiteral("Cannot modify a read-only dataset") : reason);
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    modified_ = false;
    DataEvent(TDataEvent::deUpdateState);
}

// ---------------------------------------------------------------- fields

void TDataSet::addField(TField* field) {
    if (!fields_.contains(field)) fields_.append(field);
    if (Active()) DataEvent(TDataEvent::deLayoutChange);
}

void TDataSet::removeField(TField* field) {
    fields_.removeAll(field);
    if (Active() && !dynamicFields_) DataEvent(TDataEvent::deLayoutChange);
}

void TDataSet::moveField(TField* field, int index) {
    const int from = int(fields_.indexOf(field));
    if (from < 0) return;
    index = std::clamp(index, 0, int(fields_.size()) - 1);
    if (from == index) return;
    fields_.move(from, index);
    if (Active()) DataEvent(TDataEvent::deLayoutChange);
}

TField* TDataSet::FindField(const QString& name) const {
    const QString n = name.trimmed();
    for (TField* f : fields_)
        if (f->FieldName().compare(n, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f) error(QStringLiteral("Field '%1' not found").arg(name.trimmed()));
    return f;
}

QStringList TDataSet::FieldNames() const {
    QStringList names;
    for (const TField* f : fields_)
        names << f->FieldName();
    return names;
}

QList<TField*> TDataSet::GetFieldList(const QString& names) const {
    QList<TField*> list;
    for (const QString& n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty()) list << FieldByName(n);
    return list;
}

void TDataSet::bindFields() {
    if (fields_.isEmpty()) {
        dynamicFields_ = true;
        for (const TFieldDef& def : std::as_const(fieldDefs_)) {
            TField* f = createField(def.type, this);
            f->fieldName_ = def.name;
            f->size_ = def.size;
            f->required_ = def.required;
            f->dataSet_ = this;
            fields_.append(f);
        }
    }
    int slot = 0;
    for (TField* f : std::as_const(fields_)) {
        f->fieldNo_ = -1;
        f->calcSlot_ = -1;
        if (f->FieldKind() != TFieldKind::fkData) {
            f->calcSlot_ = slot++;
            continue;
        }
        for (int i = 0; i < fieldDefs_.size(); ++i)
            if (fieldDefs_[i].name.compare(f->FieldName(), Qt::CaseInsensitive) == 0)
                f->fieldNo_ = i;
        if (f->fieldNo_ < 0) error(QStringLiteral("Field '%1' not found").arg(f->FieldName()));
        const TFieldDef& def = fieldDefs_[f->fieldNo_];
        if (!typesCompatible(f->DataType(), def.type))
            error(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                      .arg(f->FieldName(), fieldTypeName(f->DataType()), fieldTypeName(def.type)));
        if (f->DataType() == TFieldType::ftString && def.size > 0) f->size_ = def.size;
    }
    for (TField* f : std::as_const(fields_)) {
        if (f->FieldKind() == TFieldKind::fkLookup) f->OpenLookup();
    }
    calcFieldCount_ = slot;
    calcBuf_ = QVector<QVariant>(slot);
    calcRow_ = -2;
}

void TDataSet::unbindFields() {
    if (dynamicFields_) {
        const QList<TField*> made = fields_;
        fields_.clear();
        for (TField* f : made)
            f->dataSet_ = nullptr;
        qDeleteAll(made);
        dynamicFields_ = false;
    }
    for (TField* f : std::as_const(fields_)) {
        f->fieldNo_ = -1;
        f->calcSlot_ = -1;
    }
    calcBuf_.clear();
    calcFieldCount_ = 0;
}

QVariant TDataSet::getFieldData(const TField* field) const {
    if (field->calcSlot_ >= 0) {
        if (state_ == TDataSetState::dsFilter) return {};
        ensureCalcFields();
        return calcBuf_.value(field->calcSlot_);
    }
    const int no = field->fieldNo_;
    if (no < 0) return {};
    TDataSetState s = state_;
    if (s == TDataSetState::dsCalcFields) s = calcSavedState_;
    if (peekRow_ >= 0 && s != TDataSetState::dsSetKey && s != TDataSetState::dsFilter)
        return sourceValue(peekRow_, no);
    switch (s) {
    case TDataSetState::dsInactive:
        return {};
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
        return editBuf_.value(no);
    case TDataSetState::dsSetKey:
        return keyBuf_.value(no);
    case TDataSetState::dsFilter:
        return sourceValue(filterRow_, no);
    default:
        break;
    }
    const int row = currentRow();
    return row < 0 ? QVariant() : sourceValue(row, no);
}

// Only a browsed stored row has stored bytes: under edit the value is the
// edit buffer's.
bool TDataSet::storedMemoBytes(const TField* field, QByteArray& bytes) const {
    if (state_ != TDataSetState::dsBrowse || field->calcSlot_ >= 0 || field->fieldNo_ < 0)
        return false;
    const int row = activeRow();
    return row >= 0 && sourceMemoBytes(row, field->fieldNo_, bytes);
}

void TDataSet::setFieldData(TField* field, const QVariant& value) {
    if (state_ == TDataSetState::dsCalcFields) {
        if (field->calcSlot_ < 0)
            error(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
        calcBuf_[field->calcSlot_] = value;
        return;
    }
    if (state_ == TDataSetState::dsSetKey) {
        if (field->fieldNo_ < 0)
            error(QStringLiteral("Field '%1' is not indexed").arg(field->DisplayName()));
        keyBuf_[field->fieldNo_] = value;
        DataEvent(TDataEvent::deFieldChange, qintptr(field));
        return;
    }
    if (!editing(state_)) error(QStringLiteral("Dataset not in edit or insert mode"));
    if (field->ReadOnly() || field->FieldKind() == TFieldKind::fkLookup)
        error(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
    if (field->calcSlot_ >= 0) {
        calcBuf_[field->calcSlot_] = value;
    } else {
        editBuf_[field->fieldNo_] = value;
        calcDirty_ = true;
    }
    modified_ = true;
    DataEvent(TDataEvent::deFieldChange, qintptr(field));
}

void TDataSet::ensureCalcFields() const {
    if (calcFieldCount_ == 0 || state_ == TDataSetState::dsCalcFields) return;
    if (editing(state_) && peekRow_ < 0) {
        if (calcDirty_ || calcRow_ != -1) calculateFields();
        calcRow_ = -1;
        calcDirty_ = false;
        return;
    }
    const int row = state_ == TDataSetState::dsSetKey ? -3 : activeRow();
    if (row != calcRow_ || (calcDirty_ && peekRow_ < 0)) {
        calculateFields();
        calcRow_ = row;
        calcDirty_ = false;
    }
}

// Lookup fields take their values from their lookup datasets, then the
// OnCalcFields handler fills the calculated ones.
void TDataSet::calculateFields() const {
    auto* self = const_cast<TDataSet*>(this);
    calcBuf_.fill(QVariant());
    if (activeRow() < 0 && (!editing(state_) || peekRow_ >= 0)) return;
    calcSavedState_ = state_;
    StateGuard guard(self->state_, TDataSetState::dsCalcFields);
    for (TField* f : fields_) {
        if (f->FieldKind() != TFieldKind::fkLookup || !f->LookupDataSet()) continue;
        const QList<TField*> keys = GetFieldList(f->KeyFields());
        QVariantList values;
        bool anyValue = false;
        for (TField* k : keys) {
            values << k->Value();
            anyValue = anyValue || !values.constLast().isNull();
        }
        if (!anyValue) continue;
        calcBuf_[f->calcSlot_] =
            f->LookupValue(values.size() == 1 ? values.first() : QVariant(values));
    }
    if (autoCalcFields_ || !editing(calcSavedState_)) self->DoOnCalcFields();
}

// ---------------------------------------------------------------- open, close

void TDataSet::setActive(bool active) {
    if (active == Active()) return;
    if (active) {
        DoBeforeOpen();
        try {
            InternalOpen();
            bindFields();
            if (!filterText_.isEmpty()) {
                FilterExpression expr(filterText_);
                bindFilter(expr);
                filterExpr_ = std::make_unique<FilterExpression>(std::move(expr));
            }
            editBuf_ = QVector<QVariant>(fieldDefs_.size());
            keyBuf_ = QVector<QVariant>(fieldDefs_.size());
            state_ = TDataSetState::dsBrowse; // filtering reads through the browse state
            rebuildRows();
        } catch (...) {
            state_ = TDataSetState::dsInactive;
            rows_.clear();
            filterExpr_.reset();
            unbindFields();
            InternalClose();
            throw;
        }
        state_ = TDataSetState::dsInactive;
        cur_ = rows_.empty() ? -1 : 0;
        bof_ = true;
        eof_ = rows_.empty();
        SetState(TDataSetState::dsBrowse);
        DoAfterOpen();
        DoAfterScroll();
        return;
    }
    if (!destroying_) DoBeforeClose();
    // A pending edit or key is dropped: closing cancels it.
    editRow_ = -1;
    SetState(TDataSetState::dsInactive);
    rows_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    filterExpr_.reset();
    InternalClose();
    unbindFields();
    if (!destroying_) DoAfterClose();
}

void TDataSet::closeForDestruction() {
    destroying_ = true;
    disableCount_ = 0;
    setActive(false);
}

// ---------------------------------------------------------------- rows

void TDataSet::bindFilter(FilterExpression& expr) const {
    expr.bind([this](const QString& name) -> TField* {
        TField* f = FindField(name);
        if (f && f->FieldKind() != TFieldKind::fkData)
            error(QStringLiteral("Field '%1' cannot be used in a filter").arg(f->FieldName()));
        return f;
    });
}

bool TDataSet::filterActive() const {
    return filtered_ && ((filterExpr_ && !filterExpr_->isEmpty()) || OnFilterRecord);
}

bool TDataSet::recordAccepted(int row) {
    if (!filterActive()) return true;
    if (filterExpr_ && !filterExpr_->isEmpty()) {
        const bool ok = filterExpr_->matches(
            [this, row](const TField* f) { return sourceValue(row, f->FieldNo()); },
            filterOptions_.testFlag(foCaseInsensitive));
        if (!ok) return false;
    }
    if (OnFilterRecord) {
        StateGuard guard(state_, TDataSetState::dsFilter);
        filterRow_ = row;
        bool accept = true;
        OnFilterRecord(this, accept);
        return accept;
    }
    return true;
}

void TDataSet::rebuildRows() {
    std::vector<int> rows = sourceRows();
    if (filterActive()) {
        std::vector<int> kept;
        kept.reserve(rows.size());
        for (int r : rows)
            if (recordAccepted(r)) kept.push_back(r);
        rows.swap(kept);
    }
    rows_.swap(rows);
    calcRow_ = -2;
}

int TDataSet::findRow(int row) const {
    if (row < 0) return -1;
    const auto it = std::find(rows_.begin(), rows_.end(), row);
    return it == rows_.end() ? -1 : int(it - rows_.begin());
}

void TDataSet::setCursorIndex(int index) {
    if (rows_.empty()) {
        cur_ = -1;
        bof_ = eof_ = true;
        return;
    }
    cur_ = std::clamp(index, 0, int(rows_.size()) - 1);
    bof_ = eof_ = false;
    calcRow_ = -2;
}

void TDataSet::resyncRows(int row) {
    const int oldIndex = cur_;
    rebuildRows();
    const int at = findRow(row);
    setCursorIndex(at >= 0 ? at : oldIndex);
}

void TDataSet::afterSourceWrite(int row, bool) {
    resyncRows(row);
}

// ---------------------------------------------------------------- navigation

void TDataSet::moveToIndex(int index) {
    DoBeforeScroll();
    setCursorIndex(index);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    setCursorIndex(0);
    bof_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    setCursorIndex(int(rows_.size()) - 1);
    eof_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    DoBeforeScroll();
    const int size = int(rows_.size());
    const int from = cur_;
    bof_ = eof_ = false;
    long long to = (long long)cur_ + distance;
    if (to >= size) {
        to = size - 1;
        eof_ = true;
    }
    if (to < 0) {
        to = 0;
        bof_ = true;
    }
    if (size == 0) bof_ = eof_ = true;
    cur_ = size == 0 ? -1 : int(to);
    const int moved = cur_ - from;
    DataEvent(TDataEvent::deDataSetScroll, moved);
    DoAfterScroll();
    return moved;
}

bool TDataSet::IsEmpty() const {
    return state_ != TDataSetState::dsInsert && rows_.empty();
}

int TDataSet::RecordCount() const {
    CheckActive();
    return int(rows_.size());
}

int TDataSet::RecNo() const {
    if (!Active() || state_ == TDataSetState::dsInsert || cur_ < 0) return -1;
    return cur_ + 1;
}

void TDataSet::setRecNo(int recNo) {
    CheckBrowseMode();
    if (recNo < 1 || recNo > int(rows_.size())) return;
    if (recNo - 1 != cur_) moveToIndex(recNo - 1);
}

void TDataSet::ReadRecordAt(int index, const std::function<void()>& reader) {
    CheckActive();
    if (index < 0 || index >= int(rows_.size()))
        error(QStringLiteral("Record %1 is out of range").arg(index + 1));
    struct Restore {
        int& peek;
        int saved;
        ~Restore() { peek = saved; }
    } restore{peekRow_, peekRow_};
    // The current record reads as usual, so an edit in progress shows; a
    // record being inserted is not a stored one, so every index reads stored.
    peekRow_ = index == cur_ && state_ != TDataSetState::dsInsert ? -1 : rows_[size_t(index)];
    reader();
}

// ---------------------------------------------------------------- bookmarks

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || state_ == TDataSetState::dsInsert) return {};
    return TBookmark(currentRow());
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const {
    return Active() && findRow(bookmark.row_) >= 0;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    CheckBrowseMode();
    const int at = findRow(bookmark.row_);
    if (at < 0) error(QStringLiteral("Record not found"));
    moveToIndex(at);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    const int ia = findRow(a.row_), ib = findRow(b.row_);
    return ia < ib ? -1 : (ia > ib ? 1 : 0);
}

// ---------------------------------------------------------------- searching

bool TDataSet::keyMatches(const TField* field, const QVariant& value, const QVariant& key, bool ci,
                          bool partial) {
    if (partial && !isEmptyValue(key) &&
        (field->DataType() == TFieldType::ftString || field->DataType() == TFieldType::ftMemo)) {
        return value.toString().startsWith(key.toString(),
                                           ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
    }
    return compareFieldValues(value, key, ci) == 0;
}

QVector<QVariant> TDataSet::searchValues(const QList<TField*>& fields,
                                         const QVariant& keyValues) const {
    QVariantList given;
    if (fields.size() == 1)
        given << keyValues;
    else
        given = keyValues.toList();
    if (given.size() != fields.size())
        error(QStringLiteral("%1 values given for %2 search fields")
                  .arg(given.size())
                  .arg(fields.size()));
    QVector<QVariant> keys;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i]->FieldKind() != TFieldKind::fkData)
            error(QStringLiteral("Field '%1' cannot be used in a search")
                      .arg(fields[i]->FieldName()));
        keys << (isEmptyValue(given[i]) ? QVariant() : fields[i]->convertValue(given[i]));
    }
    return keys;
}

int TDataSet::findMatch(const QList<TField*>& fields, const QVector<QVariant>& keys, bool ci,
                        bool partial) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        const int row = rows_[i];
        bool all = true;
        for (int f = 0; f < fields.size() && all; ++f)
            all =
                keyMatches(fields[f], sourceValue(row, fields[f]->FieldNo()), keys[f], ci, partial);
        if (all) return int(i);
    }
    return -1;
}

bool TDataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options) {
    CheckBrowseMode();
    const QList<TField*> fields = GetFieldList(keyFields);
    if (fields.isEmpty()) error(QStringLiteral("No fields to search"));
    const QVector<QVariant> keys = searchValues(fields, keyValues);
    DoBeforeScroll();
    const int at = findMatch(fields, keys, options.testFlag(loCaseInsensitive),
                             options.testFlag(loPartialKey));
    if (at < 0) return false;
    setCursorIndex(at);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
    return true;
}

QVariant TDataSet::Lookup(const QString& keyFields, const QVariant& keyValues,
                          const QString& resultFields) const {
    CheckActive();
    const QList<TField*> fields = GetFieldList(keyFields);
    const QList<TField*> results = GetFieldList(resultFields);
    const QVector<QVariant> keys = searchValues(fields, keyValues);
    const int at = findMatch(fields, keys, false, false);
    if (at < 0) return {};
    const int row = rows_[size_t(at)];
    QVariantList values;
    for (TField* r : results) {
        if (r->FieldKind() != TFieldKind::fkData)
            error(QStringLiteral("Field '%1' cannot be used in a search").arg(r->FieldName()));
        const QVariant raw = sourceValue(row, r->FieldNo());
        values << (isEmptyValue(raw) ? QVariant() : r->convertValue(raw));
    }
    return values.size() == 1 ? values.first() : QVariant(values);
}

// ---------------------------------------------------------------- editing

int TDataSet::sourceInsert(const QVector<QVariant>&) {
    error(QStringLiteral("Cannot modify a read-only dataset"));
}
void TDataSet::sourceUpdate(int, const QVector<QVariant>&) {
    error(QStringLiteral("Cannot modify a read-only dataset"));
}
void TDataSet::sourceDelete(int) {
    error(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::Insert() {
    beginInsert(false);
}

void TDataSet::Append() {
    beginInsert(true);
}

void TDataSet::beginInsert(bool atEnd) {
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
    insertIndex_ = atEnd ? int(rows_.size()) : std::max(cur_, 0);
    editBuf_.fill(QVariant());
    editRow_ = -1;
    calcDirty_ = true;
    SetState(TDataSetState::dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        discardEdit();
        SetState(TDataSetState::dsBrowse);
        throw;
    }
    modified_ = false;
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Edit() {
    CheckActive();
    if (editing(state_)) return;
    if (rows_.empty()) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    checkCurrentRowExists();
    DoBeforeEdit();
    editRow_ = currentRow();
    for (int i = 0; i < fieldDefs_.size(); ++i)
        editBuf_[i] = sourceValue(editRow_, i);
    calcDirty_ = true;
    SetState(TDataSetState::dsEdit);
    DataEvent(TDataEvent::deRecordChange);
    DoAfterEdit();
}

void TDataSet::UpdateRecord() {
    if (!editing(state_)) error(QStringLiteral("Dataset not in edit or insert mode"));
    DataEvent(TDataEvent::deUpdateRecord);
}

void TDataSet::Post() {
    CheckActive();
    if (state_ == TDataSetState::dsSetKey) {
        SetState(TDataSetState::dsBrowse);
        return;
    }
    if (!editing(state_)) return;
    UpdateRecord();
    DataEvent(TDataEvent::deCheckBrowseMode);
    DoBeforePost();
    for (const TField* f : std::as_const(fields_))
        if (f->Required() && f->FieldKind() == TFieldKind::fkData && f->IsNull())
            error(QStringLiteral("Field '%1' must have a value").arg(f->DisplayName()));
    // A refused write raises here and leaves the record in edit with its values.
    const bool inserted = state_ == TDataSetState::dsInsert;
    int row = editRow_;
    if (inserted)
        row = sourceInsert(editBuf_);
    else
        sourceUpdate(editRow_, editBuf_);
    editRow_ = -1;
    SetState(TDataSetState::dsBrowse);
    afterSourceWrite(row, inserted);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterPost();
}

// Editing a row that another cursor deleted would bring it back or store into
// a dead slot: the cursor is brought up to date instead.
void TDataSet::checkCurrentRowExists() {
    if (!sourceRowDeleted(currentRow())) return;
    resyncRows(-1);
    DataEvent(TDataEvent::deDataSetChange);
    error(QStringLiteral("Record/Key deleted"));
}

void TDataSet::discardEdit() {
    editRow_ = -1;
    editBuf_.fill(QVariant());
    calcRow_ = -2;
}

void TDataSet::Cancel() {
    if (state_ == TDataSetState::dsSetKey) {
        SetState(TDataSetState::dsBrowse);
        return;
    }
    if (!editing(state_)) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    DoBeforeCancel();
    const bool wasInsert = state_ == TDataSetState::dsInsert;
    discardEdit();
    SetState(TDataSetState::dsBrowse);
    if (wasInsert) setCursorIndex(cur_);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterCancel();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) {
        Cancel();
        return;
    }
    if (rows_.empty()) error(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckCanModify();
    checkCurrentRowExists();
    DataEvent(TDataEvent::deCheckBrowseMode);
    DoBeforeDelete();
    DoBeforeScroll();
    sourceDelete(currentRow());
    discardEdit();
    SetState(TDataSetState::dsBrowse);
    afterSourceWrite(-1, false);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    if (editing(state_)) {
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    } else if (state_ == TDataSetState::dsSetKey) {
        Post();
    }
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    InternalRefresh();
    resyncRows(currentRow());
    DataEvent(TDataEvent::deDataSetChange);
}

// ---------------------------------------------------------------- controls

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = TDataEvent::deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ > 0) return;
    if (disableState_ != state_) DataEvent(TDataEvent::deUpdateState);
    if (disableState_ != TDataSetState::dsInactive && state_ != TDataSetState::dsInactive)
        DataEvent(enableEvent_);
}

void TDataSet::DataEvent(TDataEvent event, qintptr info) {
    if (event == TDataEvent::deFieldChange) calcDirty_ = true;
    if (disableCount_ > 0) {
        // Closing or a field list change while disabled: the fields may be new
        // objects when the controls come back, so they must look them up again.
        if (event == TDataEvent::deLayoutChange ||
            (event == TDataEvent::deUpdateState && state_ == TDataSetState::dsInactive))
            enableEvent_ = TDataEvent::deLayoutChange;
        return;
    }
    const QList<QPointer<TDataSource>> sources = dataSources_;
    for (const QPointer<TDataSource>& ds : sources)
        if (ds) ds->DataEvent(event, info);
}

void TDataSet::addDataSource(TDataSource* source) {
    if (!dataSources_.contains(source)) dataSources_.append(source);
}

void TDataSet::removeDataSource(TDataSource* source) {
    dataSources_.removeAll(source);
    dataSources_.removeAll(nullptr);
}

// ---------------------------------------------------------------- filter

void TDataSet::setFilter(const QString& text) {
    if (text == filterText_) return;
    FilterExpression expr(text);
    if (Active()) bindFilter(expr);
    if (Active() && filtered_) CheckBrowseMode();
    filterText_ = text;
    filterExpr_ = Active() ? std::make_unique<FilterExpression>(std::move(expr)) : nullptr;
    if (Active() && filtered_) {
        rebuildRows();
        First();
    }
}

void TDataSet::setFiltered(bool filtered) {
    if (filtered == filtered_) return;
    if (Active()) CheckBrowseMode();
    filtered_ = filtered;
    if (Active()) {
        rebuildRows();
        First();
    }
}

void TDataSet::setFilterOptions(TFilterOptions options) {
    if (options == filterOptions_) return;
    if (Active()) CheckBrowseMode();
    filterOptions_ = options;
    if (Active() && filtered_) {
        rebuildRows();
        First();
    }
}
