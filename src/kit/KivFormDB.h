// The base of the program's data-bound windows. A TFormDB is bound to one data
// source: while a dataset is attached the form forces it read-only or not as
// its options say and opens it, and it puts back the dataset's earlier state
// when it lets go. It takes its caption from the dataset, posts or cancels a
// pending edit when it is deactivated or closed, and can hand a field value
// back to whoever opened it (TFieldReturn).
#pragma once

#include "TDataSource.h"

#include <QFlags>
#include <QMainWindow>
#include <QPointer>
#include <QVariant>
#include <functional>

// A field name and a value, handed to a dataset's OnEditData event and filled
// by a TFormDB on close.
class TFieldReturn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName WRITE setFieldName)
    Q_PROPERTY(QVariant Value READ Value WRITE setValue)

public:
    Q_INVOKABLE explicit TFieldReturn(QObject* owner = nullptr) : QObject(owner) {}
    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString& name) { fieldName_ = name; }
    QVariant Value() const { return value_; }
    void setValue(const QVariant& value) { value_ = value; }

private:
    QString fieldName_;
    QVariant value_;
};

// Set by a window opened through an edit-data event when the user chose a
// value for the caller; cleared before each such call.
bool& KivValueReturned();

// Runs the OnEditData event of `lookup` (the dataset a control picks values
// from) with `keyFields` and `value`. While `edited` is being edited, it and
// each master above it carry tag 80 for the duration. Returns whether the user
// chose a value; `value` then holds it. False when the event is not assigned.
bool KivEditData(QObject* sender, TDataSet* lookup, TDataSet* edited, const QString& keyFields,
                 QVariant& value);

enum TFormDBOption {
    foDataReadOnly = 0x01,
    foPageOneRecord = 0x02,
    foFreeOnClose = 0x04,
    foApplyOnClose = 0x08,
    foPC1ChangeSize = 0x10,
    foUserOption1 = 0x20,
    foUserOption2 = 0x40,
    foUserOption3 = 0x80
};
Q_DECLARE_FLAGS(TFormDBOptions, TFormDBOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFormDBOptions)

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(QObject* sender, TCloseAction& action)>;

class TFormDB;

class TFormDBDataLink : public TDataLink {
public:
    explicit TFormDBDataLink(TFormDB* form) : form_(form) {}

protected:
    void ActiveChanged() override;

private:
    TFormDB* form_;
};

class TFormDB : public QMainWindow {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(TFormDBOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    explicit TFormDB(QWidget* parent = nullptr);
    ~TFormDB() override;

    TFormDBDataLink* DataLink() { return &dataLink_; }
    TDataSource* OwnDataSource() const { return ownDataSource_; }
    TDataSource* DataSource() const { return dataLink_.DataSource(); }
    // Rebinds the owned controls that showed the old source, then the form.
    void setDataSource(TDataSource* source);
    TFormDBOptions Options() const { return options_; }
    void setOptions(TFormDBOptions options) { options_ = options; }
    // 9: the refresh pass runs whenever this window becomes the active one.
    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    TFieldReturn* FieldReturn() const { return fieldReturn_; }
    void setFieldReturn(TFieldReturn* fieldReturn) { fieldReturn_ = fieldReturn; }

    // Called after the form's own close steps, with the same action.
    TCloseEvent OnClose;

    // Makes `dataSet` the dataset of the form's data source (creating an own
    // source when the form has none), detaching the previous one.
    void AttachDataSet(TDataSet* dataSet);
    // A given caption wins; else the dataset's "Caption" when not empty.
    void RefreshCaption(const QString& caption = QString());
    // Widens the form to show the visible fields; see FitWidthBy.
    virtual bool FitWidth();
    // Width = charWidth (0: the width of "0") × Σ(field width + 1) + extra,
    // a field's width being its display width or, with `countLabels`, its
    // label's length when longer. Never narrows; false when the screen is
    // too narrow (the form then takes the screen's width).
    bool FitWidthBy(int charWidth, int extra, bool countLabels);

    // The window became active: go to the record FieldReturn names.
    void Activate();
    // The window lost activation: post or cancel a pending edit.
    void Deactivate();
    // The close steps; decides whether the form is hidden or freed.
    void FormClose(TCloseAction& action);

protected:
    virtual void BeforeDetachDataSet(TDataSet* dataSet);
    virtual void AfterAttachDataSet(TDataSet* dataSet, bool changed);

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TDataSet* dataSet() const { return DataSource() ? DataSource()->DataSet() : nullptr; }
    void reportError(const std::exception& e) const;

    TFormDBDataLink dataLink_;
    QPointer<TDataSource> ownDataSource_;
    TFormDBOptions options_ = foFreeOnClose;
    int tag_ = 0;
    QPointer<TFieldReturn> fieldReturn_;
    bool attaching_ = false;

    // The attached dataset's state before the form changed it.
    QPointer<TDataSet> savedFor_;
    bool savedReadOnly_ = false;
    bool savedCachedUpdates_ = false;
    bool savedActive_ = false;
    QString savedIndexFieldNames_;
    QString savedIndexName_;
};
