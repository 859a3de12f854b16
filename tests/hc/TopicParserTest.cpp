// Topic files read into the help file's model: what our build writes (footnotes,
// translated codes, the editor's fonts, bullets and keepn title) and what other
// RTF writers and damaged files bring (several topics a file, unknown words and
// destinations, unbalanced braces, pictures that are missing).
#include "TopicParser.h"
#include "HpjFile.h"

#include <gtest/gtest.h>

namespace {

// A topic's text in a compact form: hotspots and pictures in brackets,
// paragraphs ended by "\n", tabs as "\t" and line breaks as "|".
QString text(const std::vector<Hlp::Paragraph>& paragraphs) {
    QString out;
    for (const Hlp::Paragraph& p : paragraphs) {
        for (const Hlp::Span& s : p.spans) {
            switch (s.kind) {
            case Hlp::Span::Text:
                out += s.text;
                break;
            case Hlp::Span::Tab:
                out += "\t";
                break;
            case Hlp::Span::LineBreak:
                out += "|";
                break;
            case Hlp::Span::Picture:
                out += QString("[pic %1]").arg(s.picture);
                break;
            case Hlp::Span::HotspotStart: {
                const char* kind[] = {"jump", "popup", "macro"};
                out += QString("[%1 %2%3]")
                           .arg(kind[int(s.hotspot)], s.target,
                                s.window.isEmpty() ? "" : ">" + s.window);
                break;
            }
            case Hlp::Span::HotspotEnd:
                out += "[/]";
                break;
            }
        }
        out += "\n";
    }
    return out;
}

struct Parsed {
    Hlp::Project project;
    Hc::Messages messages;
    QStringList pictures; // names asked for
    QStringList lines() const {
        QStringList l;
        for (const Hc::Message& m : messages.all())
            l << m.line();
        return l;
    }
};

void parse(Parsed& p, const QByteArray& rtf, const QString& file = "book_1.rtf") {
    Hc::TopicParser parser(p.project, p.messages,
                           [&p](const QString& name, const QString&, const QString&) {
                               p.pictures << name;
                               return name == "missing.bmp" ? -1 : int(p.pictures.size() - 1);
                           });
    parser.parse(rtf, file);
}

// The header of the editor's new-topic document, then footnotes as the build writes them.
const QByteArray kHeader = "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
                           "{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fswiss\\fcharset1 Arial;}}\r\n"
                           "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green128\\blue0;"
                           "\\red128\\green0\\blue0;\\red0\\green0\\blue255;}\r\n";

} // namespace

