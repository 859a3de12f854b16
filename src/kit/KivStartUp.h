// Data modules, the kit's start-up routine and the refresh pass that keeps
// the datasets a window shows up to date when it becomes the active window.
//
// Tag conventions (decimal digits of a component's Tag):
//   dataset of a data module, Tag mod 10 = 9   opened by the start-up routine
//   dataset shown by a window, tens digit 9    refreshed by each refresh pass
//   dataset shown by a window, tens digit 8    not opened by the refresh pass
//   window, Tag = 9                            refresh pass when it becomes active
#pragma once

#include <QList>
#include <QObject>
#include <functional>

class QWidget;
class TDataSet;

// A QObject that owns datasets for the whole program. Every data module is
// known to the kit from construction to destruction.
class TDataModule : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TDataModule(QObject* parent = nullptr);
    ~TDataModule() override;

    int Tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Fired once as the module goes, while all of it still exists.
    TNotifyEvent OnDestroy;

    // Fires OnDestroy; a derived module calls this first in its destructor so
    // that the handlers see a whole module. Later calls do nothing.
    void BeforeDestruction();

private:
    int tag_ = 0;
    bool destroying_ = false;
};

// The data modules in order of creation.
QList<TDataModule*> KivDataModules();

// Once at program start, after the data modules and before the main window:
// hooks the refresh pass to the change of the active window, opens the data
// modules' datasets with Tag mod 10 = 9 when `openDataSets` is true, and makes
// the last data module post or cancel every pending edit before it goes.
// Without an application object it shows "Screen dont initialize" and skips
// the hook.
void KivStartUp(bool openDataSets = true);

// What the hook does when `form` became the active window: the refresh pass
// on it, when its Tag is 9 and no kit message box is up.
void KivActiveFormChanged(QWidget* form);

// Opens or refreshes the datasets the components owned by `owner` show
// through "DataSource" and "ListSource" (with the lookup datasets of their
// fields), as the Tag conventions say; `forced` ignores the Tags and states.
void KivRefreshPass(QObject* owner, bool forced);

// The datasets the refresh pass visits, in its order: lookup and list
// datasets first, then the shown ones.
QList<TDataSet*> KivCollectDataSets(QObject* owner);

// Posts or cancels the pending edit of every open dataset of the data modules
// and windows (a failing post is reported and cancelled).
void KivCheckBrowseModeAll();
