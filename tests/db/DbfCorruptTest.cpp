// Damaged tables: each either gives an EDatabaseError that names the damaged
// file, or opens with the damaged value read as null where that keeps more of
// the user's data readable. Nothing may crash or read out of bounds.
#include "DbfTestSupport.h"

#include <gtest/gtest.h>

using namespace dbftest;

namespace {

class DbfCorruptTest : public DbfFolder {
protected:
    void expectRefused(const QString& file, const char* fragment) {
        const QString message = failureOf([&] { DbfTable::open(path()); });
        EXPECT_TRUE(message.contains(file) && message.contains(QLatin1String(fragment)))
            << message.toStdString();
    }

    // A small table: NAME C(5), N N(4,1), M memo, with a dBase IV memo file.
    void writeMemoTable(const QByteArray& pointer, const QByteArray& memoFile) {
        writeFile(path(), rawDbf(0x8B, {{"NAME", 'C', 5}, {"N", 'N', 4, 1}, {"M", 'M', 10}},
                                 {QByteArray("abc   1.5") + pointer}));
        writeFile(path("S.dbt"), memoFile);
    }

    static QByteArray memoFile(int blocks = 2) {
        QByteArray m(512 * blocks, '\0');
        m.replace(0, 4, le(quint32(blocks), 4));
        m.replace(20, 2, le(512, 2));
        m.replace(512, 13, QByteArray("\xFF\xFF\x08\x00\x0D\x00\x00\x00hello", 13));
        return m;
    }
};

} // namespace

TEST_F(DbfCorruptTest, BrokenHeadersAreRefusedNamingTheFile) {
    const QByteArray good = rawDbf(0x03, {{"NAME", 'C', 5}}, {QByteArray("abcde")});
    auto patched = [&](int at, const QByteArray& bytes) {
        return QByteArray(good).replace(at, bytes.size(), bytes);
    };
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray(), "header"},
        {good.left(20), "header"},
        {good.left(40), "header size"},         // the header size points past the end
        {patched(10, le(9, 2)), "record size"}, // the fields need 6 bytes
        {patched(32 + 16, QByteArray(1, '\0')), "length 0"},
        {patched(32 + 11, "\x01"), "type"},
        {patched(8, le(50, 2)), "descriptor"}, // cut short by the header size
    };
    for (const auto& [bytes, fragment] : cases) {
        writeFile(path(), bytes);
        expectRefused(path(), fragment);
    }
}

TEST_F(DbfCorruptTest, CountBeyondTheFileGivesTheRowsThatAreThere) {
    // Refusing would hide every intact row; the count is the damaged value.
    QByteArray dbf = rawDbf(0x03, {{"NAME", 'C', 5}}, {QByteArray("one  "), QByteArray("two  ")});
    dbf.replace(4, 4, le(1000000, 4));
    dbf.chop(4); // the second record is cut short too
    writeFile(path(), dbf);
    {
        auto t = DbfTable::open(path());
        ASSERT_EQ(t->rowCount(), 1);
        EXPECT_EQ(t->value(0, 0).toString(), "one");
        t->appendRow({"three"});
    }
    auto t = DbfTable::open(path());
    ASSERT_EQ(t->rowCount(), 2);
    EXPECT_EQ(t->value(1, 0).toString(), "three");
}

