// Editor factories: the control that edits a field of a given kind, for data
// forms and record views (data-aware) and for dialogs that ask for a value
// of a field's kind (plain). An application may replace any kind of control
// through the hooks.
#pragma once

#include "TDataSource.h"

#include <QWidget>
#include <functional>

struct KivEditorHooks {
    using Make = std::function<QWidget*(QWidget* owner)>;
    // Data-aware controls.
    Make DBEdit, DBDateEdit, DBCombo, DBMemo, DBLookupCombo, DBText;
    // Plain controls.
    Make Edit, DateEdit, MemoEdit, Combo, LookupCombo, Label;
};
KivEditorHooks& KivEditorFactoryHooks();

// A new hidden control on `owner` bound to `field` through `source`. Combos
// and memos get their DataField from the caller once they are laid out.
// Width: (display width + 2) x charWidth (6 when 0 or less), plus a scroll
// bar for dates and combos.
QWidget* KivCreateDBEditor(QWidget* owner, TField* field, TDataSource* source, int charWidth);
// A new hidden, not data-aware control for entering a value of `field`'s
// kind; `extra` pixels are added to its width.
QWidget* KivCreateEditor(QWidget* owner, TField* field, int charWidth, int extra = 0);
