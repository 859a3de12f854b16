// Files for tests: reading and writing whole files, shell scripts run as
// external programs, the documents kept under tests/data, and running the
// program's own command-line tools.
#pragma once

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

// A temporary folder for a test's files; `d` is its path with the trailing
// slash that project folders are kept with.
struct TempFolder {
    TempFolder() { EXPECT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    const QString d = dir.path() + QLatin1Char('/');
};

// A file's bytes, or "<missing>" when it cannot be read, so a missing file
// never equals an expected empty one.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `bytes` at `path`, making its folder, and returns `path`.
inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

// Writes an executable /bin/sh script with `body` at `path` and returns `path`.
inline QString writeScript(const QString& path, const QByteArray& body) {
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A script that writes its arguments to `out`, one "[argument]" a line, then
// runs `then`.
inline QString writeRecorder(const QString& path, const QString& out, const QByteArray& then = {}) {
    return writeScript(path, "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" +
                                 out.toUtf8() + "'\n" + then);
}

// Every file of a folder with its bytes, to show that nothing changed.
inline std::map<QString, QByteArray> folderFiles(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files[name] = readFile(QDir(folder).filePath(name));
    return files;
}

// A document under tests/data, e.g. "rtf/escapes.rtf".
inline QByteArray testData(const QString& name) {
    const QByteArray bytes = readFile(QStringLiteral(KIV_TEST_DATA "/") + name);
    EXPECT_NE(bytes, "<missing>") << name.toStdString();
    return bytes;
}

// An RTF document of the fuzz corpus: the shapes real writers produce.
inline QByteArray rtfSeed(const QString& name) {
    return testData(QStringLiteral("../fuzz/corpus/rtf/") + name);
}

// What a run of a program printed, and its exit status (-1 when it crashed).
struct ProgramRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `program` in `workingDir` with `input` on its standard input.
inline ProgramRun runProgram(const QString& program, const QStringList& args,
                             const QString& workingDir = {}, const QByteArray& input = {}) {
    QProcess p;
    p.setWorkingDirectory(workingDir);
    p.start(program, args);
    EXPECT_TRUE(p.waitForStarted()) << program.toStdString();
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}
