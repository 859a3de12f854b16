#include "DiMacro.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TDialMacro& TDialMacro::Instance() {
    static QPointer<TDialMacro> dialog;
    if (!dialog) dialog = new TDialMacro;
    return *dialog;
}

TDialMacro::TDialMacro(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Create button"));
    auto* form = new QFormLayout(this);
    EditCaption = new QLineEdit(this);
    EditMacro = new QLineEdit(this);
    form->addRow(QStringLiteral("Caption"), EditCaption);
    form->addRow(QStringLiteral("Macro"), EditMacro);
    auto* hint =
        new QLabel(QStringLiteral("ExecFile(\"https://www.example.org/kivhelp\") - visit on web\n"
                                  "ExecFile(\"mailto:kivhelp@example.org\") - send a letter"),
                   this);
    form->addRow(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setFixedSize(sizeHint());
    // Goes with the application, not with the window that opened it first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);
}

bool RunMacroDialog(const QString& title, const QString& selection) {
    TDialMacro& dialog = TDialMacro::Instance();
    dialog.setWindowTitle(title);
    dialog.EditCaption->setText(selection);
    return dialog.exec() == QDialog::Accepted;
}
