#include "RtfWriter.h"

#include "Cp1252.h"
#include "RtfTables.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <cmath>

namespace {

// A line is broken before the next control word once it is this long.
constexpr qsizetype kLineLength = 200;

using Rtf::Align;
using Rtf::CharProps;
using Rtf::ParaProps;

void appendHex(QByteArray& out, int byte) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\'";
    out += kHex[(byte >> 4) & 15];
    out += kHex[byte & 15];
}

// A character that is not plain 7-bit text: \'XX when Windows-1252 has it, \uN?
// otherwise. Text in a font of another character set is read in that set's
// code page, so it gets \uN? always.
void appendEscapedChar(QByteArray& out, QChar c, bool ansi = true) {
    const int byte = ansi ? Cp1252::byteFor(c) : -1;
    if (byte >= 0 && byte <= 0xFF) {
        appendHex(out, byte);
        return;
    }
    int code = c.unicode();
    if (code > 32767) code -= 65536;
    out += "\\u";
    out += QByteArray::number(code);
    out += '?';
}

bool isAnsi(const RtfFont& font) {
    const int codePage = Rtf::charsetCodePage(font.charset);
    return codePage == 0 || codePage == 1252;
}

class Writer {
public:
    explicit Writer(const QTextDocument& doc);
    QByteArray run();

private:
    const QTextDocument& doc_;
    QByteArray out_; // the body; the header is put before it at the end
    qsizetype lineStart_ = 0;
    bool needDelimiter_ = false; // the last thing written was a control word
    int codeDepth_ = 0;          // open braces in the text: inside a code like {HRef=12}

    QList<RtfFont> fonts_;
    QHash<QString, int> fontIndex_; // lower-case name -> first entry
    QList<QColor> colors_;
    QHash<QRgb, int> colorIndex_;
    int defaultHalfPoints_ = 24;
    int textFont_ = 0; // font of the text being written
    int symbolFont_ = -1;

    int fontFor(const QString& family);
    int colorFor(const QColor& color);
    int symbolFont();
    CharProps charProps(const QTextCharFormat& f);
    static ParaProps paraProps(const QTextBlock& block);

    void word(const char* w);
    void word(const char* w, int n);
    void raw(const QByteArray& text);
    void newLine();
    void text(const QString& s);
    void charDiff(const CharProps& from, const CharProps& to);
    void paragraph(const ParaProps& p);
    QByteArray header() const;
};

Writer::Writer(const QTextDocument& doc) : doc_(doc) {
    const RtfTables tables = rtfTables(doc);
    for (const RtfFont& f : tables.fonts) {
        const QString key = f.name.toLower();
        if (!fontIndex_.contains(key)) fontIndex_.insert(key, int(fonts_.size()));
        fonts_.append(f);
    }
    if (fonts_.isEmpty()) fontFor(doc.defaultFont().family());

    colors_.append(QColor()); // auto
    for (qsizetype i = 0; i < tables.colors.size(); ++i) {
        const QColor& c = tables.colors[i];
        if (i == 0 && !c.isValid()) continue;
        colors_.append(c);
    }
    for (qsizetype i = colors_.size() - 1; i >= 1; --i)
        if (colors_[i].isValid()) colorIndex_.insert(colors_[i].rgb(), int(i));

    const double points = doc.defaultFont().pointSizeF();
    if (points > 0) defaultHalfPoints_ = int(std::lround(points * 2));
}

int Writer::fontFor(const QString& family) {
    const QString key = family.toLower();
    const auto it = fontIndex_.constFind(key);
    if (it != fontIndex_.cend()) return *it;
    fonts_.append(RtfFont{QStringLiteral("fnil"), -1, family});
    const int index = int(fonts_.size() - 1);
    fontIndex_.insert(key, index);
    return index;
}

int Writer::colorFor(const QColor& color) {
    const QRgb rgb = color.rgb();
    const auto it = colorIndex_.constFind(rgb);
    if (it != colorIndex_.cend()) return *it;
    colors_.append(QColor(rgb));
    const int index = int(colors_.size() - 1);
    colorIndex_.insert(rgb, index);
    return index;
}

// The bullet character \'B7 is the Symbol font's bullet.
int Writer::symbolFont() {
    if (symbolFont_ >= 0) return symbolFont_;
    const auto it = fontIndex_.constFind(QStringLiteral("symbol"));
    if (it != fontIndex_.cend()) return symbolFont_ = *it;
    fonts_.append(RtfFont{QStringLiteral("froman"), 2, QStringLiteral("Symbol")});
    symbolFont_ = int(fonts_.size() - 1);
    fontIndex_.insert(QStringLiteral("symbol"), symbolFont_);
    return symbolFont_;
}

CharProps Writer::charProps(const QTextCharFormat& f) {
    CharProps p;
    const QString family = Rtf::familyOf(f);
    p.font = family.isEmpty() ? 0 : fontFor(family);
    p.halfPoints = f.hasProperty(QTextFormat::FontPointSize)
                       ? std::max(1, int(std::lround(f.fontPointSize() * 2)))
                       : defaultHalfPoints_;
    if (f.hasProperty(QTextFormat::ForegroundBrush)) {
        const QBrush brush = f.foreground();
        if (brush.style() != Qt::NoBrush) p.color = colorFor(brush.color());
    }
    p.bold = f.fontWeight() >= QFont::DemiBold;
    p.italic = f.fontItalic();
    p.underline = f.fontUnderline();
    p.strike = f.fontStrikeOut();
    p.hidden = f.boolProperty(Rtf::kHiddenProperty);
    return p;
}

