// The real user interface: Qt message boxes and dialogs.
#pragma once

#include "UIServices.h"

class QtUIServices : public UIServices {
public:
    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    Answer ask(const QString& text, const QString& caption, Icon icon,
               const QList<Answer>& buttons) override;
    QString openFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& initialPath) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& initialPath) override;
    QString openNewFileName(const QString& title, const QString& filter, const QString& defaultExt,
                            const QString& initialPath) override;
    QString chooseFolder(const QString& title, const QString& initialPath) override;
    bool chooseFont(QFont& font) override;
};
