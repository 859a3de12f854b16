// A desktop of the test's own: every XDG folder that MIME associations are read
// from points into a temporary folder (the MIME database stays the system's),
// and its bin/ folder comes first on PATH. The environment is restored at the
// end of the scope.
#pragma once

#include "TestFiles.h"

#include <QList>
#include <QTemporaryDir>

class FakeDesktop {
public:
    FakeDesktop() {
        for (const char* var : kVars)
            saved_ << qgetenv(var);
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", path("etc").toUtf8());
        qputenv("XDG_DATA_HOME", path("data").toUtf8());
        qputenv("XDG_DATA_DIRS", path("share").toUtf8());
        QFile::link("/usr/share/mime", path("share") + "/mime");
        qputenv("XDG_CURRENT_DESKTOP", "Test");
        qputenv("PATH", (path("bin") + ":" + qEnvironmentVariable("PATH")).toUtf8());
    }
    ~FakeDesktop() {
        for (int i = 0; i < kCount; ++i)
            qputenv(kVars[i], saved_[i]);
    }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    // A folder of the fake desktop (made on first use): "config", "data",
    // "share", "bin" or any other.
    QString path(const QString& sub) {
        QDir(dir_.path()).mkpath(sub);
        return dir_.filePath(sub);
    }
    // Writes a file below the fake desktop's root.
    QString write(const QString& relativePath, const QByteArray& bytes) {
        return writeFile(dir_.filePath(relativePath), bytes);
    }
    // Makes `program` the user's default application for `mimeType`.
    void associate(const QString& mimeType, const QString& program) {
        write("data/applications/kivtest.desktop",
              "[Desktop Entry]\nExec=\"" + program.toUtf8() + "\" %f\n");
        write("config/mimeapps.list",
              "[Default Applications]\n" + mimeType.toUtf8() + "=kivtest.desktop\n");
    }

private:
    static constexpr int kCount = 6;
    static constexpr const char* kVars[kCount] = {"XDG_CONFIG_HOME",     "XDG_CONFIG_DIRS",
                                                  "XDG_DATA_HOME",       "XDG_DATA_DIRS",
                                                  "XDG_CURRENT_DESKTOP", "PATH"};
    QTemporaryDir dir_;
    QList<QByteArray> saved_;
};
