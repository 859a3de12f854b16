// The kit's data-aware rich edit: shows the RTF document stored in a memo
// field of the current record and writes the edited document back when the
// record is stored.
//
// In browse state the text can be read, selected and searched but not
// changed; a key that would change it first puts the record into edit state
// through BeginEditing, which keeps the editor's text, caret and selection
// instead of reloading them.
#pragma once

#include "TDataSource.h"
#include "richtext/RichEdit.h"

class TKivDBRichEdit : public TRichEdit {
    Q_OBJECT
    Q_PROPERTY(QString RecordName READ RecordName WRITE setRecordName)
    Q_PROPERTY(bool SearchGlobal READ SearchGlobal WRITE setSearchGlobal)
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)

public:
    explicit TKivDBRichEdit(QWidget* parent = nullptr);

    // What the search dialog calls one record; empty means the generic wording.
    QString RecordName() const { return recordName_; }
    void setRecordName(const QString& name) { recordName_ = name; }
    // Whether searches may leave the current record.
    bool SearchGlobal() const { return searchGlobal_; }
    void setSearchGlobal(bool global) { searchGlobal_ = global; }

    QString DataField() const { return link_.FieldName(); }
    void setDataField(const QString& name) { link_.setFieldName(name); }
    TDataSource* DataSource() const { return link_.DataSource(); }
    void setDataSource(TDataSource* source) { link_.setDataSource(source); }
    TField* Field() const { return link_.Field(); }
    TFieldDataLink& DataLink() { return link_; }

    // Puts the record into edit state without reloading the editor. Errors of
    // the dataset propagate.
    void BeginEditing();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void dataChange();
    void editingChange();
    void updateData();
    void load(const QString& stored);
    bool beginEditingFromInput();

    TFieldDataLink link_;
    QString recordName_;
    bool searchGlobal_ = false;
    QString remembered_; // stored text while BeginEditing enters edit state
    bool loading_ = false;
};
