#include "BuildFiles.h"

#include "KivError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ListSource : TopicSource {
    QList<std::pair<TopicFields, QString>> rows;
    int at = 0;
    bool next(TopicFields& t, QString& ctx) override {
        if (at >= rows.size()) return false;
        t = rows[at].first;
        ctx = rows[at].second;
        ++at;
        return true;
    }
    int count() const override { return int(rows.size()); }
    void add(const QString& id, const QString& ctx = {}) {
        TopicFields t;
        t.id = id;
        t.name = QStringLiteral("Topic ") + id;
        t.text = QStringLiteral("{\\rtf1{\\fonttbl}{\\colortbl;}\\pard Words of ") + id + QLatin1Char('}');
        rows.append({t, ctx});
    }
};

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(BuildFiles, ListsEveryTopicAndMapsOnlyThoseWithAContextNumber) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    ListSource topics;
    topics.add(QStringLiteral("1"));
    topics.add(QStringLiteral("2"), QStringLiteral("200"));
    topics.add(QStringLiteral("10"));
    QList<std::pair<int, int>> steps;
    EXPECT_EQ(BuildFiles(dir, QStringLiteral("book"), topics,
                         [&](int done, int total) { steps.append({done, total}); }),
              3);
    EXPECT_EQ(read(dir + "book.lst"), QByteArray("book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n"));
    EXPECT_EQ(read(dir + "book.map"), QByteArray("#define 2 200\r\n"));
    EXPECT_TRUE(read(dir + "book_10.rtf").contains("#{\\footnote # 10}"));
    EXPECT_TRUE(read(dir + "book_10.rtf").contains("Words of 10"));
    EXPECT_EQ(steps.last(), std::make_pair(3, 3));
}

TEST(BuildFiles, OneTopicBuildLeavesOtherTopicFilesAlone) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    ListSource all;
    all.add(QStringLiteral("1"));
    all.add(QStringLiteral("10"), QStringLiteral("5"));
    BuildFiles(dir, QStringLiteral("b"), all);
    ListSource one;
    one.add(QStringLiteral("10"));
    BuildFiles(dir, QStringLiteral("b"), one);
    EXPECT_EQ(read(dir + "b.lst"), QByteArray("b_10.rtf\r\n"));
    EXPECT_EQ(read(dir + "b.map"), QByteArray());
    EXPECT_TRUE(QFile::exists(dir + "b_1.rtf"));
}

TEST(BuildFiles, TopicWithoutIdIsWrittenAsStemUnderscore) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    ListSource topics;
    topics.add(QString(), QStringLiteral("7"));
    BuildFiles(dir, QStringLiteral("s"), topics);
    EXPECT_EQ(read(dir + "s.lst"), QByteArray("s_.rtf\r\n"));
    EXPECT_FALSE(read(dir + "s_.rtf").contains("#{\\footnote"));
}

TEST(BuildFiles, UnwritableFolderRaisesAndKeepsWhatWasWritten) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    QFile old(dir + "p_1.rtf");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    // A topic file name that is a folder cannot be created: the build stops there.
    ASSERT_TRUE(QDir(dir).mkdir("p_2.rtf"));
    ListSource topics;
    topics.add(QStringLiteral("1"));
    topics.add(QStringLiteral("2"));
    topics.add(QStringLiteral("3"));
    try {
        BuildFiles(dir, QStringLiteral("p"), topics);
        FAIL() << "expected an input/output error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("p_2.rtf")));
    }
    EXPECT_TRUE(read(dir + "p_1.rtf").contains("Words of 1"));
    EXPECT_FALSE(QFile::exists(dir + "p_3.rtf"));
}
