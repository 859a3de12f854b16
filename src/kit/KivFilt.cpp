#include "KivFilt.h"

#include "Filter.h"
#include "KivFiltStream.h"
#include "KivForms.h"
#include "KivTable.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>

// Active changes of the data source's dataset reach the engine.
class TKivFilter::Link : public TDataLink {
public:
    explicit Link(TKivFilter& owner) : owner_(owner) {}

protected:
    void ActiveChanged() override { owner_.activeChanged(); }

private:
    TKivFilter& owner_;
};

namespace {

// Marks the engine busy for a scope, also when the scope ends by an exception.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy), was_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = was_; }

private:
    bool& busy_;
    bool was_;
};

// Controls of a dataset disabled for a scope.
class ControlsOff {
public:
    explicit ControlsOff(TDataSet* dataSet) : dataSet_(dataSet) {
        if (dataSet_) dataSet_->DisableControls();
    }
    ~ControlsOff() {
        if (dataSet_) dataSet_->EnableControls();
    }

private:
    QPointer<TDataSet> dataSet_;
};

} // namespace

TKivFilter::TKivFilter(QObject* owner) : QObject(owner), link_(std::make_unique<Link>(*this)) {
    events_.add(QStringLiteral("OnSet"), &OnSet);
    events_.add(QStringLiteral("OnUnset"), &OnUnset);
    events_.add(QStringLiteral("OnCreateValue"), &OnCreateValue);
    events_.add(QStringLiteral("OnConstructCondition"), &OnConstructCondition);
    events_.add(QStringLiteral("OnDataSetLink"), &OnDataSetLink);
    events_.add(QStringLiteral("OnCreateQExtracts"), &OnCreateQExtracts);
    events_.add(QStringLiteral("OnConstructFilter"), &OnConstructFilter);
    events_.add(QStringLiteral("OnVisualizeFilters"), &OnVisualizeFilters);
    events_.add(QStringLiteral("OnGetFromEditWindow"), &OnGetFromEditWindow);
    events_.add(QStringLiteral("OnSetToEditWindow"), &OnSetToEditWindow);
}

TKivFilter::~TKivFilter() {
    busy_ = true; // nothing is loaded again on the way out
    // The data source and the dataset get back what they had.
    if (underlying_ && dataSource_ && dataSource_->DataSet() == extracts_)
        dataSource_->setDataSet(underlying_);
    restoreState(false);
    link_->setDataSource(nullptr);
    if (ownsExtracts_) delete extracts_.data();
}

// ---------------------------------------------------------------- properties

void TKivFilter::setDataSource(TDataSource* source) {
    if (source == dataSource_) return;
    restoreState(false);
    underlying_ = nullptr;
    isSet_ = false;
    dataSource_ = source;
    link_->setDataSource(source);
}

void TKivFilter::setOneFilter(bool one) {
    oneFilter_ = one;
    if (!one) return;
    if (filters_.isEmpty()) AddFilter();
    while (filters_.size() > 1)
        filters_.removeLast();
    current_ = 0;
}

void TKivFilter::setFilterSetAs(int how) {
    if (isSet_) {
        KivShowMessage(QStringLiteral("Can't change when filter used"));
        return;
    }
    filterSetAs_ = TFilterSetAs(how);
}

void TKivFilter::setQExtracts(TDataSet* query) {
    if (query == extracts_) return;
    if (ownsExtracts_) delete extracts_.data();
    ownsExtracts_ = false;
    extracts_ = query;
}

QList<TDataSet*> TKivFilter::SubDataSets() const {
    QList<TDataSet*> list;
    for (const QPointer<TDataSet>& d : subDataSets_)
        if (d) list << d;
    return list;
}

void TKivFilter::setSubDataSets(const QList<TDataSet*>& dataSets) {
    subDataSets_.clear();
    for (TDataSet* d : dataSets)
        subDataSets_ << QPointer<TDataSet>(d);
}

// ---------------------------------------------------------------- the list

TFilterItem* TKivFilter::CurrentFilter() {
    return current_ >= 0 && current_ < filters_.size() ? &filters_[current_] : nullptr;
}

