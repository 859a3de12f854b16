// Memo texts as the build reads them: whole at every length around the size
// of the first read, absent when the file ends inside them, and characters
// (not bytes) through the memo field.
#include "Cp1252.h"
#include "DbfCodec.h"
#include "DbfTestSupport.h"
#include "TMemTable.h"
#include "TTable.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace dbftest;

namespace {

QVector<DbfFieldDef> memoTable() {
    return {{"name", FieldType::Character, 10, 0}, {"note", FieldType::Memo, 10, 0}};
}

// A memo of `size` characters whose every position can be told apart.
QString memoOf(int size) {
    QString s;
    s.reserve(size);
    for (int i = 0; i < size; ++i)
        s += QLatin1Char(char('a' + i % 23));
    if (size > 2) s[size / 2] = QChar(0x20AC); // stored as one byte, read back as the euro sign
    return s;
}

class MemoSpeedPath : public DbfFolder {
protected:
    // A new memo table with a row for each memo size, left open.
    std::shared_ptr<DbfTable> make(const QList<int>& sizes) {
        DbfTable::create(path(), memoTable());
        auto t = DbfTable::open(path());
        for (int size : sizes)
            t->appendRow({QStringLiteral("n%1").arg(size), memoOf(size)});
        return t;
    }
    void resizeMemo(qint64 size) {
        QFile memo(path("S.dbt"));
        ASSERT_TRUE(memo.open(QIODevice::ReadWrite) && memo.resize(size));
    }
};

} // namespace

