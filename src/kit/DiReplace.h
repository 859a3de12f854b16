// The question asked before each replacement: Yes, No, All or Cancel.
#pragma once

#include <QDialog>

class QLabel;

// Answers, as the search dialog counts them.
enum TModalAnswer { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7, mrAll = 8 };

class TDialReplace : public QDialog {
    Q_OBJECT
public:
    // Made on first use and kept until the program ends.
    static TDialReplace& Instance();
    // Shows the match being replaced and waits for the answer.
    int Ask(const QString& match);

    QLabel* LabelText;

private:
    explicit TDialReplace(QWidget* parent = nullptr);
};
