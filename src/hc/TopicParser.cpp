#include "TopicParser.h"

#include "Cp1252.h"

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace Hc {

// ------------------------------------------------------------------ fonts

FontTable::FontTable(std::vector<Hlp::Font>& fonts) : fonts_(fonts) {
    if (fonts_.empty()) fonts_.emplace_back();
    // Fonts already there (a caller's) get keys no lookup can produce.
    for (std::size_t i = 0; i < fonts_.size(); ++i)
        keys_.push_back(~quint64(0) - i);
}

int FontTable::face(const QString& name, quint8 family, quint8 charset) {
    const QString key = name + QChar(0) + QChar(family) + QChar(charset);
    const auto it = faceIndex_.constFind(key);
    if (it != faceIndex_.cend()) return *it;
    faces_.push_back({name, family, charset});
    const int index = int(faces_.size() - 1);
    faceIndex_.insert(key, index);
    return index;
}

int FontTable::font(int face, int halfPoints, unsigned flags, quint32 color) {
    halfPoints = std::clamp(halfPoints, 1, 4095);
    const quint64 key = quint64(face & 0xFFFF) | quint64(halfPoints) << 16 |
                        quint64(flags & 0x7F) << 28 | quint64(color & 0xFFFFFF) << 35;
    const auto it = fontIndex_.constFind(key);
    if (it != fontIndex_.cend()) return *it;
    Hlp::Font f;
    const Face& fc = faces_[std::size_t(face)];
    f.face = fc.name;
    f.family = fc.family;
    f.charset = fc.charset;
    f.halfPoints = halfPoints;
    f.bold = flags & Bold;
    f.italic = flags & Italic;
    f.underline = flags & Underline;
    f.strikeOut = flags & Strike;
    f.doubleUnderline = flags & DoubleUnderline;
    f.smallCaps = flags & SmallCaps;
    f.color = color;
    fonts_.push_back(f);
    keys_.push_back(key);
    const int index = int(fonts_.size() - 1);
    fontIndex_.insert(key, index);
    return index;
}

int FontTable::withoutHotspotLook(int font) {
    const quint64 key = keys_[std::size_t(font)];
    if (key >> 60) return font; // a caller's font
    const unsigned flags = unsigned(key >> 28 & 0x7F) & ~(Underline | Strike | DoubleUnderline);
    return this->font(int(key & 0xFFFF), int(key >> 16 & 0xFFF), flags,
                      quint32(key >> 35 & 0xFFFFFF));
}

// ------------------------------------------------------------------ reader

namespace {

enum class Cmd {
    None,
    // destinations
    Rtf,
    FontTbl,
    ColorTbl,
    Footnote,
    Skip,
    Star,
    Pntext,
    Field,
    Fldrslt,
    // font table
    F,
    FFamily,
    FCharset,
    Deff,
    // colour table
    Red,
    Green,
    Blue,
    // characters
    Plain,
    Fs,
    B,
    I,
    Ul,
    UlNone,
    UlDb,
    Strike,
    Scaps,
    V,
    Cf,
    // paragraphs
    Pard,
    Par,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    Sl,
    Ql,
    Qr,
    Qc,
    Qj,
    Tx,
    Tqr,
    Tqc,
    Keepn,
    Page,
    // special characters
    Tab,
    Line,
    Bullet,
    Endash,
    Emdash,
    Lquote,
    Rquote,
    Ldblquote,
    Rdblquote,
    U,
    Uc,
    Bin,
};

const std::unordered_map<std::string_view, Cmd>& commands() {
    static const std::unordered_map<std::string_view, Cmd> table = {
        {"rtf", Cmd::Rtf},
        {"fonttbl", Cmd::FontTbl},
        {"colortbl", Cmd::ColorTbl},
        {"footnote", Cmd::Footnote},
        {"pntext", Cmd::Pntext},
        {"field", Cmd::Field},
        {"fldrslt", Cmd::Fldrslt},
        {"stylesheet", Cmd::Skip},
        {"info", Cmd::Skip},
        {"pict", Cmd::Skip},
        {"object", Cmd::Skip},
        {"header", Cmd::Skip},
        {"footer", Cmd::Skip},
        {"headerl", Cmd::Skip},
        {"headerr", Cmd::Skip},
        {"headerf", Cmd::Skip},
        {"footerl", Cmd::Skip},
        {"footerr", Cmd::Skip},
        {"footerf", Cmd::Skip},
        {"fldinst", Cmd::Skip},
        {"xe", Cmd::Skip},
        {"tc", Cmd::Skip},
        {"pn", Cmd::Skip},
        {"listtable", Cmd::Skip},
        {"listoverridetable", Cmd::Skip},
        {"revtbl", Cmd::Skip},
        {"rsidtbl", Cmd::Skip},
        {"filetbl", Cmd::Skip},
        {"themedata", Cmd::Skip},
        {"colorschememapping", Cmd::Skip},
        {"latentstyles", Cmd::Skip},
        {"datastore", Cmd::Skip},
        {"f", Cmd::F},
        {"fnil", Cmd::FFamily},
        {"froman", Cmd::FFamily},
        {"fswiss", Cmd::FFamily},
        {"fmodern", Cmd::FFamily},
        {"fscript", Cmd::FFamily},
        {"fdecor", Cmd::FFamily},
        {"ftech", Cmd::FFamily},
        {"fbidi", Cmd::FFamily},
        {"fcharset", Cmd::FCharset},
        {"deff", Cmd::Deff},
        {"red", Cmd::Red},
        {"green", Cmd::Green},
        {"blue", Cmd::Blue},
        {"plain", Cmd::Plain},
        {"fs", Cmd::Fs},
        {"b", Cmd::B},
        {"i", Cmd::I},
        {"ul", Cmd::Ul},
        {"uld", Cmd::Ul},
        {"ulw", Cmd::Ul},
        {"ulth", Cmd::Ul},
        {"ulnone", Cmd::UlNone},
        {"uldb", Cmd::UlDb},
        {"strike", Cmd::Strike},
        {"striked", Cmd::Strike},
        {"scaps", Cmd::Scaps},
        {"v", Cmd::V},
        {"cf", Cmd::Cf},
        {"pard", Cmd::Pard},
        {"par", Cmd::Par},
        {"li", Cmd::Li},
        {"ri", Cmd::Ri},
        {"fi", Cmd::Fi},
        {"sb", Cmd::Sb},
        {"sa", Cmd::Sa},
        {"sl", Cmd::Sl},
        {"ql", Cmd::Ql},
        {"qr", Cmd::Qr},
        {"qc", Cmd::Qc},
        {"qj", Cmd::Qj},
        {"tx", Cmd::Tx},
        {"tb", Cmd::Tx},
        {"tqr", Cmd::Tqr},
        {"tqc", Cmd::Tqc},
        {"keepn", Cmd::Keepn},
        {"page", Cmd::Page},
        {"tab", Cmd::Tab},
        {"line", Cmd::Line},
        {"bullet", Cmd::Bullet},
        {"endash", Cmd::Endash},
        {"emdash", Cmd::Emdash},
        {"lquote", Cmd::Lquote},
        {"rquote", Cmd::Rquote},
        {"ldblquote", Cmd::Ldblquote},
        {"rdblquote", Cmd::Rdblquote},
        {"u", Cmd::U},
        {"uc", Cmd::Uc},
        {"bin", Cmd::Bin},
    };
    return table;
}

enum class Dest { Text, FontTable, ColorTable, Footnote };

struct CharFormat {
    int font = -1; // RTF font number; -1: the default font
    int halfPoints = 24;
    unsigned flags = 0;
    int color = 0; // colour table index; 0 is the automatic colour
    bool hidden = false;
    bool operator==(const CharFormat&) const = default;
};

struct Group {
    CharFormat format;
    Dest dest = Dest::Text;
    int uc = 1; // characters that follow \uN in place of it
};

struct FileFont {
    QString name;
    quint8 family = 0, charset = 0;
    int face = -1;
};

constexpr unsigned kHotspotLook =
    FontTable::Underline | FontTable::Strike | FontTable::DoubleUnderline;

std::array<char16_t, 256> makeCodePage() {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[std::size_t(b)] = Cp1252::charFor(uchar(b)).unicode();
    return table;
}

const std::array<char16_t, 256>& codePage() {
    static const std::array<char16_t, 256> table = makeCodePage();
    return table;
}

int hexValue(uchar c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isFootnoteMark(QChar c) {
    return QStringView(u"#$+>KA!*@").contains(c);
}

} // namespace

class TopicFileReader {
public:
    TopicFileReader(TopicParser& parser, const QByteArray& bytes, const QString& file)
        : parser_(parser), fonts_(parser.fonts_), b_(reinterpret_cast<const uchar*>(bytes.data())),
          n_(bytes.size()), file_(file) {
        groups_.reserve(32);
        groups_.push_back(Group());
        colors_.push_back(0);
    }

    int run();

private:
    TopicParser& parser_;
    FontTable& fonts_;
    const uchar* b_;
    qsizetype n_;
    qsizetype p_ = 0;
    QString file_;

    std::vector<Group> groups_;
    QHash<int, FileFont> fileFonts_;
    int defaultFont_ = 0;
    int firstFont_ = -1;          // the number of the font table's first entry
    std::vector<quint32> colors_; // index 0: automatic (black)
    bool colorStarted_ = false;
    quint32 red_ = 0, green_ = 0, blue_ = 0;
    int fontEntry_ = -1; // the font table entry being read
    QString fontName_;
    int skipChars_ = 0; // characters still to drop after \uN
    bool firstInGroup_ = false;
    bool warnedUnbalanced_ = false;

    // the paragraph being read
    Hlp::ParagraphFormat para_;
    bool keepn_ = false;
    Hlp::TabStop::Kind tabKind_ = Hlp::TabStop::Left;
    std::vector<Hlp::Span> spans_;
    QString run_;
    int runFont_ = -1;
    CharFormat resolvedFormat_;
    int resolvedFont_ = -1;
    QString hidden_;
    qsizetype hotStart_ = -1; // first span of the hotspot look before hidden text
    bool hotPopup_ = false;

    // the footnote being read
    QString footnote_;
    QChar footnoteMark_;
    QChar pendingMark_; // a mark read right before "{\footnote"
    Hlp::ParagraphFormat footnoteSavedPara_;
    bool footnoteSavedKeepn_ = false;

    // the topic being read
    Hlp::Topic topic_;
    bool topicHasText_ = false;
    int ordinal_ = 0;
    int topics_ = 0;

    Group& g() { return groups_.back(); }
    QString label() const { return TopicParser::label(topic_, ordinal_ + 1); }

    void warnUnbalanced(const QString& text) {
        if (warnedUnbalanced_) return;
        warnedUnbalanced_ = true;
        parser_.messages_.warn(UnbalancedGroups, file_, QString(), text);
    }

    int currentFont();
    void flushRun();
    void visible(char16_t c);
    void character(char16_t c);
    void special(Hlp::Span::Kind kind);
    void picture(const QString& name, Hlp::PicturePlace place);
    void button(const QString& caption, const QString& macro);
    void finishHidden();
    void endParagraph();
    void endTopic();
    void beginFootnote();
    void endFootnote();
    void closeGroup();
    void skipGroup();
    void controlWord();
    void controlSymbol(uchar c);
    bool code();
    void fontTableText(char16_t c);
};

int TopicFileReader::currentFont() {
    const CharFormat& f = g().format;
    if (resolvedFont_ >= 0 && f == resolvedFormat_) return resolvedFont_;
    const int number = f.font < 0 ? defaultFont_ : f.font;
    auto it = fileFonts_.find(number);
    // A font the table does not define: the table's first, else Arial.
    if (it == fileFonts_.end()) it = fileFonts_.find(firstFont_);
    int face;
    if (it == fileFonts_.end()) {
        face = fonts_.face(QStringLiteral("Arial"), 2, 0);
    } else {
        if (it->face < 0)
            it->face = fonts_.face(it->name.isEmpty() ? QStringLiteral("Arial") : it->name,
                                   it->family, it->charset);
        face = it->face;
    }
    const quint32 color = std::size_t(f.color) < colors_.size() ? colors_[std::size_t(f.color)] : 0;
    resolvedFormat_ = f;
    resolvedFont_ = fonts_.font(face, f.halfPoints, f.flags, color);
    return resolvedFont_;
}

void TopicFileReader::flushRun() {
    if (run_.isEmpty()) return;
    Hlp::Span span;
    span.kind = Hlp::Span::Text;
    span.text = run_;
    span.font = runFont_;
    spans_.push_back(std::move(span));
    run_.clear();
}

void TopicFileReader::visible(char16_t c) {
    if (!hidden_.isEmpty()) finishHidden();
    const int font = currentFont();
    if (font != runFont_) {
        flushRun();
        runFont_ = font;
    }
    if (g().format.flags & kHotspotLook) {
        if (hotStart_ < 0) {
            hotStart_ = qsizetype(spans_.size());
            hotPopup_ = !(g().format.flags & (FontTable::Strike | FontTable::DoubleUnderline));
        }
    } else {
        hotStart_ = -1;
    }
    run_ += QChar(c);
    topicHasText_ = true;
}

void TopicFileReader::character(char16_t c) {
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    switch (g().dest) {
    case Dest::Text:
        if (g().format.hidden)
            hidden_ += QChar(c);
        else
            visible(c);
        break;
    case Dest::Footnote:
        footnote_ += QChar(c);
        break;
    case Dest::FontTable:
        fontTableText(c);
        break;
    case Dest::ColorTable:
        // Each ";" ends an entry; one without values is the automatic colour.
        if (c == ';') {
            colors_.push_back(colorStarted_ ? (red_ << 16 | green_ << 8 | blue_) : 0);
            colorStarted_ = false;
            red_ = green_ = blue_ = 0;
        }
        break;
    }
}

void TopicFileReader::fontTableText(char16_t c) {
    if (c == ';') {
        if (fontEntry_ >= 0) {
            FileFont& f = fileFonts_[fontEntry_];
            f.name = fontName_.trimmed();
            f.face = -1;
        }
        fontName_.clear();
        return;
    }
    fontName_ += QChar(c);
}

// A tab or line break: part of a hotspot when it has the hotspot look.
void TopicFileReader::special(Hlp::Span::Kind kind) {
    if (g().dest == Dest::Footnote) {
        footnote_ += QLatin1Char(' ');
        return;
    }
    if (g().dest != Dest::Text) return;
    if (g().format.hidden) return;
    if (!hidden_.isEmpty()) finishHidden();
    flushRun();
    if (g().format.flags & kHotspotLook) {
        if (hotStart_ < 0) {
            hotStart_ = qsizetype(spans_.size());
            hotPopup_ = !(g().format.flags & (FontTable::Strike | FontTable::DoubleUnderline));
        }
    } else {
        hotStart_ = -1;
    }
    Hlp::Span span;
    span.kind = kind;
    span.font = currentFont();
    spans_.push_back(span);
    topicHasText_ = true;
}

void TopicFileReader::picture(const QString& name, Hlp::PicturePlace place) {
    if (!hidden_.isEmpty()) finishHidden();
    flushRun();
    const int index = parser_.bitmaps_ ? parser_.bitmaps_(name, file_, label()) : -1;
    topicHasText_ = true;
    if (index < 0) return; // the lookup has warned; the topic goes on without it
    if (g().format.flags & kHotspotLook) {
        if (hotStart_ < 0) {
            hotStart_ = qsizetype(spans_.size());
            hotPopup_ = !(g().format.flags & (FontTable::Strike | FontTable::DoubleUnderline));
        }
    } else {
        hotStart_ = -1;
    }
    Hlp::Span span;
    span.kind = Hlp::Span::Picture;
    span.picture = index;
    span.place = place;
    span.font = currentFont();
    spans_.push_back(span);
}

// {button caption,macro}: a macro hotspot on its caption.
void TopicFileReader::button(const QString& caption, const QString& macro) {
    if (!hidden_.isEmpty()) finishHidden();
    flushRun();
    hotStart_ = -1;
    Hlp::Span start;
    start.kind = Hlp::Span::HotspotStart;
    start.hotspot = Hlp::HotspotKind::Macro;
    start.target = macro;
    spans_.push_back(start);
    Hlp::Span text;
    text.kind = Hlp::Span::Text;
    text.text = caption.isEmpty() ? QStringLiteral(" ") : caption;
    text.font = fonts_.withoutHotspotLook(currentFont());
    spans_.push_back(text);
    Hlp::Span end;
    end.kind = Hlp::Span::HotspotEnd;
    spans_.push_back(end);
    ++parser_.hotspots_;
    topicHasText_ = true;
}

// Hidden text after text in the hotspot look: that text becomes the hotspot.
void TopicFileReader::finishHidden() {
    flushRun();
    QString target = hidden_.trimmed();
    hidden_.clear();
    if (hotStart_ < 0 || target.isEmpty() || hotStart_ >= qsizetype(spans_.size())) {
        hotStart_ = -1;
        return;
    }
    Hlp::Span start;
    start.kind = Hlp::Span::HotspotStart;
    // "%" and "*" ask for a hotspot without underline; the help file shows them alike.
    while (!target.isEmpty() && (target[0] == QLatin1Char('%') || target[0] == QLatin1Char('*')))
        target.remove(0, 1);
    if (target.startsWith(QLatin1Char('!'))) {
        start.hotspot = Hlp::HotspotKind::Macro;
        start.target = target.mid(1).trimmed();
    } else {
        start.hotspot = hotPopup_ ? Hlp::HotspotKind::Popup : Hlp::HotspotKind::Jump;
        const qsizetype gt = target.indexOf(QLatin1Char('>'));
        if (gt >= 0) {
            // A pop-up shows over the topic it is in: a window means nothing to it.
            if (!hotPopup_) start.window = target.mid(gt + 1).trimmed();
            target = target.left(gt).trimmed();
        }
        start.target = target;
    }
    for (auto i = std::size_t(hotStart_); i < spans_.size(); ++i)
        spans_[i].font = fonts_.withoutHotspotLook(spans_[i].font);
    spans_.insert(spans_.begin() + hotStart_, std::move(start));
    Hlp::Span end;
    end.kind = Hlp::Span::HotspotEnd;
    spans_.push_back(end);
    hotStart_ = -1;
    ++parser_.hotspots_;
}

void TopicFileReader::endParagraph() {
    if (!hidden_.isEmpty()) finishHidden();
    flushRun();
    Hlp::Paragraph p;
    p.format = para_;
    p.spans = std::move(spans_);
    spans_.clear();
    hotStart_ = -1;
    runFont_ = -1;
    // Only the paragraphs at the start of a topic can stay out of the scrolling.
    if (keepn_ && topic_.scroll.empty())
        topic_.nonScroll.push_back(std::move(p));
    else
        topic_.scroll.push_back(std::move(p));
}

void TopicFileReader::endTopic() {
    if (!run_.isEmpty() || !spans_.empty() || !hidden_.isEmpty()) endParagraph();
    const bool hasNotes = !topic_.contexts.isEmpty() || !topic_.title.isEmpty() ||
                          !topic_.keywords.isEmpty() || !topic_.aKeywords.isEmpty() ||
                          !topic_.browse.isEmpty() || !topic_.window.isEmpty();
    if (hasNotes || topicHasText_) {
        ++ordinal_;
        if (topic_.contexts.isEmpty())
            parser_.messages_.warn(NoContext, file_, TopicParser::label(topic_, ordinal_),
                                   QStringLiteral("Topic has no context string (#): it can "
                                                  "be reached only through keywords or browsing"));
        topic_.sourceFile = file_;
        parser_.project_.topics.push_back(std::move(topic_));
        ++topics_;
    }
    topic_ = Hlp::Topic();
    topicHasText_ = false;
    spans_.clear();
    run_.clear();
    hidden_.clear();
    hotStart_ = -1;
    runFont_ = -1;
}

void TopicFileReader::beginFootnote() {
    // The mark stands in the text right before the footnote; it is no text.
    QString* last = &run_;
    if (last->isEmpty() && !spans_.empty() && spans_.back().kind == Hlp::Span::Text)
        last = &spans_.back().text;
    footnoteMark_ = pendingMark_;
    pendingMark_ = QChar();
    if (footnoteMark_.isNull() && !last->isEmpty() && isFootnoteMark(last->back())) {
        footnoteMark_ = last->back();
        last->chop(1);
        if (last != &run_ && last->isEmpty()) spans_.pop_back();
    }
    footnote_.clear();
    footnoteSavedPara_ = para_;
    footnoteSavedKeepn_ = keepn_;
    g().dest = Dest::Footnote;
    g().format.hidden = false;
}

void TopicFileReader::endFootnote() {
    para_ = footnoteSavedPara_;
    keepn_ = footnoteSavedKeepn_;
    QString content = footnote_.trimmed();
    QChar mark = footnoteMark_;
    if (!mark.isNull() && content.startsWith(mark)) {
        content.remove(0, 1);
    } else if (mark.isNull() && !content.isEmpty()) {
        mark = content[0];
        content.remove(0, 1);
    }
    const QString value = content.trimmed();
    const auto list = [&value] {
        QStringList items;
        for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = item.trimmed();
            if (!t.isEmpty()) items << t;
        }
        return items;
    };
    switch (mark.unicode()) {
    case '#':
        if (!value.isEmpty()) topic_.contexts << value;
        break;
    case '$':
        topic_.title = value;
        break;
    case 'K':
        topic_.keywords << list();
        break;
    case 'A':
        topic_.aKeywords << list();
        break;
    case '+': // without a sequence: the topics' order in the files
        topic_.browse = value.isEmpty() ? QStringLiteral("auto") : value;
        break;
    case '>':
        topic_.window = value;
        break;
    default: // entry macros, build tags, comments: nothing the help file keeps
        break;
    }
}

void TopicFileReader::closeGroup() {
    if (groups_.size() <= 1) {
        warnUnbalanced(QStringLiteral("Unbalanced braces: a '}' closes no group"));
        return;
    }
    const Dest dest = g().dest;
    groups_.pop_back();
    if (dest == Dest::Footnote && g().dest != Dest::Footnote) endFootnote();
    if (dest == Dest::FontTable && fontEntry_ >= 0 && !fontName_.trimmed().isEmpty())
        fontTableText(';'); // an entry without its ";"
}

// Skips the rest of the current group (its opening brace is read).
void TopicFileReader::skipGroup() {
    int depth = 1;
    while (p_ < n_) {
        const uchar c = b_[p_++];
        if (c == '\\') {
            if (p_ < n_ && !isLetter(b_[p_])) {
                ++p_; // an escaped brace or backslash
                continue;
            }
            // \binN skips N raw bytes that may hold braces.
            if (n_ - p_ >= 3 && std::memcmp(b_ + p_, "bin", 3) == 0 &&
                (p_ + 3 >= n_ || !isLetter(b_[p_ + 3]))) {
                p_ += 3;
                long long count = 0;
                while (p_ < n_ && b_[p_] >= '0' && b_[p_] <= '9' && count < (1LL << 40))
                    count = count * 10 + (b_[p_++] - '0');
                if (p_ < n_ && b_[p_] == ' ') ++p_;
                p_ += qsizetype(std::min<long long>(count, n_ - p_));
            }
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) {
                groups_.pop_back();
                return;
            }
        }
    }
}