bool TKivFilter::AddFilter() {
    if (oneFilter_ && !filters_.isEmpty()) return false;
    int n = int(filters_.size());
    while (FindFilter(QStringLiteral("Filter #%1").arg(n)) >= 0)
        ++n;
    TFilterItem item;
    item.Name = QStringLiteral("Filter #%1").arg(n);
    filters_.append(item);
    current_ = int(filters_.size()) - 1;
    return true;
}

void TKivFilter::DeleteFilter() {
    if (!CurrentFilter()) return;
    filters_.removeAt(current_);
    current_ = std::min(current_, int(filters_.size()) - 1);
}

void TKivFilter::PriorFilter() {
    if (filters_.isEmpty()) return;
    current_ = current_ <= 0 ? int(filters_.size()) - 1 : current_ - 1;
}

void TKivFilter::NextFilter() {
    if (filters_.isEmpty()) return;
    current_ = current_ >= int(filters_.size()) - 1 ? 0 : current_ + 1;
}

void TKivFilter::SelectFilter(int index) {
    current_ = filters_.isEmpty() ? -1 : qBound(0, index, int(filters_.size()) - 1);
}

int TKivFilter::FindFilter(const QString& name) const {
    for (int i = 0; i < filters_.size(); ++i)
        if (filters_[i].Name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TKivFilter::AddCondition() {
    if (TFilterItem* f = CurrentFilter()) f->Conditions.append(TConditionItem());
}

void TKivFilter::DeleteCondition(int index) {
    TFilterItem* f = CurrentFilter();
    if (f && index >= 0 && index < f->Conditions.size()) f->Conditions.removeAt(index);
}

// ---------------------------------------------------------------- applying

TDataSet* TKivFilter::MainDataSet() const {
    if (underlying_) return underlying_;
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TKivFilter::SetFilter(bool set) {
    if (!set) {
        if (!isSet_) return;
        BusyScope busy(busy_);
        if (OnUnset)
            OnUnset(this);
        else if (underlying_ && dataSource_ && dataSource_->DataSet() == extracts_)
            showUnderlying();
        else
            restoreState(true);
        isSet_ = false;
        return;
    }
    BusyScope busy(busy_);
    if (OnSet) {
        OnSet(this);
        isSet_ = true;
        return;
    }
    if (!dataSource_ || !MainDataSet()) return;
    if (NeedsExtract())
        setByExtract();
    else
        setByRecordFilter();
}

void TKivFilter::setByRecordFilter() {
    TDataSet* dataSet = MainDataSet();
    if (underlying_ && dataSource_->DataSet() == extracts_) {
        ControlsOff off(dataSet);
        showUnderlying();
        applyRecordFilter(dataSet, FilterText(dataSet, false));
        return;
    }
    ControlsOff off(dataSet);
    applyRecordFilter(dataSet, FilterText(dataSet, false));
}

void TKivFilter::applyRecordFilter(TDataSet* dataSet, const QString& own) {
    saveState(dataSet);
    QString text = own;
    if (saved_.filtered) {
        text = AndConditions(saved_.filter, own);
        dataSet->OnFilterRecord = saved_.onFilterRecord;
    } else {
        dataSet->OnFilterRecord = nullptr;
    }
    if (own.isEmpty()) {
        // Nothing of the filter applies: the dataset's own settings come back.
        restoreState(true);
        isSet_ = false;
        return;
    }
    if (dataSet->Filter() != text || !dataSet->Filtered()) {
        TBookmark mark = dataSet->GetBookmark();
        ControlsOff off(dataSet);
        try {
            dataSet->setFilter(text);
            dataSet->setFiltered(true);
        } catch (const EKivError&) {
            // A text the dataset cannot read leaves it as it was.
            restoreState(true);
            isSet_ = false;
            KivShowMessage(QStringLiteral("Incorrect filter"));
            return;
        }
        GotoBookmarkSafe(dataSet, mark);
        dataSet->FreeBookmark(mark);
    }
    isSet_ = true;
}

void TKivFilter::setByExtract() {
    const QString where = WhereClause();
    if (where.isEmpty()) {
        SetFilter(false);
        return;
    }
    const bool shown = underlying_ && dataSource_->DataSet() == extracts_;
    QString keyFields;
    QVariantList keyValues;
    if (shown && extracts_->Active() && !extracts_->IsEmpty()) {
        keyFields = GetUniqueFields(extracts_);
        for (const TField* f : extracts_->GetFieldList(keyFields))
            keyValues << f->Value();
    }
    TDataSet* source = shown ? underlying_.data() : dataSource_->DataSet();
    // A record filter set before stays no longer: the extract replaces it.
    if (saved_.dataSet == source) restoreState(true);

    const QString table = QuoteTableName(KivGetStringProperty(source, QStringLiteral("TableName")));
    const QString order = GetSortFields(source);
    if (!extracts_ && OnCreateQExtracts) OnCreateQExtracts(this);
    if (!extracts_) {
        const QMetaObject* type =
            ExtractQueryClass() ? ExtractQueryClass() : &TKivQuery::staticMetaObject;
        auto* query = qobject_cast<TDataSet*>(type->newInstance(Q_ARG(QObject*, nullptr)));
        if (!query) return;
        TwinDataSet(source, query);
        extracts_ = query;
        ownsExtracts_ = true;
    }
    TDataSet* extract = extracts_;
    ControlsOff off(extract);
    extract->Close();
    const QString sql = SelectStatement(source, table, where, order);
    if (!KivSetStringListProperty(extract, QStringLiteral("SQL"), QStringList{sql})) {
        KivShowMessage(QStringLiteral("Property \"SQL\" is absent in dataset ") +
                       extract->objectName());
        return;
    }
    try {
        extract->Open();
    } catch (const EKivError&) {
        KivShowMessage(QStringLiteral("Incorrect filter"));
        SetFilter(false);
        return;
    }
    if (shown)
        LocateRecord(extract, keyFields,
                     keyValues.size() == 1 ? keyValues.first() : QVariant(keyValues),
                     loCaseInsensitive);
    else
        LocateSameRecord(source, extract);
    if (!shown) {
        underlying_ = source;
        dataSource_->setDataSet(extract);
        saveState(extract);
    }
    isSet_ = true;
}

void TKivFilter::showUnderlying() {
    TDataSet* underlying = underlying_;
    TDataSet* extract = extracts_;
    ControlsOff off(underlying);
    if (extract && extract->Active()) {
        SetSortFields(underlying, GetSortFields(extract), false);
        LocateSameRecord(extract, underlying);
    }
    underlying_ = nullptr;
    if (dataSource_) dataSource_->setDataSet(underlying);
}

void TKivFilter::saveState(TDataSet* dataSet) {
    if (saved_.dataSet == dataSet) return;
    saved_ = {dataSet, dataSet->Filter(), dataSet->Filtered(), dataSet->OnFilterRecord};
}

void TKivFilter::restoreState(bool keepPosition) {
    TDataSet* dataSet = saved_.dataSet;
    const SavedState saved = saved_;
    saved_ = SavedState();
    if (!dataSet) return;
    const bool moves = keepPosition && dataSet->Active();
    TBookmark mark = moves ? dataSet->GetBookmark() : TBookmark();
    ControlsOff off(dataSet);
    dataSet->OnFilterRecord = saved.onFilterRecord;
    if (dataSet->Filtered() != saved.filtered) dataSet->setFiltered(saved.filtered);
    if (dataSet->Filter() != saved.filter) dataSet->setFilter(saved.filter);
    if (moves) GotoBookmarkSafe(dataSet, mark);
}

void TKivFilter::activeChanged() {
    // The extract closed (with its project): the data source would go on
    // showing a closed query, so it shows its own dataset again.
    if (!busy_ && underlying_ && dataSource_ && dataSource_->DataSet() == extracts_ && extracts_ &&
        !extracts_->Active()) {
        TDataSet* own = underlying_;
        underlying_ = nullptr;
        isSet_ = false;
        BusyScope busy(busy_);
        dataSource_->setDataSet(own);
    }
    TDataSet* shown = dataSource_ ? dataSource_->DataSet() : nullptr;
    if (saved_.dataSet != shown) restoreState(false);
    if (busy_) return;
    underlying_ = nullptr;
    // A damaged filter file must not stop the dataset from opening.
    try {
        LoadFilters();
    } catch (const EKivError& e) {
        KivShowMessage(e.message());
    }
}

void TKivFilter::EditFilters() {
    if (!MainDataSet()) {
        filters_.clear();
        current_ = -1;
        return;
    }
    TKivApp::Busy busy;
    TFormFilter form(QApplication::activeWindow());
    form.setFilter(this);
    switch (form.exec()) {
    case TFormFilter::ResultSet:
        SaveFilters();
        SetFilter(true);
        break;
    case TFormFilter::ResultTakeOff:
        SaveFilters();
        SetFilter(false);
        break;
    default:
        LoadFilters();
    }
}

// ---------------------------------------------------------------- the file

TKivFilter::TFilterFileHook& TKivFilter::LoadFiltersHook() {
    static TFilterFileHook hook;
    return hook;
}

TKivFilter::TFilterFileHook& TKivFilter::SaveFiltersHook() {
    static TFilterFileHook hook;
    return hook;
}

const QMetaObject*& TKivFilter::ExtractQueryClass() {
    static const QMetaObject* type = nullptr;
    return type;
}

QString TKivFilter::DefaultFileName() const {
    TDataSet* dataSet = MainDataSet();
    QString name = KivGetStringProperty(dataSet, QStringLiteral("TableName"));
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (name.isEmpty() && dataSet) name = dataSet->objectName();
    // The drive root of the other platform is the file system's root here.
    return QStringLiteral("/") + name + QStringLiteral(".flt");
}

void TKivFilter::LoadFilters() {
    if (LoadFiltersHook()) {
        LoadFiltersHook()(this);
        return;
    }
    QFile file(DefaultFileName());
    if (!file.exists()) return;
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Cannot open file %1: %2").arg(file.fileName(), file.errorString()));
    ReadFilters(file);
}

void TKivFilter::SaveFilters() {
    if (SaveFiltersHook()) {
        SaveFiltersHook()(this);
        return;
    }
    QSaveFile file(DefaultFileName());
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(
            QStringLiteral("Cannot create file %1: %2").arg(file.fileName(), file.errorString()));
    WriteFilters(file, file.fileName());
    if (!file.commit())
        throw EInOutError(
            QStringLiteral("Cannot write file %1: %2").arg(file.fileName(), file.errorString()));
}

void TKivFilter::ReadFilters(QIODevice& in) {
    // Read whole before anything is replaced: a damaged file loses nothing.
    TFilterList list = ReadFilterList(in);
    filters_ = std::move(list.Filters);
    current_ = list.Current;
}

void TKivFilter::WriteFilters(QIODevice& out, const QString& fileName) const {
    WriteFilterList(out, TFilterList{fileName, current_, filters_});
}

// ---------------------------------------------------------------- dataset operations

void TwinDataSet(TDataSet* source, TDataSet* query) {
    if (!source || !query) return;
    const QString database = KivGetStringProperty(source, QStringLiteral("DatabaseName"));
    if (!database.isEmpty()) KivSetStringProperty(query, QStringLiteral("DatabaseName"), database);
    for (const char* name : {"TableName", "UniqueFields", "Caption"})
        KivSetStringProperty(query, QLatin1String(name),
                             KivGetStringProperty(source, QLatin1String(name)));
    query->setTag(source->Tag());
    KivSetStringListProperty(query, QStringLiteral("SortingList"),
                             KivGetStringListProperty(source, QStringLiteral("SortingList")));
    query->events().copyFrom(source->events());
    KivCopyEventHandlers(source, query);

    // Fields the source made itself at open are not part of its design.
    if (source->DefaultFields()) return;
    for (const TField* field : source->Fields()) {
        if (query->FindField(field->FieldName())) continue;
        TField* copy = field->clone(query);
        copy->setDataSet(query);
    }
}

bool LocateSameRecord(TDataSet* source, TDataSet* target) {
    if (!source || !target || !source->Active() || source->IsEmpty() || !target->Active())
        return false;
    const QString key = GetUniqueFields(source);
    if (key.isEmpty()) return false;
    QVariantList values;
    for (const TField* f : source->GetFieldList(key))
        values << f->Value();
    return LocateRecord(target, key, values.size() == 1 ? values.first() : QVariant(values),
                        loCaseInsensitive);
}
