// Crash safety: a failure injected after each step of a change, then the files
// reopened from scratch. Rows reported stored must survive, the change must be
// there whole or not at all, and the table must open and keep working.
#include "DbfTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace dbftest;

namespace {

struct Crash {};

class DbfCrashTest : public DbfFolder {
protected:
    void SetUp() override { prepare(); }
    void prepare() {
        DbfTable::create(path(), topicFields());
        auto t = DbfTable::open(path());
        addTopicIndexes(*t);
        for (int id = 1; id <= 3; ++id)
            t->appendRow(topic(id, QStringLiteral("topic %1").arg(id),
                               QStringLiteral("text %1 ").arg(id).repeated(100)));
    }
    void TearDown() override { DbfTable::setFailpoint({}); }

    // Runs `change` with a crash after `step`; true when the crash happened.
    bool crashAfter(const char* step, const std::function<void(DbfTable&)>& change) {
        auto t = DbfTable::open(path());
        DbfTable::setFailpoint([step](const char* at) {
            if (qstrcmp(at, step) == 0) throw Crash();
        });
        bool crashed = false;
        try {
            change(*t);
        } catch (const Crash&) {
            crashed = true;
        }
        DbfTable::setFailpoint({});
        if (crashed) {
            EXPECT_THROW(t->appendRow(topic(99, "x")), EDatabaseError);
        }
        return crashed;
    }

    // Renames row 1, crashing once its journal is written.
    void crashRenamingRow1(const char* name) {
        ASSERT_TRUE(crashAfter("journal", [name](DbfTable& t) {
            DbfRecord r = t.record(1);
            r[1] = QString::fromLatin1(name);
            t.updateRow(1, r);
        }));
    }

    // Every live row, its memo and every index order agree after reopening,
    // and the table still takes a new row without harming the old ones.
    void expectSound(const std::map<qint64, QString>& names) {
        auto t = DbfTable::open(path());
        std::map<qint64, QString> found;
        // The rows made in prepare() keep their long memo until a change gives a new one.
        for (int row : t->orderedRows({})) {
            const qint64 id = t->value(row, 0).toLongLong();
            const QString name = found[id] = t->value(row, 1).toString();
            EXPECT_EQ(
                t->value(row, 8).toString(),
                QStringLiteral("text %1 ").arg(id).repeated(name.startsWith("topic") ? 100 : 1));
        }
        EXPECT_EQ(found, names);
        for (int i = 0; i < int(t->indexes().size()); ++i) {
            QVector<int> fields;
            for (const QString& f : t->indexes()[i].fields)
                fields << t->fieldIndex(f);
            EXPECT_EQ(t->indexRows(i), orderByValues(*t, fields));
            EXPECT_EQ(t->indexRows(i).size(), names.size());
        }
        const int row = t->appendRow(topic(50, "after", "text 50 "));
        t.reset();
        t = DbfTable::open(path());
        EXPECT_EQ(t->value(row, 8).toString(), "text 50 ");
        for (int r : t->orderedRows({}))
            EXPECT_TRUE(t->value(r, 8).toString().startsWith(
                QStringLiteral("text %1 ").arg(t->value(r, 0).toLongLong())));
    }
};

const std::map<qint64, QString> kBase = {{1, "topic 1"}, {2, "topic 2"}, {3, "topic 3"}};

} // namespace

