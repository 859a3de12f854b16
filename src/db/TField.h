// Fields of a dataset: one object per column (or per calculated or lookup
// value) that reads and writes the dataset's current record.
//
// A field is either declared in code (a persistent field: created with an
// owner, given its properties, attached with setDataSet) or made by the
// dataset from its source's columns when it opens without persistent fields
// (a dynamic field, freed when it closes). Values live in the dataset; a field
// only converts them. The typed accessors are virtual so that derived field
// classes can change how a value reads and writes as text or as a number.
#pragma once

#include "KivError.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QVariant>

class TDataSet;

enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftAutoInc,
    ftFloat,
    ftBoolean,
    ftDate,
    ftDateTime,
    ftMemo,
    ftBlob
};

enum class TFieldKind { fkData, fkCalculated, fkLookup };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// The name of a field type as error messages show it ("String", "Float"...).
QString fieldTypeName(TFieldType type);

class TField : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("TDataSet.h")
    Q_PROPERTY(QString FieldName READ FieldName WRITE setFieldName)
    Q_PROPERTY(QString DisplayLabel READ DisplayLabel WRITE setDisplayLabel)
    Q_PROPERTY(int DisplayWidth READ DisplayWidth WRITE setDisplayWidth)
    Q_PROPERTY(int Alignment READ alignmentValue WRITE setAlignmentValue)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool Required READ Required WRITE setRequired)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
    Q_PROPERTY(int Size READ Size WRITE setSize)
    Q_PROPERTY(int FieldKind READ fieldKindValue WRITE setFieldKindValue)
    Q_PROPERTY(TDataSet* LookupDataSet READ LookupDataSet WRITE setLookupDataSet)
    Q_PROPERTY(QString KeyFields READ KeyFields WRITE setKeyFields)
    Q_PROPERTY(QString LookupKeyFields READ LookupKeyFields WRITE setLookupKeyFields)
    Q_PROPERTY(QString LookupResultField READ LookupResultField WRITE setLookupResultField)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE setDisplayFormat)

public:
    ~TField() override;

    TFieldType DataType() const { return dataType_; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void setFieldKind(TFieldKind kind);
    bool IsBlob() const {
        return dataType_ == TFieldType::ftMemo || dataType_ == TFieldType::ftBlob;
    }

    TDataSet* DataSet() const;
    // Attaches the field to a dataset (detaching it from the previous one); the
    // dataset must be closed.
    void setDataSet(TDataSet* dataSet);
    // Position in the dataset's field list; setting it moves the field.
    int Index() const;
    void setIndex(int index);
    // Column of the dataset's source the field reads, -1 for calculated and
    // lookup fields or while the dataset is closed.
    int FieldNo() const { return fieldNo_; }

    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString& name);
    QString DisplayLabel() const { return displayLabel_.isEmpty() ? fieldName_ : displayLabel_; }
    void setDisplayLabel(const QString& label);
    // The label as error messages name the field.
    QString DisplayName() const { return DisplayLabel(); }
    int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : defaultWidth(); }
    void setDisplayWidth(int width);
    TAlignment Alignment() const { return alignment_; }
    void setAlignment(TAlignment alignment);
    bool Visible() const { return visible_; }
    void setVisible(bool visible);
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool Required() const { return required_; }
    void setRequired(bool required) { required_ = required; }
    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    int Size() const { return size_; }
    void setSize(int size);
    QString DisplayFormat() const { return displayFormat_; }
    void setDisplayFormat(const QString& format);

    // Lookup settings: the value is LookupResultField of the row of
    // LookupDataSet whose LookupKeyFields equal this dataset's KeyFields.
    TDataSet* LookupDataSet() const;
    void setLookupDataSet(TDataSet* dataSet);
    QString KeyFields() const { return keyFields_; }
    void setKeyFields(const QString& fields) { keyFields_ = fields; }
    QString LookupKeyFields() const { return lookupKeyFields_; }
    void setLookupKeyFields(const QString& fields) { lookupKeyFields_ = fields; }
    QString LookupResultField() const { return lookupResultField_; }
    void setLookupResultField(const QString& field) { lookupResultField_ = field; }
    // The value a lookup field takes for the given key value(s); by default
    // LookupResultField of the matching row. Fields bringing back several
    // results at once override it.
    virtual QVariant LookupValue(const QVariant& keyValues) const;
    // Checks a lookup field's settings when its dataset opens and opens the
    // lookup dataset; raises "Lookup information for field '...' is incomplete".
    virtual void OpenLookup();

    // Whether a value may be written now: the dataset can be modified, the
    // field is not read-only and is not a lookup field.
    bool CanModify() const;

    // Values. A null QVariant is an empty value.
    virtual QVariant Value() const;
    virtual void setValue(const QVariant& value);
    virtual bool IsNull() const;
    void Clear() { setValue(QVariant()); }

    virtual QString AsString() const;
    virtual void setAsString(const QString& text);
    virtual qint64 AsInteger() const;
    virtual void setAsInteger(qint64 value);
    virtual double AsFloat() const;
    virtual void setAsFloat(double value);
    virtual QDate AsDate() const;
    virtual void setAsDate(const QDate& value);
    virtual bool AsBoolean() const;
    virtual void setAsBoolean(bool value);

    // What a grid cell shows, and what an edit control shows and accepts.
    virtual QString DisplayText() const;
    virtual QString Text() const { return AsString(); }
    virtual void setText(const QString& text) { setAsString(text); }

    // Brings a value of any type into this field's own type (raising an error
    // that names the field when it cannot be converted); nulls stay null.
    virtual QVariant convertValue(const QVariant& value) const;

    // A new field of the same class, owned by `owner`, with every property of
    // this one; not attached to a dataset.
    TField* clone(QObject* owner) const;

