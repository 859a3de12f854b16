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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KivHelp"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KivHelp"));
    window.show();
    return app.exec();
}
