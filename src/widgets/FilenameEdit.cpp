#include "FilenameEdit.h"

#include "UIServices.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

TFilenameEdit::TFilenameEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), button_(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    button_->setText(QStringLiteral("..."));
    button_->setFocusPolicy(Qt::NoFocus); // Tab goes from the edit to the next control
    setFocusProxy(edit_);
    connect(button_, &QToolButton::clicked, this, &TFilenameEdit::browse);
    connect(edit_, &QLineEdit::textChanged, this, &TFilenameEdit::fileNameChanged);
}

QString TFilenameEdit::fileName() const {
    return edit_->text();
}

void TFilenameEdit::setFileName(const QString& fileName) {
    edit_->setText(fileName);
}

void TFilenameEdit::browse() {
    const QString chosen =
        UIServices::instance().openFileName(dialogTitle_, filter_, defaultExt_, fileName());
    if (!chosen.isEmpty()) setFileName(chosen);
}
