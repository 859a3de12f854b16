// Application-wide services of the kit: the application object with its busy
// counter, and the message service every kit component shows its messages with.
#pragma once

#include <QString>

class TKivApp {
public:
    static TKivApp& instance(); // created on first call, never replaced

    void enterBusy() { ++busy_; }
    void leaveBusy() {
        if (busy_ > 0) --busy_;
    }
    int busy() const { return busy_; }

private:
    TKivApp() = default;
    int busy_ = 0;
};

// A plain message box with an OK button, shown with the busy counter raised.
void KivShowMessage(const QString& text);
