// Files in other writers' layouts, built byte by byte.
#include "DbfTestSupport.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace dbftest;

namespace {

using DbfVariantsTest = DbfFolder;

QByteArray pointer(int block) {
    return QByteArray::number(block).rightJustified(10, ' ');
}

// A FoxPro memo file of 64-byte blocks, its first memo of `type` at block 8.
QByteArray fptWith(quint32 type, const QByteArray& memo) {
    QByteArray fpt(512 + 64, '\0');
    fpt.replace(0, 4, be(9, 4));
    fpt.replace(6, 2, be(64, 2));
    return fpt.replace(512, 8 + memo.size(), be(type, 4) + be(memo.size(), 4) + memo);
}

quint64 bitsOf(double d) {
    quint64 u;
    memcpy(&u, &d, 8);
    return u;
}

} // namespace

TEST_F(DbfVariantsTest, DBase3MemosAreReadAndWrittenInTheirOwnForm) {
    writeFile(path("A.dbf"),
              rawDbf(0x83, {{"NAME", 'C', 10}, {"NOTE", 'M', 10}},
                     {QByteArray("Alpha     ") + pointer(1), QByteArray("Beta      ") + pointer(2),
                      QByteArray("Gamma     ") + QByteArray(10, ' ')}));
    QByteArray dbt(512 * 4, '\0');
    dbt.replace(0, 4, le(4, 4));
    dbt[16] = 3;
    dbt.replace(512, 12, "short memo\x1A\x1A");
    dbt.replace(1024, 600, QByteArray(600, 'y'));
    dbt.replace(1624, 2, "\x1A\x1A");
    writeFile(path("A.dbt"), dbt);
    {
        auto t = DbfTable::open(path("A.dbf"));
        EXPECT_EQ(t->value(0, 1).toString(), "short memo");
        EXPECT_EQ(t->value(1, 1).toString(), QString(600, QLatin1Char('y')));
        EXPECT_TRUE(t->value(2, 1).isNull());
        t->appendRow({"Delta", "added"});
        EXPECT_THROW(t->appendRow({"Bad", "a\x1A"}), EDatabaseError);
    }
    EXPECT_EQ(readFile(path("A.dbt")).mid(4 * 512, 7), QByteArray("added\x1A\x1A"));
    auto t = DbfTable::open(path("A.dbf"));
    EXPECT_EQ(t->value(3, 1).toString(), "added");
    EXPECT_EQ(t->value(0, 1).toString(), "short memo");
}

TEST_F(DbfVariantsTest, DBase4MemoWithSmallBlocks) {
    writeFile(path("B.dbf"), rawDbf(0x8B, {{"NOTE", 'M', 10}}, {pointer(8)}));
    QByteArray dbt(512 + 128, '\0');
    dbt.replace(0, 4, le(10, 4));
    dbt.replace(20, 2, le(64, 2));
    const QByteArray text(100, 'q');
    dbt.replace(512, 8, QByteArray("\xFF\xFF\x08\x00", 4) + le(108, 4));
    dbt.replace(520, 100, text);
    writeFile(path("B.dbt"), dbt);
    {
        auto t = DbfTable::open(path("B.dbf"));
        EXPECT_EQ(t->value(0, 0).toString(), QString::fromLatin1(text));
        t->appendRow({"second"});
    }
    const QByteArray after = readFile(path("B.dbt"));
    EXPECT_EQ(after.size(), 512 + 128 + 64); // one more 64-byte block at block 10
    EXPECT_EQ(after.mid(640 + 8, 6), QByteArray("second"));
    EXPECT_EQ(DbfTable::open(path("B.dbf"))->value(1, 0).toString(), "second");
}

TEST_F(DbfVariantsTest, FoxProTableWithFptMemoIsReadOnly) {
    writeFile(path("C.dbf"), rawDbf(0xF5, {{"NAME", 'C', 4}, {"NOTE", 'M', 10}},
                                    {QByteArray("fox ") + pointer(8)}));
    writeFile(path("C.fpt"), fptWith(1, "fox memo \xE9!"));
    auto t = DbfTable::open(path("C.dbf"));
    EXPECT_EQ(t->value(0, 1).toString(), "fox memo é!");
    EXPECT_THROW(t->appendRow({"x", QVariant()}), EDatabaseError);
}

