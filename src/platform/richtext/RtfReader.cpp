#include "RtfReader.h"

#include "Cp1252.h"
#include "RtfTables.h"

#include <QHash>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <vector>

namespace {

// Deeper groups than this share the state of the deepest one: real documents
// nest a dozen levels, and the stack must stay small for hostile input.
constexpr size_t kMaxDepth = 1024;
constexpr int kMaxWordLength = 32;
constexpr int kMaxIndentTwips = 31680; // 22 inches, the largest page Word knows

using CharState = Rtf::CharProps; // font -1 is the default font (\deff)
using ParaState = Rtf::ParaProps;
using Rtf::Align;

enum class Dest { Text, FontTable, ColorTable, Skip };

struct Group {
    CharState chr;
    ParaState para;
    Dest dest = Dest::Text;
    int uc = 1;           // fallback characters after \uN
    bool starred = false; // \* seen: an unknown destination word is skipped
};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int clampIndent(int twips) {
    return std::clamp(twips, -kMaxIndentTwips, kMaxIndentTwips);
}

class Parser : public RtfFormats {
public:
    Parser(const QByteArray& data, RtfContent& out)
        : p_(data.constData()), end_(data.constData() + data.size()), out_(out) {
        stack_.emplace_back();
    }

    // Reads a document that starts with "{\rtf".
    void run();
    const RtfTables& tables() const { return tables_; }

private:
    // Input.
    const char* p_;
    const char* end_;

    // Groups.
    std::vector<Group> stack_;
    size_t overflow_ = 0; // groups opened beyond kMaxDepth
    bool finished_ = false;
    Group& top() { return stack_.back(); }

    // Output.
    RtfContent& out_;
    QByteArray bytes_; // undecoded text bytes of the current destination
    QString run_;      // decoded text waiting to be inserted in runState_
    CharState runState_;
    CharState formatState_;
    QTextCharFormat format_; // formatState_ as a QTextCharFormat
    bool formatValid_ = false;
    bool lastWasPar_ = false;
    int skipChars_ = 0; // \uN fallback characters still to drop

    // Code page of \'hh and of 8-bit text: the font's character set when it
    // names one, else the document's (Windows-1252 unless \ansicpg says otherwise).
    int codePage_ = 1252;
    std::map<int, QStringDecoder> decoders_; // per code page; invalid when unknown
    QHash<int, int> fontCodePages_;          // font number -> code page of its \fcharset

    // Tables.
    RtfTables tables_;
    QHash<int, QString> fontNames_; // font number -> name
    int deff_ = 0;
    int fontNumber_ = -1;
    RtfFont font_;
    bool fontPending_ = false;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    void push();
    bool pop();
    void controlWord();
    void controlSymbol(char c);
    void word(const char* w, int len, bool hasParam, int param);
    bool destinationWord(const char* w, int len);
    void textSpan();

    void addByte(char b);
    void flushBytes();
    QString decode(const QByteArray& bytes, int codePage);
    QStringDecoder& decoder(int codePage);
    void appendText(const QString& text);
    void appendChar(QChar c) {
        flushBytes();
        appendText(QString(c));
    }
    void flushRun();
    const QTextCharFormat& charFormat(const CharState& s) override;
    void endParagraph();
    void finishDocument();
    void commitFont();
    void commitColor();
    void setCodePage(int codePage);

