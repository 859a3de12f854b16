#include "Main.h"
#include "Application.h"
#include "BuildCommand.h"
#include "CheckCommand.h"
#include "DMod.h"
#include "ExportHtmlCommand.h"
#include "ImportUnitCommand.h"
#include "KivStartUp.h"
#include "NewProjectCommand.h"
#include "ScanUnitCommand.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstring>

int main(int argc, char** argv) {
    // Command-line modes run without any window.
    if (argc > 1 && std::strcmp(argv[1], "--scan-unit") == 0) {
        QCoreApplication app(argc, argv);
        return runScanUnit(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    }
    if (argc > 1 && std::strcmp(argv[1], "--new") == 0) {
        QCoreApplication app(argc, argv);
        return runNewProject(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    }
    if (argc > 1 && std::strcmp(argv[1], "--export-html") == 0) {
        QCoreApplication app(argc, argv); // no display needed: QImage reads BMP without one
        return runExportHtml(QCoreApplication::arguments().mid(2));
    }
    if (argc > 1 && std::strcmp(argv[1], "--build") == 0) {
        QCoreApplication app(argc, argv);
        return runBuild(QCoreApplication::arguments().mid(2));
    }
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0) {
        QCoreApplication app(argc, argv);
        return runCheck(QCoreApplication::arguments().mid(2));
    }
    if (argc > 1 && std::strcmp(argv[1], "--import-unit") == 0) {
        // The generation writes through a rich-text editor that is never shown.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return runImportUnit(QCoreApplication::arguments().mid(2));
    }

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KivHelp"));
    TDM dataModule; // the global DM, before any window
    KivStartUp(true);
    // Closing the window frees it; what is left at the end goes before DM.
    QPointer<TFormMain> window;
    TApplication::Guarded([&] {
        window = new TFormMain(QCoreApplication::arguments().value(1));
        window->show();
        return true;
    });
    if (!window) return 1;
    const int status = app.exec();
    delete window.data();
    return status;
}
