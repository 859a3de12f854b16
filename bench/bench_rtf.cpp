// RTF reading and writing against Qt's own HTML import and export of the same
// document, at 1 MB and 2 MB of RTF to show that both grow linearly.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// A topic like the generated ones: a title, headings, body text with links and
// codes, declarations, bullets and accented words.
void fill(QTextDocument& doc, qsizetype rtfBytes) {
    QTextCursor c(&doc);
    QTextCharFormat body, link, code, heading, decl;
    body.setFontFamilies({"Arial"});
    body.setFontPointSize(10);
    link = body;
    link.setForeground(QColor(0, 128, 0));
    link.setFontStrikeOut(true);
    code = body;
    code.setForeground(QColor(128, 0, 0));
    heading = body;
    heading.setFontWeight(QFont::Bold);
    decl = body;
    decl.setFontFamilies({"Courier New"});
    QTextBlockFormat plain, centred, indented;
    centred.setAlignment(Qt::AlignHCenter);
    indented.setLeftMargin(20);
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    bullets.setIndent(0);

    c.insertText("Topic title", heading);
    c.insertText("{keepn}", code);
    // One round of 50 sections tells how many rounds make the size.
    int rounds = 1;
    for (int round = 0, i = 0; round < rounds; ++round) {
        for (int k = 0; k < 50; ++k, ++i) {
            c.insertBlock(i % 7 == 0 ? centred : plain, body);
            c.insertText(QStringLiteral("Section %1").arg(i), heading);
            c.insertBlock(plain, body);
            c.insertText(QString::fromUtf8("The procedure reads the café's entries and calls "),
                         body);
            c.insertText(QStringLiteral("TParser.Next"), link);
            c.insertText(QStringLiteral("{HRef=%1}").arg(i), code);
            c.insertText(QStringLiteral(" before it writes the result; see also "), body);
            c.insertText(QStringLiteral("Example"), link);
            c.insertText(QStringLiteral("{HRef=%1>proc}").arg(i + 1), code);
            c.insertText(QStringLiteral(".\tNext column."), body);
            c.insertBlock(indented, decl);
            c.insertText(QStringLiteral("procedure Next(var Token: TToken; Count: Integer);"),
                         decl);
            c.insertBlock(plain, body);
            c.insertText(QStringLiteral("first point"), body);
            c.createList(bullets);
            c.insertBlock();
            c.insertText(QStringLiteral("second point {bmc pic.bmp}"), body);
        }
        if (round == 0)
            rounds = int(std::max<qsizetype>(1, rtfBytes / RtfWriter::write(doc).size()));
    }
}

double best(const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

struct Times {
    double rtfRead, htmlRead, rtfWrite, htmlWrite;
};

Times measure(qsizetype bytes) {
    QTextDocument source;
    fill(source, bytes);
    const QByteArray rtf = RtfWriter::write(source);
    const QString html = source.toHtml();
    Times t{};
    t.rtfRead = best([&] {
        QTextDocument doc;
        RtfReader::read(rtf, doc);
    });
    t.htmlRead = best([&] {
        QTextDocument doc;
        doc.setHtml(html);
    });
    QTextDocument loaded;
    RtfReader::read(rtf, loaded);
    t.rtfWrite = best([&] { (void)RtfWriter::write(loaded); });
    t.htmlWrite = best([&] { (void)loaded.toHtml(); });
    std::printf("%6.2f MB RTF (%d paragraphs, HTML %.2f MB)\n", rtf.size() / 1048576.0,
                loaded.blockCount(), html.toUtf8().size() / 1048576.0);
    std::printf("  read : RTF %8.1f ms   setHtml %8.1f ms   ratio %.2f\n", t.rtfRead, t.htmlRead,
                t.rtfRead / t.htmlRead);
    std::printf("  write: RTF %8.1f ms   toHtml  %8.1f ms   ratio %.2f\n", t.rtfWrite, t.htmlWrite,
                t.rtfWrite / t.htmlWrite);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const Times one = measure(1 << 20);
    const Times two = measure(2 << 20);
    std::printf("2 MB / 1 MB: RTF read %.2f, RTF write %.2f (2.00 is linear; setHtml %.2f, "
                "toHtml %.2f)\n",
                two.rtfRead / one.rtfRead, two.rtfWrite / one.rtfWrite, two.htmlRead / one.htmlRead,
                two.htmlWrite / one.htmlWrite);
    return 0;
}
