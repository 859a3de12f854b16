#include "Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// One group of a freedesktop key file ("[Group]" then "key=value" lines; UTF-8).
QString keyFileValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
        } else if (inGroup) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).trimmed();
        }
    }
    return {};
}

QStringList xdgDirs(const char* homeVar, const QString& homeDefault, const char* dirsVar,
                    const QString& dirsDefault) {
    QString home = qEnvironmentVariable(homeVar);
    if (home.isEmpty()) home = QDir::homePath() + homeDefault;
    QString dirs = qEnvironmentVariable(dirsVar);
    if (dirs.isEmpty()) dirs = dirsDefault;
    return QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QStringList applicationDirs() {
    QStringList dirs;
    for (const QString& d : xdgDirs("XDG_DATA_HOME", QStringLiteral("/.local/share"),
                                    "XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        dirs << d + QStringLiteral("/applications");
    return dirs;
}

// A desktop file id ("vendor-app.desktop") may also live in a subfolder ("vendor/app.desktop").
QString desktopFilePath(const QString& id) {
    for (const QString& dir : applicationDirs()) {
        QString candidate = dir + QLatin1Char('/') + id;
        if (QFileInfo(candidate).isFile()) return candidate;
        QString nested = id;
        for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
             dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
            nested[dash] = QLatin1Char('/');
            candidate = dir + QLatin1Char('/') + nested;
            if (QFileInfo(candidate).isFile()) return candidate;
        }
    }
    return {};
}

// The program of a desktop file's Exec line, without field codes or an env prefix.
QString execProgram(const QString& desktopFile) {
    QStringList words = QProcess::splitCommand(
        keyFileValue(desktopFile, QStringLiteral("Desktop Entry"), QStringLiteral("Exec")));
    if (!words.isEmpty() && words.first() == QStringLiteral("env")) {
        words.removeFirst();
        while (!words.isEmpty() && words.first().contains(QLatin1Char('=')))
            words.removeFirst();
    }
    if (words.isEmpty()) return {};
    return QStandardPaths::findExecutable(words.first());
}

// The application ids associated with the type, the user's choices first.
QStringList associatedIds(const QString& mimeType) {
    QStringList lists;
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP")
                                     .toLower()
                                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList dirs = xdgDirs("XDG_CONFIG_HOME", QStringLiteral("/.config"), "XDG_CONFIG_DIRS",
                               QStringLiteral("/etc/xdg"));
    dirs += applicationDirs();
    for (const QString& dir : dirs) {
        for (const QString& desktop : desktops)
            lists << dir + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        lists << dir + QStringLiteral("/mimeapps.list");
    }
    QStringList ids;
    for (const QString& list : lists)
        ids += keyFileValue(list, QStringLiteral("Default Applications"), mimeType)
                   .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& dir : applicationDirs())
        ids += keyFileValue(dir + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache"),
                            mimeType)
                   .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return ids;
}

} // namespace

namespace Shell {

QString FindExecutable(const QString& file) {
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    if (type.isEmpty()) return {};
    for (const QString& id : associatedIds(type)) {
        const QString desktopFile = desktopFilePath(id.trimmed());
        if (desktopFile.isEmpty()) continue;
        const QString program = execProgram(desktopFile);
        if (!program.isEmpty()) return program;
    }
    return {};
}

bool Open(const QString& documentOrAddress) {
    const QUrl url = QFileInfo::exists(documentOrAddress) ? QUrl::fromLocalFile(documentOrAddress)
                                                          : QUrl(documentOrAddress);
    return url.isValid() && !url.isEmpty() && QDesktopServices::openUrl(url);
}

} // namespace Shell
