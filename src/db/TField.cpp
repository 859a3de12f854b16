#include "TField.h"

#include "DbfValue.h"
#include "TDataSet.h"

#include <QLocale>
#include <QMetaProperty>
#include <cmath>

namespace {

bool isBlank(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return true;
    const int type = v.typeId();
    if (type == QMetaType::QString) return v.toString().isEmpty();
    if (type == QMetaType::QByteArray) return v.toByteArray().isEmpty();
    return false;
}

// Text columns are padded with blanks.
QString rightTrimmed(const QString& s) {
    const QStringView kept = withoutTrailingBlanks(s);
    return kept.size() == s.size() ? s : kept.toString(); // shared, not copied, when whole
}

} // namespace

QString fieldTypeName(TFieldType type) {
    switch (type) {
    case TFieldType::ftString:
        return QStringLiteral("String");
    case TFieldType::ftSmallint:
        return QStringLiteral("SmallInt");
    case TFieldType::ftInteger:
        return QStringLiteral("Integer");
    case TFieldType::ftAutoInc:
        return QStringLiteral("AutoInc");
    case TFieldType::ftFloat:
        return QStringLiteral("Float");
    case TFieldType::ftBoolean:
        return QStringLiteral("Boolean");
    case TFieldType::ftDate:
        return QStringLiteral("Date");
    case TFieldType::ftDateTime:
        return QStringLiteral("DateTime");
    case TFieldType::ftMemo:
        return QStringLiteral("Memo");
    case TFieldType::ftBlob:
        return QStringLiteral("Blob");
    case TFieldType::ftUnknown:
        break;
    }
    return QStringLiteral("Unknown");
}

// ---------------------------------------------------------------- TField

TField::TField(QObject* owner, TFieldType type) : QObject(owner), dataType_(type) {}

TField::~TField() {
    if (dataSet_) dataSet_->removeField(this);
}

TDataSet* TField::DataSet() const {
    return dataSet_;
}
TDataSet* TField::LookupDataSet() const {
    return lookupDataSet_;
}
void TField::setLookupDataSet(TDataSet* dataSet) {
    lookupDataSet_ = dataSet;
}

void TField::setDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet && dataSet->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (dataSet_) dataSet_->removeField(this);
    dataSet_ = dataSet;
    if (dataSet) dataSet->addField(this);
}

int TField::Index() const {
    return dataSet_ ? dataSet_->Fields().indexOf(this) : -1;
}

void TField::setIndex(int index) {
    if (dataSet_) dataSet_->moveField(this, index);
}

