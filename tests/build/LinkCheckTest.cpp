// The link check over topics as a build reads them: every kind of finding
// with the topic it names, the codes in the forms the editor stores them, a
// clean project, and a one-topic check against all topics.
#include "LinkCheck.h"
#include "Cp1252.h"
#include "TestFiles.h"
#include "TopicList.h"

#include <gtest/gtest.h>

namespace {

QString doc(const QString& body) {
    return "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;}\r\n\\pard " + body + "\\par}";
}

TopicFields topic(const QString& id, const QString& name, const QString& body) {
    TopicFields t;
    t.id = id;
    t.name = name;
    t.text = doc(body);
    return t;
}

} // namespace

TEST(LinkCheck, EachKindOfFindingNamesItsTopic) {
    TempFolder tmp;
    writeFile(tmp.d + "pic.bmp", "BM");
    LinkCheck check(
        tmp.d, {"main", "Proc"},
        {"1 Book", "2 Start=1", ":Include more.toc", "2 Elsewhere=6@other.hlp", "2 Window=7>main"});
    // Stored bytes, as the table gives them: codes with blanks, a line break
    // and an escaped character; a macro is no jump.
    TopicFields intro = topic("1", "Intro", {});
    intro.storedText = Cp1252::encode(
        doc("\\strike See\\strike0 \\{HRef=2\\} \\ul Note\\ul0 \\{ href = 77 \\} "
            "\\strike Side\\strike0 \\{HRef=3>PROC\\} \\strike X\\strike0 \\{HRef=2>side\\} "
            "\\strike M\\strike0 \\{HRef=! JumpId(`a.hlp`,`9`)\\} \\{bmc PIC.BMP\\} "
            "\\{bml gone.bmp\\} \\{bmr caf\\'e9.bmp\\} \\strike Y\\strike0 \\{HRef=7\r\n8\\} "
            "\\strike Z\\strike0 \\{HRef=5@other.hlp\\} \\{bmc \\}"));
    intro.text.clear();
    check.add(intro);
    TopicFields two = topic("2", "Two", "\\{HRef=99\\}"); // text under edit: no bytes
    two.window = "popup";
    check.add(two);
    check.add(topic("3", "Intro", "\\{keepn\\}"));
    check.add(topic("4", "Lonely", "\\strike Me\\strike0 \\{HRef=4\\}"));
    TopicFields browse = topic("5", "Browse", "");
    browse.bseq = "a:1";
    check.add(browse);
    check.add(topic("6", "Other file", ""));
    check.add(topic("7", "In the contents", "\\{HRef=\\}"));

    const LinkFindings f = check.findings(true);
    EXPECT_TRUE(f.missingTargets);
    EXPECT_EQ(f.lines, QStringList({
                           "Topic 1 (Intro): pop-up to missing topic 77",
                           "Topic 1 (Intro): jump to missing topic 78",
                           "Topic 1 (Intro): jump to topic 2 in undefined window side",
                           "Topic 1 (Intro): missing picture gone.bmp",
                           "Topic 1 (Intro): missing picture caf\u00e9.bmp",
                           "Topic 1 (Intro): picture without a file name",
                           "Topic 2 (Two): jump to missing topic 99",
                           "Topic 2 (Two): shown in undefined window popup",
                           "Topic 3 (Intro): title also used by topic 1",
                           "Topic 4 (Lonely): not reached by any jump, pop-up, contents line or "
                           "browse sequence",
                           "Topic 6 (Other file): not reached by any jump, pop-up, contents line "
                           "or browse sequence",
                           "Topic 7 (In the contents): jump without a target topic",
                       }))
        << f.lines.join('\n').toStdString();
}

TEST(LinkCheck, CleanProjectsAndOneTopicBuilds) {
    TempFolder tmp;
    writeFile(tmp.d + "logo.bmp", "BM");
    // The check rides along a build's walk and sees each topic as it is written.
    TopicList topics;
    topics.rows.append(
        {topic("1", "Home", "\\strike A\\strike0 \\{HRef=2>main\\} \\{bmc logo.bmp\\}"), ""});
    topics.rows.append({topic("2", "A", "\\ul B\\ul0 \\{HRef=3\\} \\{button Go,JI(`x`)\\}"), ""});
    topics.rows.append({topic("3", "B", "\\{keepn\\} no links"), ""});
    LinkCheck whole(tmp.d, {"main"});
    CheckedTopicSource checked(topics, whole);
    EXPECT_EQ(BuildFiles(tmp.d, "book", checked), 3);
    EXPECT_TRUE(readFile(tmp.d + "book_2.rtf").contains("{\\v 3}"));
    LinkFindings f = whole.findings(true);
    EXPECT_TRUE(f.lines.isEmpty()) << f.lines.join('\n').toStdString();
    EXPECT_FALSE(f.missingTargets);

    // One topic: its own links against every topic, nothing about the others.
    LinkCheck one(tmp.d, {});
    for (const char* id : {"1", "2", "3", "40"})
        one.addTarget(id);
    one.add(
        topic("3", "Home", "\\strike A\\strike0 \\{HRef=40\\} \\strike B\\strike0 \\{HRef=41\\}"));
    f = one.findings(false);
    EXPECT_EQ(f.lines, QStringList{"Topic 3 (Home): jump to missing topic 41"});
    EXPECT_TRUE(f.missingTargets);
}
