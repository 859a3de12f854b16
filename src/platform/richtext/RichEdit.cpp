#include "RichEdit.h"

#include "RtfReader.h"
#include "RtfTables.h"
#include "RtfWriter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kPixelsPerPoint = 20.0 / Rtf::kTwipsPerPixel;
constexpr int kBulletIndent = 10; // points

int toPoints(double pixels) {
    return int(std::lround(pixels / kPixelsPerPoint));
}
double toPixels(int points) {
    return points * kPixelsPerPoint;
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The blocks from the one holding the selection's start to the one holding its end.
template <typename F> void forSelectedBlocks(const QTextEdit& edit, F f) {
    const QTextCursor c = edit.textCursor();
    const QTextDocument* doc = edit.document();
    const QTextBlock last = doc->findBlock(c.selectionEnd());
    for (QTextBlock b = doc->findBlock(c.selectionStart()); b.isValid(); b = b.next()) {
        f(b);
        if (b == last) break;
    }
}

QTextBlockFormat firstSelectedBlockFormat(const QTextEdit& edit) {
    return edit.document()->findBlock(edit.textCursor().selectionStart()).blockFormat();
}

} // namespace

// --- TTextAttributes -------------------------------------------------------

namespace {

QTextCharFormat currentFormat(const TRichEdit& edit) {
    const QTextCursor c = edit.textCursor();
    return c.hasSelection() ? edit.formatAt(c.selectionStart()) : c.charFormat();
}

} // namespace

QString TTextAttributes::Name() const {
    const QString family = Rtf::familyOf(currentFormat(edit_));
    return family.isEmpty() ? edit_.document()->defaultFont().family() : family;
}

void TTextAttributes::setName(const QString& name) {
    QTextCharFormat f;
    f.setFontFamilies(QStringList{name});
    edit_.mergeCurrentCharFormat(f);
}

int TTextAttributes::Size() const {
    const QTextCharFormat f = currentFormat(edit_);
    const double points = f.hasProperty(QTextFormat::FontPointSize)
                              ? f.fontPointSize()
                              : edit_.document()->defaultFont().pointSizeF();
    return int(std::lround(points));
}

void TTextAttributes::setSize(int points) {
    if (points <= 0) return;
    QTextCharFormat f;
    f.setFontPointSize(points);
    edit_.mergeCurrentCharFormat(f);
}

QColor TTextAttributes::Color() const {
    const QTextCharFormat f = currentFormat(edit_);
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        return f.foreground().color();
    return QColor(Qt::black);
}

void TTextAttributes::setColor(const QColor& color) {
    QTextCharFormat f;
    f.setForeground(color);
    edit_.mergeCurrentCharFormat(f);
}

TFontStyles TTextAttributes::Style() const {
    const QTextCharFormat f = currentFormat(edit_);
    TFontStyles s;
    if (f.fontWeight() >= QFont::DemiBold) s |= fsBold;
    if (f.fontItalic()) s |= fsItalic;
    if (f.fontUnderline()) s |= fsUnderline;
    if (f.fontStrikeOut()) s |= fsStrikeOut;
    return s;
}

void TTextAttributes::setStyle(TFontStyles style) {
    QTextCharFormat f;
    f.setFontWeight(style.testFlag(fsBold) ? QFont::Bold : QFont::Normal);
    f.setFontItalic(style.testFlag(fsItalic));
    f.setFontUnderline(style.testFlag(fsUnderline));
    f.setFontStrikeOut(style.testFlag(fsStrikeOut));
    edit_.mergeCurrentCharFormat(f);
}

TTextFont TTextAttributes::font() const {
    return TTextFont{Name(), Size(), Color(), Style()};
}

void TTextAttributes::assign(const TTextFont& font) {
    QTextCharFormat f;
    f.setFontFamilies(QStringList{font.Name});
    if (font.Size > 0) f.setFontPointSize(font.Size);
    f.setForeground(font.Color.isValid() ? font.Color : QColor(Qt::black));
    f.setFontWeight(font.Style.testFlag(fsBold) ? QFont::Bold : QFont::Normal);
    f.setFontItalic(font.Style.testFlag(fsItalic));
    f.setFontUnderline(font.Style.testFlag(fsUnderline));
    f.setFontStrikeOut(font.Style.testFlag(fsStrikeOut));
    edit_.mergeCurrentCharFormat(f);
}

// --- TParaAttributes -------------------------------------------------------