void TField::setFieldKind(TFieldKind kind) {
    if (dataSet_ && dataSet_->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    fieldKind_ = kind;
}

void TField::setFieldName(const QString& name) {
    if (dataSet_ && dataSet_->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    fieldName_ = name;
}

void TField::setDisplayLabel(const QString& label) {
    displayLabel_ = label == fieldName_ ? QString() : label;
    changed();
}

void TField::setDisplayWidth(int width) {
    displayWidth_ = width;
    changed();
}

void TField::setAlignment(TAlignment alignment) {
    alignment_ = alignment;
    changed();
}

void TField::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    changed();
}

void TField::setSize(int size) {
    if (dataSet_ && dataSet_->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    size_ = size;
}

void TField::setDisplayFormat(const QString& format) {
    displayFormat_ = format;
    changed();
}

// Linked controls redraw when a display property changes.
void TField::changed() {
    if (dataSet_ && dataSet_->Active()) dataSet_->DataEvent(TDataEvent::deLayoutChange, 0);
}

void TField::OpenLookup() {
    TDataSet* lookup = LookupDataSet();
    if (!lookup || KeyFields().isEmpty() || LookupKeyFields().isEmpty() ||
        LookupResultField().isEmpty() || lookup == dataSet_)
        lookupIncomplete();
    dataSet_->GetFieldList(KeyFields());
    lookup->Open();
    lookup->GetFieldList(LookupKeyFields());
    lookup->GetFieldList(LookupResultField());
}

void TField::lookupIncomplete() const {
    dataSet_->error(
        QStringLiteral("Lookup information for field '%1' is incomplete").arg(DisplayName()));
}

QVariant TField::LookupValue(const QVariant& keyValues) const {
    if (!lookupDataSet_) return {};
    return lookupDataSet_->Lookup(lookupKeyFields_, keyValues, lookupResultField_);
}

bool TField::CanModify() const {
    if (readOnly_ || fieldKind_ == TFieldKind::fkLookup || !dataSet_) return false;
    if (fieldKind_ == TFieldKind::fkCalculated) return true;
    return dataSet_->CanModify();
}

QVariant TField::rawValue() const {
    if (!dataSet_) return {};
    return dataSet_->getFieldData(this);
}

void TField::setRawValue(const QVariant& value) {
    if (!dataSet_)
        throw EDatabaseError(QStringLiteral("Field '%1' has no dataset").arg(DisplayName()));
    dataSet_->setFieldData(this, value);
}

void TField::conversionError(const QString& typeName) const {
    throw EDatabaseError(
        QStringLiteral("Field '%1' cannot be read as %2").arg(DisplayName(), typeName));
}

QVariant TField::Value() const {
    const QVariant raw = rawValue();
    return isBlank(raw) ? QVariant() : convertValue(raw);
}

void TField::setValue(const QVariant& value) {
    setRawValue(isBlank(value) ? QVariant() : convertValue(value));
}

bool TField::IsNull() const {
    return isBlank(rawValue());
}

QVariant TField::convertValue(const QVariant& value) const {
    return value;
}

QString TField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : v.toString();
}
// Blank text clears the field rather than failing to convert.
void TField::setAsString(const QString& text) {
    if (text.trimmed().isEmpty())
        Clear();
    else
        setValue(text);
}

qint64 TField::AsInteger() const {
    conversionError(QStringLiteral("an integer"));
}
void TField::setAsInteger(qint64 value) {
    setValue(value);
}
double TField::AsFloat() const {
    conversionError(QStringLiteral("a number"));
}
void TField::setAsFloat(double value) {
    setValue(value);
}
QDate TField::AsDate() const {
    conversionError(QStringLiteral("a date"));
}
void TField::setAsDate(const QDate& value) {
    setValue(value);
}
bool TField::AsBoolean() const {
    conversionError(QStringLiteral("a boolean"));
}
void TField::setAsBoolean(bool value) {
    setValue(value);
}

QString TField::DisplayText() const {
    return AsString();
}

TField* TField::clone(QObject* owner) const {
    QObject* made = metaObject()->newInstance(Q_ARG(QObject*, owner));
    auto* field = qobject_cast<TField*>(made);
    if (!field) {
        delete made;
        throw EDatabaseError(
            QStringLiteral("Field class %1 cannot be copied").arg(metaObject()->className()));
    }
    field->dataType_ = dataType_;
    const QMetaObject* meta = metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (p.isWritable()) p.write(field, p.read(this));
    }
    field->setObjectName(objectName());
    return field;
}

// ---------------------------------------------------------------- strings

TStringField::TStringField(QObject* owner) : TField(owner, TFieldType::ftString) {
    setSize(20);
}

QString TStringField::AsString() const {
    const QVariant raw = rawValue();
    return isBlank(raw) ? QString() : rightTrimmed(raw.toString());
}

// Longer text is cut to the column's width, as the stored column would cut it.
QVariant TStringField::convertValue(const QVariant& value) const {
    QString s = value.typeId() == QMetaType::Double ? QString::number(value.toDouble(), 'g', 15)
                                                    : value.toString();
    if (Size() > 0 && s.size() > Size()) s.truncate(Size());
    return rightTrimmed(s);
}

// ---------------------------------------------------------------- integers

TIntegerField::TIntegerField(QObject* owner) : TIntegerField(owner, TFieldType::ftInteger) {}

