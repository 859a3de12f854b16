#include "KivFormDB.h"

#include "KivForms.h"
#include "KivTable.h"
#include "TTable.h"
#include "UIServices.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QMdiSubWindow>
#include <QScopedValueRollback>
#include <QScreen>

#include <algorithm>

bool& KivValueReturned() {
    static bool returned = false;
    return returned;
}

bool KivEditData(QObject* sender, TDataSet* lookup, TDataSet* edited, const QString& keyFields,
                 QVariant& value) {
    const TOnEditDataEvent handler = KivGetOnEditData(lookup);
    if (!handler) return false;
    // The window may look at the tags to know its caller is mid-edit.
    QList<QPair<QPointer<TDataSet>, int>> marked;
    if (edited &&
        (edited->State() == TDataSetState::dsEdit || edited->State() == TDataSetState::dsInsert)) {
        const auto seen = [&marked](TDataSet* ds) {
            return std::any_of(marked.cbegin(), marked.cend(),
                               [ds](const auto& m) { return m.first == ds; });
        };
        for (TDataSet* ds = edited; ds && !seen(ds);) { // a master chain may loop
            marked.append({ds, ds->Tag()});
            ds->setTag(80);
            TDataSource* up = KivGetDataSourceProperty(ds, QStringLiteral("MasterSource"));
            if (!up) up = KivGetDataSourceProperty(ds, QStringLiteral("DataSource"));
            ds = up ? up->DataSet() : nullptr;
        }
    }
    struct Restore {
        QList<QPair<QPointer<TDataSet>, int>>& marked;
        ~Restore() {
            for (const auto& [ds, tag] : marked)
                if (ds) ds->setTag(tag);
        }
    } restore{marked};
    TFieldReturn fieldReturn;
    fieldReturn.setFieldName(keyFields);
    fieldReturn.setValue(value);
    KivValueReturned() = false;
    handler(sender, 2, &fieldReturn);
    if (!KivValueReturned()) return false;
    value = fieldReturn.Value();
    return true;
}

void TFormDBDataLink::ActiveChanged() {
    form_->AttachDataSet(DataSet());
}

TFormDB::TFormDB(QWidget* parent) : QMainWindow(parent), dataLink_(this) {
    RefreshCaption();
}

TFormDB::~TFormDB() {
    // The data source may be shared with other windows: it keeps its dataset,
    // which gets back the state it had before this form changed it.
    attaching_ = true;
    if (savedFor_) {
        try {
            BeforeDetachDataSet(savedFor_);
        } catch (const std::exception& e) {
            reportError(e);
        }
    }
    dataLink_.setDataSource(nullptr);
    delete ownDataSource_;
}

void TFormDB::setDataSource(TDataSource* source) {
    TDataSource* old = DataSource();
    if (source == old) return;
    if (old)
        for (QObject* component : findChildren<QObject*>()) {
            if (KivFindProperty(component, QStringLiteral("DataField")).isValid()) continue;
            const QMetaProperty p = KivFindProperty(component, QStringLiteral("DataSource"));
            if (p.isWritable() && KivGetObjectProperty(component, p.name()) == old)
                p.write(component, QVariant::fromValue(source));
        }
    // Letting go of a dataset puts back what the form changed in it.
    if (savedFor_ && (!source || source->DataSet() != savedFor_)) {
        // Closing the dataset here must not make the link attach it again.
        const QScopedValueRollback<bool> busy(attaching_, true);
        BeforeDetachDataSet(savedFor_);
    }
    dataLink_.setDataSource(source);
    RefreshCaption();
}

void TFormDB::AttachDataSet(TDataSet* ds) {
    if (attaching_) return;
    const QScopedValueRollback<bool> busy(attaching_, true);
    if (!DataSource()) {
        // The data source went away: the dataset is let go.
        if (!ds) {
            if (savedFor_) BeforeDetachDataSet(savedFor_);
            return;
        }
        if (!ownDataSource_) ownDataSource_ = new TDataSource(this);
        dataLink_.setDataSource(ownDataSource_);
    }
    TDataSource* source = DataSource();
    if (ds != source->DataSet()) {
        if (TDataSet* old = source->DataSet()) BeforeDetachDataSet(old);
        source->setDataSet(ds);
        if (ds) AfterAttachDataSet(ds, true);
    } else if (ds) {
        AfterAttachDataSet(ds, false);
    }
    RefreshCaption();
}

void TFormDB::AfterAttachDataSet(TDataSet* ds, bool changed) {
    if (!changed && savedFor_ == ds) return;
    savedFor_ = ds;
    savedActive_ = ds->Active();
    if (auto* table = qobject_cast<TTable*>(ds)) {
        const bool readOnly = options_.testFlag(foDataReadOnly);
        savedCachedUpdates_ = table->CachedUpdates();
        if (!readOnly && savedCachedUpdates_) {
            table->Close();
            table->setCachedUpdates(false);
        }
        savedReadOnly_ = table->ReadOnly();
        if (savedReadOnly_ != readOnly) {
            table->Close();
            table->setReadOnly(readOnly);
        }
        savedIndexFieldNames_ = table->IndexFieldNames();
        savedIndexName_ = table->IndexName();
    }
    if (!ds->Active()) ds->Open();
}

