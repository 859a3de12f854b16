#include "Wine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
std::function<QString()>& locator() {
    static std::function<QString()> current;
    return current;
}
} // namespace

namespace Wine {

QString program() {
    if (locator()) return locator()();
    return QStandardPaths::findExecutable(QStringLiteral("wine"));
}

void setLocator(std::function<QString()> f) {
    locator() = std::move(f);
}

bool isWindowsProgram(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    return file.read(2) == "MZ";
}

QString windowsArgument(const QString& argument) {
    if (!argument.startsWith(QLatin1Char('/'))) return argument;
    const QFileInfo info(argument);
    // A switch like /A/C/E/M names nothing on disk; a new output file's folder does.
    const bool names = info.exists() || (info.dir().exists() && !info.dir().isRoot());
    if (!names) return argument;
    return QStringLiteral("Z:") +
           QDir::cleanPath(argument).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

} // namespace Wine

ProgramLaunch LaunchFor(const QString& program, const QStringList& arguments) {
    if (Wine::isWindowsProgram(program)) {
        const QString wine = Wine::program();
        if (!wine.isEmpty()) {
            QStringList args{QFileInfo(program).absoluteFilePath()};
            for (const QString& a : arguments)
                args << Wine::windowsArgument(a);
            return {wine, args};
        }
    }
    return {program, arguments};
}
