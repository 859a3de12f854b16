// The help file writer read back through the dump: every kind of content the
// model carries, compressed and not, large B-trees, and damaged files.
#include "HlpBTree.h"
#include "HlpBytes.h"
#include "HlpDump.h"
#include "HlpWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace Hlp;

namespace {

Span text(const QString& s, int font = 0) {
    Span span;
    span.text = s;
    span.font = font;
    return span;
}
Span kind(Span::Kind k) {
    Span span;
    span.kind = k;
    return span;
}
Span hotspot(HotspotKind k, const QString& target, const QString& window = {}) {
    Span span;
    span.kind = Span::HotspotStart;
    span.hotspot = k;
    span.target = target;
    span.window = window;
    return span;
}
Paragraph para(std::vector<Span> spans, ParagraphFormat format = {}) {
    Paragraph p;
    p.spans = std::move(spans);
    p.format = std::move(format);
    return p;
}

// A 4 by 2 pixel, 4-bit bitmap.
QByteArray smallBmp() {
    QByteArray b("BM");
    auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](unsigned v) {
        b.append(char(v & 0xFF));
        b.append(char(v >> 8));
    };
    u32(14 + 40 + 64 + 8);
    u32(0);
    u32(14 + 40 + 64);
    u32(40);
    u32(4);
    u32(2);
    u16(1);
    u16(4);
    u32(0);
    u32(8);
    u32(3780);
    u32(3780);
    u32(0);
    u32(0);
    for (int i = 0; i < 16; ++i)
        u32(quint32(i * 0x101010));
    b.append("\x01\x23\x00\x00\x45\x67\x00\x00", 8);
    return b;
}

// The demo help file the viewer check script shows: formatted text, a jump,
// a pop-up, a macro, a picture and a second window.
Project demoProject(bool compress) {
    Project p;
    p.title = QStringLiteral("KivHelp demo");
    p.copyright = QStringLiteral("Copyright demo");
    p.compress = compress;
    p.configMacros = {QStringLiteral("BrowseButtons()")};
    Window main;
    main.name = QStringLiteral("main");
    main.caption = QStringLiteral("KivHelp demo window");
    main.x = 10;
    main.y = 10;
    main.width = 600;
    main.height = 600;
    p.windows.push_back(main);
    Window side;
    side.name = QStringLiteral("side");
    side.caption = QStringLiteral("Side window");
    side.x = 520;
    side.y = 100;
    side.width = 400;
    side.height = 400;
    p.windows.push_back(side);
    Font normal;
    Font heading;
    heading.halfPoints = 28;
    heading.bold = true;
    heading.color = 0x000080;
    Font italic;
    italic.italic = true;
    italic.face = QStringLiteral("Times New Roman");
    italic.family = 1;
    p.fonts = {normal, heading, italic};
    p.bitmaps.push_back({QStringLiteral("small.bmp"), smallBmp()});

    Topic intro;
    intro.title = QStringLiteral("Intro");
    intro.contexts = {QStringLiteral("intro"), QStringLiteral("12")};
    intro.keywords = {QStringLiteral("start"), QStringLiteral("begin")};
    intro.browse = QStringLiteral("a:1");
    intro.nonScroll.push_back(para({text(QStringLiteral("Welcome to KivHelp"), 1)}));
    ParagraphFormat indented;
    indented.leftIndent = 720;
    indented.spaceBefore = 120;
    intro.scroll.push_back(para(
        {text(QStringLiteral("Formatted text: ")), text(QStringLiteral("bold heading font, "), 1),
         text(QStringLiteral("italic Times"), 2), text(QStringLiteral(". Follow ")),
         hotspot(HotspotKind::Jump, QStringLiteral("second")),
         text(QStringLiteral("the jump to the second topic")), kind(Span::HotspotEnd),
         text(QStringLiteral(" or show a ")), hotspot(HotspotKind::Popup, QStringLiteral("pop")),
         text(QStringLiteral("pop-up")), kind(Span::HotspotEnd), text(QStringLiteral("."))},
        indented));
    Span pic = kind(Span::Picture);
    pic.picture = 0;
    ParagraphFormat centred;
    centred.align = Align::Center;
    intro.scroll.push_back(para({text(QStringLiteral("Centred text"))}, centred));
    intro.scroll.push_back(para({text(QStringLiteral("Line one")), kind(Span::LineBreak),
                                 text(QStringLiteral("Line two"))}));
    intro.scroll.push_back(para({text(QStringLiteral("Macro: ")),
                                 hotspot(HotspotKind::Macro, QStringLiteral("About()")),
                                 text(QStringLiteral("About")), kind(Span::HotspotEnd)}));
    intro.scroll.push_back(
        para({text(QStringLiteral("Picture:\t")), pic, text(QStringLiteral("after picture"))}));
    p.topics.push_back(intro);

    Topic second;
    second.title = QStringLiteral("Second topic");
    second.contexts = {QStringLiteral("second")};
    second.browse = QStringLiteral("a:2");
    second.keywords = {QStringLiteral("Start")};
    second.scroll.push_back(
        para({text(QStringLiteral("You followed the jump. Back to ")),
              hotspot(HotspotKind::Jump, QStringLiteral("intro"), QStringLiteral("side")),
              text(QStringLiteral("the intro")), kind(Span::HotspotEnd)}));
    p.topics.push_back(second);

    Topic pop;
    pop.title = QStringLiteral("Pop-up");
    pop.contexts = {QStringLiteral("pop")};
    pop.scroll.push_back(para({text(QStringLiteral("A pop-up topic."))}));
    p.topics.push_back(pop);
    p.map = {{QStringLiteral("intro"), 1001}, {QStringLiteral("second"), 1002}};
    return p;
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& x : v.toArray())
        out.append(x.toString());
    return out;
}

