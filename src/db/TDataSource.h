// Data sources and data links: how controls follow a dataset.
//
// A TDataSource points at a dataset (and may be repointed at another one at
// any time); data links attach to a data source and receive the dataset's
// notifications through their virtual methods. A link is active while its
// source is enabled and points at an open dataset, and editing while that
// dataset is in edit or insert state.
#pragma once

#include "TDataSet.h"

#include <QObject>
#include <QPointer>
#include <functional>

class TDataLink;

class TDataSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(TDataSet* DataSet READ DataSet WRITE setDataSet)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool AutoEdit READ AutoEdit WRITE setAutoEdit)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TDataChangeEvent = std::function<void(QObject* sender, TField* field)>;

    explicit TDataSource(QObject* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void setDataSet(TDataSet* dataSet);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool AutoEdit() const { return autoEdit_; }
    void setAutoEdit(bool autoEdit) { autoEdit_ = autoEdit; }
    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // The dataset's state, dsInactive without an enabled, open dataset.
    TDataSetState State() const;
    // Puts the dataset into edit state when AutoEdit allows it.
    void Edit();

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;
    TEventTable& events() { return events_; }

    const QList<TDataLink*>& links() const { return links_; }
    // Passes a dataset notification on to the links.
    void DataEvent(TDataEvent event, qintptr info);

private:
    friend class TDataLink;
    friend class TDataSet;
    void addLink(TDataLink* link);
    void removeLink(TDataLink* link);
    void dataSetDestroyed(TDataSet* dataSet);
    void notifyStateChange();

    QPointer<TDataSet> dataSet_;
    bool enabled_ = true;
    bool autoEdit_ = true;
    int tag_ = 0;
    TDataSetState lastState_ = TDataSetState::dsInactive;
    QList<TDataLink*> links_;
    TEventTable events_;
};

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void setDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return active_; }
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // Puts the dataset into edit state (through the source's AutoEdit);
    // returns whether the link is editing afterwards.
    bool Edit();
    // Makes the controls write their pending edits (UpdateData) now.
    void UpdateRecord();

protected:
    // Notifications, in the order a dataset sends them. By default a
    // scroll and a layout change count as a dataset change.
    virtual void ActiveChanged() {}
    virtual void EditingChanged() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance);
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field);
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}
    virtual void FocusControl(TField* field);

private:
    friend class TDataSource;
    void dataEvent(TDataEvent event, qintptr info);
    void updateState();
    void setActive(bool active);
    void setEditing(bool editing);

    QPointer<TDataSource> dataSource_;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
};

// The link of a control bound to one field.
class TFieldDataLink : public TDataLink {
public:
    using TNotifyEvent = std::function<void()>;

    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString& name);
    TField* Field() const { return field_; }
    bool CanModify() const;
    // Puts the dataset into edit state only when the field can be modified.
    bool Edit();
    bool Modified() const { return modified_; }
    // The control changed its value: it will be written on UpdateRecord.
    void setModified() { modified_ = true; }
    // Shows the field's value again, dropping the control's edit.
    void Reset();

    TNotifyEvent OnDataChange; // the field's value changed: the control shows it
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData; // the control writes its value into the field
    TNotifyEvent OnActiveChange;
    // A display property of the field changed (its texts, its width...).
    TNotifyEvent OnLayoutChange;
    std::function<void(TField*)> OnFocusControl;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    void FocusControl(TField* field) override;

private:
    void updateField();

    QString fieldName_;
    QPointer<TField> field_;
    bool modified_ = false;
};
