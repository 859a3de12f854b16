#include "DiReplace.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TDialReplace& TDialReplace::Instance() {
    static QPointer<TDialReplace> dialog;
    if (!dialog) dialog = new TDialReplace;
    return *dialog;
}

TDialReplace::TDialReplace(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Confirm"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Replace this occurence of"), this));
    LabelText = new QLabel(QStringLiteral("'text'"), this);
    layout->addWidget(LabelText);
    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, int> answers[] = {
        {"&Yes", mrYes}, {"&No", mrNo}, {"Cancel", mrCancel}, {"&All", mrAll}};
    for (const auto& [caption, answer] : answers) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setDefault(answer == mrYes);
        b->setAutoDefault(answer == mrYes);
        connect(b, &QPushButton::clicked, this, [this, answer = answer] { done(answer); });
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);
}

int TDialReplace::Ask(const QString& match) {
    // The match is selected in the editor too; naming it here is clearer.
    LabelText->setText(QLatin1Char('\'') + match + QLatin1Char('\''));
    const int answer = exec();
    return answer == QDialog::Rejected ? int(mrCancel) : answer;
}
