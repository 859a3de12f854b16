#include "KivError.h"
#include "TestFiles.h"
#include "TopicList.h"

#include <gtest/gtest.h>

namespace {
QString doc(const QString& id) { return "{\\rtf1{\\fonttbl}{\\colortbl;}\\pard Words of " + id + "}"; }
} // namespace

TEST(BuildFiles, ListsEveryTopicMapsThoseWithContextAndRebuildsOneAlone) {
    TempFolder tmp;
    TopicList all;
    for (const auto& [id, ctx] : {std::pair{"1", ""}, {"2", "200"}, {"10", ""}, {"", "7"}})
        all.add(id, doc(id), ctx);
    QList<std::pair<int, int>> steps;
    EXPECT_EQ(BuildFiles(tmp.d, "book", all, [&](int done, int total) { steps.append({done, total}); }), 4);
    EXPECT_EQ(readFile(tmp.d + "book.lst"), "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\nbook_.rtf\r\n");
    // A topic without ID has no map line and no "#" footnote.
    EXPECT_EQ(readFile(tmp.d + "book.map"), "#define 2 200\r\n");
    EXPECT_TRUE(readFile(tmp.d + "book_10.rtf").contains("#{\\footnote # 10}"));
    EXPECT_TRUE(readFile(tmp.d + "book_10.rtf").contains("Words of 10"));
    EXPECT_FALSE(readFile(tmp.d + "book_.rtf").contains("#{\\footnote"));
    EXPECT_EQ(steps.last(), std::make_pair(4, 4));

    // A one-topic build lists that topic alone and leaves the other files.
    TopicList one;
    one.add("10", doc("10"));
    BuildFiles(tmp.d, "book", one);
    EXPECT_EQ(readFile(tmp.d + "book.lst"), "book_10.rtf\r\n");
    EXPECT_EQ(readFile(tmp.d + "book.map"), "");
    EXPECT_TRUE(readFile(tmp.d + "book_1.rtf").contains("Words of 1"));
}

TEST(BuildFiles, AFileThatCannotBeWrittenStopsTheBuildAndKeepsWhatWasWritten) {
    TempFolder tmp;
    writeFile(tmp.d + "p_1.rtf", "old");
    ASSERT_TRUE(QDir(tmp.d).mkdir("p_2.rtf")); // a folder where a topic file goes
    TopicList topics;
    for (const char* id : {"1", "2", "3"}) topics.add(id, doc(id));
    try {
        BuildFiles(tmp.d, "p", topics);
        FAIL() << "expected an input/output error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.message().contains("p_2.rtf"));
    }
    EXPECT_TRUE(readFile(tmp.d + "p_1.rtf").contains("Words of 1"));
    EXPECT_FALSE(QFile::exists(tmp.d + "p_3.rtf"));
}