    // The font that text in font number `font` shows in: that font, else the
    // default font, else the table's first entry (which the writer makes \f0).
    static constexpr int kFirstFont = INT_MIN;
    int knownFont(int font) const {
        if (fontNames_.contains(font)) return font;
        if (fontNames_.contains(deff_)) return deff_;
        return kFirstFont;
    }
};

void Parser::run() {
    while (p_ < end_ && !finished_) {
        const char c = *p_;
        if (c == '{') {
            ++p_;
            flushBytes();
            push();
        } else if (c == '}') {
            ++p_;
            flushBytes();
            if (!pop()) break;
        } else if (c == '\\') {
            ++p_;
            if (p_ >= end_) break;
            if (isLetter(*p_))
                controlWord();
            else
                controlSymbol(*p_++);
        } else if (c == '\r' || c == '\n') {
            ++p_;
        } else {
            textSpan();
        }
    }
    if (!finished_) finishDocument(); // truncated: keep what was read
}

void Parser::push() {
    skipChars_ = 0;
    if (stack_.size() >= kMaxDepth) {
        ++overflow_;
        return;
    }
    stack_.push_back(stack_.back());
    top().starred = false;
}

// Returns false once the document's outermost group has closed.
bool Parser::pop() {
    skipChars_ = 0;
    if (overflow_ > 0) {
        --overflow_;
        return true;
    }
    if (top().dest == Dest::FontTable) commitFont(); // an entry without its ';'
    if (stack_.size() <= 2) {
        finishDocument();
        return false;
    }
    const Dest inner = top().dest;
    stack_.pop_back();
    if (inner == Dest::FontTable && top().dest != Dest::FontTable) fontNumber_ = -1;
    return true;
}

void Parser::textSpan() {
    const Dest dest = top().dest;
    while (p_ < end_) {
        const char c = *p_;
        if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n') return;
        ++p_;
        if (dest == Dest::Skip) continue;
        if (skipChars_ > 0) {
            --skipChars_;
            continue;
        }
        if (dest == Dest::ColorTable) {
            if (c == ';') commitColor();
            continue;
        }
        if (dest == Dest::FontTable && c == ';') {
            commitFont();
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') continue; // not text
        bytes_.append(c);
    }
}

void Parser::controlWord() {
    char w[kMaxWordLength + 1];
    int len = 0;
    while (p_ < end_ && isLetter(*p_)) {
        if (len < kMaxWordLength) w[len++] = *p_;
        ++p_;
    }
    w[len] = 0;
    bool negative = false;
    if (p_ + 1 < end_ && *p_ == '-' && isDigit(p_[1])) {
        negative = true;
        ++p_;
    }
    bool hasParam = false;
    long long value = 0;
    while (p_ < end_ && isDigit(*p_)) {
        hasParam = true;
        if (value < 0x7fffffff) value = value * 10 + (*p_ - '0');
        ++p_;
    }
    value = std::min<long long>(value, 0x7fffffff);
    if (p_ < end_ && *p_ == ' ') ++p_;
    const int param = int(negative ? -value : value);

    // \bin's data follows directly and is skipped in every destination.
    if (len == 3 && std::memcmp(w, "bin", 3) == 0) {
        flushBytes();
        p_ += std::clamp<qsizetype>(param, 0, end_ - p_);
        return;
    }
    if (top().dest == Dest::Skip) return;
    flushBytes();
    word(w, len, hasParam, param);
    top().starred = false;
}

void Parser::controlSymbol(char c) {
    const Dest dest = top().dest;
    switch (c) {
    case '\'': {
        const int hi = p_ < end_ ? hexValue(*p_) : -1;
        if (hi < 0) return; // a truncated escape stands for nothing
        ++p_;
        const int lo = p_ < end_ ? hexValue(*p_) : -1;
        if (lo < 0 || dest == Dest::Skip) return;
        ++p_;
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        addByte(char(hi * 16 + lo));
        return;
    }
    case '{':
    case '}':
    case '\\':
        if (dest == Dest::Skip) return;
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        // Always these characters: some code pages put other signs on their bytes.
        flushBytes();
        if (dest == Dest::FontTable)
            font_.name += QLatin1Char(c);
        else if (dest == Dest::Text)
            appendText(QString(QLatin1Char(c)));
        return;
    case '*':
        top().starred = true;
        return;
    default:
        break;
    }
    if (dest != Dest::Text) return;
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    switch (c) {
    case '~':
        appendChar(QChar(0x00A0));
        break;
    case '-':
        appendChar(QChar(0x00AD));
        break;
    case '_':
        appendChar(QChar(0x2011));
        break;
    case '\r':
    case '\n':
        endParagraph();
        break; // a backslash before a line end is \par
    default:
        break; // \| \: and the like show nothing
    }
}

void Parser::word(const char* w, int len, bool hasParam, int param) {
    auto is = [&](const char* name) { return std::strcmp(w, name) == 0; };
    Group& g = top();
    const bool on = !hasParam || param != 0;

    if (destinationWord(w, len)) return;
    if (g.starred) { // an ignorable destination we do not know
        g.dest = Dest::Skip;
        return;
    }

    if (g.dest == Dest::FontTable) {
        if (is("f")) {
            commitFont();
            fontNumber_ = param;
            font_ = RtfFont();
            fontPending_ = true;
        } else if (len > 1 && w[0] == 'f' && !hasParam &&
                   (is("fnil") || is("froman") || is("fswiss") || is("fmodern") || is("fscript") ||
                    is("fdecor") || is("ftech") || is("fbidi"))) {
            font_.family = QString::fromLatin1(w);
        } else if (is("fcharset")) {
            font_.charset = param;
        } else if (is("u") && hasParam) {
            font_.name += QChar(char16_t(param < 0 ? param + 65536 : param));
            skipChars_ = g.uc;
        }
        return;
    }
    if (g.dest == Dest::ColorTable) {
        const int v = std::clamp(param, 0, 255);
        if (is("red"))
            red_ = v, colorSet_ = true;
        else if (is("green"))
            green_ = v, colorSet_ = true;
        else if (is("blue"))
            blue_ = v, colorSet_ = true;
        return;
    }

    // Text destination.
    CharState& ch = g.chr;
    ParaState& pa = g.para;
    switch (w[0]) {
    case 'a':
        if (is("ansicpg")) setCodePage(param);
        return;
    case 'b':
        if (is("b"))
            ch.bold = on;
        else if (is("bullet"))
            appendChar(QChar(0x2022));
        return;
    case 'c':
        if (is("cf"))
            ch.color = std::max(param, 0);
        else if (is("cell"))
            appendChar(QLatin1Char('\t'));
        return;
    case 'd':
        if (is("deff")) deff_ = param;
        return;
    case 'e':
        if (is("emdash"))
            appendChar(QChar(0x2014));
        else if (is("endash"))
            appendChar(QChar(0x2013));
        else if (is("emspace"))
            appendChar(QChar(0x2003));
        else if (is("enspace"))
            appendChar(QChar(0x2002));
        return;
    case 'f':
        if (is("f"))
            ch.font = param;
        else if (is("fs"))
            ch.halfPoints = param > 0 ? std::min(param, 3276) : 24;
        else if (is("fi"))
            pa.firstIndent = clampIndent(param);
        return;
    case 'i':
        if (is("i")) ch.italic = on;
        return;
    case 'l':
        if (is("line"))
            appendChar(QChar::LineSeparator);
        else if (is("li") || is("lin"))
            pa.leftIndent = clampIndent(param);
        else if (is("ldblquote"))
            appendChar(QChar(0x201C));
        else if (is("lquote"))
            appendChar(QChar(0x2018));
        else if (is("ls") && param > 0)
            pa.bullet = true; // Word's list reference
        return;
    case 'm':
        if (is("mac")) setCodePage(10000);
        return;
    case 'n':
        if (is("nestcell")) appendChar(QLatin1Char('\t'));
        return;
    case 'p':
        if (is("par"))
            endParagraph();
        else if (is("pard"))
            pa = ParaState();
        else if (is("plain"))
            ch = CharState();
        else if (is("pc"))
            setCodePage(437);
        else if (is("pca"))
            setCodePage(850);
        return;
    case 'q':
        if (is("ql"))
            pa.align = Align::Left;
        else if (is("qc"))
            pa.align = Align::Center;
        else if (is("qr"))
            pa.align = Align::Right;
        else if (is("qj") || is("qd"))
            pa.align = Align::Justify;
        else if (is("qmspace"))
            appendChar(QChar(0x2005));
        return;
    case 'r':
        if (is("ri") || is("rin"))
            pa.rightIndent = clampIndent(param);
        else if (is("rdblquote"))
            appendChar(QChar(0x201D));
        else if (is("rquote"))
            appendChar(QChar(0x2019));
        else if (is("row"))
            endParagraph();
        return;
    case 's':
        if (is("strike") || is("striked")) ch.strike = on;
        return;
    case 't':
        if (is("tab")) appendChar(QLatin1Char('\t'));
        return;
    case 'u':
        if (is("u") && hasParam) {
            const int code = param < 0 ? param + 65536 : param;
            if (code >= 0 && code <= 0xFFFF) appendChar(QChar(char16_t(code)));
            skipChars_ = g.uc;
        } else if (is("uc")) {
            g.uc = std::clamp(param, 0, 16);
        } else if (is("ulnone")) {
            ch.underline = false;
        } else if (is("ulc")) {
            // underline colour: not kept
        } else if (len >= 2 && w[1] == 'l' && w[0] == 'u') { // \ul and its kinds
            ch.underline = on;
        }
        return;
    case 'v':
        if (is("v")) ch.hidden = on;
        return;
    default:
        return;
    }
}

// Words that open a destination: tables we read, groups we skip, bullets.
bool Parser::destinationWord(const char* w, int len) {
    // Sorted, for a binary search: every control word of a document comes here.
    static const char* const kSkipped[] = {
        "annotation", "colorschememapping", "datastore",         "filetbl",   "fldinst",
        "footer",     "footerf",            "footerl",           "footerr",   "footnote",
        "generator",  "header",             "headerf",           "headerl",   "headerr",
        "info",       "latentstyles",       "listoverridetable", "listtable", "listtext",
        "nonshppict", "pict",               "pntext",            "revtbl",    "rsidtbl",
        "rxe",        "stylesheet",         "tc",                "themedata", "txe",
        "xe"};
    Group& g = top();
    if (std::strcmp(w, "fonttbl") == 0) {
        g.dest = Dest::FontTable;
        fontNumber_ = -1;
        return true;
    }
    if (std::strcmp(w, "colortbl") == 0) {
        g.dest = Dest::ColorTable;
        colorSet_ = false;
        return true;
    }
    if (std::strcmp(w, "pn") == 0) {
        // The old bullet description: it marks the enclosing paragraph.
        if (stack_.size() >= 2 && overflow_ == 0) stack_[stack_.size() - 2].para.bullet = true;
        g.dest = Dest::Skip;
        return true;
    }
    if (len < 2 || len > 18) return false;
    const auto less = [](const char* a, const char* b) { return std::strcmp(a, b) < 0; };
    if (std::binary_search(std::begin(kSkipped), std::end(kSkipped), w, less)) {
        g.dest = Dest::Skip;
        return true;
    }
    return false;
}

void Parser::addByte(char b) {
    if (top().dest == Dest::Text || top().dest == Dest::FontTable) bytes_.append(b);
}

// The name of a Windows code page for QStringDecoder.
QByteArray codePageName(int codePage) {
    switch (codePage) {
    case 437:
    case 850:
        return "IBM" + QByteArray::number(codePage);
    case 932:
    case 936:
    case 949:
    case 950:
        return "cp" + QByteArray::number(codePage);
    case 10000:
        return "macintosh";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

QStringDecoder& Parser::decoder(int codePage) {
    auto it = decoders_.find(codePage);
    if (it == decoders_.end())
        it = decoders_.emplace(codePage, QStringDecoder(codePageName(codePage).constData())).first;
    return it->second;
}

QString Parser::decode(const QByteArray& bytes, int codePage) {
    if (codePage != 1252) {
        QStringDecoder& d = decoder(codePage);
        if (d.isValid()) {
            d.resetState();
            return d.decode(bytes);
        }
    }
    return Cp1252::decode(bytes); // also for code pages we cannot decode
}

void Parser::flushBytes() {
    if (bytes_.isEmpty()) return;
    int codePage = codePage_;
    if (top().dest == Dest::FontTable) {
        if (const int cp = Rtf::charsetCodePage(font_.charset)) codePage = cp;
    } else {
        const int font = knownFont(top().chr.font);
        const int cp = font == kFirstFont ? Rtf::charsetCodePage(tables_.fonts.value(0).charset)
                                          : fontCodePages_.value(font);
        if (cp) codePage = cp;
    }
    const QString text = decode(bytes_, codePage);
    bytes_.clear();
    if (top().dest == Dest::FontTable)
        font_.name += text;
    else if (top().dest == Dest::Text)
        appendText(text);
}

void Parser::appendText(const QString& text) {
    if (text.isEmpty()) return;
    if (!run_.isEmpty() && !(runState_ == top().chr)) flushRun();
    runState_ = top().chr;
    run_ += text;
    lastWasPar_ = false;
}

void Parser::flushRun() {
    // The object placeholder would stand for an object that is not there.
    run_.remove(QChar::ObjectReplacementCharacter);
    if (run_.isEmpty()) return;
    out_.text(run_, runState_, *this);
    run_.clear();
}

const QTextCharFormat& Parser::charFormat(const CharState& s) {
    if (formatValid_ && formatState_ == s) return format_;
    QTextCharFormat f;
    const int font = knownFont(s.font);
    const QString name = font == kFirstFont ? tables_.fonts.value(0).name : fontNames_.value(font);
    if (!name.isEmpty()) f.setFontFamilies(QStringList{name});
    f.setFontPointSize(s.halfPoints / 2.0);
    const QColor color = tables_.colors.value(s.color);
    if (color.isValid()) f.setForeground(color);
    if (s.bold) f.setFontWeight(QFont::Bold);
    if (s.italic) f.setFontItalic(true);
    if (s.underline) f.setFontUnderline(true);
    if (s.strike) f.setFontStrikeOut(true);
    if (s.hidden) f.setProperty(Rtf::kHiddenProperty, true);
    format_ = f;
    formatState_ = s;
    formatValid_ = true;
    return format_;
}

void Parser::endParagraph() {
    flushBytes();
    flushRun();
    out_.paragraph(top().para);
    lastWasPar_ = true;
}

void Parser::finishDocument() {
    finished_ = true;
    flushBytes();
    flushRun();
    out_.end(top().para, lastWasPar_);
}

void Parser::commitFont() {
    if (!fontPending_) return;
    flushBytes();
    fontPending_ = false;
    formatValid_ = false;
    font_.name = font_.name.trimmed();
    tables_.fonts.append(font_);
    if (!fontNames_.contains(fontNumber_)) {
        fontNames_.insert(fontNumber_, font_.name);
        if (const int cp = Rtf::charsetCodePage(font_.charset))
            fontCodePages_.insert(fontNumber_, cp);
    }
    // The writer renumbers from 0 with the default font first.
    if (fontNumber_ == deff_ && tables_.fonts.size() > 1)
        tables_.fonts.move(tables_.fonts.size() - 1, 0);
    font_ = RtfFont();
}

void Parser::commitColor() {
    formatValid_ = false;
    tables_.colors.append(colorSet_ ? QColor(red_, green_, blue_) : QColor());
    red_ = green_ = blue_ = 0;
    colorSet_ = false;
}

void Parser::setCodePage(int codePage) {
    if (codePage > 0 && decoder(codePage).isValid()) codePage_ = codePage;
}

// Builds a QTextDocument; bullet paragraphs that follow each other share one list.
class DocumentContent : public RtfContent {
public:
    explicit DocumentContent(QTextDocument& doc) : doc_(doc), cursor_(&doc) {}

    void text(const QString& text, const Rtf::CharProps& props, RtfFormats& formats) override {
        cursor_.insertText(text, formats.charFormat(props));
    }
    void paragraph(const Rtf::ParaProps& props) override {
        applyBlockFormat(props);
        cursor_.insertBlock();
    }
    void end(const Rtf::ParaProps& props, bool endedWithPar) override {
        // The rich-edit control keeps a final paragraph mark of its own, so a last
        // \par with nothing after it ends the last paragraph instead of opening one.
        if (endedWithPar && doc_.blockCount() > 1)
            cursor_.deletePreviousChar();
        else
            applyBlockFormat(props);
    }
    void plainText(const QString& text) { cursor_.insertText(text); }

private:
    void applyBlockFormat(const Rtf::ParaProps& ps) {
        QTextBlockFormat bf = Rtf::blockFormat(ps);
        const bool joinList = ps.bullet && list_ && lastInList_;
        if (joinList) bf.setObjectIndex(list_->objectIndex());
        if (cursor_.blockFormat() != bf) cursor_.setBlockFormat(bf);
        if (ps.bullet && !joinList) {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            lf.setIndent(0); // the paragraph's own left indent places it
            list_ = cursor_.createList(lf);
        }
        lastInList_ = ps.bullet;
    }

    QTextDocument& doc_;
    QTextCursor cursor_;
    QTextList* list_ = nullptr;
    bool lastInList_ = false;
};

bool isRtf(const QByteArray& rtf) {
    return rtf.size() >= 5 && std::memcmp(rtf.constData(), "{\\rtf", 5) == 0;
}

} // namespace

void RtfReader::read(const QByteArray& rtf, QTextDocument& doc) {
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    // One edit block: the layout and the listeners hear of the new content
    // once, instead of after every insertion (which made loading quadratic).
    QTextCursor block(&doc);
    block.beginEditBlock();
    DocumentContent content(doc);
    // Only "{\rtf" starts an RTF document; anything else is plain text.
    if (isRtf(rtf)) {
        Parser parser(rtf, content);
        parser.run();
        setRtfTables(doc, parser.tables());
    } else {
        content.plainText(Cp1252::decode(rtf));
        setRtfTables(doc, RtfTables()); // none: the previous document's must not stay
    }
    block.endEditBlock();
    doc.setUndoRedoEnabled(undo);
}

void RtfReader::read(const QByteArray& rtf, RtfContent& content) {
    if (isRtf(rtf)) {
        Parser(rtf, content).run();
        return;
    }
    // Plain text: its lines are paragraphs in the default look.
    const QString text = Cp1252::decode(rtf);
    const Rtf::CharProps props;
    struct : RtfFormats {
        QTextCharFormat plain;
        const QTextCharFormat& charFormat(const Rtf::CharProps&) override { return plain; }
    } formats;
    const Rtf::ParaProps para;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n' && text[i] != u'\r') continue;
        if (i > start) content.text(text.mid(start, i - start), props, formats);
        if (i == text.size()) break;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        content.paragraph(para);
        start = i + 1;
    }
    content.end(para, false);
}
