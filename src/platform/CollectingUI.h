// A UIServices for runs without windows (the command-line modes, benchmarks,
// fuzzing): messages are collected and, when echoing, written to standard
// error; questions are cancelled and file dialogs return no file.
#pragma once

#include "UIServices.h"

#include <QStringList>
#include <memory>

class CollectingUI : public UIServices {
public:
    explicit CollectingUI(bool echo) : echo_(echo) {}

    QStringList messages; // showMessage and showError texts, in order

    void showMessage(const QString& text) override;
    void showError(const QString& text) override;
    Answer ask(const QString& text, const QString& caption, Icon icon,
               const QList<Answer>& buttons) override;
    QString openFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& initialPath) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                         const QString& initialPath) override;
    bool chooseFont(QFont& font) override;

    // Installs a CollectingUI for the lifetime of the scope, then puts back the old one.
    class Scope {
    public:
        explicit Scope(bool echo);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        CollectingUI& ui() const { return *ui_; }

    private:
        CollectingUI* ui_;
        std::unique_ptr<UIServices> previous_;
    };

private:
    void echo(const QString& text) const;
    bool echo_;
};
