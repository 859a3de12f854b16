#include "TopicCodes.h"

#include "DMod.h"
#include "KivRich.h"
#include "KivTable.h"

#include <QComboBox>

namespace {

const QColor kLinkColor(0, 128, 0);
const QColor kCodeColor(128, 0, 0);
const QString kCrLf = QStringLiteral("\r\n");

void preset(TTextAttributes& a, const char* name, int size, const QColor& color,
            TFontStyles style) {
    a.setName(QLatin1String(name));
    a.setSize(size);
    a.setColor(color);
    a.setStyle(style);
}

} // namespace

void SetLinkAttributes(TTextAttributes& a, bool popup) {
    a.setColor(kLinkColor);
    TFontStyles style = a.Style() & ~(fsUnderline | fsStrikeOut);
    a.setStyle(style | (popup ? fsUnderline : fsStrikeOut));
}

void SetCodeAttributes(TTextAttributes& a) {
    a.setColor(kCodeColor);
    a.setStyle(a.Style() & ~(fsUnderline | fsStrikeOut));
}

void SetTitleFont(TTextAttributes& a) {
    preset(a, "Arial", 16, QColor(0, 0, 255), fsBold);
}

void SetHeadingFont(TTextAttributes& a) {
    preset(a, "Arial", 10, Qt::black, fsBold);
}

void SetNormalFont(TTextAttributes& a) {
    preset(a, "Arial", 10, Qt::black, {});
}

void SetSmallFont(TTextAttributes& a) {
    preset(a, "Arial", 8, Qt::black, {});
}

void SetDeclarationFont(TTextAttributes& a) {
    preset(a, "Courier New", 10, Qt::black, {});
}

namespace {

// The hotspot in the link look and its code in the code look; typing goes on
// in the look the selection had before.
void insertHotspot(TKivDBRichEdit& editor, const QString& hotspot, const QString& code,
                   bool popup) {
    TTextAttributes& a = editor.SelAttributes();
    const TTextFont before = a.font();
    TRichEdit::UpdateBracket update(editor);
    SetLinkAttributes(a, popup);
    editor.ReplaceSelection(hotspot);
    SetCodeAttributes(a);
    editor.ReplaceSelection(code);
    a.assign(before);
}

} // namespace

void SetParagraphAlignment(TKivDBRichEdit& editor, TParaAlignment alignment) {
    editor.BeginEditing();
    editor.Paragraph().setAlignment(alignment);
}

void InsertTopicLink(TKivDBRichEdit& editor, TDM& dm, const QVariant& key, const QString& text,
                     bool popup, const QComboBox* windows) {
    TDataSet* calc = dm.TbCalc;
    if (key.isNull() || !calc->Active() || !calc->Locate(QStringLiteral("Id"), key)) return;
    editor.BeginEditing();
    const QString id = QString::number(calc->FieldByName(QStringLiteral("ID"))->AsInteger());
    QString hotspot = text;
    if (hotspot.isEmpty()) hotspot = editor.SelText();
    if (hotspot.isEmpty()) hotspot = calc->FieldByName(QStringLiteral("NAME"))->AsString();
    if (hotspot.isEmpty()) hotspot = id;
    if (hotspot.isEmpty()) return;

    QString context = id;
    // A pop-up shows over the topic it is in: it never names a window.
    if (!popup && windows && windows->currentIndex() >= 0 && !windows->currentText().isEmpty())
        context += QLatin1Char('>') + windows->currentText();
    insertHotspot(editor, hotspot, QStringLiteral("{HRef=") + context + QLatin1Char('}'), popup);
}

void InsertMacroLink(TKivDBRichEdit& editor, const QString& macro, const QString& caption) {
    if (macro.isEmpty() || caption.isEmpty()) return;
    editor.BeginEditing();
    insertHotspot(editor, caption, QStringLiteral("{HRef=! ") + macro + QLatin1Char('}'), false);
}

void InsertCode(TKivDBRichEdit& editor, const QString& code) {
    editor.BeginEditing();
    TRichEdit::UpdateBracket update(editor);
    SetCodeAttributes(editor.SelAttributes());
    editor.ReplaceSelection(code);
}

void WriteTopicTitle(TKivDBRichEdit& editor, const QString& title, bool smaller, bool withKeepn) {
    editor.BeginEditing();
    TRichEdit::UpdateBracket update(editor);
    editor.setSelStart(0);
    TTextAttributes& a = editor.SelAttributes();
    SetTitleFont(a);
    if (smaller) a.setSize(a.Size() - 4);
    editor.Paragraph().setAlignment(TParaAlignment::Left);
    editor.ReplaceSelection(title);
    SetNormalFont(a);
    editor.ReplaceSelection(kCrLf + kCrLf);
    if (withKeepn) {
        SetCodeAttributes(a);
        editor.ReplaceSelection(QStringLiteral("{keepn}"));
        SetNormalFont(a);
        editor.ReplaceSelection(kCrLf);
    }
}

int PageLinkPosition(const QString& text) {
    const qsizetype keepn = text.indexOf(QLatin1String("{keepn"));
    if (keepn >= 0) return int(keepn);
    const qsizetype first = text.indexOf(kCrLf);
    const qsizetype second = first < 0 ? -1 : text.indexOf(kCrLf, first + 2);
    return int(second < 0 ? text.size() : second);
}

void InsertPageLink(TKivDBRichEdit& editor, TDM& dm, const QVariant& key, const QString& text,
                    bool popup, const QComboBox* windows) {
    editor.BeginEditing();
    TRichEdit::UpdateBracket update(editor);
    editor.setSelStart(PageLinkPosition(editor.Text()));
    SetSmallFont(editor.SelAttributes());
    InsertTopicLink(editor, dm, key, text, popup, windows);
    editor.ReplaceSelection(QStringLiteral("\t"));
}
