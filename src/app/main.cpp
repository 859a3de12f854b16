#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KivHelp"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KivHelp"));
    window.show();
    return app.exec();
}