TIntegerField::TIntegerField(QObject* owner, TFieldType type) : TField(owner, type) {
    setAlignment(TAlignment::taRightJustify);
}

QVariant TIntegerField::convertValue(const QVariant& value) const {
    if (isWholeValue(value)) return value.toLongLong();
    if (value.typeId() == QMetaType::Bool) return qint64(value.toBool() ? 1 : 0);
    const QString text = value.toString().trimmed();
    bool ok = false;
    qint64 v = 0;
    if (isNumberValue(value)) {
        // Rounding a double beyond the qint64 range (or NaN) gives no number at all.
        const double d = std::round(value.toDouble());
        ok = std::fabs(d) < 9.2e18;
        if (ok) v = qint64(d);
    } else {
        v = text.toLongLong(&ok);
    }
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                 .arg(text, DisplayName()));
    return v;
}

qint64 TIntegerField::AsInteger() const {
    const QVariant v = Value();
    return v.isNull() ? 0 : v.toLongLong();
}

QString TIntegerField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : QString::number(v.toLongLong());
}

void TIntegerField::checkRange(qint64 value) const {
    if (minValue_ != 0 || maxValue_ != 0)
        checkRange(value, minValue_, maxValue_);
    else
        checkRange(value, typeMin(), typeMax());
}

void TIntegerField::checkRange(qint64 value, qint64 lo, qint64 hi) const {
    if (value < lo || value > hi)
        throw EDatabaseError(
            QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                .arg(value)
                .arg(DisplayName())
                .arg(lo)
                .arg(hi));
}

void TIntegerField::setAsInteger(qint64 value) {
    checkRange(value);
    setValue(value);
}

void TIntegerField::setAsString(const QString& text) {
    if (text.trimmed().isEmpty()) {
        Clear();
        return;
    }
    setAsInteger(convertValue(text).toLongLong());
}

void TIntegerField::setAsFloat(double value) {
    setAsInteger(std::llround(value));
}

TSmallintField::TSmallintField(QObject* owner) : TIntegerField(owner, TFieldType::ftSmallint) {}

TAutoIncField::TAutoIncField(QObject* owner) : TIntegerField(owner, TFieldType::ftAutoInc) {}

// ---------------------------------------------------------------- floats

TFloatField::TFloatField(QObject* owner) : TField(owner, TFieldType::ftFloat) {
    setAlignment(TAlignment::taRightJustify);
}

QVariant TFloatField::convertValue(const QVariant& value) const {
    if (isNumberValue(value)) return value.toDouble();
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? 1.0 : 0.0;
    const QString text = value.toString().trimmed();
    bool ok = false;
    double v = text.toDouble(&ok);
    if (!ok) v = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        throw EDatabaseError(
            QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                .arg(text, DisplayName()));
    return v;
}

double TFloatField::AsFloat() const {
    const QVariant v = Value();
    return v.isNull() ? 0.0 : v.toDouble();
}

qint64 TFloatField::AsInteger() const {
    return std::llround(AsFloat());
}

QString TFloatField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : QString::number(v.toDouble(), 'g', 15);
}

// ---------------------------------------------------------------- booleans

TBooleanField::TBooleanField(QObject* owner) : TField(owner, TFieldType::ftBoolean) {}

QVariant TBooleanField::convertValue(const QVariant& value) const {
    if (value.typeId() == QMetaType::Bool) return value;
    if (isNumberValue(value)) return value.toDouble() != 0;
    if (const auto b = boolFromText(value.toString())) return *b;
    throw EDatabaseError(QStringLiteral("'%1' is not a valid boolean value for field '%2'")
                             .arg(value.toString(), DisplayName()));
}

bool TBooleanField::AsBoolean() const {
    return Value().toBool();
}

QString TBooleanField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
}

// ---------------------------------------------------------------- dates

TDateField::TDateField(QObject* owner) : TDateField(owner, TFieldType::ftDate) {}
TDateField::TDateField(QObject* owner, TFieldType type) : TField(owner, type) {}