TParaAlignment TParaAttributes::Alignment() const {
    const Qt::Alignment a = firstSelectedBlockFormat(edit_).alignment();
    if (a & Qt::AlignHCenter) return TParaAlignment::Center;
    if (a & Qt::AlignJustify) return TParaAlignment::Justify;
    if (a & Qt::AlignRight) return TParaAlignment::Right;
    return TParaAlignment::Left;
}

void TParaAttributes::setAlignment(TParaAlignment alignment) {
    QTextBlockFormat f;
    switch (alignment) {
    case TParaAlignment::Left:
        f.setAlignment(Qt::AlignLeft);
        break;
    case TParaAlignment::Right:
        f.setAlignment(Qt::AlignRight);
        break;
    case TParaAlignment::Center:
        f.setAlignment(Qt::AlignHCenter);
        break;
    case TParaAlignment::Justify:
        f.setAlignment(Qt::AlignJustify);
        break;
    }
    edit_.textCursor().mergeBlockFormat(f);
}

int TParaAttributes::FirstIndent() const {
    return toPoints(firstSelectedBlockFormat(edit_).textIndent());
}

void TParaAttributes::setFirstIndent(int points) {
    QTextBlockFormat f;
    f.setTextIndent(toPixels(points));
    edit_.textCursor().mergeBlockFormat(f);
}

int TParaAttributes::LeftIndent() const {
    return toPoints(firstSelectedBlockFormat(edit_).leftMargin());
}

void TParaAttributes::setLeftIndent(int points) {
    QTextBlockFormat f;
    f.setLeftMargin(toPixels(points));
    edit_.textCursor().mergeBlockFormat(f);
}

int TParaAttributes::RightIndent() const {
    return toPoints(firstSelectedBlockFormat(edit_).rightMargin());
}

void TParaAttributes::setRightIndent(int points) {
    QTextBlockFormat f;
    f.setRightMargin(toPixels(points));
    edit_.textCursor().mergeBlockFormat(f);
}

TNumberingStyle TParaAttributes::Numbering() const {
    const QTextBlock b = edit_.document()->findBlock(edit_.textCursor().selectionStart());
    return b.textList() ? TNumberingStyle::nsBullet : TNumberingStyle::nsNone;
}

void TParaAttributes::setNumbering(TNumberingStyle numbering) {
    QTextCursor c = edit_.textCursor();
    c.beginEditBlock();
    if (numbering == TNumberingStyle::nsBullet) {
        QTextListFormat lf;
        lf.setStyle(QTextListFormat::ListDisc);
        lf.setIndent(0); // the paragraph's left indent places the bullet
        c.createList(lf);
    }
    forSelectedBlocks(edit_, [&](QTextBlock b) {
        if (numbering == TNumberingStyle::nsNone)
            if (QTextList* list = b.textList()) list->remove(b);
        QTextBlockFormat f = b.blockFormat();
        if (numbering == TNumberingStyle::nsNone)
            f.setLeftMargin(0);
        else if (toPoints(f.leftMargin()) < kBulletIndent)
            f.setLeftMargin(toPixels(kBulletIndent));
        else
            return;
        QTextCursor bc(b);
        bc.setBlockFormat(f);
    });
    c.endEditBlock();
}

// --- TRichEdit -------------------------------------------------------------

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {
    connect(document(), &QTextDocument::contentsChange, this, [this] { mapValid_ = false; });
}

void TRichEdit::ensureMap() const {
    const QTextDocument* doc = document();
    if (mapValid_ && mapBlocks_ == doc->blockCount() && mapChars_ == doc->characterCount()) return;
    blockStart_.clear();
    lineBreaks_.clear();
    blockStart_.reserve(doc->blockCount());
    lineBreaks_.reserve(doc->blockCount());
    int extra = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        blockStart_.push_back(b.position() + extra);
        const int breaks = int(b.text().count(QChar::LineSeparator));
        lineBreaks_.push_back(breaks);
        extra += breaks + (b.next().isValid() ? 1 : 0);
    }
    textLength_ = doc->characterCount() - 1 + extra;
    mapBlocks_ = doc->blockCount();
    mapChars_ = doc->characterCount();
    mapValid_ = true;
}

int TRichEdit::textPosition(int cursorPosition) const {
    ensureMap();
    const QTextBlock b = document()->findBlock(std::max(cursorPosition, 0));
    if (!b.isValid()) return textLength_;
    const int n = b.blockNumber();
    const int offset = std::clamp(cursorPosition - b.position(), 0, b.length() - 1);
    int pos = blockStart_[n] + offset;
    if (lineBreaks_[n] > 0) pos += int(b.text().left(offset).count(QChar::LineSeparator));
    return pos;
}