TEST_F(DbfVariantsTest, VisualFoxProBinaryFields) {
    const QByteArray record = le(quint32(-7), 4) + le(bitsOf(2.5), 8) + le(2460000, 4) +
                              le(3600000, 4) + le(8, 4) + le(123450, 8);
    writeFile(path("D.dbf"), rawDbf(0x30,
                                    {{"ID", 'I', 4},
                                     {"AMOUNT", 'B', 8},
                                     {"WHEN", 'T', 8},
                                     {"NOTE", 'M', 4},
                                     {"PRICE", 'Y', 8}},
                                    {record}, false, 263));
    writeFile(path("D.fpt"), fptWith(1, "ok"));
    auto t = DbfTable::open(path("D.dbf"));
    EXPECT_EQ(t->value(0, 0).toLongLong(), -7);
    EXPECT_DOUBLE_EQ(t->value(0, 1).toDouble(), 2.5);
    EXPECT_EQ(t->value(0, 2).toDateTime(), QDateTime(QDate::fromJulianDay(2460000), QTime(1, 0)));
    EXPECT_EQ(t->value(0, 3).toString(), "ok");
    EXPECT_DOUBLE_EQ(t->value(0, 4).toDouble(), 12.345);
    EXPECT_THROW(t->deleteRow(0), EDatabaseError);
}

TEST_F(DbfVariantsTest, DBaseLevel7Header) {
    const quint64 flip = 0x8000000000000000ull;
    const QByteArray r1 = QByteArray("seven     ") + be(0x80000005u, 4) +
                          be(bitsOf(2.5) ^ flip, 8) + be(2451545, 4) + be(45296000, 4) +
                          be(0x80000001u, 4) + pointer(1);
    const QByteArray r2 = QByteArray("negative  ") + be(0x7FFFFFFDu, 4) + be(~bitsOf(-2.5), 8) +
                          QByteArray(8, '\0') + be(0x80000002u, 4) + QByteArray(10, ' ');
    writeFile(path("E.dbf"), rawDbf(0x8C,
                                    {{"NAME", 'C', 10},
                                     {"COUNT", 'I', 4},
                                     {"RATIO", 'O', 8},
                                     {"STAMP", '@', 8},
                                     {"SERIAL", '+', 4},
                                     {"NOTE", 'M', 10}},
                                    {r1, r2}, true));
    QByteArray dbt(1024, '\0');
    dbt.replace(0, 4, le(2, 4));
    dbt.replace(20, 2, le(512, 2));
    dbt.replace(512, 13, QByteArray("\xFF\xFF\x08\x00", 4) + le(13, 4) + "level");
    writeFile(path("E.dbt"), dbt);
    auto t = DbfTable::open(path("E.dbf"));
    ASSERT_EQ(t->fields().size(), 6);
    EXPECT_EQ(t->fields()[2].type, FieldType::Double);
    EXPECT_EQ(t->value(0, 0).toString(), "seven");
    EXPECT_EQ(t->value(0, 1).toLongLong(), 5);
    EXPECT_EQ(t->value(1, 1).toLongLong(), -3);
    EXPECT_DOUBLE_EQ(t->value(0, 2).toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(t->value(1, 2).toDouble(), -2.5);
    EXPECT_EQ(t->value(0, 3).toDateTime(), QDateTime(QDate(2000, 1, 1), QTime(12, 34, 56)));
    EXPECT_TRUE(t->value(1, 3).isNull());
    EXPECT_EQ(t->value(1, 4).toLongLong(), 2);
    EXPECT_EQ(t->value(0, 5).toString(), "level");
    EXPECT_EQ(t->orderedRows({2}), (std::vector<int>{1, 0}));
    EXPECT_THROW(t->appendRow(t->record(0)), EDatabaseError);
}