QVariant TDateField::convertValue(const QVariant& value) const {
    if (value.typeId() == QMetaType::QDate) return value;
    if (value.typeId() == QMetaType::QDateTime) return value.toDateTime().date();
    const QDate d = dateFromText(value.toString());
    if (!d.isValid())
        throw EDatabaseError(QStringLiteral("'%1' is not a valid date for field '%2'")
                                 .arg(value.toString(), DisplayName()));
    return d;
}

QDate TDateField::AsDate() const {
    return Value().toDate();
}

QString TDateField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : QLocale().toString(v.toDate(), QLocale::ShortFormat);
}

TDateTimeField::TDateTimeField(QObject* owner) : TDateField(owner, TFieldType::ftDateTime) {}

QVariant TDateTimeField::convertValue(const QVariant& value) const {
    if (value.typeId() == QMetaType::QDateTime) return value;
    if (value.typeId() == QMetaType::QDate) return value.toDate().startOfDay();
    QDateTime dt = QDateTime::fromString(value.toString().trimmed(), Qt::ISODate);
    if (!dt.isValid()) dt = QLocale().toDateTime(value.toString().trimmed(), QLocale::ShortFormat);
    if (!dt.isValid()) return TDateField::convertValue(value).toDate().startOfDay();
    return dt;
}

QString TDateTimeField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : QLocale().toString(v.toDateTime(), QLocale::ShortFormat);
}

// ---------------------------------------------------------------- blobs

TBlobField::TBlobField(QObject* owner) : TBlobField(owner, TFieldType::ftBlob) {}
TBlobField::TBlobField(QObject* owner, TFieldType type) : TField(owner, type) {}

QVariant TBlobField::convertValue(const QVariant& value) const {
    if (value.typeId() == QMetaType::QByteArray) return value;
    return value.toString().toLatin1();
}

QString TBlobField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : QString::fromLatin1(v.toByteArray());
}

void TBlobField::setAsString(const QString& text) {
    setValue(text.toLatin1());
}

QString TBlobField::DisplayText() const {
    return IsNull() ? QStringLiteral("(blob)") : QStringLiteral("(BLOB)");
}

TMemoField::TMemoField(QObject* owner) : TBlobField(owner, TFieldType::ftMemo) {}

QVariant TMemoField::convertValue(const QVariant& value) const {
    if (value.typeId() == QMetaType::QByteArray) return QString::fromLatin1(value.toByteArray());
    return value.toString();
}

QString TMemoField::AsString() const {
    const QVariant v = Value();
    return v.isNull() ? QString() : v.toString();
}

bool TMemoField::StoredBytes(QByteArray& bytes) const {
    const TDataSet* set = DataSet();
    return set && set->storedMemoBytes(this, bytes);
}

void TMemoField::setAsString(const QString& text) {
    setValue(text);
}

QString TMemoField::DisplayText() const {
    return IsNull() ? QStringLiteral("(memo)") : QStringLiteral("(MEMO)");
}

TField* createField(TFieldType type, QObject* owner) {
    switch (type) {
    case TFieldType::ftString:
        return new TStringField(owner);
    case TFieldType::ftSmallint:
        return new TSmallintField(owner);
    case TFieldType::ftInteger:
        return new TIntegerField(owner);
    case TFieldType::ftAutoInc:
        return new TAutoIncField(owner);
    case TFieldType::ftFloat:
        return new TFloatField(owner);
    case TFieldType::ftBoolean:
        return new TBooleanField(owner);
    case TFieldType::ftDate:
        return new TDateField(owner);
    case TFieldType::ftDateTime:
        return new TDateTimeField(owner);
    case TFieldType::ftMemo:
        return new TMemoField(owner);
    case TFieldType::ftBlob:
        return new TBlobField(owner);
    case TFieldType::ftUnknown:
        break;
    }
    throw EDatabaseError(QStringLiteral("Unknown field type"));
}