TEST_F(MemoSpeedPath, MemosOfEveryLengthAroundTheFirstReadComeBackWhole) {
    const QList<int> sizes = {1, 2, 100, 4080, 4087, 4088, 4089, 4096, 4104, 5000, 70000};
    make(sizes)->appendRow({QStringLiteral("empty"), QString()});
    auto t = DbfTable::open(path());
    ASSERT_EQ(t->rowCount(), sizes.size() + 1);
    for (int i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(t->value(i, 1).toString(), memoOf(sizes[i])) << sizes[i];
    EXPECT_TRUE(t->value(int(sizes.size()), 1).toString().isEmpty());
}

TEST_F(MemoSpeedPath, AMemoThatTheFileEndsInsideReadsAsNone) {
    make({3000, 9000});
    // The file now stops 10 bytes before the end of the long memo.
    const qint64 longStart = QFileInfo(path("S.dbt")).size() - ((9000 + 8 + 511) / 512) * 512;
    resizeMemo(longStart + 8 + 9000 - 10);
    {
        auto t = DbfTable::open(path());
        EXPECT_EQ(t->value(0, 1).toString(), memoOf(3000));
        EXPECT_TRUE(t->value(1, 1).isNull());
    }
    // Now it stops inside the short one, within the first read.
    resizeMemo(512 + 8 + 2999);
    auto t = DbfTable::open(path());
    EXPECT_TRUE(t->value(0, 1).isNull());
    EXPECT_TRUE(t->value(1, 1).isNull());
}

TEST_F(MemoSpeedPath, MemosReadInAnyOrderAcrossLargeReadsAndAppendsStayWhole) {
    // Sizes that put memo starts and ends on both sides of the large reads'
    // edges, with one memo larger than a whole large read.
    QList<int> sizes;
    for (int i = 0; i < 60; ++i)
        sizes << (i == 30 ? 70000 : 1 + (i * 2654435761u) % 6000);
    auto t = make(sizes);
    const auto check = [&](int row) {
        ASSERT_EQ(t->value(row, 1).toString(), memoOf(sizes[row])) << row;
    };
    for (int row = 0; row < sizes.size(); ++row)
        check(row);
    for (int row = int(sizes.size()) - 1; row >= 0; row -= 3)
        check(row);
    // Read up to the end, then append: the new memo starts where the walk
    // would read next.
    check(int(sizes.size()) - 1);
    sizes << 2500;
    t->appendRow({QStringLiteral("new"), memoOf(2500)});
    check(int(sizes.size()) - 1);
    // A changed memo gets new blocks; the old ones read before stay behind.
    check(5);
    t->updateRow(5, {QStringLiteral("n"), memoOf(321)});
    sizes[5] = 321;
    for (int row = 0; row < sizes.size(); ++row)
        check(row);
}

TEST_F(MemoSpeedPath, StoredBytesComeFromBrowsedRowsOnly) {
    make({})->appendRow({QStringLiteral("a"), QStringLiteral("Café €")});
    TTable table;
    table.setDatabaseName(dir.path());
    table.setTableName(QStringLiteral("S.dbf"));
    table.Open();
    auto* note = qobject_cast<TMemoField*>(table.FieldByName(QStringLiteral("NOTE")));
    ASSERT_NE(note, nullptr);
    QByteArray bytes;
    ASSERT_TRUE(note->StoredBytes(bytes));
    EXPECT_EQ(bytes, QByteArray("Caf\xE9 \x80"));
    // Under edit the stored bytes are no longer the value.
    table.Edit();
    note->setAsString(QStringLiteral("changed"));
    bytes = "untouched";
    EXPECT_FALSE(note->StoredBytes(bytes));
    EXPECT_EQ(bytes, QByteArray("untouched"));
    table.Post();
    ASSERT_TRUE(note->StoredBytes(bytes));
    EXPECT_EQ(bytes, QByteArray("changed"));
}

TEST(MemoField, TextOutsideLatin1SurvivesTheFieldBothWays) {
    TMemTable t;
    t.addFieldDef("M", TFieldType::ftMemo);
    t.Open();
    t.Append();
    TField* m = t.FieldByName("M");
    const QString text = QStringLiteral("Café – “quoted” € ÿ");
    m->setValue(text);
    EXPECT_EQ(m->AsString(), text);
    m->setAsString(QStringLiteral("€ and é"));
    EXPECT_EQ(m->Value().toString(), QStringLiteral("€ and é"));
    EXPECT_EQ(m->AsString(), QStringLiteral("€ and é"));
    m->Clear();
    EXPECT_TRUE(m->AsString().isNull());
}

TEST(Cp1252Blocks, ACharacterAtAnyPlaceIsConvertedAsOnItsOwn) {
    // Conversion checks whole blocks first; a differing character may sit anywhere in one.
    const QList<char16_t> odd = {0x00E9, 0x20AC, 0x0081, 0x009F, 0x0100, 0x2003, 0x00A0, 0x007F};
    for (int size = 1; size < 40; ++size)
        for (int at = 0; at < size; ++at)
            for (char16_t ch : odd) {
                QString text(size, QLatin1Char('a'));
                text[at] = QChar(ch);
                bool complete = false;
                const QByteArray bytes = Cp1252::encode(text, &complete);
                const int b = Cp1252::byteFor(QChar(ch));
                QByteArray expected(size, 'a');
                expected[at] = char(b < 0 ? '?' : b);
                ASSERT_EQ(bytes, expected) << size << " " << at << " " << int(ch);
                EXPECT_EQ(complete, b >= 0);
                EXPECT_EQ(Cp1252::decode(expected)[at], b < 0 ? QChar('?') : QChar(ch));
            }
}

TEST(TextColumn, TrailingBlanksAndZerosGoWhateverTheirMixAndLength) {
    // Padding is dropped by whole words first; any byte other than a blank
    // or a zero ends it, wherever it falls in a word.
    const QByteArray stops = QByteArray("x\xA0\x60\x01\xDF", 5);
    for (int length = 1; length <= 40; ++length)
        for (int kept = 0; kept <= length; ++kept)
            for (char stop : stops) {
                const DbfFieldDef f{"name", FieldType::Character, length, 0};
                QByteArray bytes(length, ' ');
                for (int i = kept; i < length; ++i)
                    bytes[i] = (i * 7 + kept) % 3 == 0 ? '\0' : ' ';
                for (int i = 0; i < kept; ++i)
                    bytes[i] = i == kept - 1 ? stop : 'a';
                const QVariant v = DbfCodec::decode(f, DbfDialect::DBase4, bytes.constData());
                if (kept == 0) {
                    EXPECT_TRUE(v.isNull()) << length;
                    continue;
                }
                EXPECT_EQ(v.toString(), Cp1252::decode(bytes.left(kept))) << length << " " << kept;
            }
}