ParaProps Writer::paraProps(const QTextBlock& block) {
    const QTextBlockFormat f = block.blockFormat();
    ParaProps p;
    const Qt::Alignment a = f.alignment();
    if (a & Qt::AlignHCenter)
        p.align = Align::Center;
    else if (a & Qt::AlignJustify)
        p.align = Align::Justify;
    else if (a & Qt::AlignRight)
        p.align = Align::Right;
    p.firstIndent = Rtf::pixelsToTwips(f.textIndent());
    p.leftIndent = Rtf::pixelsToTwips(f.leftMargin());
    p.rightIndent = Rtf::pixelsToTwips(f.rightMargin());
    p.bullet = block.textList() != nullptr;
    return p;
}

void Writer::newLine() {
    out_ += "\r\n";
    lineStart_ = out_.size();
    needDelimiter_ = false;
}

void Writer::word(const char* w) {
    if (codeDepth_ == 0 && out_.size() - lineStart_ >= kLineLength) newLine();
    out_ += '\\';
    out_ += w;
    needDelimiter_ = true;
}

void Writer::word(const char* w, int n) {
    word(w);
    out_ += QByteArray::number(n);
}

void Writer::raw(const QByteArray& text) {
    out_ += text;
    needDelimiter_ = false;
}

void Writer::text(const QString& s) {
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7F && u != '\\' && u != '{' && u != '}') {
            if (needDelimiter_) {
                out_ += ' ';
                needDelimiter_ = false;
            }
            out_ += char(u);
            continue;
        }
        switch (u) {
        case '\\':
            raw("\\\\");
            break;
        case '{':
            raw("\\{");
            ++codeDepth_;
            break;
        case '}':
            raw("\\}");
            if (codeDepth_ > 0) --codeDepth_;
            break;
        case '\t':
            word("tab");
            break;
        case QChar::LineSeparator:
            word("line");
            break;
        case 0x00A0:
            raw("\\~");
            break;
        case 0x00AD:
            raw("\\-");
            break;
        case 0x2011:
            raw("\\_");
            break;
        case QChar::ObjectReplacementCharacter:
            break; // images are not kept
        default:
            appendEscapedChar(out_, c, isAnsi(fonts_[textFont_])); // controls and 8-bit
            needDelimiter_ = false;
            break;
        }
    }
}

void Writer::charDiff(const CharProps& from, const CharProps& to) {
    if (from.font != to.font) word("f", to.font);
    if (from.halfPoints != to.halfPoints) word("fs", to.halfPoints);
    if (from.color != to.color) word("cf", to.color);
    if (from.bold != to.bold) to.bold ? word("b") : word("b", 0);
    if (from.italic != to.italic) to.italic ? word("i") : word("i", 0);
    if (from.underline != to.underline) to.underline ? word("ul") : word("ulnone");
    if (from.strike != to.strike) to.strike ? word("strike") : word("strike", 0);
    if (from.hidden != to.hidden) to.hidden ? word("v") : word("v", 0);
}

void Writer::paragraph(const ParaProps& p) {
    word("pard");
    switch (p.align) {
    case Align::Left:
        break;
    case Align::Center:
        word("qc");
        break;
    case Align::Right:
        word("qr");
        break;
    case Align::Justify:
        word("qj");
        break;
    }
    if (p.firstIndent) word("fi", p.firstIndent);
    if (p.leftIndent) word("li", p.leftIndent);
    if (p.rightIndent) word("ri", p.rightIndent);
    if (p.bullet)
        raw("{\\*\\pn\\pnlvlblt\\pnf" + QByteArray::number(symbolFont()) +
            "\\pnindent0{\\pntxtb\\'B7}}");
}

QByteArray Writer::run() {
    CharProps current; // RTF's defaults: \deff0, 12 points, auto colour
    current.font = 0;
    ParaProps previous;
    bool first = true;
    for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
        const ParaProps para = paraProps(block);
        if (first || !(para == previous)) paragraph(para);
        if (para.bullet) raw("{\\pntext\\f" + QByteArray::number(symbolFont()) + "\\'B7\\tab}");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            const CharProps props = charProps(fragment.charFormat());
            charDiff(current, props);
            current = props;
            textFont_ = props.font;
            text(fragment.text());
        }
        if (codeDepth_ == 0) newLine();
        word("par");
        codeDepth_ = 0; // a code does not run on past its paragraph
        previous = para;
        first = false;
    }
    raw("}");
    return header() + out_;
}

QByteArray Writer::header() const {
    QByteArray h = "{\\rtf1\\ansi\\deff0{\\fonttbl";
    for (qsizetype i = 0; i < fonts_.size(); ++i) {
        const RtfFont& f = fonts_[i];
        h += "{\\f" + QByteArray::number(i) + '\\' +
             (f.family.isEmpty() ? QByteArray("fnil") : f.family.toLatin1());
        if (f.charset >= 0) h += "\\fcharset" + QByteArray::number(f.charset);
        h += ' ';
        for (const QChar c : f.name) {
            const char16_t u = c.unicode();
            if (u >= 0x20 && u < 0x7F && u != '\\' && u != '{' && u != '}' && u != ';')
                h += char(u);
            else
                appendEscapedChar(h, c, isAnsi(f));
        }
        h += ";}";
    }
    h += "}\r\n{\\colortbl;";
    for (qsizetype i = 1; i < colors_.size(); ++i) {
        const QColor& c = colors_[i];
        if (c.isValid())
            h += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) +
                 "\\blue" + QByteArray::number(c.blue());
        h += ';';
    }
    h += "}\r\n";
    return h;
}

} // namespace

QByteArray RtfWriter::write(const QTextDocument& doc) {
    return Writer(doc).run();
}
