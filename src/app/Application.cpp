#include "Application.h"

#include "KivError.h"
#include "UIServices.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    const auto* kiv = dynamic_cast<const EKivError*>(&e);
    UIServices::instance().showError(kiv ? kiv->message() : QString::fromLocal8Bit(e.what()));
}

bool TApplication::Guarded(const std::function<bool()>& handler) {
    try {
        return handler();
    } catch (const std::exception& e) {
        HandleException(e);
        return false;
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    return Guarded([&] { return QApplication::notify(receiver, event); });
}
