// The options dialog: the path of the help compiler, with an information block
// about the program and two links.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;
class TFilenameEdit;

class TDialOptions : public QDialog {
    Q_OBJECT
public:
    explicit TDialOptions(QWidget* parent = nullptr);

    void SetCompilerPath(const QString& path);
    QString CompilerPath() const;

    // Shows the dialog modally on `compilerPath`; with OK the path becomes the
    // edit's text and true is returned, with Cancel nothing changes.
    static bool Execute(QString& compilerPath, QWidget* parent = nullptr);
    // The Options command: Execute, and with OK store the path in the settings
    // file (EInOutError when it cannot be written).
    static bool ExecuteAndSave(QString& compilerPath, const QString& settingsFile,
                               QWidget* parent = nullptr);

    // The addresses the two links open.
    QString MailAddress() const;
    QString WebAddress() const;

    QFrame* Bevel;
    QLabel* LabelCompiler;
    TFilenameEdit* FilenameEdit;
    QLabel* LabelMail;
    QLabel* LabelWeb;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

public slots:
    void ButtonOKClick();
    void ButtonCancelClick();
    void LabelMailClick();
    void LabelWebClick();
};
