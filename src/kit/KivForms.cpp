#include "KivForms.h"

#include "UIServices.h"

TKivApp& TKivApp::instance() {
    static TKivApp app;
    return app;
}

void KivShowMessage(const QString& text) {
    TKivApp& app = TKivApp::instance();
    app.enterBusy();
    struct Leave {
        TKivApp& app;
        ~Leave() { app.leaveBusy(); }
    } leave{app};
    UIServices::instance().showMessage(text);
}
