#include "TDataSource.h"

namespace {

bool editState(TDataSetState s) {
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert ||
           s == TDataSetState::dsSetKey;
}

} // namespace

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(QObject* owner) : QObject(owner) {
    events_.add(QStringLiteral("OnStateChange"), &OnStateChange);
    events_.add(QStringLiteral("OnDataChange"), &OnDataChange);
    events_.add(QStringLiteral("OnUpdateData"), &OnUpdateData);
}

TDataSource::~TDataSource() {
    if (dataSet_) dataSet_->removeDataSource(this);
    const QList<TDataLink*> links = links_;
    for (TDataLink* link : links) {
        link->dataSource_ = nullptr;
        link->updateState();
    }
}

TDataSetState TDataSource::State() const {
    return dataSet_ && enabled_ ? dataSet_->State() : TDataSetState::dsInactive;
}

// Links see the old dataset go and the new one come, so controls rebind.
void TDataSource::setDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) {
        dataSet_->removeDataSource(this);
        dataSet_ = nullptr;
        notifyStateChange();
    }
    dataSet_ = dataSet;
    if (dataSet) {
        dataSet->addDataSource(this);
        notifyStateChange();
    }
}

void TDataSource::dataSetDestroyed(TDataSet* dataSet) {
    if (dataSet_ != dataSet) return;
    dataSet_ = nullptr;
    notifyStateChange();
}

void TDataSource::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    notifyStateChange();
}

void TDataSource::Edit() {
    if (autoEdit_ && State() == TDataSetState::dsBrowse) dataSet_->Edit();
}

void TDataSource::notifyStateChange() {
    const TDataSetState now = State();
    if (now == lastState_) return;
    lastState_ = now;
    const QList<TDataLink*> links = links_;
    for (TDataLink* link : links)
        if (links_.contains(link)) link->updateState();
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::DataEvent(TDataEvent event, qintptr info) {
    if (event == TDataEvent::deUpdateState) {
        notifyStateChange();
        return;
    }
    if (State() == TDataSetState::dsInactive) return;
    const QList<TDataLink*> links = links_;
    for (TDataLink* link : links)
        if (links_.contains(link) && link->active_) link->dataEvent(event, info);
    switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, event == TDataEvent::deFieldChange ? reinterpret_cast<TField*>(info)
                                                                  : nullptr);
        break;
    case TDataEvent::deUpdateRecord:
        if (OnUpdateData) OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::addLink(TDataLink* link) {
    if (!links_.contains(link)) links_.append(link);
}

void TDataSource::removeLink(TDataLink* link) {
    links_.removeAll(link);
}

// ---------------------------------------------------------------- TDataLink

TDataLink::~TDataLink() {
    if (dataSource_) dataSource_->removeLink(this);
}

void TDataLink::setDataSource(TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_) dataSource_->removeLink(this);
    dataSource_ = source;
    if (source) source->addLink(this);
    updateState();
}

TDataSet* TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::setReadOnly(bool readOnly) {
    if (readOnly_ == readOnly) return;
    readOnly_ = readOnly;
    updateState();
}

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_) dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::updateState() {
    const TDataSetState s = dataSource_ ? dataSource_->State() : TDataSetState::dsInactive;
    setActive(s != TDataSetState::dsInactive);
    setEditing(active_ && editState(s) && !readOnly_);
}

void TDataLink::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    ActiveChanged();
}

void TDataLink::setEditing(bool editing) {
    if (editing_ == editing) return;
    editing_ = editing;
    EditingChanged();
}

void TDataLink::DataSetScrolled(int) {
    DataSetChanged();
}

void TDataLink::RecordChanged(TField*) {}

void TDataLink::FocusControl(TField*) {}

void TDataLink::dataEvent(TDataEvent event, qintptr info) {
    switch (event) {
    case TDataEvent::deFieldChange:
        if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case TDataEvent::deRecordChange:
        if (!updating_) RecordChanged(nullptr);
        break;
    case TDataEvent::deDataSetChange:
        DataSetChanged();
        break;
    case TDataEvent::deDataSetScroll:
        DataSetScrolled(int(info));
        break;
    case TDataEvent::deLayoutChange:
        LayoutChanged();
        break;
    case TDataEvent::deUpdateRecord:
        UpdateRecord();
        break;
    case TDataEvent::deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case TDataEvent::deFocusControl:
        FocusControl(reinterpret_cast<TField*>(info));
        break;
    case TDataEvent::deUpdateState:
        break;
    }
}

// ---------------------------------------------------------------- TFieldDataLink

void TFieldDataLink::setFieldName(const QString& name) {
    if (name == fieldName_) return;
    fieldName_ = name;
    updateField();
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && field_ && field_->CanModify();
}

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset() {
    RecordChanged(nullptr);
}

void TFieldDataLink::updateField() {
    TField* found = nullptr;
    if (Active() && !fieldName_.isEmpty()) found = DataSet()->FindField(fieldName_);
    if (found == field_ && found) return;
    field_ = found;
    EditingChanged();
    RecordChanged(nullptr);
}

void TFieldDataLink::ActiveChanged() {
    updateField();
    if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::LayoutChanged() {
    updateField();
    if (OnLayoutChange) OnLayoutChange();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != field_) return;
    if (OnDataChange) OnDataChange();
    modified_ = false;
}

void TFieldDataLink::UpdateData() {
    if (!modified_) return;
    if (field_ && OnUpdateData) OnUpdateData();
    modified_ = false;
}

void TFieldDataLink::FocusControl(TField* field) {
    if (field && field == field_ && OnFocusControl) OnFocusControl(field);
}
