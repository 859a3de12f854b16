// The rich-edit control the topic commands program against: a QTextEdit that
// reads and writes RTF and offers the selection, attribute and search
// operations of the classic rich-edit control.
//
// Positions and lengths are counted in the control's plain text, in which
// every paragraph break and every line break is the two characters CR LF; they
// are mapped to and from QTextCursor positions, where a break is one character.
#pragma once

#include <QColor>
#include <QFlags>
#include <QTextEdit>
#include <vector>

enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

// A copy of character attributes, to save and restore the selection attributes.
struct TTextFont {
    QString Name;
    int Size = 10; // points
    QColor Color;
    TFontStyles Style;

    bool operator==(const TTextFont&) const = default;
};

enum class TParaAlignment { Left, Right, Center, Justify };
enum class TNumberingStyle { nsNone, nsBullet };

class TRichEdit;

// SelAttributes: reading gives the attributes of the first selected character,
// or of the text typed next when nothing is selected; writing applies to the
// selection and to the text typed or inserted next.
class TTextAttributes {
public:
    QString Name() const;
    void setName(const QString& name);
    int Size() const;
    void setSize(int points);
    QColor Color() const;
    void setColor(const QColor& color);
    TFontStyles Style() const;
    void setStyle(TFontStyles style);

    TTextFont font() const;
    void assign(const TTextFont& font);

private:
    friend class TRichEdit;
    explicit TTextAttributes(TRichEdit& edit) : edit_(edit) {}
    TRichEdit& edit_;
};

// Paragraph: reading gives the format of the first selected paragraph, writing
// applies to every selected paragraph. Indents are in points; the first indent
// is relative to the left indent.
class TParaAttributes {
public:
    TParaAlignment Alignment() const;
    void setAlignment(TParaAlignment alignment);
    int FirstIndent() const;
    void setFirstIndent(int points);
    int LeftIndent() const;
    void setLeftIndent(int points);
    int RightIndent() const;
    void setRightIndent(int points);
    // Bullets on raise a left indent below 10 points to 10; bullets off set it to 0.
    TNumberingStyle Numbering() const;
    void setNumbering(TNumberingStyle numbering);

private:
    friend class TRichEdit;
    explicit TParaAttributes(TRichEdit& edit) : edit_(edit) {}
    TRichEdit& edit_;
};

enum TSearchType { stWholeWord = 1, stMatchCase = 2 };
Q_DECLARE_FLAGS(TSearchTypes, TSearchType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSearchTypes)

class TRichEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit TRichEdit(QWidget* parent = nullptr);

    // Selection, in plain-text positions.
    int SelStart() const;
    void setSelStart(int pos); // collapses the selection
    int SelLength() const;
    void setSelLength(int length);
    void select(int start, int length);
    QString SelText() const;
    // Replaces the selection without an undo record; the caret ends behind the
    // inserted text with nothing selected. CR LF in `text` breaks the paragraph.
    void ReplaceSelection(const QString& text);

    // The whole plain text with CR LF breaks, and its length.
    QString Text() const;
    int GetTextLen() const;

    TTextAttributes& SelAttributes() { return selAttributes_; }
    TParaAttributes& Paragraph() { return paragraph_; }

    // A bracket around several changes so the control repaints once; nests.
    void BeginUpdate();
    void EndUpdate();
    class UpdateBracket {
    public:
        explicit UpdateBracket(TRichEdit& edit) : edit_(edit) { edit_.BeginUpdate(); }
        ~UpdateBracket() { edit_.EndUpdate(); }
        UpdateBracket(const UpdateBracket&) = delete;
        UpdateBracket& operator=(const UpdateBracket&) = delete;

    private:
        TRichEdit& edit_;
    };

    // The first position at or after `start` where `text` occurs wholly before
    // `end`, or -1.
    int FindText(const QString& text, int start, int end, TSearchTypes options = {}) const;

    void LoadRtf(const QByteArray& rtf);
    QByteArray SaveRtf() const;

    // Mapping between plain-text positions and QTextCursor positions.
    int textPosition(int cursorPosition) const;
    int cursorPosition(int textPosition) const;

    // The character format at a cursor position (of the character after it).
    QTextCharFormat formatAt(int cursorPosition) const;

private:
    TTextAttributes selAttributes_{*this};
    TParaAttributes paragraph_{*this};
    int updateDepth_ = 0;

    // Plain-text start of every block and its count of line breaks inside.
    mutable std::vector<int> blockStart_;
    mutable std::vector<int> lineBreaks_;
    mutable int textLength_ = 0;
    mutable bool mapValid_ = false;
    mutable int mapBlocks_ = 0;
    mutable int mapChars_ = 0;
    void ensureMap() const;
};