QString json(const QJsonValue& v) {
    return QString::fromUtf8(
        QJsonDocument(v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject()))
            .toJson(QJsonDocument::Compact));
}

QJsonObject dump(const Project& p) {
    const QByteArray json = DumpHelpFile(WriteHelpFile(p));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    return doc.object();
}

} // namespace

TEST(HlpFile, RoundTripCarriesTheWholeModel) {
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "uncompressed");
        Project p = demoProject(compress);
        p.citation = QStringLiteral("Cited from the demo");
        p.contentsFile = QStringLiteral("book.cnt");
        p.lcid = 0x407;
        p.configMacros.append(QStringLiteral("CreateButton(\"b\",\"&Up\",\"JumpId(`intro')\")"));
        p.windows[1].state = 1;
        p.windows[1].scrollColor = 0xFFFFE0;
        p.windows[1].onTop = true;
        Font special;
        special.face = QStringLiteral("Courier New");
        special.halfPoints = 17;
        special.underline = special.strikeOut = special.doubleUnderline = special.smallCaps = true;
        special.color = 0x12AB34;
        special.family = 3;
        p.fonts.push_back(special);
        Topic& intro = p.topics[0];
        intro.aKeywords = {QStringLiteral("Anchor")};
        intro.window = QStringLiteral("side");
        ParagraphFormat tabs;
        tabs.rightIndent = 200;
        tabs.firstLineIndent = -360;
        tabs.spaceAfter = 60;
        tabs.lineSpacing = -240;
        tabs.align = Align::Right;
        tabs.tabs = {{1440, TabStop::Left}, {2880, TabStop::Right}, {4320, TabStop::Center}};
        Span left = kind(Span::Picture), right = kind(Span::Picture);
        left.picture = right.picture = 0;
        left.place = PicturePlace::Left;
        right.place = PicturePlace::Right;
        intro.scroll.push_back(para({left, text(QStringLiteral("a\tb"), 3), kind(Span::Tab),
                                     hotspot(HotspotKind::Jump, QStringLiteral("nowhere")),
                                     text(QStringLiteral("lost")), kind(Span::HotspotEnd), right},
                                    tabs));
        Topic accented;
        accented.title = QStringLiteral("Übersicht – café");
        accented.contexts = {QStringLiteral("uebersicht")};
        accented.browse = QStringLiteral("a:1"); // equal to the intro's: after it, by file order
        accented.keywords = {QStringLiteral("Äpfel")};
        accented.scroll.push_back(para({text(QStringLiteral("Größe €5"))}));
        p.topics.push_back(accented);

        const QJsonObject d = dump(p);
        // |SYSTEM and |FONT whole: every field of the model comes back.
        EXPECT_EQ(
            json(d[QStringLiteral("system")]),
            QStringLiteral(
                R"~({"citation":"Cited from the demo","compressed":%1,"contents":"book.cnt",)~"
                R"~("contentsOffset":0,"copyright":"Copyright demo","lcid":1031,)~"
                R"~("macros":["BrowseButtons()","CreateButton(\"b\",\"&Up\",)~"
                R"~(\"JumpId(`intro')\")"],"title":"KivHelp demo","version":33,)~"
                R"~("windows":[{"caption":"KivHelp demo window","height":600,"name":"main",)~"
                R"~("nonScrollColor":null,"onTop":false,"scrollColor":null,"state":0,)~"
                R"~("type":"","width":600,"x":10,"y":10},{"caption":"Side window",)~"
                R"~("height":400,"name":"side","nonScrollColor":null,"onTop":true,)~"
                R"~("scrollColor":"#FFFFE0","state":1,"type":"","width":400,"x":520,)~"
                R"~("y":100}]})~")
                .arg(compress ? "true" : "false"));
        EXPECT_EQ(
            json(d[QStringLiteral("fonts")]),
            QStringLiteral(
                R"~([{"bold":false,"color":"#000000","doubleUnderline":false,"face":"Arial",)~"
                R"~("family":0,"halfPoints":20,"italic":false,"smallCaps":false,)~"
                R"~("strikeOut":false,"underline":false},{"bold":true,"color":"#000080",)~"
                R"~("doubleUnderline":false,"face":"Arial","family":0,"halfPoints":28,)~"
                R"~("italic":false,"smallCaps":false,"strikeOut":false,"underline":false},)~"
                R"~({"bold":false,"color":"#000000","doubleUnderline":false,)~"
                R"~("face":"Times New Roman","family":1,"halfPoints":20,"italic":true,)~"
                R"~("smallCaps":false,"strikeOut":false,"underline":false},{"bold":false,)~"
                R"~("color":"#12AB34","doubleUnderline":true,"face":"Courier New","family":3,)~"
                R"~("halfPoints":17,"italic":false,"smallCaps":true,"strikeOut":true,)~"
                R"~("underline":true}])~"));

        EXPECT_EQ(
            d[QStringLiteral("map")].toArray(),
            QJsonArray(
                {QJsonObject{{QStringLiteral("number"), 1001}, {QStringLiteral("topic"), 0}},
                 QJsonObject{{QStringLiteral("number"), 1002}, {QStringLiteral("topic"), 1}}}));
        EXPECT_EQ(strings(d[QStringLiteral("bitmaps")]), QStringList{QStringLiteral("|bm0")});

        const QJsonArray topics = d[QStringLiteral("topics")].toArray();
        ASSERT_EQ(topics.size(), 4);
        const QJsonObject t0 = topics[0].toObject();
        EXPECT_EQ(t0[QStringLiteral("title")].toString(), QStringLiteral("Intro"));
        EXPECT_EQ(strings(t0[QStringLiteral("contexts")]), intro.contexts);
        EXPECT_EQ(strings(t0[QStringLiteral("keywords")]), (QStringList{"begin", "start"}));
        EXPECT_EQ(strings(t0[QStringLiteral("akeywords")]), QStringList{QStringLiteral("Anchor")});
        EXPECT_EQ(t0[QStringLiteral("window")].toString(), QStringLiteral("side"));
        EXPECT_EQ(t0[QStringLiteral("nonScroll")].toString(),
                  QStringLiteral("Welcome to KivHelp\n"));
        const QString lost = QStringLiteral("0x%1")
                                 .arg(contextHash("nowhere"), 8, 16, QLatin1Char('0'))
                                 .toUpper()
                                 .replace("0X", "0x");
        EXPECT_EQ(t0[QStringLiteral("text")].toString(),
                  QStringLiteral(
                      "Formatted text: bold heading font, italic Times. Follow [jump second]the "
                      "jump to the second topic[/jump] or show a [popup pop]pop-up[/popup].\n"
                      "Centred text\nLine one\nLine two\nMacro: [macro About()]About[/macro]\n"
                      "Picture:\t[bmc 0]after picture\n"
                      "[bml 0]a\tb\t[jump %1]lost[/jump][bmr 0]\n")
                      .arg(lost));
        // Browse chain: intro (a:1), the accented topic (a:1, later in the file), second (a:2).
        EXPECT_TRUE(t0[QStringLiteral("browsePrev")].isNull());
        EXPECT_EQ(t0[QStringLiteral("browseNext")].toInt(), 3);
        const QJsonObject t3 = topics[3].toObject();
        EXPECT_EQ(t3[QStringLiteral("title")].toString(), accented.title);
        EXPECT_EQ(t3[QStringLiteral("text")].toString(), QStringLiteral("Größe €5\n"));
        EXPECT_EQ(strings(t3[QStringLiteral("keywords")]), QStringList{QStringLiteral("Äpfel")});
        EXPECT_EQ(t3[QStringLiteral("browsePrev")].toInt(), 0);
        EXPECT_EQ(t3[QStringLiteral("browseNext")].toInt(), 1);
        const QJsonObject t1 = topics[1].toObject();
        EXPECT_EQ(t1[QStringLiteral("browsePrev")].toInt(), 3);
        EXPECT_TRUE(t1[QStringLiteral("browseNext")].isNull());
        EXPECT_EQ(
            t1[QStringLiteral("text")].toString(),
            QStringLiteral("You followed the jump. Back to [jump intro>side]the intro[/jump]\n"));
        EXPECT_TRUE(topics[2].toObject()[QStringLiteral("browseNext")].isNull());

        // Paragraph formats, in twips rounded to the file's half points.
        const QJsonArray paras = t0[QStringLiteral("paragraphs")].toArray();
        ASSERT_EQ(paras.size(), 7);
        EXPECT_TRUE(paras[0].toObject()[QStringLiteral("nonScroll")].toBool());
        EXPECT_EQ(paras[0].toObject()[QStringLiteral("fonts")].toArray(), QJsonArray{1});
        const QJsonObject p1 = paras[1].toObject();
        EXPECT_FALSE(p1[QStringLiteral("nonScroll")].toBool());
        EXPECT_EQ(p1[QStringLiteral("leftIndent")].toInt(), 720);
        EXPECT_EQ(p1[QStringLiteral("spaceBefore")].toInt(), 120);
        EXPECT_EQ(p1[QStringLiteral("fonts")].toArray(), QJsonArray({0, 1, 2, 0}));
        EXPECT_EQ(paras[2].toObject()[QStringLiteral("align")].toString(),
                  QStringLiteral("center"));
        const QJsonObject p6 = paras[6].toObject();
        EXPECT_EQ(p6[QStringLiteral("align")].toString(), QStringLiteral("right"));
        EXPECT_EQ(p6[QStringLiteral("rightIndent")].toInt(), 200);
        EXPECT_EQ(p6[QStringLiteral("firstLineIndent")].toInt(), -360);
        EXPECT_EQ(p6[QStringLiteral("spaceAfter")].toInt(), 60);
        EXPECT_EQ(p6[QStringLiteral("lineSpacing")].toInt(), -240);
        EXPECT_EQ(p6[QStringLiteral("tabs")].toArray(),
                  QJsonArray({QJsonObject{{"position", 1440}, {"kind", "left"}},
                              QJsonObject{{"position", 2880}, {"kind", "right"}},
                              QJsonObject{{"position", 4320}, {"kind", "center"}}}));
    }
}

