// The kit's lookup combos: a combo that shows, for the key stored in its data
// field, a value of a list dataset (ListSource, KeyField, ListField such as
// "ID;NAME"). The drop-down shows every list field as a column under a head
// line; ListFieldIndex picks the column the closed combo shows and typing
// searches. The data-aware one adds a code edit: typing the start of a value
// finds the record.
#pragma once

#include "DBControls.h"
#include "KivDB.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QStandardItemModel>
#include <functional>
#include <memory>

class QTableView;
class TKivDBLookupCombo;

class TKivCustomDBLookupCombo : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(TDataSource* ListSource READ ListSource WRITE setListSource)
    Q_PROPERTY(QString KeyField READ KeyField WRITE setKeyField)
    Q_PROPERTY(QString ListField READ ListField WRITE setListField)
    Q_PROPERTY(int ListFieldIndex READ ListFieldIndex WRITE setListFieldIndex)
    Q_PROPERTY(QVariant KeyValue READ KeyValue WRITE setKeyValue)
    Q_PROPERTY(int DropDownWidth READ DropDownWidth WRITE setDropDownWidth)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool HeadLine READ HeadLine WRITE setHeadLine)
    Q_PROPERTY(QColor HeadColor READ HeadColor WRITE setHeadColor)
    Q_PROPERTY(int HeadLineCount MEMBER HeadLineCount)
    Q_PROPERTY(TKivLookupLevelCol LookupLevels MEMBER LookupLevels)
    Q_PROPERTY(QString LookupFilterField MEMBER LookupFilterField)
    Q_PROPERTY(QString LookupLevelUp MEMBER LookupLevelUp)
    Q_PROPERTY(QString LookupLevelDown MEMBER LookupLevelDown)
    Q_PROPERTY(QString LookupFilterKey MEMBER LookupFilterKey)
    Q_PROPERTY(int Options READ optionsValue WRITE setOptionsValue)

public:
    explicit TKivCustomDBLookupCombo(QWidget* parent = nullptr);
    ~TKivCustomDBLookupCombo() override;

    TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void setDataSource(TDataSource* source) { dataLink_.setDataSource(source); }
    QString DataField() const { return dataLink_.FieldName(); }
    void setDataField(const QString& name) { dataLink_.setFieldName(name); }
    TField* Field() const { return dataLink_.Field(); }
    TDataSource* ListSource() const;
    void setListSource(TDataSource* source);
    QString KeyField() const { return keyField_; }
    void setKeyField(const QString& name);
    QString ListField() const { return listField_; }
    void setListField(const QString& names);
    // Also stored in a bound kit lookup field.
    int ListFieldIndex() const { return listFieldIndex_; }
    void setListFieldIndex(int index);
    QVariant KeyValue() const { return keyValue_; }
    void setKeyValue(const QVariant& key);
    int DropDownWidth() const { return dropDownWidth_; }
    void setDropDownWidth(int width) { dropDownWidth_ = width; }
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool HeadLine() const { return headLine_; }
    void setHeadLine(bool on);
    QColor HeadColor() const { return headColor_; }
    void setHeadColor(const QColor& color);
    TKivLookFieldOptions Options() const { return options_; }
    void setOptions(TKivLookFieldOptions options) { options_ = options; }

    int HeadLineCount = 1;
    TKivLookupLevelCol LookupLevels;
    QString LookupFilterField, LookupLevelUp, LookupLevelDown, LookupFilterKey;
    std::function<QString(QObject* sender)> OnFilter;
    std::function<void(QObject* list, TField* keyField, QFont& font)> OnSetFont;
    // After the user chose a key (by the list, the keys or the code edit).
    std::function<void(QObject* sender)> OnChange;

    // The bound field when it is a kit lookup field, else nullptr.
    TKivLookField* LookField() const;
    // The bound lookup field's options when there is one, else the combo's own.
    TKivLookFieldOptions EffectiveOptions() const;
    // The list dataset's fields shown as columns, in ListField order.
    QList<TField*> ListFields() const;
    bool ListVisible() const;
    // Opens the list dataset's editing window (Alt+F1) and takes the value
    // chosen there.
    void EditData();
    // Makes `key` the user's choice: the combo's key and the bound field's.
    void ChooseKey(const QVariant& key);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ListLink;
    friend class ListLink;
    void listChanged();
    void fillList();
    void showKeyRow();
    void showKey();
    void ensureList();
    void dataChanged();
    void nextListField();
    TField* keyTarget() const; // the field that stores the key
    int optionsValue() const { return int(options_); }
    void setOptionsValue(int v) { options_ = TKivLookFieldOptions(v); }

    TFieldDataLink dataLink_;
    std::unique_ptr<ListLink> listLink_;
    QStandardItemModel model_;
    QTableView* table_;
    QString keyField_, listField_;
    int listFieldIndex_ = 0;
    QVariant keyValue_;
    int dropDownWidth_ = 0;
    bool readOnly_ = false;
    bool headLine_ = true;
    QColor headColor_;
    TKivLookFieldOptions options_ =
        TKivLookFieldOptions(foEditWindow | foKeyFieldEdit | foUpDownInClose);
    bool dirty_ = true;
    bool showing_ = false;
};

// The code edit of a lookup combo: over the combo, Enter and Tab move on,
// Esc drops the input; what was typed is looked up when it is left.
class TKivLookupEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TKivLookupEdit(TKivDBLookupCombo* combo);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class TKivDBLookupCombo;
    TKivDBLookupCombo* combo_;
    bool cancelled_ = false;
    bool closing_ = false;
};

class TKivDBLookupCombo : public TKivCustomDBLookupCombo {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)
public:
    explicit TKivDBLookupCombo(QWidget* parent = nullptr);

    // Runs before the combo's own key handling; true when it took the key.
    std::function<bool(QObject* sender, QKeyEvent* event)> OnKeyDown;

    // Shows the code edit over the combo, starting with `text`.
    void OpenCodeEdit(const QString& text = {});
    TKivLookupEdit* CodeEdit() const { return codeEdit_; }
    // Looks up what the code edit holds: an empty text clears the key.
    void ApplyCode(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TKivLookupEdit* codeEdit_ = nullptr;
};
