// Files in other writers' layouts, built byte by byte, and our own files read
// back by an independent dBase reader.
#include "DbfTestSupport.h"

#include <QDateTime>
#include <QProcess>
#include <gtest/gtest.h>

using namespace dbftest;

namespace {

class DbfVariantsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

QByteArray pointer(int block) {
    return QByteArray::number(block).rightJustified(10, ' ');
}

QByteArray be(quint64 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char((v >> (8 * (bytes - 1 - i))) & 0xFF);
    return b;
}

QByteArray le(quint64 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
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
        EXPECT_EQ(t->value(0, 1).toString(), QStringLiteral("short memo"));
        EXPECT_EQ(t->value(1, 1).toString(), QString(600, QLatin1Char('y')));
        EXPECT_TRUE(t->value(2, 1).isNull());
        t->appendRow({QStringLiteral("Delta"), QStringLiteral("added")});
        EXPECT_THROW(t->appendRow({QStringLiteral("Bad"), QStringLiteral("a\x1A")}),
                     EDatabaseError);
    }
    EXPECT_EQ(readFile(path("A.dbt")).mid(4 * 512, 7), QByteArray("added\x1A\x1A"));
    auto t = DbfTable::open(path("A.dbf"));
    EXPECT_EQ(t->value(3, 1).toString(), QStringLiteral("added"));
    EXPECT_EQ(t->value(0, 1).toString(), QStringLiteral("short memo"));
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
        t->appendRow({QStringLiteral("second")});
    }
    const QByteArray after = readFile(path("B.dbt"));
    EXPECT_EQ(after.size(), 512 + 128 + 64); // one more 64-byte block at block 10
    EXPECT_EQ(after.mid(640 + 8, 6), QByteArray("second"));
    EXPECT_EQ(DbfTable::open(path("B.dbf"))->value(1, 0).toString(), QStringLiteral("second"));
}

TEST_F(DbfVariantsTest, FoxProTableWithFptMemoIsReadOnly) {
    writeFile(path("C.dbf"), rawDbf(0xF5, {{"NAME", 'C', 4}, {"NOTE", 'M', 10}},
                                    {QByteArray("fox ") + pointer(8)}));
    QByteArray fpt(512 + 64, '\0');
    fpt.replace(0, 4, be(9, 4));
    fpt.replace(6, 2, be(64, 2));
    fpt.replace(512, 8, be(1, 4) + be(11, 4));
    fpt.replace(520, 11, "fox memo \xE9!");
    writeFile(path("C.fpt"), fpt);
    auto t = DbfTable::open(path("C.dbf"));
    EXPECT_EQ(t->value(0, 1).toString(), QStringLiteral("fox memo é!"));
    EXPECT_THROW(t->appendRow({QStringLiteral("x"), QVariant()}), EDatabaseError);
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
    QByteArray fpt(512 + 64, '\0');
    fpt.replace(0, 4, be(9, 4));
    fpt.replace(6, 2, be(64, 2));
    fpt.replace(512, 10, be(1, 4) + be(2, 4) + "ok");
    writeFile(path("D.fpt"), fpt);
    auto t = DbfTable::open(path("D.dbf"));
    EXPECT_EQ(t->value(0, 0).toLongLong(), -7);
    EXPECT_DOUBLE_EQ(t->value(0, 1).toDouble(), 2.5);
    EXPECT_EQ(t->value(0, 2).toDateTime(), QDateTime(QDate::fromJulianDay(2460000), QTime(1, 0)));
    EXPECT_EQ(t->value(0, 3).toString(), QStringLiteral("ok"));
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
    EXPECT_EQ(t->value(0, 0).toString(), QStringLiteral("seven"));
    EXPECT_EQ(t->value(0, 1).toLongLong(), 5);
    EXPECT_EQ(t->value(1, 1).toLongLong(), -3);
    EXPECT_DOUBLE_EQ(t->value(0, 2).toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(t->value(1, 2).toDouble(), -2.5);
    EXPECT_EQ(t->value(0, 3).toDateTime(), QDateTime(QDate(2000, 1, 1), QTime(12, 34, 56)));
    EXPECT_TRUE(t->value(1, 3).isNull());
    EXPECT_EQ(t->value(1, 4).toLongLong(), 2);
    EXPECT_EQ(t->value(0, 5).toString(), QStringLiteral("level"));
    EXPECT_EQ(t->orderedRows({2}), (std::vector<int>{1, 0}));
    EXPECT_THROW(t->appendRow(t->record(0)), EDatabaseError);
}

TEST_F(DbfVariantsTest, IndependentReaderReadsOurFiles) {
    if (QProcess::execute(QStringLiteral("perl"),
                          {QStringLiteral("-MXBase"), QStringLiteral("-e1")}) != 0)
        GTEST_SKIP() << "the XBase Perl module is not installed";
    QVector<DbfFieldDef> fields{{QStringLiteral("NAME"), FieldType::Character, 20, 0},
                                {QStringLiteral("NUM"), FieldType::Numeric, 9, 2},
                                {QStringLiteral("FLT"), FieldType::Float, 10, 3},
                                {QStringLiteral("DAY"), FieldType::Date, 8, 0},
                                {QStringLiteral("OK"), FieldType::Logical, 1, 0},
                                {QStringLiteral("TEXT"), FieldType::Memo, 10, 0}};
    DbfTable::create(path("X.dbf"), fields);
    const QString longMemo = QStringLiteral("{\\rtf1 ") + QString(3000, QLatin1Char('r')) +
                             QStringLiteral(" caf\u00e9 }");
    {
        auto t = DbfTable::open(path("X.dbf"));
        t->appendRow({QStringLiteral("first"), 12.5, -1.25, QDate(2024, 12, 31), true, longMemo});
        t->appendRow({QStringLiteral("second"), QVariant(), QVariant(), QVariant(), false,
                      QStringLiteral("short")});
        t->appendRow({QStringLiteral("gone"), 1, 1, QVariant(), QVariant(), QStringLiteral("x")});
        t->deleteRow(2);
    }
    const QString script = QStringLiteral(
        "use XBase; my $t = XBase->new(shift) or die XBase->errstr; binmode STDOUT;"
        "for my $i (0 .. $t->last_record) { my ($del, @v) = $t->get_record($i);"
        " print join('|', $del ? 'D' : 'L', map { defined $_ ? $_ : 'NULL' } @v), \"\\n\"; }");
    QProcess perl;
    perl.start(QStringLiteral("perl"), {QStringLiteral("-e"), script, path("X.dbf")});
    ASSERT_TRUE(perl.waitForFinished(30000));
    ASSERT_EQ(perl.exitCode(), 0) << perl.readAllStandardError().toStdString();
    const QList<QByteArray> lines = perl.readAllStandardOutput().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QByteArray("L|first|12.5|-1.25|20241231|1|") + longMemo.toLatin1());
    EXPECT_EQ(lines[1], QByteArray("L|second|NULL|NULL|NULL|0|short"));
    EXPECT_TRUE(lines[2].startsWith("D|gone"));
}
