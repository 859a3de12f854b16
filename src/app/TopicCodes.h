// The hypertext codes the author inserts into a topic as visible, coloured
// text ({HRef=12}, {HRef=! macro}, {bmc file}, {keepn}, {button caption,macro})
// and the text routines around them: hotspot and code looks, font presets,
// the title writer and the page-link inserter. The help build turns the codes
// into compiler RTF.
#pragma once

#include "richtext/RichEdit.h"

#include <QVariant>

class QComboBox;
class TDM;
class TKivDBRichEdit;

// Hotspot look: green, struck through for a jump, underlined for a pop-up.
void SetLinkAttributes(TTextAttributes& attributes, bool popup);
// Code look: maroon, neither underlined nor struck through.
void SetCodeAttributes(TTextAttributes& attributes);
void SetTitleFont(TTextAttributes& attributes);
void SetHeadingFont(TTextAttributes& attributes);
void SetNormalFont(TTextAttributes& attributes);
void SetSmallFont(TTextAttributes& attributes);
void SetDeclarationFont(TTextAttributes& attributes);
void SetParagraphAlignment(TKivDBRichEdit& editor, TParaAlignment alignment);

// The hotspot (the text, else the selection, else the topic's title, else its
// ID) and the link code to topic `key`, looked up in the computing cursor,
// which is left on it. A jump carries the window chosen in `windows`. Does
// nothing when no topic has that key.
void InsertTopicLink(TKivDBRichEdit& editor, TDM& dm, const QVariant& key, const QString& text,
                     bool popup, const QComboBox* windows);
// A hotspot that runs `macro`; nothing unless both are given.
void InsertMacroLink(TKivDBRichEdit& editor, const QString& macro, const QString& caption);
// `code` in the code look; typing goes on in that look.
void InsertCode(TKivDBRichEdit& editor, const QString& code);
// The title at the very start of the text, then two line breaks and, when
// asked, the end-of-title code.
void WriteTopicTitle(TKivDBRichEdit& editor, const QString& title, bool smaller, bool withKeepn);
// A small link to another page in the title area (before {keepn}, else at the
// end of the second line), followed by a tab.
void InsertPageLink(TKivDBRichEdit& editor, TDM& dm, const QVariant& key, const QString& text,
                    bool popup, const QComboBox* windows);
// Where InsertPageLink puts its link in `text`.
int PageLinkPosition(const QString& text);
