#include "CollectingUI.h"

#include <cstdio>

void CollectingUI::echo(const QString& text) const {
    if (!echo_) return;
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

void CollectingUI::showMessage(const QString& text) {
    messages << text;
    echo(text);
}

void CollectingUI::showError(const QString& text) {
    showMessage(text);
}

UIServices::Answer CollectingUI::ask(const QString& text, const QString&, Icon,
                                     const QList<Answer>&) {
    echo(text);
    return Answer::Cancel;
}

QString CollectingUI::openFileName(const QString&, const QString&, const QString&, const QString&) {
    return {};
}

QString CollectingUI::saveFileName(const QString&, const QString&, const QString&, const QString&) {
    return {};
}

bool CollectingUI::chooseFont(QFont&) {
    return false;
}

CollectingUI::Scope::Scope(bool echo) {
    auto ui = std::make_unique<CollectingUI>(echo);
    ui_ = ui.get();
    previous_ = UIServices::install(std::move(ui));
}

CollectingUI::Scope::~Scope() {
    UIServices::install(std::move(previous_));
}
