// Small shell scripts that tests run as external programs.
#pragma once

#include "QtPrinters.h"

#include <QFile>
#include <QString>

// Writes an executable /bin/sh script with `body` at `path` and returns `path`.
inline QString writeScript(const QString& path, const QByteArray& body) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