TEST(TopicParserTest, ABuiltTopicGivesItsFootnotesTitleRegionCodesAndFonts) {
    Parsed p;
    parse(p, kHeader +
                 "#{\\footnote # 12}\r\n${\\footnote $ Caf\\'E9 {\\b intro}}\r\n"
                 "+{\\footnote + seq:010}\r\n>{\\footnote > proc}\r\n"
                 "K{\\footnote K start; begin ;}\r\nA{\\footnote A alpha}\r\n"
                 "\\pard\\keepn\\f2\\fs32\\cf4\\b Caf\\'E9\\par\\fs20\\b0 \\par\\cf3 "
                 "\\par\\pard\\cf1\\par\r\n"
                 "\\pard\\li360\\ri120\\fi-240\\sb60\\sa80\\qc\\tqr\\tx2000\\tx4000 See "
                 "\\cf2\\strike Index\\cf3\\strike0 {\\v 5>proc}\\cf1 , "
                 "\\cf2\\ul note\\cf3\\ulnone {\\v 6}\\cf1  and \\cf2\\strike Print\\cf3\\strike0 "
                 "{\\v ! Print()}\\cf1\\tab x\\line y\\par\r\n"
                 "\\pard{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}{\\pntext\\f1\\'B7\\tab}"
                 "\\f2 item \\cf3 \\{bmc logo.bmp\\}\\cf1  \\{button Go,JumpId(`x')\\}\\par\r\n"
                 "\\pard\\uldb\\{bmr missing.bmp\\}\\{bml pic.bmp\\}\\uldb0{\\v 7}\\par\r\n}\r\n");
    ASSERT_EQ(p.project.topics.size(), 1u);
    const Hlp::Topic& t = p.project.topics[0];
    EXPECT_EQ(t.contexts, QStringList{"12"});
    EXPECT_EQ(t.title, QString::fromUtf8("Café intro"));
    EXPECT_EQ(t.browse, "seq:010");
    EXPECT_EQ(t.window, "proc");
    EXPECT_EQ(t.keywords, QStringList({"start", "begin"}));
    EXPECT_EQ(t.aKeywords, QStringList{"alpha"});
    EXPECT_EQ(t.sourceFile, "book_1.rtf");
    EXPECT_EQ(text(t.nonScroll), QString::fromUtf8("Café\n\n\n"));
    EXPECT_EQ(text(t.scroll), QString::fromUtf8("\nSee [jump 5>proc]Index[/], [popup 6]note[/] and "
                                                "[macro Print()]Print[/]\tx|y\n"
                                                "·\titem [pic 0] [macro JumpId(`x')]Go[/]\n"
                                                "[jump 7][pic 2][/]\n"));
    EXPECT_EQ(p.pictures, QStringList({"logo.bmp", "missing.bmp", "pic.bmp"}));
    EXPECT_TRUE(p.messages.all().empty()) << p.lines().join('\n').toStdString();

    // Paragraph formats as written, tabs with their kinds.
    const Hlp::ParagraphFormat& f = t.scroll[1].format;
    EXPECT_EQ(std::tie(f.leftIndent, f.rightIndent, f.firstLineIndent, f.spaceBefore, f.spaceAfter),
              std::make_tuple(360, 120, -240, 60, 80));
    EXPECT_EQ(f.align, Hlp::Align::Center);
    EXPECT_EQ(f.tabs,
              (std::vector<Hlp::TabStop>{{2000, Hlp::TabStop::Right}, {4000, Hlp::TabStop::Left}}));

    // Fonts: the title's, the hotspot's without its strikeout, the bullet's Symbol.
    const auto fontOf = [&](const Hlp::Paragraph& para, const QString& s) -> Hlp::Font {
        for (const Hlp::Span& span : para.spans)
            if (span.kind == Hlp::Span::Text && span.text.contains(s))
                return p.project.fonts[std::size_t(span.font)];
        ADD_FAILURE() << s.toStdString();
        return {};
    };
    const Hlp::Font title = fontOf(t.nonScroll[0], QString::fromUtf8("Café"));
    EXPECT_EQ(std::tie(title.face, title.halfPoints, title.bold, title.color, title.family),
              std::make_tuple(QString("Arial"), 32, true, 0x0000FFu, quint8(2)));
    const Hlp::Font link = fontOf(t.scroll[1], "Index");
    EXPECT_FALSE(link.strikeOut || link.underline || link.doubleUnderline);
    EXPECT_EQ(link.color, 0x008000u);
    const Hlp::Font bullet = fontOf(t.scroll[2], QString::fromUtf8("·"));
    EXPECT_EQ(std::tie(bullet.face, bullet.charset), std::make_tuple(QString("Symbol"), quint8(2)));
    // Struck text that no hidden text follows keeps its look.
    Parsed q;
    parse(q, kHeader + "#{\\footnote # 1}\\pard\\strike gone\\strike0  on\\par}");
    EXPECT_EQ(text(q.project.topics[0].scroll), "gone on\n");
    EXPECT_TRUE(
        q.project.fonts[std::size_t(q.project.topics[0].scroll[0].spans[0].font)].strikeOut);
}

TEST(TopicParserTest, PagesSplitTopicsAndDamagedFilesStillRead) {
    Parsed p;
    parse(
        p,
        "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;\\f1 Courier New;}{\\stylesheet{\\s1 Heading;}}"
        "{\\info{\\title x}}\\pard\\plain #{\\footnote\\pard\\plain # first}"
        "${\\footnote $ One}{\\*\\unknowndest secret}\\unknownword42 Text {\\field{\\*\\fldinst "
        "HYPERLINK x}{\\fldrslt shown}} \\u8364? euro\\page\r\n"
        "K{\\footnote K only}No context\\par\\page\r\n"
        "#{\\footnote # first}Duplicate\\par\\page\r\n"
        "\\pard\\par\\page}}} trailing\r\n",
        "two.rtf");
    ASSERT_EQ(p.project.topics.size(), 4u) << p.lines().join('\n').toStdString();
    EXPECT_EQ(p.project.topics[0].title, "One");
    EXPECT_EQ(text(p.project.topics[0].scroll),
              QString::fromUtf8("Text shown €? euro\n").remove("?"));
    EXPECT_TRUE(p.project.topics[1].contexts.isEmpty());
    EXPECT_EQ(p.project.topics[1].keywords, QStringList{"only"});
    // The parser keeps duplicates: the compiler decides which one wins.
    EXPECT_EQ(p.project.topics[2].contexts, QStringList{"first"});
    EXPECT_EQ(text(p.project.topics[3].scroll), " trailing\n");
    EXPECT_EQ(p.lines(),
              QStringList({"HC3021: Warning: two.rtf : topic #2 : Topic has no context string (#): "
                           "it can be reached only through keywords or browsing",
                           "HC3001: Warning: two.rtf : Unbalanced braces: a '}' closes no group",
                           "HC3021: Warning: two.rtf : topic #4 : Topic has no context string "
                           "(#): it can be reached only through keywords or browsing"}));

    Parsed open;
    parse(open, kHeader + "#{\\footnote # 9}\\pard {\\b bold {\\i open", "open.rtf");
    ASSERT_EQ(open.project.topics.size(), 1u);
    EXPECT_EQ(text(open.project.topics[0].scroll), "bold open\n");
    EXPECT_EQ(open.lines(), QStringList{"HC3001: Warning: open.rtf : Unbalanced braces: a group "
                                        "is not closed"});
}