namespace {

// n topics with about `bytes` of text each; the browse strings run backwards
// so the chain goes against the file order.
Project manyTopics(int n, int bytes, bool compress) {
    Project p;
    p.title = QStringLiteral("Many");
    p.compress = compress;
    p.fonts.resize(2);
    p.fonts[1].bold = true;
    Window w;
    w.name = QStringLiteral("second");
    p.windows.push_back(w);
    p.topics.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        Topic t;
        t.title = QStringLiteral("Topic %1").arg(i);
        t.contexts = {QStringLiteral("ctx_%1").arg(i)};
        t.keywords = {QStringLiteral("kw %1").arg(i % 50), QStringLiteral("own %1").arg(i)};
        t.browse = QStringLiteral("b:%1").arg(n - i, 6, 10, QLatin1Char('0'));
        if (i % 7 == 0) t.window = w.name;
        QString body;
        for (int k = 0; body.size() < bytes; ++k)
            body += QStringLiteral("word%1 of topic %2, ").arg(k * 7919 % 1000).arg(i);
        t.scroll.push_back(
            para({text(body), hotspot(HotspotKind::Jump, QStringLiteral("ctx_%1").arg((i + 1) % n)),
                  text(QStringLiteral("next"), 1), kind(Span::HotspotEnd)}));
        p.topics.push_back(std::move(t));
        if (i % 100 == 0) p.map.emplace_back(QStringLiteral("CTX_%1").arg(i), quint32(5000 + i));
    }
    // Enough pictures for a directory of several pages.
    if (n >= 5000) {
        for (int i = 0; i < 150; ++i)
            p.bitmaps.push_back({QStringLiteral("b%1.bmp").arg(i), smallBmp()});
        Span pic = kind(Span::Picture);
        pic.picture = 149;
        p.topics[size_t(n - 2)].scroll.push_back(para({text(QStringLiteral("Picture ")), pic}));
    }
    return p;
}

