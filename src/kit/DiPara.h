// The paragraph dialog: indents, alignment and bullets of the selected
// paragraphs of a rich edit.
#pragma once

#include "richtext/RichEdit.h"

#include <QDialog>

class QSpinBox;
class QToolButton;

// Of three alignment buttons, the one that stands for `alignment` (left for
// justified text, which has no button).
QToolButton* AlignmentButton(TParaAlignment alignment, QToolButton* left, QToolButton* center,
                             QToolButton* right);

class TDialParagraph : public QDialog {
    Q_OBJECT
public:
    explicit TDialParagraph(QWidget* parent = nullptr);

    QSpinBox *SpinEditFirst, *SpinEditLeft, *SpinEditRight;
    QToolButton *SpeedButtonLeft, *SpeedButtonCenter, *SpeedButtonRight, *SpeedButtonBullets;

    // Fills the dialog from the paragraph at the caret, shows it and, on OK,
    // writes it to the selected paragraphs. False on Cancel.
    bool Execute(TRichEdit& edit);
    // The two halves of Execute, for callers that show the dialog themselves.
    void Fill(TRichEdit& edit);
    void Apply(TRichEdit& edit);

private:
    bool bullets_ = false; // as the paragraph had them when filled
};
