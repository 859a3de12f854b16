// kivhelp --scan-unit from outside: each sample unit under data/units with a
// .json beside it prints exactly that JSON, its messages also on standard
// error; an unreadable file exits with status 1.
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ProgramRun scanUnit(const QStringList& args) {
    const QString program = QString::fromLocal8Bit(qgetenv("KIVHELP"));
    EXPECT_FALSE(program.isEmpty()) << "KIVHELP is not set";
    return runProgram(program, QStringList{QStringLiteral("--scan-unit")} + args);
}

QByteArray json(const QJsonValue& v) {
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
}

TEST(ScanUnitCommandTest, SampleUnitsPrintTheirJson) {
    const QDir units(QStringLiteral(KIV_TEST_DATA "/units"));
    const QStringList samples = units.entryList({QStringLiteral("*.json")});
    ASSERT_GE(samples.size(), 4);
    for (const QString& name : samples) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray expected = testData(QStringLiteral("units/") + name);
        const ProgramRun r =
            scanUnit({units.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".pas"))});
        ASSERT_EQ(r.status, 0) << r.err.constData();
        // Key by key first, to show where a difference is.
        const QJsonObject want = QJsonDocument::fromJson(expected).object();
        const QJsonObject got = QJsonDocument::fromJson(r.out).object();
        for (const QString& key : want.keys())
            EXPECT_EQ(json(got.value(key)), json(want.value(key))) << key.toStdString();
        EXPECT_EQ(r.out, expected); // key order, escapes and UTF-8 too
        QString messages;
        for (const QJsonValue& m : want.value(QStringLiteral("messages")).toArray())
            messages += m.toString() + QLatin1Char('\n');
        EXPECT_EQ(QString::fromUtf8(r.err), messages);
    }
}

TEST(ScanUnitCommandTest, UnreadableFileExitsWithStatusOne) {
    QTemporaryDir dir;
    for (const QString& file : {dir.filePath(QStringLiteral("missing.pas")), dir.path()}) {
        const ProgramRun r = scanUnit({file});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(file.toLocal8Bit())) << r.err.constData();
    }
    const ProgramRun r = scanUnit({});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("--scan-unit"));
}

} // namespace
