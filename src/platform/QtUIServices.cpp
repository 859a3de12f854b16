#include "QtUIServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>

namespace {

QWidget* activeWindow() { return QApplication::activeWindow(); }

QMessageBox::StandardButton toButton(UIServices::Answer a) {
    switch (a) {
    case UIServices::Answer::Ok: return QMessageBox::Ok;
    case UIServices::Answer::Cancel: return QMessageBox::Cancel;
    case UIServices::Answer::Yes: return QMessageBox::Yes;
    case UIServices::Answer::No: return QMessageBox::No;
    case UIServices::Answer::Abort: return QMessageBox::Abort;
    case UIServices::Answer::Retry: return QMessageBox::Retry;
    case UIServices::Answer::Ignore: return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QString withDefaultExt(QString path, const QString& ext) {
    if (!path.isEmpty() && !ext.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + ext;
    return path;
}

} // namespace

void QtUIServices::showMessage(const QString& text) {
    QMessageBox::information(activeWindow(), QApplication::applicationName(), text);
}

void QtUIServices::showError(const QString& text) {
    QMessageBox::critical(activeWindow(), QApplication::applicationName(), text);
}

UIServices::Answer QtUIServices::ask(const QString& text, const QString& caption, Icon icon,
                                     const QList<Answer>& buttons) {
    QMessageBox box(activeWindow());
    box.setText(text);
    box.setWindowTitle(caption.isEmpty() ? QApplication::applicationName() : caption);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    for (Answer a : buttons) box.addButton(toButton(a));
    const int pressed = box.exec();
    for (Answer a : buttons)
        if (toButton(a) == pressed) return a;
    return Answer::Cancel;
}

QString QtUIServices::openFileName(const QString& title, const QString& filter,
                                   const QString& defaultExt, const QString& initialPath) {
    return withDefaultExt(
        QFileDialog::getOpenFileName(activeWindow(), title, initialPath, qtFileFilter(filter)),
        defaultExt);
}

QString QtUIServices::saveFileName(const QString& title, const QString& filter,
                                   const QString& defaultExt, const QString& initialPath) {
    return withDefaultExt(
        QFileDialog::getSaveFileName(activeWindow(), title, initialPath, qtFileFilter(filter)),
        defaultExt);
}

QString QtUIServices::openNewFileName(const QString& title, const QString& filter,
                                      const QString& defaultExt, const QString& initialPath) {
    QFileDialog dialog(activeWindow(), title, initialPath, qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return withDefaultExt(dialog.selectedFiles().constFirst(), defaultExt);
}

QString QtUIServices::chooseFolder(const QString& title, const QString& initialPath) {
    // The folder dialog also makes a new folder; an export creates a missing one itself.
    return QFileDialog::getExistingDirectory(activeWindow(), title, initialPath);
}

bool QtUIServices::chooseFont(QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, activeWindow());
    if (ok) font = chosen;
    return ok;
}
