// A UIServices double: records every message and answers questions and file
// dialogs from scripted queues. Install it with RecordingUI::Scope.
#pragma once

#include "UIServices.h"

#include <QQueue>

class RecordingUI : public UIServices {
public:
    QStringList messages;          // showMessage texts, in order
    QStringList errors;            // showError texts, in order
    QStringList questions;         // ask texts, in order
    QQueue<Answer> answers;        // answers to ask; Cancel when empty
    QQueue<QString> fileNames;     // results of file dialogs; "" (cancel) when empty
    QStringList fileDialogs;       // "title|filter|defaultExt" of each file dialog shown
    QQueue<QFont> fonts;           // fonts chosen; cancel when empty

    void showMessage(const QString& text) override { messages << text; }
    void showError(const QString& text) override { errors << text; }
    Answer ask(const QString& text, const QString&, Icon, const QList<Answer>&) override {
        questions << text;
        return answers.isEmpty() ? Answer::Cancel : answers.dequeue();
    }
    QString openFileName(const QString& title, const QString& filter, const QString& ext,
                         const QString&) override {
        return nextFile(title, filter, ext);
    }
    QString saveFileName(const QString& title, const QString& filter, const QString& ext,
                         const QString&) override {
        return nextFile(title, filter, ext);
    }
    QString chooseFolder(const QString& title, const QString&) override {
        return nextFile(title, QString(), QString());
    }
    bool chooseFont(QFont& font) override {
        if (fonts.isEmpty()) return false;
        font = fonts.dequeue();
        return true;
    }

    // Installs a fresh double for the lifetime of the scope, then puts back the old one.
    class Scope {
    public:
        Scope();
        ~Scope();
        RecordingUI* operator->() const { return ui_; }
        RecordingUI& operator*() const { return *ui_; }

    private:
        RecordingUI* ui_;
        std::unique_ptr<UIServices> previous_;
    };

private:
    QString nextFile(const QString& title, const QString& filter, const QString& ext) {
        fileDialogs << title + QLatin1Char('|') + filter + QLatin1Char('|') + ext;
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
};