qsizetype fileSize(const QJsonObject& d, const QString& name) {
    for (const QJsonValue& f : d[QStringLiteral("files")].toArray())
        if (f.toObject()[QStringLiteral("name")].toString() == name)
            return f.toObject()[QStringLiteral("size")].toInteger();
    return -1;
}

} // namespace

TEST(HlpFile, EveryTopicSurvivesInEmptySmallAndLargeFiles) {
    struct Case {
        int topics, bytes;
        bool compress;
    };
    for (const Case c : {Case{0, 0, false}, Case{1, 10, true}, Case{5000, 2000, false},
                         Case{5000, 2000, true}, Case{20000, 120, true}}) {
        SCOPED_TRACE(
            QStringLiteral("%1 topics, compress %2").arg(c.topics).arg(c.compress).toStdString());
        const Project p = manyTopics(c.topics, c.bytes, c.compress);
        const QJsonObject d = dump(p);
        const QJsonArray topics = d[QStringLiteral("topics")].toArray();
        ASSERT_EQ(topics.size(), c.topics);
        for (int i : {0, c.topics / 2, c.topics / 3 + 1, c.topics - 1}) {
            if (i < 0 || i >= c.topics) continue;
            const QJsonObject t = topics[i].toObject();
            const Topic& want = p.topics[size_t(i)];
            EXPECT_EQ(t[QStringLiteral("title")].toString(), want.title);
            EXPECT_EQ(strings(t[QStringLiteral("contexts")]), want.contexts);
            EXPECT_EQ(t[QStringLiteral("text")].toString(),
                      want.scroll[0].spans[0].text +
                          QStringLiteral("[jump ctx_%1]next[/jump]\n").arg((i + 1) % c.topics));
            QStringList keywords = want.keywords;
            keywords.sort();
            EXPECT_EQ(strings(t[QStringLiteral("keywords")]), keywords);
            EXPECT_EQ(t[QStringLiteral("browsePrev")],
                      i + 1 < c.topics ? QJsonValue(i + 1) : QJsonValue());
            EXPECT_EQ(t[QStringLiteral("browseNext")], i > 0 ? QJsonValue(i - 1) : QJsonValue());
            EXPECT_EQ(t[QStringLiteral("window")],
                      i % 7 == 0 ? QJsonValue("second") : QJsonValue());
        }
        const QJsonArray map = d[QStringLiteral("map")].toArray();
        ASSERT_EQ(map.size(), qsizetype(p.map.size()));
        for (const QJsonValue& m : map)
            EXPECT_EQ(m[QStringLiteral("topic")].toInt() + 5000,
                      m[QStringLiteral("number")].toInt());
        if (c.topics >= 5000) { // trees of several pages, |TOPIC of many blocks
            const QStringList bitmaps = strings(d[QStringLiteral("bitmaps")]);
            EXPECT_EQ(bitmaps.size(), 150);
            EXPECT_TRUE(bitmaps.contains(QStringLiteral("|bm149")));
            EXPECT_GT(fileSize(d, QStringLiteral("|CONTEXT")), 10 * 2048);
            EXPECT_GT(fileSize(d, QStringLiteral("|KWBTREE")), 10 * 2048);
            EXPECT_GT(fileSize(d, QStringLiteral("|TOPIC")), 100 * 4096);
        }
    }
}

