// Round trips through the files, the shared open and the in-memory indexes.
#include "DbfTestSupport.h"

#include <QDate>
#include <gtest/gtest.h>
#include <limits>

using namespace dbftest;

namespace {

class DbfTableTest : public DbfFolder {
protected:
    std::shared_ptr<DbfTable> topics() {
        DbfTable::create(path(), topicFields());
        auto t = DbfTable::open(path());
        addTopicIndexes(*t);
        return t;
    }
};

QVector<DbfFieldDef> everyKind() {
    return {{"name", FieldType::Character, 30, 0}, {"count", FieldType::Numeric, 6, 0},
            {"price", FieldType::Numeric, 10, 2},  {"ratio", FieldType::Float, 12, 4},
            {"born", FieldType::Date, 0, 0},       {"ok", FieldType::Logical, 0, 0},
            {"note", FieldType::Memo, 0, 0}};
}

} // namespace

TEST_F(DbfTableTest, EveryFieldKindSurvivesReopening) {
    DbfTable::create(path(), everyKind());
    const QString longMemo = QString(5000, QLatin1Char('x')) + "é€ end";
    {
        auto t = DbfTable::open(path());
        EXPECT_EQ(t->fields()[0].name, "NAME");
        EXPECT_EQ(t->fields()[4].length, 8);
        EXPECT_EQ(t->fields()[6].length, 10);
        t->appendRow(
            {"Ärger mit “Zitaten” €", 42, 12.5, -0.125, QDate(2024, 2, 29), true, longMemo});
        t->appendRow(
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        t->appendRow(
            {"  lead", -99999, 1234567.891, 0.0, QDate(1, 1, 1), false, QStringLiteral("")});
    }
    auto t = DbfTable::open(path());
    ASSERT_EQ(t->rowCount(), 3);
    const DbfRecord r0 = t->record(0);
    EXPECT_EQ(r0[0].toString(), "Ärger mit “Zitaten” €");
    EXPECT_EQ(r0[1].toLongLong(), 42);
    EXPECT_DOUBLE_EQ(r0[2].toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(r0[3].toDouble(), -0.125);
    EXPECT_EQ(r0[4].toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(r0[5].toBool(), true);
    EXPECT_EQ(r0[6].toString(), longMemo);
    for (const QVariant& v : t->record(1))
        EXPECT_TRUE(v.isNull());
    const DbfRecord r2 = t->record(2);
    EXPECT_EQ(r2[0].toString(), "  lead"); // leading blanks are kept
    EXPECT_EQ(r2[1].toLongLong(), -99999);
    EXPECT_DOUBLE_EQ(r2[2].toDouble(), 1234567.89); // rounded to the declared decimals
    EXPECT_EQ(r2[4].toDate(), QDate(1, 1, 1));
    EXPECT_EQ(r2[5].toBool(), false);
    EXPECT_FALSE(r2[5].isNull());
    EXPECT_TRUE(r2[6].isNull()); // an empty memo is a blank one
}

TEST_F(DbfTableTest, FileBytesFollowTheDBaseLayout) {
    DbfTable::create(path(), everyKind());
    DbfTable::open(path())->appendRow({"A", 7, 3.5, QVariant(), QDate(2020, 1, 2), true, "memo"});
    const QByteArray dbf = readFile(path());
    EXPECT_EQ(uchar(dbf[0]), 0x8B);
    EXPECT_EQ(uchar(dbf[4]), 1); // record count
    const int headerSize = 32 + 7 * 32 + 1;
    EXPECT_EQ(uchar(dbf[8]) | uchar(dbf[9]) << 8, headerSize);
    EXPECT_EQ(dbf.mid(32, 5), QByteArray("NAME\0", 5));
    EXPECT_EQ(dbf[headerSize - 1], '\r');
    const QByteArray row = dbf.mid(headerSize, 1 + 30 + 6 + 10 + 12 + 8 + 1 + 10);
    EXPECT_EQ(row.left(4), QByteArray(" A  "));
    EXPECT_EQ(row.mid(31, 6), QByteArray("     7"));
    EXPECT_EQ(row.mid(37, 10), QByteArray("      3.50"));
    EXPECT_EQ(row.mid(47, 12), QByteArray(12, ' '));
    EXPECT_EQ(row.mid(59, 9), QByteArray("20200102T"));
    EXPECT_EQ(row.mid(68, 10), QByteArray("         1"));
    EXPECT_EQ(dbf.back(), '\x1A');
    const QByteArray dbt = readFile(dir.filePath("S.dbt"));
    EXPECT_EQ(dbt.size(), 1024);
    EXPECT_EQ(dbt.mid(512, 8), QByteArray("\xFF\xFF\x08\x00\x0C\x00\x00\x00", 8));
    EXPECT_EQ(dbt.mid(520, 4), QByteArray("memo"));
}

TEST_F(DbfTableTest, ValuesThatDoNotFitAreRefusedAndNothingIsWritten) {
    DbfTable::create(path(), everyKind());
    auto t = DbfTable::open(path());
    const QByteArray before = readFile(path());
    auto row = [](QVariant name, QVariant count, QVariant price, QVariant born = {}) {
        return DbfRecord{name, count, price, QVariant(), born, QVariant(), QVariant()};
    };
    EXPECT_THROW(t->appendRow(row(QString(31, QLatin1Char('a')), 1, 1)), EDatabaseError);
    EXPECT_THROW(t->appendRow(row(QString(), 1234567, 1)), EDatabaseError);
    EXPECT_THROW(t->appendRow(row(QString(), 1, 12345678.9)), EDatabaseError);
    EXPECT_THROW(t->appendRow(row(QString(), "12abc", 1)), EDatabaseError);
    // The largest unsigned number is far too wide, not a "-1" that would fit.
    EXPECT_THROW(t->appendRow(row(QString(), std::numeric_limits<quint64>::max(), 1)),
                 EDatabaseError);
    EXPECT_THROW(t->appendRow(row(QString(), 1, 1, "not a date")), EDatabaseError);
    EXPECT_THROW(t->appendRow({"too few"}), EDatabaseError);
    EXPECT_EQ(t->rowCount(), 0);
    EXPECT_EQ(readFile(path()), before);
    // Trailing blanks do not count against the width.
    t->appendRow(row(QString(30, QLatin1Char('a')) + "   ", 999999, -999999.99));
    EXPECT_EQ(t->value(0, 2).toDouble(), -999999.99);
}

TEST_F(DbfTableTest, CreateRefusesBadDefinitionsAndExistingFiles) {
    auto one = [](const char* name, FieldType type, int length, int decimals = 0) {
        return QVector<DbfFieldDef>{{QString::fromLatin1(name), type, length, decimals}};
    };
    EXPECT_THROW(DbfTable::create(path(), one("TOOLONGNAME1", FieldType::Character, 5)),
                 EDatabaseError);
    EXPECT_THROW(DbfTable::create(path(), one("A B", FieldType::Character, 5)), EDatabaseError);
    EXPECT_THROW(DbfTable::create(path(), one("A", FieldType::Character, 255)), EDatabaseError);
    EXPECT_THROW(DbfTable::create(path(), one("A", FieldType::Numeric, 4, 3)), EDatabaseError);
    EXPECT_THROW(DbfTable::create(path(), one("A", FieldType::Integer, 4)), EDatabaseError);
    EXPECT_THROW(DbfTable::create(path(), {}), EDatabaseError);
    QVector<DbfFieldDef> twice = one("A", FieldType::Character, 5) + one("a", FieldType::Date, 8);
    EXPECT_THROW(DbfTable::create(path(), twice), EDatabaseError);
    EXPECT_FALSE(QFile::exists(path()));

    DbfTable::create(path(), topicFields());
    DbfTable::open(path())->appendRow(topic(1, "kept", "memo"));
    EXPECT_THROW(DbfTable::create(path(), topicFields()), EDatabaseError);
    EXPECT_EQ(DbfTable::open(path())->value(0, 1).toString(), "kept");

    // A memo file left without its table: an empty one (an interrupted create)
    // is replaced, one holding memos is not.
    const QString memo = dir.filePath("S.dbt");
    QFile::rename(path(), path("Kept.dbf"));
    EXPECT_THROW(DbfTable::create(path(), topicFields()), EDatabaseError);
    EXPECT_EQ(readFile(memo).size(), 1024);
    writeFile(memo, readFile(memo).left(512));
    DbfTable::create(path(), topicFields());
    EXPECT_EQ(DbfTable::open(path())->rowCount(), 0);
}

TEST_F(DbfTableTest, TwoOpensShareOneTableAndSeeChanges) {
    DbfTable::create(path(), topicFields());
    auto a = DbfTable::open(path());
    auto b = DbfTable::open(dir.path() + "/./S.dbf");
    EXPECT_EQ(a.get(), b.get());
    std::vector<int> signalled;
    QObject::connect(b.get(), &DbfTable::changed, [&](int row) { signalled.push_back(row); });
    const quint64 before = b->changeCount();
    const int row = a->appendRow(topic(5, "five"));
    EXPECT_EQ(b->rowCount(), 1);
    EXPECT_GT(b->changeCount(), before);
    EXPECT_EQ(signalled, std::vector<int>{row});
    DbfBatch two; // several rows at once are announced as -1
    two.appends = {topic(6, "six"), topic(7, "seven")};
    EXPECT_EQ(a->applyBatch(two), (std::vector<int>{1, 2}));
    EXPECT_EQ(signalled, (std::vector<int>{row, -1}));
    EXPECT_THROW(DbfTable::drop(path()), EDatabaseError); // still open
    a.reset();
    b.reset();
    DbfTable::drop(path());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_FALSE(QFile::exists(dir.filePath("S.dbt")));
    EXPECT_THROW(DbfTable::open(path()), EDatabaseError);
}

TEST_F(DbfTableTest, UpdateAndDeleteAreStored) {
    {
        auto t = topics();
        t->appendRow(topic(1, "one", "first text"));
        t->appendRow(topic(2, "two", "second text"));
        DbfRecord r = t->record(0);
        r[1] = "uno";
        t->updateRow(0, r); // same memo: no new memo block
        r[8] = "new text ÿ";
        t->updateRow(0, r);
        t->deleteRow(1);
        EXPECT_THROW(t->updateRow(1, r), EDatabaseError);
        EXPECT_THROW(t->updateRow(7, r), EDatabaseError);
    }
    auto t = DbfTable::open(path());
    EXPECT_EQ(t->rowCount(), 2);
    EXPECT_EQ(t->value(0, 1).toString(), "uno");
    EXPECT_EQ(t->value(0, 8).toString(), "new text ÿ");
    EXPECT_TRUE(t->isDeleted(1));
    EXPECT_EQ(t->value(1, 8).toString(), "second text"); // still readable
    EXPECT_EQ(readFile(dir.filePath("S.dbt")).size(), 512 * 4);
    EXPECT_EQ(t->orderedRows({}), std::vector<int>{0});
}

TEST_F(DbfTableTest, IndexesKeepOrderThroughChangesAndReopening) {
    {
        auto t = topics();
        const char* names[] = {"pear", "Apple", "apple", "zebra", "Éclair", "banana"};
        for (int i = 0; i < 6; ++i)
            t->appendRow(topic(60 - 10 * i, QString::fromUtf8(names[i]), {}, i % 3));
        EXPECT_EQ(t->indexRows(0), (std::vector<int>{5, 4, 3, 2, 1, 0})); // by ID
        EXPECT_EQ(t->indexRows(1), (std::vector<int>{1, 2, 5, 0, 3, 4})); // Name, by code
        DbfRecord r = t->record(3);
        r[0] = 5;
        r[1] = "aardvark";
        t->updateRow(3, r);
        t->deleteRow(0);
        EXPECT_EQ(t->indexRows(0), (std::vector<int>{3, 5, 4, 2, 1}));
        EXPECT_EQ(t->indexRows(1), (std::vector<int>{1, 3, 2, 5, 4}));
        EXPECT_EQ(t->orderedRows({1}, true), (std::vector<int>{3, 1, 2, 5, 4}));
        EXPECT_EQ(t->orderedRows({7, 0}), (std::vector<int>{3, 4, 1, 5, 2}));
    }
    auto t = DbfTable::open(path());
    ASSERT_EQ(t->indexes().size(), 4);
    EXPECT_EQ(t->indexes()[0].name, "I_Id");
    EXPECT_TRUE(t->indexes()[0].unique);
    EXPECT_EQ(t->indexes()[0].fields, QStringList{"ID"});
    EXPECT_EQ(t->indexRows(0), (std::vector<int>{3, 5, 4, 2, 1}));
    EXPECT_EQ(t->indexRows(1), (std::vector<int>{1, 3, 2, 5, 4}));
    EXPECT_EQ(t->indexRows(3), (std::vector<int>{3, 1, 4, 2, 5})); // State, then row
    // Seeking: the first row at or after a key, by a prefix of the index's fields.
    EXPECT_EQ(t->lowerBound(1, {"apple"}), 2);
    EXPECT_EQ(t->lowerBound(1, {"b"}), 3);
    EXPECT_EQ(t->lowerBound(1, {"zz"}), 4); // before "Éclair"
    EXPECT_EQ(t->lowerBound(0, {20}), 2);
    EXPECT_EQ(t->lowerBound(0, {QVariant()}), 0);
    t->removeIndex("i_bseq");
    EXPECT_EQ(t->indexes().size(), 3);
    EXPECT_THROW(t->removeIndex("I_BSeq"), EDatabaseError);
    t.reset();
    EXPECT_EQ(DbfTable::open(path())->indexes().size(), 3);
}

TEST_F(DbfTableTest, UniqueIndexRefusesDuplicatesWithoutWriting) {
    auto t = topics();
    t->appendRow(topic(1, "one"));
    t->appendRow(topic(2, "two"));
    const QByteArray before = readFile(path());
    const QString violation = failureOf([&] { t->appendRow(topic(1, "again")); });
    EXPECT_TRUE(violation.contains("Key violation") && violation.contains("I_Id"))
        << violation.toStdString();
    DbfRecord r = t->record(1);
    r[0] = 1;
    EXPECT_THROW(t->updateRow(1, r), EDatabaseError);
    // Two blank IDs are the same key.
    t->appendRow(topic(3, "three"));
    DbfRecord blank = topic(0, "blank");
    blank[0] = QVariant();
    t->appendRow(blank);
    EXPECT_THROW(t->appendRow(blank), EDatabaseError);
    EXPECT_EQ(t->rowCount(), 4);

    // A batch is checked against the state after all of it: swapping keys works,
    // two new rows with one key do not.
    DbfBatch swap;
    DbfRecord a = t->record(0), b = t->record(1);
    a[0] = 2;
    b[0] = 1;
    swap.updates = {{0, a}, {1, b}};
    t->applyBatch(swap);
    EXPECT_EQ(t->value(0, 0).toLongLong(), 2);
    DbfBatch twins;
    twins.appends = {topic(9, "x"), topic(9, "y")};
    EXPECT_THROW(t->applyBatch(twins), EDatabaseError);
    DbfBatch reuse; // a deleted row's key is free again
    reuse.deletes = {2};
    reuse.appends = {topic(3, "three again")};
    EXPECT_EQ(t->applyBatch(reuse), std::vector<int>{4});
    EXPECT_EQ(t->rowCount(), 5);

    // A unique index over duplicate keys is refused and not stored.
    t->appendRow(topic(7, "one"));
    EXPECT_THROW(t->addIndex(indexDef("I_UName", "Name", true)), EDatabaseError);
    EXPECT_EQ(t->indexes().size(), 4);
    EXPECT_THROW(t->addIndex(indexDef("I_Text", "Text")), EDatabaseError);
    EXPECT_THROW(t->addIndex(indexDef("I_Id", "Name")), EDatabaseError);
}

TEST(CompareDbfValues, FollowsTheIndexOrder) {
    EXPECT_LT(compareDbfValues(QVariant(), 0), 0);
    EXPECT_EQ(compareDbfValues(QVariant(), QVariant()), 0);
    EXPECT_LT(compareDbfValues(2, 10.5), 0);
    EXPECT_GT(compareDbfValues(qint64(1) << 60 | 1, quint64(1) << 60), 0); // beyond a double
    EXPECT_EQ(compareDbfValues(qint64(3), 3.0), 0);
    EXPECT_LT(compareDbfValues(QDate(2020, 1, 1), QDate(2020, 1, 2)), 0);
    EXPECT_LT(compareDbfValues(false, true), 0);
    EXPECT_EQ(compareDbfValues("ab  ", "ab"), 0);
    EXPECT_LT(compareDbfValues("B", "a"), 0);
    EXPECT_GT(compareDbfValues("B", "a", true), 0);
    EXPECT_EQ(compareDbfValues("abc", "ABC", true), 0);
    EXPECT_LT(compareDbfValues("z", "€"), 0); // U+20AC
}
