#include "KivDB.h"

#include "KivError.h"
#include "KivForms.h"

#include <algorithm>

TKivListField::TKivListField(QObject* owner) : TSmallintField(owner) {
    setAlignment(TAlignment::taLeftJustify);
    setValues({});
}

void TKivListField::setValues(const QStringList& values) {
    values_ = values;
    setMaxValue(values_.size() - 1);
    changed();
}

QString TKivListField::AsString() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    const qint64 n = v.toLongLong();
    return n >= 0 && n < values_.size() ? values_[int(n)] : QString();
}

void TKivListField::setAsString(const QString& text) {
    if (text.isEmpty()) {
        Clear();
        return;
    }
    for (int line = 0; line < values_.size(); ++line)
        if (values_[line].compare(text, Qt::CaseInsensitive) == 0) return setAsInteger(line);
    throw EDatabaseError(QStringLiteral("Invalid value for field '%1'").arg(DisplayName()));
}

void TKivListField::setAsInteger(qint64 value) {
    if (value >= 0 && value < values_.size() && values_[int(value)].isEmpty()) {
        Clear();
        return;
    }
    checkRange(value, 0, MaxValue());
    setValue(value);
}

// ---------------------------------------------------------------- lookup fields

TKivLookField::TKivLookField(QObject* owner) : TStringField(owner) {}

QStringList TKivLookField::ResultFieldNames() const {
    QStringList names;
    for (const QString& name : (LookupResultField() + QLatin1Char(';') + LookupAddFields)
                                   .split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString n = name.trimmed();
        if (!n.isEmpty() && !names.contains(n, Qt::CaseInsensitive)) names << n;
    }
    return names;
}

QList<TField*> TKivLookField::ResultFields() const {
    TDataSet* lookup = LookupDataSet();
    return lookup ? lookup->GetFieldList(ResultFieldNames().join(QLatin1Char(';')))
                  : QList<TField*>();
}

QList<TField*> TKivLookField::GridFields() const {
    TDataSet* lookup = LookupDataSet();
    return lookup && !LookupGridFields.isEmpty() ? lookup->GetFieldList(LookupGridFields)
                                                 : QList<TField*>();
}

QVariantList TKivLookField::results() const {
    const QVariant raw = rawValue();
    if (raw.typeId() == QMetaType::QVariantList) return raw.toList();
    return raw.isNull() ? QVariantList() : QVariantList{raw};
}

QVariant TKivLookField::Value() const {
    if (!isLookup()) return TStringField::Value();
    // A search key is typed as text.
    if (DataSet() && DataSet()->State() == TDataSetState::dsSetKey) return TStringField::Value();
    return results().value(resultIndex_ < 0 ? 0 : resultIndex_);
}

bool TKivLookField::IsNull() const {
    if (!isLookup()) return TStringField::IsNull();
    if (options_.testFlag(foValueNotInLookup) && !KeyFields().isEmpty() && DataSet()) {
        // A key without a matching row still is a value.
        for (const TField* key : DataSet()->GetFieldList(KeyFields()))
            if (!key->IsNull()) return false;
        return true;
    }
    const QVariantList values = results();
    return std::all_of(values.cbegin(), values.cend(),
                       [](const QVariant& v) { return v.isNull(); });
}

QString TKivLookField::resultText(int index) const {
    const QVariant value = results().value(index);
    if (value.isNull() && DataSet() &&
        ResultFieldNames().value(index).compare(LookupKeyFields(), Qt::CaseInsensitive) == 0) {
        const TField* own = DataSet()->FindField(KeyFields());
        return own ? own->AsString() : QString();
    }
    return value.toString();
}

QString TKivLookField::ResultText(const QString& resultField) const {
    const QStringList names = ResultFieldNames();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(resultField.trimmed(), Qt::CaseInsensitive) == 0) return resultText(i);
    return {};
}

QString TKivLookField::AsString() const {
    if (!isLookup()) return TStringField::AsString();
    if (resultIndex_ >= 0) return resultText(resultIndex_);
    QStringList texts;
    for (int i = 0; i < ResultFieldNames().size(); ++i)
        texts << resultText(i);
    return texts.join(QLatin1Char(' '));
}

void TKivLookField::setAsString(const QString& text) {
    if (!isLookup()) TStringField::setAsString(text);
}

QString TKivLookField::DisplayText() const {
    if (!isLookup()) return TStringField::DisplayText();
    const TField* result = ResultFields().value(resultIndex_ < 0 ? 0 : resultIndex_);
    if (!result) return AsString();
    return KivPadString(AsString(), result->DisplayWidth(), int(result->Alignment()), false);
}

QVariant TKivLookField::convertValue(const QVariant& value) const {
    if (!isLookup()) return TStringField::convertValue(value);
    QVariantList values =
        value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    const int count = int(ResultFieldNames().size());
    if (count > 0) values.resize(count);
    return values;
}

QVariant TKivLookField::LookupValue(const QVariant& keyValues) const {
    TDataSet* lookup = LookupDataSet();
    if (!lookup) return {};
    const QStringList names = ResultFieldNames();
    const QVariant found =
        lookup->Lookup(LookupKeyFields(), keyValues, names.join(QLatin1Char(';')));
    if (found.typeId() == QMetaType::QVariantList) return found;
    return found.isNull() ? QVariant() : QVariant(QVariantList{found});
}

namespace {

// What one result takes in the record buffer of the original layout: its
// value (text zero-terminated) after a 2-byte type code.
int bufferSize(const TField* field) {
    switch (field->DataType()) {
    case TFieldType::ftSmallint:
    case TFieldType::ftBoolean:
        return 2 + 2;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return 4 + 2;
    case TFieldType::ftFloat:
    case TFieldType::ftDate:
    case TFieldType::ftDateTime:
        return 8 + 2;
    default:
        return field->Size() + 1 + 2;
    }
}

} // namespace

void TKivLookField::OpenLookup() {
    TField::OpenLookup();
    int size = 0;
    for (const TField* result : ResultFields())
        size += bufferSize(result);
    if (size > 8192) KivShowMessage(QStringLiteral("Out Limit"));
    for (const TKivLookupLevelItem& level : std::as_const(levels_)) {
        if (!level.DataSet || level.KeyField.isEmpty() || level.ResultFields.isEmpty())
            lookupIncomplete();
        if (!level.DataSet->Active()) level.DataSet->Open();
        level.DataSet->GetFieldList(level.KeyField);
        level.DataSet->GetFieldList(level.ResultFields);
    }
}
