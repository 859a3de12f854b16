#include "KivFind.h"

#include "KivForms.h"
#include "KivTable.h"
#include "UIServices.h"

namespace {

const QString kNoSortFields =
    QStringLiteral("Fields for sorting must be defined! Search is impossible");
const QString kNoClauses = QStringLiteral("Any clauses are not defined! Search is impossible");
const QString kNotFound = QStringLiteral("Record not found!");
const QString kFindNearest = QStringLiteral("Find nearest?");

bool isBlank(const QVariant& v) {
    return isEmptyValue(v);
}

// The lookup field the user should pick `key`'s value with, if any.
TField* lookupFor(const TDataSet* dataSet, const TField* key) {
    for (TField* f : dataSet->Fields())
        if (f->FieldKind() == TFieldKind::fkLookup &&
            f->KeyFields().trimmed().compare(key->FieldName(), Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------- find dataset

TKivFindDataSet::TKivFindDataSet(QObject* owner) : TMemTable(owner) {
    setObjectName(QStringLiteral("KivFind"));
}

TKivFindDataSet::~TKivFindDataSet() = default;

void TKivFindDataSet::CopyFields(const TDataSet* source) {
    for (const TField* f : source->Fields()) {
        if (f->IsBlob()) continue;
        TField* copy = f->clone(this);
        copy->setReadOnly(false);
        copy->setDataSet(this);
    }
    addFieldDefsFrom(Fields());
}

// ---------------------------------------------------------------- component

TKivFindDlg::TKivFindDlg(QObject* owner) : QObject(owner) {}

TKivFindDlg::~TKivFindDlg() {
    EndSearch();
}

TTable* TKivFindDlg::keyTable() const {
    return qobject_cast<TTable*>(searched_.data());
}

bool TKivFindDlg::Execute() {
    if (!BeginSearch()) return false;
    struct End {
        TKivFindDlg* self;
        ~End() { self->EndSearch(); }
    } end{this};
    int result;
    {
        TKivApp::Busy busy;
        result = dialog_->exec();
    }
    if (result != QDialog::Accepted) {
        Cancelled();
        return false;
    }
    FindChosen();
    return true;
}

bool TKivFindDlg::BeginSearch() {
    EndSearch();
    TDataSet* dataSet = dataSource_ ? dataSource_->DataSet() : nullptr;
    // A closed dataset (no project open) has nothing to search.
    if (!dataSet || !dataSet->Active()) return false;
    const QString sortNames = GetSortFields(dataSet);
    if (sortNames.trimmed().isEmpty()) {
        KivShowMessage(kNoSortFields);
        return false;
    }
    try {
        dataSet->CheckBrowseMode();
        searched_ = dataSet;
        dialog_ = std::make_unique<TDialFind>();
        findDataSet_ = std::make_unique<TKivFindDataSet>();
        findDataSet_->CopyFields(dataSet);
        dataSet->DisableControls();
        controlsDisabled_ = true;

        sortFields_ = dataSet->GetFieldList(sortNames);
        anyString_ = false;
        for (TField* sort : std::as_const(sortFields_)) {
            const TField* shown = lookupFor(dataSet, sort);
            TField* copy = shown ? findDataSet_->FindField(shown->FieldName()) : nullptr;
            if (!copy) copy = findDataSet_->FindField(sort->FieldName());
            if (copy) shownFields_ << copy;
            if (sort->DataType() == TFieldType::ftString) anyString_ = true;
        }

        findDataSet_->Open();
        findDataSet_->Append();
        if (TTable* table = keyTable()) {
            // The previous search's values are still in the key buffer.
            table->EditKey();
            for (const TField* f : dataSet->Fields()) {
                if (f->FieldKind() != TFieldKind::fkData || f->IsBlob()) continue;
                if (TField* copy = findDataSet_->FindField(f->FieldName()))
                    copy->setValue(f->Value());
            }
            table->Cancel();
        }

        dialog_->setWindowTitle(TDialFind::BaseCaption() + QLatin1Char(' ') +
                                DisplayLabels(findDataSet_.get(), sortNames));
        dialog_->DataSourceFind->setDataSet(findDataSet_.get());
        dialog_->BuildRows(shownFields_, maxLabelWidth_, maxEditWidth_);
        dialog_->CheckBoxCase->setChecked(caseSensitive_);
        dialog_->CheckBoxFull->setChecked(fullCoincidence_);
        dialog_->CheckBoxCase->setEnabled(anyString_);
        dialog_->CheckBoxFull->setEnabled(anyString_);
    } catch (...) {
        EndSearch();
        throw;
    }
    return true;
}

void TKivFindDlg::Cancelled() {
    if (searched_ && searched_->State() == TDataSetState::dsSetKey) searched_->Cancel();
}

bool TKivFindDlg::askNearest() {
    TKivApp::Busy busy;
    return UIServices::instance().ask(kNotFound + QLatin1Char('\n') + kFindNearest,
                                      QStringLiteral("Information"), UIServices::Icon::Information,
                                      {UIServices::Answer::Yes, UIServices::Answer::No}) ==
           UIServices::Answer::Yes;
}

bool TKivFindDlg::FindChosen() {
    if (!searched_ || !findDataSet_ || !dialog_) return false;
    const bool caseOn = dialog_->CheckBoxCase->isChecked();
    const bool fullOn = dialog_->CheckBoxFull->isChecked();
    if (anyString_) {
        caseSensitive_ = caseOn;
        fullCoincidence_ = fullOn;
    }

    QVariantList values;
    for (const TField* sort : std::as_const(sortFields_)) {
        const TField* copy = findDataSet_->FindField(sort->FieldName());
        values << (copy ? copy->Value() : QVariant());
    }

    TTable* table = keyTable();
    if (table) {
        // Kept for the next search, whatever this one finds.
        table->EditKey();
        for (int i = 0; i < sortFields_.size(); ++i)
            sortFields_[i]->setValue(values[i]);
    }

    int used = int(values.size());
    while (used > 0 && isBlank(values[used - 1]))
        --used;
    if (used == 0) {
        if (table) table->Post();
        KivShowMessage(kNoClauses);
        return false;
    }
    int first = 0;
    while (isBlank(values[first]))
        ++first;
    bool usedString = false;
    for (int i = first; i < used; ++i)
        usedString = usedString || sortFields_[i]->DataType() == TFieldType::ftString;

    const bool keyPossible = first == 0 && table;
    if (keyPossible && (!usedString || (caseOn && fullOn))) {
        table->setKeyFieldCount(used);
        if (table->GotoKey()) return true;
        if (!askNearest()) return false;
        table->GotoNearest();
        return true;
    }

    if (table) table->Post(); // leaves the set-key state, keeping the values
    QStringList names;
    for (int i = first; i < used; ++i)
        names << sortFields_[i]->FieldName();
    const QVariant keyValues =
        used - first == 1 ? values[first] : QVariant(values.mid(first, used - first));
    TLocateOptions options;
    if (usedString) {
        if (!caseOn) options |= loCaseInsensitive;
        if (!fullOn) options |= loPartialKey;
    }
    if (searched_->Locate(names.join(QLatin1Char(';')), keyValues, options)) return true;
    if (!keyPossible) {
        KivShowMessage(kNotFound);
        return false;
    }
    if (!askNearest()) return false;
    table->EditKey();
    table->setKeyFieldCount(used);
    table->GotoNearest();
    return true;
}

void TKivFindDlg::EndSearch() {
    if (findDataSet_ && findDataSet_->Active()) findDataSet_->Cancel();
    if (searched_) {
        // A search that failed half-way must not leave the dataset waiting
        // for a key, or its controls switched off.
        if (searched_->State() == TDataSetState::dsSetKey) searched_->Cancel();
        if (controlsDisabled_) searched_->EnableControls();
    }
    controlsDisabled_ = false;
    searched_ = nullptr;
    sortFields_.clear();
    shownFields_.clear();
    dialog_.reset();
    findDataSet_.reset();
}