int TRichEdit::cursorPosition(int textPosition) const {
    ensureMap();
    textPosition = std::clamp(textPosition, 0, textLength_);
    const auto it = std::upper_bound(blockStart_.begin(), blockStart_.end(), textPosition);
    const int n = int(it - blockStart_.begin()) - 1;
    const QTextBlock b = document()->findBlockByNumber(n);
    const int offset = textPosition - blockStart_[n];
    if (lineBreaks_[n] == 0) return b.position() + std::min(offset, b.length() - 1);
    // Walk the block: each line break stands for two plain-text characters.
    const QString text = b.text();
    int counted = 0;
    for (int i = 0; i < text.size(); ++i) {
        const int width = text[i] == QChar::LineSeparator ? 2 : 1;
        if (counted + width > offset) return b.position() + i;
        counted += width;
    }
    return b.position() + int(text.size());
}

int TRichEdit::SelStart() const {
    return textPosition(textCursor().selectionStart());
}

void TRichEdit::setSelStart(int pos) {
    QTextCursor c = textCursor();
    c.setPosition(cursorPosition(pos));
    setTextCursor(c);
}

int TRichEdit::SelLength() const {
    const QTextCursor c = textCursor();
    return textPosition(c.selectionEnd()) - textPosition(c.selectionStart());
}

void TRichEdit::setSelLength(int length) {
    select(SelStart(), length);
}

void TRichEdit::select(int start, int length) {
    QTextCursor c = textCursor();
    c.setPosition(cursorPosition(start));
    c.setPosition(cursorPosition(start + std::max(length, 0)), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString TRichEdit::SelText() const {
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    s.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return s;
}

void TRichEdit::ReplaceSelection(const QString& text) {
    QTextCursor c = textCursor();
    // Replacing a selection continues in the look of its first character.
    const QTextCharFormat format = c.hasSelection() ? formatAt(c.selectionStart()) : c.charFormat();
    QTextDocument* doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    c.insertText(text, format);
    doc->setUndoRedoEnabled(undo);
    setTextCursor(c);
}

QString TRichEdit::Text() const {
    const QTextDocument* doc = document();
    QString out;
    out.reserve(doc->characterCount() + doc->blockCount());
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin()) out += QLatin1String("\r\n");
        const QString text = b.text();
        if (text.contains(QChar::LineSeparator)) {
            for (const QChar ch : text) {
                if (ch == QChar::LineSeparator)
                    out += QLatin1String("\r\n");
                else
                    out += ch;
            }
        } else {
            out += text;
        }
    }
    return out;
}

int TRichEdit::GetTextLen() const {
    ensureMap();
    return textLength_;
}

QTextCharFormat TRichEdit::formatAt(int cursorPosition) const {
    const QTextBlock b = document()->findBlock(cursorPosition);
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.position() <= cursorPosition && cursorPosition < f.position() + f.length())
            return f.charFormat();
    }
    return b.charFormat();
}

void TRichEdit::BeginUpdate() {
    if (updateDepth_++ == 0) viewport()->setUpdatesEnabled(false);
}

void TRichEdit::EndUpdate() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ == 0) {
        viewport()->setUpdatesEnabled(true);
        viewport()->update();
    }
}

int TRichEdit::FindText(const QString& text, int start, int end, TSearchTypes options) const {
    if (text.isEmpty()) return -1;
    const QString all = Text();
    start = std::clamp(start, 0, int(all.size()));
    end = std::clamp(end, start, int(all.size()));
    const Qt::CaseSensitivity cs =
        options.testFlag(stMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype n = text.size();
    for (qsizetype i = all.indexOf(text, start, cs); i >= 0 && i + n <= end;
         i = all.indexOf(text, i + 1, cs)) {
        if (!options.testFlag(stWholeWord)) return int(i);
        const bool before = i > 0 && isWordChar(all[i - 1]);
        const bool after = i + n < all.size() && isWordChar(all[i + n]);
        if (!before && !after) return int(i);
    }
    return -1;
}

void TRichEdit::LoadRtf(const QByteArray& rtf) {
    RtfReader::read(rtf, *document());
    // Text typed without a font of its own is stored in the document's default
    // font (\deff0), so show it in that font too.
    const RtfTables tables = rtfTables(*document());
    QFont base = font();
    if (!tables.fonts.isEmpty()) base.setFamilies({tables.fonts.first().name});
    document()->setDefaultFont(base);
    mapValid_ = false;
    moveCursor(QTextCursor::Start);
}

QByteArray TRichEdit::SaveRtf() const {
    return RtfWriter::write(*document());
}