protected:
    TField(QObject* owner, TFieldType type);

    virtual int defaultWidth() const { return 10; }
    // The raw stored value of the current record, and storing one.
    QVariant rawValue() const;
    void setRawValue(const QVariant& value);
    [[noreturn]] void conversionError(const QString& typeName) const;
    // Linked controls redraw when a display property changes.
    void changed();
    [[noreturn]] void lookupIncomplete() const;

private:
    friend class TDataSet;
    int alignmentValue() const { return int(alignment_); }
    void setAlignmentValue(int v) { setAlignment(TAlignment(v)); }
    int fieldKindValue() const { return int(fieldKind_); }
    void setFieldKindValue(int v) { setFieldKind(TFieldKind(v)); }

    TFieldType dataType_;
    TFieldKind fieldKind_ = TFieldKind::fkData;
    QPointer<TDataSet> dataSet_;
    int fieldNo_ = -1;
    int calcSlot_ = -1; // place in the dataset's calculated values
    QString fieldName_;
    QString displayLabel_;
    int displayWidth_ = 0;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool visible_ = true;
    bool readOnly_ = false;
    bool required_ = false;
    int tag_ = 0;
    int size_ = 0;
    QString displayFormat_;
    QPointer<TDataSet> lookupDataSet_;
    QString keyFields_;
    QString lookupKeyFields_;
    QString lookupResultField_;
};

class TStringField : public TField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TStringField(QObject* owner = nullptr);
    QString AsString() const override;
    QVariant convertValue(const QVariant& value) const override;

protected:
    int defaultWidth() const override { return Size() > 0 ? Size() : 20; }
};

// Numbers: integers of 16 and 32 bits with an optional range, and floats.
class TIntegerField : public TField {
    Q_OBJECT
    Q_PROPERTY(qint64 MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(qint64 MaxValue READ MaxValue WRITE setMaxValue)
public:
    Q_INVOKABLE explicit TIntegerField(QObject* owner = nullptr);
    // The range checked on writing; both 0 means the type's own range.
    qint64 MinValue() const { return minValue_; }
    void setMinValue(qint64 v) { minValue_ = v; }
    qint64 MaxValue() const { return maxValue_; }
    void setMaxValue(qint64 v) { maxValue_ = v; }

    QString AsString() const override;
    void setAsString(const QString& text) override;
    qint64 AsInteger() const override;
    void setAsInteger(qint64 value) override;
    double AsFloat() const override { return double(AsInteger()); }
    void setAsFloat(double value) override;
    QVariant convertValue(const QVariant& value) const override;

protected:
    TIntegerField(QObject* owner, TFieldType type);
    int defaultWidth() const override { return 11; }
    virtual qint64 typeMin() const { return -2147483647 - 1; }
    virtual qint64 typeMax() const { return 2147483647; }
    void checkRange(qint64 value) const;
    // Raises the range error unless lo <= value <= hi.
    void checkRange(qint64 value, qint64 lo, qint64 hi) const;

private:
    qint64 minValue_ = 0;
    qint64 maxValue_ = 0;
};

class TSmallintField : public TIntegerField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TSmallintField(QObject* owner = nullptr);

protected:
    int defaultWidth() const override { return 6; }
    qint64 typeMin() const override { return -32768; }
    qint64 typeMax() const override { return 32767; }
};

class TAutoIncField : public TIntegerField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TAutoIncField(QObject* owner = nullptr);
};

class TFloatField : public TField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFloatField(QObject* owner = nullptr);
    QString AsString() const override;
    qint64 AsInteger() const override;
    void setAsInteger(qint64 value) override { setValue(double(value)); }
    double AsFloat() const override;
    void setAsFloat(double value) override { setValue(value); }
    QVariant convertValue(const QVariant& value) const override;
};

class TBooleanField : public TField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBooleanField(QObject* owner = nullptr);
    QString AsString() const override;
    bool AsBoolean() const override;
    void setAsBoolean(bool value) override { setValue(value); }
    qint64 AsInteger() const override { return AsBoolean() ? 1 : 0; }
    QVariant convertValue(const QVariant& value) const override;

protected:
    int defaultWidth() const override { return 5; }
};

class TDateField : public TField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDateField(QObject* owner = nullptr);
    QString AsString() const override;
    QDate AsDate() const override;
    void setAsDate(const QDate& value) override { setValue(value); }
    QVariant convertValue(const QVariant& value) const override;

protected:
    TDateField(QObject* owner, TFieldType type);
};

class TDateTimeField : public TDateField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDateTimeField(QObject* owner = nullptr);
    QString AsString() const override;
    QVariant convertValue(const QVariant& value) const override;

protected:
    int defaultWidth() const override { return 18; }
};

// Binary large objects; a memo is one that holds text.
class TBlobField : public TField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBlobField(QObject* owner = nullptr);
    QString AsString() const override;
    void setAsString(const QString& text) override;
    QString DisplayText() const override;
    QVariant convertValue(const QVariant& value) const override;

protected:
    TBlobField(QObject* owner, TFieldType type);
};

class TMemoField : public TBlobField {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMemoField(QObject* owner = nullptr);
    // The text itself: a memo holds characters, not bytes.
    QString AsString() const override;
    // The text as its table stores it (Windows-1252), read without decoding,
    // for callers that write it out as bytes again; false (and `bytes`
    // untouched) when the value is not a stored row's, e.g. under edit.
    bool StoredBytes(QByteArray& bytes) const;
    void setAsString(const QString& text) override;
    QString DisplayText() const override;
    QVariant convertValue(const QVariant& value) const override;
};

// The field class the framework makes for a column of the given type.
TField* createField(TFieldType type, QObject* owner);