// After "\{": a {bmc file}, {bml}, {bmr} or {button caption,macro} code up to
// the next "\}". Returns false (and reads nothing) for anything else, which
// stays text.
bool TopicFileReader::code() {
    constexpr qsizetype kMaxCode = 512;
    QString text;
    qsizetype q = p_;
    qsizetype end = -1;
    while (q < n_ && q - p_ < kMaxCode) {
        const uchar c = b_[q];
        if (c == '{' || c == '}') return false;
        if (c == '\r' || c == '\n') {
            ++q;
            continue;
        }
        if (c != '\\') {
            text += QChar(codePage()[c]);
            ++q;
            continue;
        }
        if (q + 1 >= n_) return false;
        const uchar d = b_[q + 1];
        if (d == '}') {
            end = q + 2;
            break;
        }
        if (d == '\'' && q + 3 < n_ && hexValue(b_[q + 2]) >= 0 && hexValue(b_[q + 3]) >= 0) {
            text += QChar(codePage()[uchar(hexValue(b_[q + 2]) * 16 + hexValue(b_[q + 3]))]);
            q += 4;
        } else if (d == '\\') {
            text += QLatin1Char('\\');
            q += 2;
        } else if (isLetter(d)) {
            q += 1; // a format change inside the code: it does not matter
            while (q < n_ && isLetter(b_[q]))
                ++q;
            if (q < n_ && b_[q] == '-') ++q;
            while (q < n_ && b_[q] >= '0' && b_[q] <= '9')
                ++q;
            if (q < n_ && b_[q] == ' ') ++q;
        } else {
            return false;
        }
    }
    if (end < 0) return false;
    const QString t = text.trimmed();
    qsizetype word = 0;
    while (word < t.size() && t[word].isLetter())
        ++word;
    const QString name = t.left(word).toLower();
    const QString rest = t.mid(word).trimmed();
    if (word == t.size() || !t[word].isSpace() || rest.isEmpty()) return false;
    using Place = Hlp::PicturePlace;
    static const std::pair<const char*, Place> pictures[] = {
        {"bmc", Place::Character}, {"bmct", Place::Character}, {"bml", Place::Left},
        {"bmlt", Place::Left},     {"bmr", Place::Right},      {"bmrt", Place::Right}};
    for (const auto& [w, place] : pictures) {
        if (name != QLatin1String(w)) continue;
        p_ = end;
        picture(rest, place);
        return true;
    }
    if (name == QLatin1String("button")) {
        const qsizetype comma = rest.indexOf(QLatin1Char(','));
        if (comma < 0) return false;
        p_ = end;
        button(rest.left(comma).trimmed(), rest.mid(comma + 1).trimmed());
        return true;
    }
    return false;
}