void TFormDB::BeforeDetachDataSet(TDataSet* ds) {
    if (!ds || ds != savedFor_.data()) {
        savedFor_ = nullptr;
        return;
    }
    savedFor_ = nullptr;
    if (auto* table = qobject_cast<TTable*>(ds)) {
        if (table->CachedUpdates() != savedCachedUpdates_) {
            table->Close();
            table->setCachedUpdates(savedCachedUpdates_);
        }
        if (table->ReadOnly() != savedReadOnly_) {
            table->Close();
            table->setReadOnly(savedReadOnly_);
        }
        if (table->IndexFieldNames() != savedIndexFieldNames_)
            table->setIndexFieldNames(savedIndexFieldNames_);
        if (table->IndexName() != savedIndexName_) table->setIndexName(savedIndexName_);
    }
    if (ds->Active() != savedActive_) ds->setActive(savedActive_);
}

void TFormDB::RefreshCaption(const QString& caption) {
    if (!caption.isEmpty()) {
        setWindowTitle(caption);
        return;
    }
    const QString own = KivGetStringProperty(dataSet(), QStringLiteral("Caption"));
    if (!own.isEmpty()) setWindowTitle(own);
}

bool TFormDB::FitWidth() {
    return FitWidthBy(0, 45, true);
}

bool TFormDB::FitWidthBy(int charWidth, int extra, bool countLabels) {
    if (charWidth == 0) charWidth = QFontMetrics(font()).horizontalAdvance(QLatin1Char('0'));
    int sum = 0;
    if (TDataSet* ds = dataSet())
        for (const TField* f : ds->Fields()) {
            if (!f->Visible()) continue;
            int w = f->DisplayWidth();
            if (countLabels) w = std::max(w, int(f->DisplayLabel().size()));
            sum += w + 1;
        }
    int wanted = charWidth * sum + extra;
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, wanted, 0);
    const bool fits = wanted <= area.width();
    if (!fits) wanted = area.width();
    if (wanted > width()) {
        resize(wanted, height());
        const QRect frame = frameGeometry();
        if (frame.right() > area.right())
            move(std::max(area.left(), area.right() - frame.width() + 1), y());
    }
    return fits;
}

void TFormDB::Activate() {
    TDataSet* ds = dataSet();
    if (!ds || !fieldReturn_) return;
    try {
        ds->Locate(fieldReturn_->FieldName(), fieldReturn_->Value());
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void TFormDB::Deactivate() {
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active() || options_.testFlag(foDataReadOnly)) return;
    try {
        ds->CheckBrowseMode();
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void TFormDB::FormClose(TCloseAction& action) {
    const bool mdiChild = qobject_cast<QMdiSubWindow*>(parentWidget()) != nullptr;
    action = !options_.testFlag(foFreeOnClose) && !mdiChild ? TCloseAction::caHide
                                                            : TCloseAction::caFree;
    TDataSet* ds = dataSet();
    if (ds && ds->Active()) {
        if (!options_.testFlag(foDataReadOnly)) ds->CheckBrowseMode();
        auto* db = qobject_cast<TDBDataSet*>(ds);
        if (options_.testFlag(foApplyOnClose) && db && db->CachedUpdates() && db->UpdatesPending())
            db->ApplyUpdates();
    }
    if (fieldReturn_ && ds && ds->Active() && !ds->IsEmpty())
        if (const TField* f = ds->FindField(fieldReturn_->FieldName()))
            fieldReturn_->setValue(f->Value());
    if (OnClose) OnClose(this, action);
}

bool TFormDB::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Activate();
    if (e->type() == QEvent::WindowDeactivate) Deactivate();
    return QMainWindow::event(e);
}

void TFormDB::closeEvent(QCloseEvent* e) {
    TCloseAction action = TCloseAction::caHide;
    try {
        FormClose(action);
    } catch (const std::exception& err) {
        // An edit that cannot be stored keeps the window open, so nothing is lost.
        if (!dynamic_cast<const EAbort*>(&err)) reportError(err);
        e->ignore();
        return;
    }
    switch (action) {
    case TCloseAction::caNone:
        e->ignore();
        return;
    case TCloseAction::caMinimize:
        e->ignore();
        showMinimized();
        return;
    case TCloseAction::caHide:
        e->accept();
        return;
    case TCloseAction::caFree:
        e->accept();
        deleteLater();
        return;
    }
}

void TFormDB::reportError(const std::exception& e) const {
    if (dynamic_cast<const EAbort*>(&e)) return;
    const auto* kiv = dynamic_cast<const EKivError*>(&e);
    UIServices::instance().showError(kiv ? kiv->message() : QString::fromLocal8Bit(e.what()));
}