TEST_F(DbfCrashTest, EveryChangeIsWholeOrAbsentAfterACrashAtAnyStep) {
    auto edit = [](DbfTable& t, int row, const char* name) {
        DbfRecord r = t.record(row);
        r[1] = QString::fromLatin1(name);
        r[8] = QStringLiteral("text %1 ").arg(row + 1);
        return r;
    };
    const struct {
        const char* what;
        std::vector<const char*> steps; // in the order the change takes them
        size_t doneFrom;                // the first step after which the change stays
        std::function<void(DbfTable&)> change;
        std::map<qint64, QString> after;
    } cases[] = {
        {"append",
         {"memo-data", "memo-header", "records", "header"},
         3,
         [](DbfTable& t) { t.appendRow(topic(4, "new", "text 4 ")); },
         {{1, "topic 1"}, {2, "topic 2"}, {3, "topic 3"}, {4, "new"}}},
        // Before the journal is complete the old row stays; after it, reopening finishes the edit.
        {"edit",
         {"memo-data", "memo-header", "journal", "records", "header"},
         2,
         [&](DbfTable& t) { t.updateRow(1, edit(t, 1, "edited")); },
         {{1, "topic 1"}, {2, "edited"}, {3, "topic 3"}}},
        {"batch",
         {"memo-data", "memo-header", "journal", "records", "header"},
         2,
         [&](DbfTable& t) {
             DbfBatch b;
             b.updates.emplace_back(0, edit(t, 0, "first"));
             b.deletes.push_back(2);
             b.appends.push_back(topic(7, "seven", "text 7 "));
             t.applyBatch(b);
         },
         {{1, "first"}, {2, "topic 2"}, {7, "seven"}}},
        {"delete",
         {"journal", "records", "header"},
         0,
         [](DbfTable& t) { t.deleteRow(0); },
         {{2, "topic 2"}, {3, "topic 3"}}},
    };
    for (const auto& c : cases)
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(std::string(c.what) + " crashing after " + c.steps[i]);
            DbfTable::drop(path());
            prepare();
            ASSERT_TRUE(crashAfter(c.steps[i], c.change));
            expectSound(i >= c.doneFrom ? c.after : kBase);
        }
}

TEST_F(DbfCrashTest, TornRecordWriteIsRepairedFromTheJournal) {
    crashRenamingRow1("whole new name");
    // Half of the new record reached the file before the crash.
    QByteArray dbf = readFile(path());
    const int headerSize = 32 + 12 * 32 + 1,
              recordSize = 1 + 8 + 60 + 254 * 2 + 20 * 3 + 1 + 10 + 20 + 40 + 10;
    const qint64 name = headerSize + recordSize + 1 + 8;
    dbf.replace(name, 5, "whole");
    writeFile(path(), dbf);
    auto t = DbfTable::open(path());
    EXPECT_EQ(t->value(1, 1).toString(), "whole new name");
    EXPECT_FALSE(QFile::exists(dir.filePath("S.kjn")));
}

TEST_F(DbfCrashTest, TornJournalIsDroppedAndTheOldRowKept) {
    const QString journal = dir.filePath("S.kjn");
    crashRenamingRow1("never");
    const QByteArray whole = readFile(journal);
    ASSERT_GT(whole.size(), 40);
    writeFile(journal, whole.left(whole.size() - 10));
    expectSound(kBase);
    EXPECT_FALSE(QFile::exists(journal));
}

TEST_F(DbfCrashTest, ReadOnlyFolderRefusesChangesAndKeepsFiles) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const QByteArray before = readFile(path());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner);
    {
        auto t = DbfTable::open(path());
        EXPECT_EQ(t->rowCount(), 3);
        EXPECT_THROW(t->appendRow(topic(9, "nine")), EKivError);
        EXPECT_THROW(t->deleteRow(0), EKivError);
        EXPECT_THROW(t->addIndex(indexDef("I_Unit", "Unit")), EKivError);
        EXPECT_THROW(DbfTable::create(dir.filePath("T.dbf"), topicFields()), EKivError);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readFile(path()), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("T.dbf")));
    EXPECT_FALSE(QFile::exists(dir.filePath("T.dbt")));
}

TEST_F(DbfCrashTest, EditThatCannotWriteItsJournalChangesNothing) {
    // The journal's temporary name is taken by a folder: the edit must fail
    // before the table is touched.
    ASSERT_TRUE(QDir(dir.path()).mkdir("S.kjn.tmp"));
    const QByteArray before = readFile(path());
    {
        auto t = DbfTable::open(path());
        DbfRecord r = t->record(0);
        r[1] = "changed";
        EXPECT_THROW(t->updateRow(0, r), EInOutError);
        EXPECT_THROW(t->deleteRow(1), EInOutError);
        EXPECT_EQ(t->value(0, 1).toString(), "topic 1");
        EXPECT_FALSE(t->isDeleted(1));
        EXPECT_EQ(t->indexRows(0).size(), 3u);
    }
    EXPECT_EQ(readFile(path()), before);
    QDir(dir.path()).rmdir("S.kjn.tmp");
    expectSound(kBase);
}