void TopicFileReader::controlSymbol(uchar c) {
    switch (c) {
    case '{':
        if (g().dest == Dest::Text && !g().format.hidden && skipChars_ == 0 && code()) return;
        character('{');
        return;
    case '}':
    case '\\':
        character(c);
        return;
    case '~':
        character(0xA0);
        return;
    case '_':
        character('-');
        return;
    case '-': // optional hyphen: not shown
        return;
    case '*':
        if (firstInGroup_) skipGroup();
        return;
    case '\'': {
        if (p_ + 1 < n_ && hexValue(b_[p_]) >= 0 && hexValue(b_[p_ + 1]) >= 0) {
            const int byte = hexValue(b_[p_]) * 16 + hexValue(b_[p_ + 1]);
            p_ += 2;
            character(codePage()[std::size_t(byte)]);
        }
        return;
    }
    case '\r':
    case '\n': // a backslash before a line break is a paragraph end
        if (g().dest == Dest::Text) endParagraph();
        return;
    case '\t':
        special(Hlp::Span::Tab);
        return;
    default:
        return;
    }
}

void TopicFileReader::controlWord() {
    const qsizetype start = p_;
    while (p_ < n_ && isLetter(b_[p_]) && p_ - start < 32)
        ++p_;
    const std::string_view word(reinterpret_cast<const char*>(b_ + start), std::size_t(p_ - start));
    bool hasParam = false;
    bool negative = false;
    long long param = 0;
    if (p_ < n_ && b_[p_] == '-' && p_ + 1 < n_ && b_[p_ + 1] >= '0' && b_[p_ + 1] <= '9') {
        negative = true;
        ++p_;
    }
    while (p_ < n_ && b_[p_] >= '0' && b_[p_] <= '9') {
        if (param < 100000000) param = param * 10 + (b_[p_] - '0');
        hasParam = true;
        ++p_;
    }
    if (negative) param = -param;
    if (p_ < n_ && b_[p_] == ' ') ++p_;
    const bool first = firstInGroup_;
    firstInGroup_ = false;

    const auto& table = commands();
    const auto it = table.find(word);
    if (it == table.end()) return; // unknown words are skipped; their text stays
    const int value = int(param);
    const bool on = !hasParam || param != 0;
    CharFormat& f = g().format;
    const auto flag = [&](unsigned bit) { f.flags = on ? (f.flags | bit) : (f.flags & ~bit); };

    switch (it->second) {
    case Cmd::None:
    case Cmd::Rtf:
    case Cmd::Field:
    case Cmd::Fldrslt:
        break;
    case Cmd::Skip:
        if (first) skipGroup();
        break;
    case Cmd::Star:
        break;
    case Cmd::FontTbl:
        g().dest = Dest::FontTable;
        break;
    case Cmd::ColorTbl:
        g().dest = Dest::ColorTable;
        colors_.clear();
        colorStarted_ = false;
        break;
    case Cmd::Footnote:
        if (g().dest == Dest::Text) beginFootnote();
        break;
    case Cmd::Pntext: // the bullet as the rich edit writes it: text like any other
        break;
    case Cmd::F:
        if (g().dest == Dest::FontTable) {
            fontEntry_ = value;
            if (firstFont_ < 0) firstFont_ = value;
            fontName_.clear();
            fileFonts_[value];
        } else {
            f.font = value;
        }
        break;
    case Cmd::FFamily:
        if (g().dest == Dest::FontTable && fontEntry_ >= 0) {
            static const std::pair<std::string_view, quint8> families[] = {
                {"fnil", 0},    {"froman", 1}, {"fswiss", 2}, {"fmodern", 3},
                {"fscript", 4}, {"fdecor", 5}, {"ftech", 0},  {"fbidi", 0}};
            for (const auto& [name, family] : families)
                if (name == word) fileFonts_[fontEntry_].family = family;
        }
        break;
    case Cmd::FCharset:
        if (g().dest == Dest::FontTable && fontEntry_ >= 0)
            fileFonts_[fontEntry_].charset = quint8(std::clamp(value, 0, 255));
        break;
    case Cmd::Deff:
        defaultFont_ = value;
        break;
    case Cmd::Red:
        red_ = quint32(std::clamp(value, 0, 255));
        colorStarted_ = true;
        break;
    case Cmd::Green:
        green_ = quint32(std::clamp(value, 0, 255));
        colorStarted_ = true;
        break;
    case Cmd::Blue:
        blue_ = quint32(std::clamp(value, 0, 255));
        colorStarted_ = true;
        break;
    case Cmd::Plain:
        f = CharFormat();
        break;
    case Cmd::Fs:
        f.halfPoints = hasParam ? std::clamp(value, 1, 4095) : 24;
        break;
    case Cmd::B:
        flag(FontTable::Bold);
        break;
    case Cmd::I:
        flag(FontTable::Italic);
        break;
    case Cmd::Ul:
        flag(FontTable::Underline);
        break;
    case Cmd::UlNone:
        f.flags &= ~(FontTable::Underline | FontTable::DoubleUnderline);
        break;
    case Cmd::UlDb:
        flag(FontTable::DoubleUnderline);
        break;
    case Cmd::Strike:
        flag(FontTable::Strike);
        break;
    case Cmd::Scaps:
        flag(FontTable::SmallCaps);
        break;
    case Cmd::V:
        f.hidden = on;
        break;
    case Cmd::Cf:
        f.color = std::max(0, value);
        break;
    case Cmd::Pard:
        para_ = Hlp::ParagraphFormat();
        keepn_ = false;
        tabKind_ = Hlp::TabStop::Left;
        break;
    case Cmd::Par:
        if (g().dest == Dest::Text)
            endParagraph();
        else if (g().dest == Dest::Footnote)
            footnote_ += QLatin1Char(' ');
        break;
    case Cmd::Li:
        para_.leftIndent = value;
        break;
    case Cmd::Ri:
        para_.rightIndent = value;
        break;
    case Cmd::Fi:
        para_.firstLineIndent = value;
        break;
    case Cmd::Sb:
        para_.spaceBefore = value;
        break;
    case Cmd::Sa:
        para_.spaceAfter = value;
        break;
    case Cmd::Sl:
        para_.lineSpacing = value;
        break;
    case Cmd::Ql:
    case Cmd::Qj: // the help file has no justified text
        para_.align = Hlp::Align::Left;
        break;
    case Cmd::Qr:
        para_.align = Hlp::Align::Right;
        break;
    case Cmd::Qc:
        para_.align = Hlp::Align::Center;
        break;
    case Cmd::Tqr:
        tabKind_ = Hlp::TabStop::Right;
        break;
    case Cmd::Tqc:
        tabKind_ = Hlp::TabStop::Center;
        break;
    case Cmd::Tx:
        para_.tabs.push_back({std::max(0, value), tabKind_});
        tabKind_ = Hlp::TabStop::Left;
        break;
    case Cmd::Keepn:
        keepn_ = on;
        break;
    case Cmd::Page:
        if (g().dest == Dest::Text) endTopic();
        break;
    case Cmd::Tab:
        special(Hlp::Span::Tab);
        break;
    case Cmd::Line:
        special(Hlp::Span::LineBreak);
        break;
    case Cmd::Bullet:
    case Cmd::Endash:
    case Cmd::Emdash:
    case Cmd::Lquote:
    case Cmd::Rquote:
    case Cmd::Ldblquote:
    case Cmd::Rdblquote: {
        // in the order of the commands, Bullet to Rdblquote
        static constexpr char16_t kChars[] = {0x2022, 0x2013, 0x2014, 0x2018,
                                              0x2019, 0x201C, 0x201D};
        character(kChars[int(it->second) - int(Cmd::Bullet)]);
        break;
    }
    case Cmd::U: {
        int code = value;
        if (code < 0) code += 65536;
        character(char16_t(std::clamp(code, 0, 0xFFFF)));
        skipChars_ = g().uc;
        break;
    }
    case Cmd::Uc:
        g().uc = std::clamp(value, 0, 16);
        break;
    case Cmd::Bin:
        p_ += std::min<qsizetype>(std::max<long long>(param, 0), n_ - p_);
        break;
    }
}

