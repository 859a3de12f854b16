#include "KivEditors.h"

#include "KivContr.h"
#include "KivDB.h"
#include "KivForms.h"
#include "KivLook.h"

#include <QApplication>
#include <QDateEdit>
#include <QStyle>

namespace {

template <class T> QWidget* make(const KivEditorHooks::Make& hook, QWidget* owner) {
    QWidget* w = hook ? hook(owner) : new T(owner);
    if (w && w->parentWidget() != owner) w->setParent(owner);
    if (w) w->hide();
    return w;
}

int scrollBarWidth() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

void sizeFor(QWidget* w, const TField* field, int charWidth, int extra) {
    if (charWidth <= 0) charWidth = 6;
    w->resize((field->DisplayWidth() + 2) * charWidth + extra, w->sizeHint().height());
}

// A lookup combo lists the lookup dataset of `field` through a data source
// of its own.
void listLookup(QWidget* w, const TField* field) {
    auto* combo = qobject_cast<TKivCustomDBLookupCombo*>(w);
    if (!combo) return;
    auto* list = new TDataSource(combo);
    list->setDataSet(field->LookupDataSet());
    combo->setListSource(list);
    combo->setKeyField(field->LookupKeyFields());
    const auto* look = qobject_cast<const TKivLookField*>(field);
    combo->setListField(look ? look->ResultFieldNames().join(QLatin1Char(';'))
                             : field->LookupResultField());
}

void setDataSource(QWidget* w, TDataSource* source) {
    const QMetaProperty p = KivFindProperty(w, QStringLiteral("DataSource"));
    if (p.isValid()) p.write(w, QVariant::fromValue(source));
}

bool isLookupOpen(const TField* field) {
    return field->LookupDataSet() && field->LookupDataSet()->Active();
}

} // namespace

KivEditorHooks& KivEditorFactoryHooks() {
    static KivEditorHooks hooks;
    return hooks;
}

QWidget* KivCreateDBEditor(QWidget* owner, TField* field, TDataSource* source, int charWidth) {
    const KivEditorHooks& hooks = KivEditorFactoryHooks();
    const bool modifiable = field->CanModify();
    QWidget* w = nullptr;
    int extra = 0;
    bool bindField = true;
    if (field->FieldKind() == TFieldKind::fkCalculated) {
        w = make<TKivDBText>(hooks.DBText, owner);
    } else if (field->FieldKind() == TFieldKind::fkLookup) {
        if (isLookupOpen(field) && !field->ReadOnly()) {
            w = make<TKivDBLookupCombo>(hooks.DBLookupCombo, owner);
            listLookup(w, field);
            extra = scrollBarWidth();
        } else {
            w = make<TKivDBText>(hooks.DBText, owner);
            if (auto* text = qobject_cast<TKivDBText*>(w))
                if (qobject_cast<const TKivLookField*>(field))
                    text->setLookField(field->LookupResultField());
        }
    } else if (field->DataType() == TFieldType::ftMemo) {
        w = make<TDBMemo>(hooks.DBMemo, owner);
        if (auto* memo = qobject_cast<TDBMemo*>(w)) {
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            if (!modifiable) {
                memo->setReadOnly(true);
                QPalette p = memo->palette();
                p.setColor(QPalette::Base, p.color(QPalette::Button));
                memo->setPalette(p);
            }
        }
        bindField = false;
    } else if (!modifiable) {
        w = make<TKivDBText>(hooks.DBText, owner);
    } else if (qobject_cast<const TKivListField*>(field)) {
        w = make<TKivDBCombo>(hooks.DBCombo, owner);
        extra = scrollBarWidth();
        bindField = false;
    } else if (field->DataType() == TFieldType::ftDate) {
        w = make<TKivDBEdit>(hooks.DBDateEdit, owner);
        extra = scrollBarWidth();
    } else {
        w = make<TKivDBEdit>(hooks.DBEdit, owner);
    }
    if (!w) return nullptr;
    if (qobject_cast<QComboBox*>(w)) bindField = false;
    setDataSource(w, source);
    if (bindField) KivSetStringProperty(w, QStringLiteral("DataField"), field->FieldName());
    sizeFor(w, field, charWidth, extra);
    return w;
}

QWidget* KivCreateEditor(QWidget* owner, TField* field, int charWidth, int extra) {
    const KivEditorHooks& hooks = KivEditorFactoryHooks();
    QWidget* w = nullptr;
    if (field->FieldKind() == TFieldKind::fkCalculated) {
        w = make<QLabel>(hooks.Label, owner);
    } else if (field->FieldKind() == TFieldKind::fkLookup) {
        w = make<TKivCustomDBLookupCombo>(hooks.LookupCombo, owner);
        listLookup(w, field);
        extra += scrollBarWidth();
    } else if (const auto* list = qobject_cast<const TKivListField*>(field)) {
        w = make<QComboBox>(hooks.Combo, owner);
        if (auto* combo = qobject_cast<QComboBox*>(w)) combo->addItems(list->Values());
        extra += scrollBarWidth();
    } else if (field->DataType() == TFieldType::ftDate) {
        w = make<QDateEdit>(hooks.DateEdit, owner);
        if (auto* date = qobject_cast<QDateEdit*>(w)) date->setCalendarPopup(true);
        extra += scrollBarWidth();
    } else if (field->DataType() == TFieldType::ftMemo) {
        w = make<QLineEdit>(hooks.MemoEdit, owner);
    } else {
        w = make<QLineEdit>(hooks.Edit, owner);
    }
    if (w) sizeFor(w, field, charWidth, extra);
    return w;
}
