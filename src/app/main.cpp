#include "BuildCommand.h"
#include "DMod.h"
#include "NewProjectCommand.h"
#include "ScanUnitCommand.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>

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
    if (argc > 1 && std::strcmp(argv[1], "--build") == 0) {
        QCoreApplication app(argc, argv);
        return runBuild(QCoreApplication::arguments().mid(2));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KivHelp"));
    TDM dataModule; // the global DM, before any window
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KivHelp"));
    window.show();
    return app.exec();
}