TEST_F(DbfCorruptTest, GarbageValuesReadAsNull) {
    // One bad cell should not make the whole table unreadable.
    writeFile(path(), rawDbf(0x03, {{"N", 'N', 6, 2}, {"D", 'D', 8}, {"L", 'L', 1}, {"F", 'F', 5}},
                             {QByteArray("1x.502") + "20231340" + "X" + "   e5",
                              QByteArray("  1.50") + "abcdefgh" + "?" + "-1e99",
                              QByteArray("******") + "        " + " " + "  1.5"}));
    auto t = DbfTable::open(path());
    for (int r = 0; r < 3; ++r)
        for (int f = 0; f < 4; ++f)
            if (!(r == 1 && f == 0) && !(r == 2 && f == 3)) {
                EXPECT_TRUE(t->value(r, f).isNull()) << r << "," << f;
            }
    EXPECT_DOUBLE_EQ(t->value(1, 0).toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(t->value(2, 3).toDouble(), 1.5);
    // Bad cells sort as blanks, consistently between index and values.
    DbfIndexDef def = indexDef("I_N", "N");
    t->addIndex(def);
    EXPECT_EQ(t->indexRows(0), orderByValues(*t, {0}));
}

TEST_F(DbfCorruptTest, MemoPointersOutsideTheMemoFileReadAsNull) {
    writeMemoTable(QByteArray("         1"), memoFile());
    EXPECT_EQ(DbfTable::open(path())->value(0, 2).toString(), "hello");

    // A pointer past the end, a pointer at the header, garbage digits.
    for (const char* pointer : {"      9999", "         0", "    12x456", "4294967296"}) {
        writeMemoTable(QByteArray(pointer), memoFile());
        auto t = DbfTable::open(path());
        EXPECT_TRUE(t->value(0, 2).isNull()) << pointer;
        EXPECT_EQ(t->value(0, 0).toString(), "abc");
    }
    // A block whose length runs past the end of the file.
    QByteArray longBlock = memoFile();
    longBlock.replace(516, 4, le(0x7FFFFFFF, 4));
    writeMemoTable(QByteArray("         1"), longBlock);
    EXPECT_TRUE(DbfTable::open(path())->value(0, 2).isNull());
    // A length smaller than the block header itself.
    QByteArray tinyBlock = memoFile();
    tinyBlock.replace(516, 4, le(3, 4));
    writeMemoTable(QByteArray("         1"), tinyBlock);
    EXPECT_TRUE(DbfTable::open(path())->value(0, 2).isNull());
}

TEST_F(DbfCorruptTest, NewMemosNeverOverwriteBlocksTheHeaderForgot) {
    QByteArray stale = memoFile();
    stale.replace(0, 4, le(1, 4)); // says block 1 is free though it holds "hello"
    writeMemoTable(QByteArray("         1"), stale);
    {
        auto t = DbfTable::open(path());
        t->appendRow({"new", 2, "second memo"});
    }
    auto t = DbfTable::open(path());
    EXPECT_EQ(t->value(0, 2).toString(), "hello");
    EXPECT_EQ(t->value(1, 2).toString(), "second memo");
}

TEST_F(DbfCorruptTest, MissingOrBrokenMemoFileIsRefused) {
    writeMemoTable(QByteArray("         1"), memoFile());
    QFile::remove(path("S.dbt"));
    expectRefused(path("S.dbt"), "missing");
    writeMemoTable(QByteArray("         1"), QByteArray(10, '\0'));
    expectRefused(path("S.dbt"), "header");
}

TEST_F(DbfCorruptTest, BrokenIndexFileIsRefusedNamingIt) {
    writeFile(path(), rawDbf(0x03, {{"NAME", 'C', 5}}, {QByteArray("abcde")}));
    writeFile(path("S.kix"), "I_Name plain\r\n");
    expectRefused(path("S.kix"), "line 1");
    writeFile(path("S.kix"), "# comment\r\n\r\nI_Name sorted NAME\r\n");
    expectRefused(path("S.kix"), "line 3");
    writeFile(path("S.kix"), "I_Name plain NOSUCH\r\n");
    expectRefused(path(), "NOSUCH");
    writeFile(path("S.kix"), "I_Name unique name\r\n");
    auto t = DbfTable::open(path());
    ASSERT_EQ(t->indexes().size(), 1);
    EXPECT_TRUE(t->indexes()[0].unique);
    EXPECT_EQ(t->indexes()[0].fields, QStringList{"NAME"});
}
