// Two processes on one table: kivsql processes writing at once lose no row and
// tear no memo, a writer killed midway leaves nothing that blocks the next, a
// reader that writes later loses no one's rows, and a process that keeps a
// table open is named to the others.
#include "DbfLock.h"
#include "DbfTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <map>

namespace {

// A memo that tells its row and version; some span several blocks.
QString memoText(int id, int version) {
    return QStringLiteral("row %1 version %2 ").arg(id).arg(version) +
           QString(100 + (id * 37) % 1500, QLatin1Char('a' + id % 26));
}

// Inserts rows first..first+count-1 and rewrites every fourth row's memo (a
// change of a stored row, which goes through the journal).
QByteArray writerScript(int first, int count) {
    QString out;
    for (int id = first; id < first + count; ++id) {
        out += QStringLiteral("insert into t values (%1, '%2');\n").arg(id).arg(memoText(id, 1));
        if (id % 4 == 0)
            out += QStringLiteral("update t set m = '%1' where id = %2;\n")
                       .arg(memoText(id, 2))
                       .arg(id);
    }
    return out.toUtf8();
}

class DbfLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(run({"create table t (id numeric(8), m memo)"}), 0) << err;
        ASSERT_EQ(run({"create unique index I_ID on t (id)"}), 0) << err;
    }

    QString table() const { return dir.path() + "/t.dbf"; }
    QString readNote() const {
        QFile f(DbfLock::notePath(table()));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    void start(QProcess& p, const QStringList& args, const QByteArray& input = {}) {
        p.start(qEnvironmentVariable("KIVSQL"), QStringList{dir.path()} + args);
        ASSERT_TRUE(p.waitForStarted());
        p.write(input);
        while (p.bytesToWrite() > 0) // kivsql reads all its input before it starts
            ASSERT_TRUE(p.waitForBytesWritten(60000));
        p.closeWriteChannel();
    }

    int run(const QStringList& args) {
        QProcess p;
        start(p, args);
        EXPECT_TRUE(p.waitForFinished(120000));
        out = QString::fromUtf8(p.readAllStandardOutput());
        err = QString::fromUtf8(p.readAllStandardError()).toStdString();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    // id -> memo of every live row, read in this process; a row twice fails.
    std::map<int, QString> rows() {
        std::map<int, QString> out;
        auto t = DbfTable::open(table());
        for (int r = 0; r < t->rowCount(); ++r) {
            if (t->isDeleted(r)) continue;
            EXPECT_TRUE(out.emplace(t->value(r, 0).toInt(), t->value(r, 1).toString()).second)
                << "row " << t->value(r, 0).toInt() << " is stored twice";
        }
        return out;
    }

    QTemporaryDir dir;
    QString out;
    std::string err;
};

} // namespace

TEST_F(DbfLockTest, TwoWritersAtOnceLoseNoRowAndTearNoMemo) {
    const int n = 120;
    QProcess a, b, reader;
    start(a, {}, writerScript(1, n));
    start(b, {}, writerScript(1001, n));
    start(reader, {}, QByteArray("select count(*), sum(length(m)) from t;\n").repeated(150));
    for (QProcess* p : {&a, &b, &reader}) {
        ASSERT_TRUE(p->waitForFinished(240000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const auto stored = rows();
    EXPECT_EQ(stored.size(), size_t(2 * n));
    for (const int id0 : {0, 1000})
        for (int id = id0 + 1; id <= id0 + n; ++id)
            EXPECT_EQ(stored.count(id) ? stored.at(id) : "<lost>", memoText(id, id % 4 ? 1 : 2))
                << "row " << id;
    // The index still agrees with the rows.
    EXPECT_EQ(run({"insert into t values (5, null)"}), 1);
    EXPECT_NE(err.find("Key violation"), std::string::npos) << err;
}

TEST_F(DbfLockTest, KilledWriterLeavesNothingThatBlocks) {
    QProcess writer;
    start(writer, {}, writerScript(1, 3000));
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(table()).size() < 3000 && clock.elapsed() < 60000)
        QThread::msleep(5);
    writer.kill();
    ASSERT_TRUE(writer.waitForFinished(10000));

    clock.restart();
    {
        auto t = DbfTable::open(table(), DbfAccess::Write);
        EXPECT_LT(clock.elapsed(), 1000);
        const QString note = readNote();
        EXPECT_TRUE(
            note.contains(QStringLiteral("pid=%1\r\n").arg(QCoreApplication::applicationPid())))
            << note.toStdString();
    }
    EXPECT_EQ(readNote(), QString()) << "the note outlived its writer";
    // Rows 1..k, each whole; a row whose update was cut short keeps either version.
    const auto stored = rows();
    EXPECT_GT(stored.size(), 0u);
    int expect = 1;
    for (const auto& [id, memo] : stored) {
        EXPECT_EQ(id, expect++);
        EXPECT_TRUE(memo == memoText(id, 1) || memo == memoText(id, 2)) << "memo of row " << id;
    }
}

TEST_F(DbfLockTest, ReaderCatchesUpKeeperIsNamedStatementIsWaitedFor) {
    {
        auto reader = DbfTable::open(table());
        ASSERT_EQ(run({"insert into t values (1, 'first')"}), 0) << err;
        EXPECT_TRUE(reader->refresh()); // sees the other process's row
        EXPECT_EQ(reader->rowCount(), 1);
        EXPECT_FALSE(reader->refresh());
        ASSERT_EQ(run({"insert into t values (2, 'second')"}), 0) << err;
        // Its first change takes the lock and reads the table again: row 2 stays.
        reader->appendRow({3, QStringLiteral("third")});
        EXPECT_EQ(reader->rowCount(), 3);
    }
    {
        // An editor keeps the table: writers fail at once, naming file and
        // process; readers go on.
        auto kept = DbfTable::open(table(), DbfAccess::Edit);
        QElapsedTimer clock;
        clock.start();
        for (const char* statement : {"delete from t", "drop table t"}) {
            EXPECT_EQ(run({statement}), 1);
            EXPECT_EQ(err, QStringLiteral("Table \"%1\" is being written by %2 (process %3)\n")
                               .arg(QFileInfo(table()).canonicalFilePath(),
                                    QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                               .arg(QCoreApplication::applicationPid())
                               .toStdString());
        }
        EXPECT_LT(clock.elapsed(), DbfLock::writerWait());
        EXPECT_EQ(run({"select * from t"}), 0) << err;
        EXPECT_EQ(out, "ID,M\n1,first\n2,second\n3,third\n");
    }
    // A statement's writer is waited for: this one lets go after half a second.
    QProcess waiting;
    {
        auto busy = DbfTable::open(table(), DbfAccess::Write);
        start(waiting, {"insert into t values (4, 'fourth')"});
        QThread::msleep(500);
        EXPECT_EQ(waiting.state(), QProcess::Running);
        busy->appendRow({5, QStringLiteral("fifth")});
    }
    ASSERT_TRUE(waiting.waitForFinished(20000));
    EXPECT_EQ(waiting.exitCode(), 0) << waiting.readAllStandardError().toStdString();
    EXPECT_EQ(rows(), (std::map<int, QString>{
                          {1, "first"}, {2, "second"}, {3, "third"}, {4, "fourth"}, {5, "fifth"}}));
}