TEST(TopicParserTest, ProjectFileSectionsIncludesAndBadLines) {
    Hc::Messages messages;
    const auto include = [](const QString& name) -> std::optional<QByteArray> {
        if (name == "book.lst") return QByteArray("book_1.rtf\r\nbook_2.rtf\r\n");
        if (name == "book.map") return QByteArray("#define 1 1001\r\n#define 2 0x10\r\n");
        return std::nullopt;
    };
    const Hc::HpjProject h = Hc::ParseHpj(
        "[OPTIONS]\r\nERRORLOG=book.err\r\nCOMPRESS=12 Hall Zeck\r\nCITATION=Created by KIVHELP\r\n"
        "TITLE=My Book\r\nLCID=0x407 0x0 0x0\r\nREPORT=Yes\r\nHLP=out/book.hlp\r\n"
        "copyright=(c) Me\r\nCONTENTS=book.cnt\r\nFROBNICATE=1\r\n"
        "[FILES]\r\n#include book.lst\r\nextra.rtf\r\n; comment\r\n#include gone.lst\r\n"
        "[MAP]\r\n#include book.map\r\nthree 3\r\nfour=4\r\nbad line here\r\n"
        "[WINDOWS]\r\nmain=\"Main\",(10,20,500,600),0,(255,255,226),(192,192,192),f1\r\n"
        "proc=\"Procedures\",,1,(r12632256)\r\nbroken\r\n"
        "[CONFIG]\r\nBrowseButtons()\r\nCreateButton(`b',`&B',`Back()')\r\n[CONFIG-proc]\r\nX()\r\n"
        "[ALIAS]\r\nold=1\r\n[BAGGAGE]\r\ndata.bin\r\n",
        "book.hpj", include, messages);
    EXPECT_EQ((QStringList{h.errorLog, h.helpFile, h.contents, h.title, h.copyright, h.citation}),
              QStringList({"book.err", "out/book.hlp", "book.cnt", "My Book", "(c) Me",
                           "Created by KIVHELP"}));
    EXPECT_TRUE(h.compress && h.report);
    EXPECT_EQ(h.lcid, 0x407);
    EXPECT_EQ(h.files, QStringList({"book_1.rtf", "book_2.rtf", "extra.rtf"}));
    ASSERT_EQ(h.map.size(), 4u);
    EXPECT_EQ(std::tie(h.map[1].context, h.map[1].number, h.map[1].file),
              std::make_tuple(QString("2"), 16u, QString("book.map")));
    EXPECT_EQ(h.map[3].context, "four");
    ASSERT_EQ(h.windows.size(), 2u);
    const Hlp::Window& w = h.windows[0];
    EXPECT_EQ(std::tie(w.name, w.caption, w.x, w.y, w.width, w.height, w.state),
              std::make_tuple(QString("main"), QString("Main"), 10, 20, 500, 600, 0));
    EXPECT_EQ(w.scrollColor, 0xFFFFE2);
    EXPECT_EQ(w.nonScrollColor, 0xC0C0C0);
    EXPECT_TRUE(w.onTop);
    const Hlp::Window& proc = h.windows[1]; // its colour a COLORREF 0x00C0C0C0
    EXPECT_EQ(std::tie(proc.caption, proc.x, proc.state, proc.scrollColor),
              std::make_tuple(QString("Procedures"), -1, 1, qint64(0xC0C0C0)));
    EXPECT_EQ(h.config, QStringList({"BrowseButtons()", "CreateButton(`b',`&B',`Back()')"}));
    ASSERT_EQ(h.aliases.size(), 1u);
    QStringList lines;
    for (const Hc::Message& m : messages.all())
        lines << m.line();
    EXPECT_EQ(lines,
              QStringList({"HC1003: Warning: book.hpj : Unknown option FROBNICATE ignored",
                           "HC1007: Error: book.hpj : Cannot open the included file "
                           "'gone.lst'",
                           "HC1005: Warning: book.hpj : Map line cannot be read: bad line here",
                           "HC1004: Warning: book.hpj : Window definition cannot be read: "
                           "broken",
                           "HC1002: Warning: book.hpj : Unknown section [BAGGAGE] ignored"}));
    // Compression is off only when the value says so.
    for (const char* off : {"0", "false", "NO", "none"}) {
        Hc::Messages m;
        EXPECT_FALSE(Hc::ParseHpj(QByteArray("[OPTIONS]\nCOMPRESS=") + off, "x", {}, m).compress);
    }
    for (const char* on : {"1", "true", "high", "low", "medium"}) {
        Hc::Messages m;
        EXPECT_TRUE(Hc::ParseHpj(QByteArray("[OPTIONS]\nCOMPRESS=") + on, "x", {}, m).compress);
    }
}
