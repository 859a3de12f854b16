// kivhelp --scan-unit from outside: the JSON on standard output, messages on
// standard error, and the exit status.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct CommandRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CommandRun scanUnit(const QStringList& args) {
    const QString program = QString::fromLocal8Bit(qgetenv("KIVHELP"));
    EXPECT_FALSE(program.isEmpty()) << "KIVHELP is not set";
    QProcess p;
    p.start(program, QStringList{QStringLiteral("--scan-unit")} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& s : v.toArray())
        out << s.toString();
    return out;
}

class ScanUnitCommandTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }
};

TEST_F(ScanUnitCommandTest, PrintsTheScanAsJsonWithKeysInOrder) {
    const QByteArray source =
        "unit Caf\xE9;\r\ninterface\r\nconst S = 'a\"b\\c\t\x80\x01'; // x\r\n"
        "type TFoo = class\r\n  property OnGo: TNotifyEvent read F;\r\n"
        "  property Size: Integer read F; default;\r\n"
        "  procedure Run; virtual;\r\nend;\r\n"
        "var A: Byte;\r\nprocedure P; stdcall;\r\nimplementation\r\nend.";
    const CommandRun r = scanUnit({write(QStringLiteral("Cafe.Unit.pas"), source)});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty());
    qsizetype last = -1;
    for (const char* key : {"\"unit\"", "\"text\"", "\"constants\"", "\"types\"", "\"variables\"",
                            "\"routines\"", "\"classes\"", "\"messages\""}) {
        EXPECT_GT(r.out.indexOf(key), last) << key;
        last = r.out.indexOf(key);
    }
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.constData();
    EXPECT_EQ(o.value("unit").toString(), QStringLiteral("Cafe"));
    const QString literal = QString::fromUtf8("'a\"b\\c\t€\x01'");
    EXPECT_TRUE(o.value("text").toString().startsWith(
        QString::fromUtf8("unit Café;\r\ninterface\r\nconst S = ") + literal + "; type TFoo"));
    EXPECT_TRUE(o.value("text").toString().endsWith("\r\nimplementation\r"));
    EXPECT_TRUE(r.out.contains("\\t\xE2\x82\xAC\\u0001'")); // escaped, and UTF-8
    EXPECT_EQ(strings(o.value("constants")), QStringList({"S = " + literal + ";"}));
    EXPECT_TRUE(o.value("types").toArray().isEmpty());
    EXPECT_EQ(strings(o.value("variables")), QStringList({"A:  Byte;"}));
    EXPECT_EQ(strings(o.value("routines")), QStringList({"procedure P; stdcall;"}));

    const QJsonArray classes = o.value("classes").toArray();
    ASSERT_EQ(classes.size(), 1);
    const QJsonObject c = classes[0].toObject();
    EXPECT_EQ(c.keys(), QStringList({"events", "members", "methods", "name", "properties"}));
    EXPECT_EQ(c.value("name").toString(), QStringLiteral("TFoo"));
    const QStringList members = {"PUBLISHED | property OnGo: TNotifyEvent;",
                                 "PUBLISHED | property Size: Integer; Default;",
                                 "PUBLISHED | procedure Run; virtual;"};
    EXPECT_EQ(strings(c.value("members")), members);
    EXPECT_EQ(strings(c.value("properties")), QStringList({members[1]}));
    EXPECT_EQ(strings(c.value("methods")), QStringList({members[2]}));
    EXPECT_EQ(strings(c.value("events")), QStringList({members[0]}));
    EXPECT_TRUE(o.value("messages").toArray().isEmpty());
}

TEST_F(ScanUnitCommandTest, BracketMessagesGoToJsonAndStandardError) {
    const CommandRun r = scanUnit({write(QStringLiteral("U.pas"), "const A = 1); ] B = 2;")});
    ASSERT_EQ(r.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QStringList expected = {"Found \")\" without \"(\"\ntext is not corrected",
                                  "Found \"]\" without \"[\"\ntext is not corrected"};
    EXPECT_EQ(strings(o.value("messages")), expected);
    EXPECT_EQ(strings(o.value("constants")), QStringList({"A = 1);", "B = 2;"}));
    EXPECT_EQ(QString::fromUtf8(r.err), expected.join('\n') + '\n');
}

TEST_F(ScanUnitCommandTest, UnreadableFileExitsWithStatusOne) {
    for (const QString& file : {dir.filePath(QStringLiteral("missing.pas")), dir.path()}) {
        const CommandRun r = scanUnit({file});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(file.toLocal8Bit())) << r.err.constData();
    }
    const CommandRun r = scanUnit({});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("--scan-unit"));
}

} // namespace
