// The dialog that asks for a caption and a macro (macro links and buttons).
// One instance lives for the whole run, so the macro typed last is offered
// again.
#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;

class TDialMacro : public QDialog {
    Q_OBJECT
public:
    static TDialMacro& Instance();

    QLineEdit* EditCaption;
    QLineEdit* EditMacro;

private:
    explicit TDialMacro(QWidget* parent = nullptr);
};

// Shows the dialog titled `title`, the caption filled with `selection`;
// true when the author confirmed with OK.
bool RunMacroDialog(const QString& title, const QString& selection);