TEST(HlpFile, DamagedFilesFailNamingTheInternalFile) {
    const QByteArray good = WriteHelpFile(manyTopics(120, 200, true));
    auto failure = [](const QByteArray& bytes) -> std::string {
        try {
            DumpHelpFile(bytes);
        } catch (const EHlpFormat& e) {
            return e.message().toStdString();
        }
        return "no error";
    };
    auto u32 = [&](qsizetype at) {
        return quint32(quint8(good[at])) | quint32(quint8(good[at + 1])) << 8 |
               quint32(quint8(good[at + 2])) << 16 | quint32(quint8(good[at + 3])) << 24;
    };
    EXPECT_EQ(failure(good.left(good.size() - 100)).find("internal directory"), 0u);
    EXPECT_EQ(failure(good.left(10)).find("header"), 0u);
    QByteArray magic = good;
    magic[1] = 'X';
    EXPECT_EQ(failure(magic), "header: wrong magic, not a Windows help file");

    // The directory's root page number, past its pages.
    const qsizetype dir = u32(4) + 9;
    QByteArray root = good;
    root[dir + 26] = char(77);
    EXPECT_EQ(failure(root), "internal directory: page 77 points past the end of the file");

    // |TOPIC's first block names a link in a block the file does not have.
    qsizetype topic = -1;
    walkBTree(good.mid(dir), QStringLiteral("dir"), [&](Reader& r) {
        const QByteArray name = r.sz();
        const quint32 at = r.u32();
        if (name == "|TOPIC") topic = qsizetype(at) + 9;
    });
    ASSERT_GT(topic, 0);
    QByteArray block = good;
    const quint32 far = 12 + 3 * 16384 + 5 + 1000 * 16384;
    for (int k = 0; k < 4; ++k)
        block[topic + 4 + k] = char((far >> (8 * k)) & 0xFF);
    EXPECT_EQ(failure(block), "|TOPIC: block 1003 points past the end of the file");

    // Damage anywhere gives an error or a dump, never a crash or another exception.
    for (qsizetype at = 0; at < good.size(); at += 61) {
        QByteArray bad = good;
        bad[at] = char(bad[at] ^ 0x5A);
        try {
            DumpHelpFile(bad);
        } catch (const EHlpFormat&) {
        }
    }
}

