// Every modal interaction with the user (message boxes, questions, file and font
// dialogs) goes through one replaceable object, so tests can record and script it.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

class UIServices {
public:
    enum class Answer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~UIServices() = default;

    // A plain message box with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // The default handler's box for an exception that reached the event loop.
    virtual void showError(const QString& text) = 0;
    // A box with the given buttons; returns the one pressed (Cancel when closed).
    virtual Answer ask(const QString& text, const QString& caption, Icon icon,
                       const QList<Answer>& buttons) = 0;
    // File dialogs. `filter` is written "Description|*.ext|Other|*.*"; the result
    // is empty when the user cancels.
    virtual QString openFileName(const QString& title, const QString& filter,
                                 const QString& defaultExt, const QString& initialPath) = 0;
    virtual QString saveFileName(const QString& title, const QString& filter,
                                 const QString& defaultExt, const QString& initialPath) = 0;
    // An open dialog that also takes the name of a file that does not exist
    // yet (the author types a new name); no question about replacing a file.
    virtual QString openNewFileName(const QString& title, const QString& filter,
                                    const QString& defaultExt, const QString& initialPath) {
        return openFileName(title, filter, defaultExt, initialPath);
    }
    // A folder, which may not exist yet; empty when the user cancels. Without
    // a dialog of its own a service answers as cancelled.
    virtual QString chooseFolder(const QString& title, const QString& initialPath) {
        Q_UNUSED(title);
        Q_UNUSED(initialPath);
        return QString();
    }
    virtual bool chooseFont(QFont& font) = 0;

    static UIServices& instance();
    // Replaces the current object; returns the previous one.
    static std::unique_ptr<UIServices> install(std::unique_ptr<UIServices> services);
};

// Turns "Description|*.ext|Other|*.*" into Qt's "Description (*.ext);;Other (*.*)".
QString qtFileFilter(const QString& pipeFilter);
