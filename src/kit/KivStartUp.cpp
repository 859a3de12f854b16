#include "KivStartUp.h"

#include "KivForms.h"
#include "KivTable.h"
#include "TDBDataSet.h"
#include "TQuery.h"
#include "TTable.h"
#include "UIServices.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

QList<QPointer<TDataModule>>& registry() {
    static QList<QPointer<TDataModule>> modules;
    return modules;
}

int tagOf(const QObject* component) {
    return component ? component->property("Tag").toInt() : 0;
}

int tensDigit(int tag) {
    return (tag % 100) / 10;
}

bool editing(const TDataSet* ds) {
    return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
}

// The dataset a detail follows: a table's master source, a query's parameter source.
TDataSet* masterOf(const TDataSet* ds) {
    TDataSource* source = KivGetDataSourceProperty(ds, QStringLiteral("MasterSource"));
    if (!source && qobject_cast<const TQuery*>(ds))
        source = KivGetDataSourceProperty(ds, QStringLiteral("DataSource"));
    return source ? source->DataSet() : nullptr;
}

void addDataSet(QList<TDataSet*>& list, TDataSet* ds, bool front) {
    if (!ds || list.contains(ds)) return;
    if (front)
        list.prepend(ds);
    else
        list.append(ds);
    for (const TField* f : ds->Fields())
        addDataSet(list, f->LookupDataSet(), true);
}

} // namespace

// ---------------------------------------------------------------- data modules

TDataModule::TDataModule(QObject* parent) : QObject(parent) {
    registry().append(this);
}

TDataModule::~TDataModule() {
    BeforeDestruction();
    registry().removeAll(this);
    registry().removeAll(nullptr);
}

void TDataModule::BeforeDestruction() {
    if (destroying_) return;
    destroying_ = true;
    if (OnDestroy) OnDestroy(this);
}

QList<TDataModule*> KivDataModules() {
    QList<TDataModule*> list;
    for (const QPointer<TDataModule>& m : std::as_const(registry()))
        if (m) list << m.data();
    return list;
}

// ---------------------------------------------------------------- start-up

void KivStartUp(bool openDataSets) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        KivShowMessage(QStringLiteral("Screen dont initialize"));
    } else {
        TKivApp::instance();
        static QMetaObject::Connection hook;
        QObject::disconnect(hook);
        hook = QObject::connect(app, &QGuiApplication::focusWindowChanged, app,
                                [] { KivActiveFormChanged(QApplication::activeWindow()); });
        if (openDataSets)
            for (TDataModule* module : KivDataModules())
                for (auto* ds : module->findChildren<TDBDataSet*>(Qt::FindDirectChildrenOnly))
                    if (ds->Tag() % 10 == 9) ds->Open();
        if (QWidget* form = QApplication::activeWindow()) KivRefreshPass(form, false);
    }
    const QList<TDataModule*> modules = KivDataModules();
    if (modules.isEmpty()) return;
    TDataModule* last = modules.last();
    last->OnDestroy = [saved = last->OnDestroy](QObject* sender) {
        KivCheckBrowseModeAll();
        if (saved) saved(sender);
    };
}

void KivCheckBrowseModeAll() {
    QList<QObject*> owners;
    for (TDataModule* m : KivDataModules())
        owners << m;
    for (QWidget* w : QApplication::topLevelWidgets())
        owners << w;
    for (QObject* owner : std::as_const(owners))
        for (TDataSet* ds : owner->findChildren<TDataSet*>()) {
            if (!ds->Active()) continue;
            try {
                ds->CheckBrowseMode();
            } catch (const EKivError& e) {
                // The module is going: an edit that cannot be stored is reported and dropped.
                if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
                ds->Cancel();
            }
        }
}

// ---------------------------------------------------------------- refresh pass

void KivActiveFormChanged(QWidget* form) {
    if (form && tagOf(form) == 9 && TKivApp::instance().busy() == 0) KivRefreshPass(form, false);
}

QList<TDataSet*> KivCollectDataSets(QObject* owner) {
    QList<TDataSet*> list;
    if (!owner) return list;
    for (QObject* component : owner->findChildren<QObject*>()) {
        if (TDataSource* s = KivGetDataSourceProperty(component, QStringLiteral("DataSource")))
            addDataSet(list, s->DataSet(), false);
        if (TDataSource* s = KivGetDataSourceProperty(component, QStringLiteral("ListSource")))
            addDataSet(list, s->DataSet(), true);
    }
    return list;
}

void KivRefreshPass(QObject* owner, bool forced) {
    const QList<TDataSet*> list = KivCollectDataSets(owner);
    auto refreshedHere = [&](TDataSet* ds) { return forced || tensDigit(ds->Tag()) == 9; };
    for (TDataSet* ds : list) {
        if (ds->Active()) {
            if (!forced && (tensDigit(ds->Tag()) != 9 || editing(ds))) continue;
            // A detail follows its master's refresh.
            TDataSet* master = masterOf(ds);
            if (master && list.contains(master) && refreshedHere(master)) continue;
            RefreshDataSet(ds);
        } else {
            if (!forced && tensDigit(ds->Tag()) == 8) continue;
            ds->Open();
        }
    }
}