// Writes the demo files into the folder KIV_HLP_DEMO names (for the viewer
// check script); nothing without it.
TEST(HlpFile, WritesDemoFilesOnRequest) {
    const QString folder = qEnvironmentVariable("KIV_HLP_DEMO");
    if (folder.isEmpty()) GTEST_SKIP();
    QDir().mkpath(folder);
    for (bool compress : {false, true}) {
        QFile f(folder + (compress ? "/demolz.hlp" : "/demo.hlp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(WriteHelpFile(demoProject(compress)));
        QFile many(folder + (compress ? "/manylz.hlp" : "/many.hlp"));
        ASSERT_TRUE(many.open(QIODevice::WriteOnly));
        many.write(WriteHelpFile(manyTopics(5000, 2000, compress)));
    }
}

// A tree deeper than the help files above need: three levels, every entry
// found again in order, and the leaf map the keyword files are built from.
TEST(HlpFile, BTreesOfThreeLevelsWalkInKeyOrder) {
    std::vector<BTreeEntry> entries;
    for (quint32 i = 0; i < 100000; ++i) {
        QByteArray key(4, '\0'), value;
        for (int k = 0; k < 4; ++k)
            key[3 - k] = char((i >> (8 * k)) & 0xFF); // big-endian sorts
        value = QByteArray::number(i % 977) + '\0';
        entries.push_back({key, value});
    }
    std::vector<BTreeLeaf> leaves;
    const QByteArray tree = buildBTree(entries, "4z", 2048, false, &leaves);
    EXPECT_EQ(quint8(tree[32]) | quint8(tree[33]) << 8, 3); // levels
    ASSERT_GT(leaves.size(), 300u);
    for (size_t i = 1; i < leaves.size(); ++i)
        EXPECT_GT(leaves[i].firstEntry, leaves[i - 1].firstEntry);
    quint32 next = 0;
    walkBTree(tree, QStringLiteral("|T"), [&](Reader& r) {
        const QByteArray key = r.bytes(4);
        EXPECT_EQ(key, entries[next].key);
        EXPECT_EQ(r.sz(), QByteArray::number(next % 977));
        ++next;
    });
    EXPECT_EQ(next, 100000u);
}
