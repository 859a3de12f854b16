// The plain data-aware controls: each shows one field of the current record
// of a data source and, where it can, writes the user's input back into it.
// Typing in a browsed record puts the dataset into edit state; the input is
// written when the control is left (or, in a combo, when an entry is chosen).
#pragma once

#include "TDataSource.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

// What every control bound to one field shares.
class TDBFieldControl {
public:
    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    QString DataField() const { return link_.FieldName(); }
    void setDataField(const QString& name) { link_.setFieldName(name); }
    TFieldDataLink& DataLink() { return link_; }
    TField* Field() const { return link_.Field(); }

protected:
    // Puts the record into edit state for the user's input; a dataset error
    // is shown and false returned (the input is then dropped).
    bool beginEditingFromInput();
    // Writes a pending edit into the field; an error is shown, the control
    // keeps the focus and false is returned.
    bool storeEdit(QWidget* control);

    TFieldDataLink link_;
};

class TDBEdit : public QLineEdit, public TDBFieldControl {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)

public:
    explicit TDBEdit(QWidget* parent = nullptr);

    bool ReadOnly() const { return link_.ReadOnly(); }
    void setReadOnly(bool readOnly);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showField();
};

class TDBText : public QLabel, public TDBFieldControl {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)

public:
    explicit TDBText(QWidget* parent = nullptr);

protected:
    // The text shown for the field; derived labels show other texts.
    virtual QString fieldText() const;
    void refresh();
};

class TDBMemo : public QPlainTextEdit, public TDBFieldControl {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)

public:
    explicit TDBMemo(QWidget* parent = nullptr);

    bool ReadOnly() const { return link_.ReadOnly(); }
    void setReadOnly(bool readOnly);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool loading_ = false;
};

// A drop-down list of texts for the field; the chosen one is written at once.
class TDBComboBox : public QComboBox, public TDBFieldControl {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)

public:
    explicit TDBComboBox(QWidget* parent = nullptr);

    bool ReadOnly() const { return link_.ReadOnly(); }
    void setReadOnly(bool readOnly) { link_.setReadOnly(readOnly); }

    // Shows the field's value again (after the items changed).
    void showField();

private:
    void choose(int index);
    bool showing_ = false;
};
