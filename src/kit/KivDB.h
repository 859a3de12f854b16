// Field classes of the kit: a small integer shown as one of a fixed list of
// texts (the topic's work state: "", "Write", "Test", "Ready"), and a lookup
// field that brings back several result fields at once and may cascade
// through lookup levels.
#pragma once

#include "TDataSet.h"
#include "TField.h"

#include <QColor>
#include <QFlags>
#include <QPointer>
#include <QStringList>
#include <functional>

class TKivListField : public TSmallintField {
    Q_OBJECT
    Q_PROPERTY(QStringList Values READ Values WRITE setValues)
    Q_PROPERTY(qint64 MinValue READ MinValue)
    Q_PROPERTY(qint64 MaxValue READ MaxValue)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat)
    Q_PROPERTY(QString EditFormat READ EditFormat)

public:
    Q_INVOKABLE explicit TKivListField(QObject* owner = nullptr);

    // The stored integer N shows as line N.
    QStringList Values() const { return values_; }
    // Also moves MaxValue to the last line and redraws linked controls.
    void setValues(const QStringList& values);
    // Formats do not apply to a list.
    QString EditFormat() const { return {}; }

    // The line at the stored value; empty for null or a value off the list.
    QString AsString() const override;
    QString DisplayText() const override { return AsString(); }
    // An empty text clears the field; another is looked up in any case and
    // stores its line, or raises "Invalid value for field '...'".
    void setAsString(const QString& text) override;
    // A value whose line is empty clears the field (so 0 stores null).
    void setAsInteger(qint64 value) override;

private:
    QStringList values_;
};

// One level of a cascading lookup (country, then region, then town).
struct TKivLookupLevelItem {
    QPointer<TDataSet> DataSet; // cleared when the dataset goes
    QString FilterField;
    QString KeyField;
    QString ResultFields;
    bool operator==(const TKivLookupLevelItem&) const = default;
};
using TKivLookupLevelCol = QList<TKivLookupLevelItem>;
Q_DECLARE_METATYPE(TKivLookupLevelItem)

// Switches read by lookup controls and the filter form.
enum TKivLookFieldOption {
    foAutoCodeName = 0x001,
    foAutoDropDown = 0x002,
    foAutoDropDownWidth = 0x004,
    foEditWindow = 0x008,
    foEditOnEnter = 0x010,
    foKeyFieldEdit = 0x020,
    foOnlyEqualinFilter = 0x040, // the filter form offers only "=" and "<>"
    foUpDownInClose = 0x080,
    foValueNotInLookup = 0x100, // null only when the key is null
    foUserOption = 0x200
};
Q_DECLARE_FLAGS(TKivLookFieldOptions, TKivLookFieldOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TKivLookFieldOptions)

// A lookup field's value holds every result field of the looked-up row;
// Value gives the one at LookupResultIndex, AsString all of them (or that one).
// Without the lookup kind it is a plain string field.
class TKivLookField : public TStringField {
    Q_OBJECT
    Q_PROPERTY(int ListFieldIndex READ ListFieldIndex WRITE setListFieldIndex)
    Q_PROPERTY(TKivLookupLevelCol LookupLevels READ LookupLevels WRITE setLookupLevels)
    Q_PROPERTY(QString LookupFilterField MEMBER LookupFilterField)
    Q_PROPERTY(QString LookupLevelUp MEMBER LookupLevelUp)
    Q_PROPERTY(QString LookupLevelDown MEMBER LookupLevelDown)
    Q_PROPERTY(QString LookupFilterKey MEMBER LookupFilterKey)
    Q_PROPERTY(QString LookupAddFields MEMBER LookupAddFields)
    Q_PROPERTY(QString LookupGridFields MEMBER LookupGridFields)
    Q_PROPERTY(int LookupResultIndex READ LookupResultIndex WRITE setLookupResultIndex)
    Q_PROPERTY(bool HeadLine MEMBER HeadLine)
    Q_PROPERTY(QColor HeadColor MEMBER HeadColor)
    Q_PROPERTY(int Options READ optionsValue WRITE setOptionsValue)

public:
    Q_INVOKABLE explicit TKivLookField(QObject* owner = nullptr);

    int ListFieldIndex() const { return listFieldIndex_; }
    void setListFieldIndex(int index) { listFieldIndex_ = index; }
    TKivLookupLevelCol LookupLevels() const { return levels_; }
    void setLookupLevels(const TKivLookupLevelCol& levels) { levels_ = levels; }
    // Which result Value gives; -1 for none (AsString then joins them all).
    int LookupResultIndex() const { return resultIndex_; }
    void setLookupResultIndex(int index) { resultIndex_ = qint16(index); }
    TKivLookFieldOptions Options() const { return options_; }
    void setOptions(TKivLookFieldOptions options) { options_ = options; }

    QString LookupFilterField, LookupLevelUp, LookupLevelDown, LookupFilterKey;
    QString LookupAddFields;  // further results, ";"-separated
    QString LookupGridFields; // shown in the drop-down of lookup controls
    bool HeadLine = true;
    QColor HeadColor = QColor(240, 202, 166);

    // A filter text for the lookup dataset; the text a control sets.
    std::function<QString(QObject* sender)> OnFilter;
    std::function<void(TField* sender, const QString& text)> SetEditValue;

    // LookupResultField, then each LookupAddFields name not already there.
    QStringList ResultFieldNames() const;
    // Their fields in the lookup dataset, in that order.
    QList<TField*> ResultFields() const;
    QList<TField*> GridFields() const;
    // The text of one result field (by name, any case); empty for another name.
    QString ResultText(const QString& resultField) const;

    QVariant Value() const override;
    bool IsNull() const override;
    QString AsString() const override;
    // Writing text is for the plain kind; a lookup's value comes from its row.
    void setAsString(const QString& text) override;
    QString DisplayText() const override;
    // A list gives one value per result field; a single value the first.
    QVariant convertValue(const QVariant& value) const override;
    QVariant LookupValue(const QVariant& keyValues) const override;
    void OpenLookup() override;

private:
    bool isLookup() const { return FieldKind() == TFieldKind::fkLookup; }
    QVariantList results() const;
    // The result at `index` as text; the dataset's own key for an empty key result.
    QString resultText(int index) const;
    int optionsValue() const { return int(options_); }
    void setOptionsValue(int v) { options_ = TKivLookFieldOptions(v); }

    int listFieldIndex_ = 0;
    TKivLookupLevelCol levels_;
    qint16 resultIndex_ = 0;
    TKivLookFieldOptions options_ =
        TKivLookFieldOptions(foEditWindow | foKeyFieldEdit | foUpDownInClose);
};
