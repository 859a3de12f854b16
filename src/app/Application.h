// The program's application object: errors that reach the event loop from a
// handler are shown in a message box and the program carries on; the silent
// abort shows nothing.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // The default handler: the error's message through the UI services;
    // nothing for EAbort.
    static void HandleException(const std::exception& e);
    // Runs `handler`; an error it raises goes to HandleException and false is
    // returned.
    static bool Guarded(const std::function<bool()>& handler);

    bool notify(QObject* receiver, QEvent* event) override;
};
