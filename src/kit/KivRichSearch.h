// Search and replace in a data-aware rich edit that may walk the rows of the
// dataset behind it: one search finds a phrase in any topic, moves the table
// there and selects the phrase.
#pragma once

#include "richtext/RichEdit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Where a search looks.
enum TSearchScope { ssGlobal, ssFromCurrent, ssOnlyCurrent, ssSelected };

// The match's position in the editor (selected), or -1.
int SearchEditor(TRichEdit& edit, const QString& text, TSearchTypes options, int scope,
                 bool fromCursor, bool afterSelection);
// As SearchEditor, moving through the rows of the editor's dataset as the
// scope allows; back on the starting row when nothing is found.
int SearchDataSet(TRichEdit& edit, const QString& text, TSearchTypes options, int scope,
                  bool fromCursor, bool afterSelection, bool showMessage);
// Finds the next match and replaces it (asking first with `prompt`); the
// answer, or mrCancel when nothing was found or nothing may change.
int ReplaceNext(TRichEdit& edit, const QString& text, const QString& replacement,
                TSearchTypes options, int scope, bool fromCursor, bool afterSelection,
                bool showMessage, bool prompt);

class TRichEditSearch;
// The program's one search window, once some window made it; context menus
// use it too.
TRichEditSearch*& KivSearchWindow();

class TRichEditSearch : public QDialog {
    Q_OBJECT
public:
    explicit TRichEditSearch(QWidget* parent = nullptr);
    ~TRichEditSearch() override;

    // Shows the dialog and runs the chosen command once.
    void Execute(bool withReplace, TRichEdit& edit);
    // Repeats the last command from behind the current match.
    void Again(TRichEdit& edit);

    // The halves of Execute: the dialog made ready for `edit`, and the
    // command run after it closed with `result`.
    void Prepare(bool withReplace, TRichEdit& edit);
    void Run(int result, TRichEdit& edit);
    void BtnFindClick();
    void BtnReplaceClick();
    void BtnReplaceAllClick();
    void ScopeClicked();

    QComboBox *ComboBoxFind, *ComboBoxReplace;
    QLabel* LabelReplace;
    QCheckBox *CheckBoxCase, *CheckBoxWhole, *CheckBoxPrompt;
    QRadioButton *RadioButtonGlobal, *RadioButtonFromCurrent, *RadioButtonOnlyCurrent,
        *RadioButtonSelected, *RadioButtonFromCursor, *RadioButtonEntire;
    QPushButton *BtnFind, *BtnReplace, *BtnReplaceAll, *BtnCancel;

    // The command remembered from the last click.
    int Mode = 0; // 0 find, 1 replace, 2 replace all
    int Scope = ssFromCurrent;
    bool FromCursor = true;
    TSearchTypes Options;
    bool Prompt = true;

protected:
    void changeEvent(QEvent* event) override;

private:
    void storeFind();
    void storeReplace();
    void replaceAll(TRichEdit& edit, bool fromCursor, bool afterSelection, bool firstMessage);
};