int TopicFileReader::run() {
    const auto& cp = codePage();
    while (p_ < n_) {
        const uchar c = b_[p_];
        if (c == '\\') {
            ++p_;
            if (p_ >= n_) break;
            if (isLetter(b_[p_])) {
                controlWord();
            } else {
                const uchar s = b_[p_++];
                const bool first = firstInGroup_;
                firstInGroup_ = first && s == '*';
                controlSymbol(s);
                if (s != '*') firstInGroup_ = false;
            }
            continue;
        }
        if (c == '{') {
            ++p_;
            groups_.push_back(groups_.back());
            firstInGroup_ = true;
            continue;
        }
        firstInGroup_ = false;
        if (c == '}') {
            ++p_;
            closeGroup();
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++p_;
            continue;
        }
        if (c == '\t') {
            ++p_;
            special(Hlp::Span::Tab);
            continue;
        }
        // "#{\footnote # 12}": the mark before a footnote is no text.
        if (g().dest == Dest::Text && isFootnoteMark(QChar(c)) && n_ - p_ > 10 &&
            std::memcmp(b_ + p_ + 1, "{\\footnote", 10) == 0 &&
            (n_ - p_ == 11 || !isLetter(b_[p_ + 11]))) {
            pendingMark_ = QChar(c);
            ++p_;
            continue;
        }
        // A stretch of plain text in one piece.
        if (g().dest == Dest::Text && !g().format.hidden && skipChars_ == 0) {
            if (!hidden_.isEmpty()) finishHidden();
            visible(cp[c]);
            ++p_;
            // Where Windows-1252 and Latin-1 agree (all but 0x80-0x9F) the
            // stretch goes over in one piece.
            const qsizetype from = p_;
            bool latin1 = true;
            while (p_ < n_) {
                const uchar d = b_[p_];
                if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n' || d == '\t') break;
                latin1 = latin1 && (d < 0x80 || d >= 0xA0);
                ++p_;
            }
            if (latin1) {
                run_.append(QLatin1StringView(reinterpret_cast<const char*>(b_ + from), p_ - from));
            } else {
                for (qsizetype q = from; q < p_; ++q)
                    run_ += QChar(cp[b_[q]]);
            }
            continue;
        }
        ++p_;
        character(cp[c]);
    }
    if (groups_.size() > 1)
        warnUnbalanced(QStringLiteral("Unbalanced braces: a group is not closed"));
    // What the open groups held still counts.
    while (groups_.size() > 1) {
        const Dest dest = g().dest;
        groups_.pop_back();
        if (dest == Dest::Footnote && g().dest != Dest::Footnote) endFootnote();
    }
    endTopic();
    return topics_;
}

// ------------------------------------------------------------------ parser

TopicParser::TopicParser(Hlp::Project& project, Messages& messages, BitmapLookup bitmaps)
    : project_(project), messages_(messages), bitmaps_(std::move(bitmaps)), fonts_(project.fonts) {}

int TopicParser::parse(const QByteArray& bytes, const QString& fileName) {
    TopicFileReader reader(*this, bytes, fileName);
    return reader.run();
}

QString TopicParser::label(const Hlp::Topic& topic, int ordinal) {
    if (!topic.contexts.isEmpty()) return QLatin1Char('\'') + topic.contexts[0] + QLatin1Char('\'');
    return QLatin1Char('#') + QString::number(ordinal);
}

} // namespace Hc
