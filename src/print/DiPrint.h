// The "Print setup" dialog: edits the print settings on four pages (common
// choices, paper and margins, page numbers, text and fonts). Its handlers are
// public so that the logic can be driven without showing it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QList>
#include <QStringList>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;
class TKivPrintSet;

// A titled group of radio buttons addressed by item index.
class TKivRadioGroup : public QWidget {
    Q_OBJECT
public:
    TKivRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    // -1 when no item is checked.
    int ItemIndex() const;
    void setItemIndex(int index);
    QRadioButton* Button(int index) const;

signals:
    // An item became the checked one.
    void Clicked(int index);

private:
    QButtonGroup* group_;
};

class TDialPrint : public QDialog {
    Q_OBJECT
public:
    explicit TDialPrint(QWidget* parent = nullptr);
    ~TDialPrint() override;

    // Shows the dialog on `settings`; true, with the settings updated, when
    // the author pressed OK.
    bool Execute(TKivPrintSet& settings);

    // The two halves of Execute.
    void FillControls(const TKivPrintSet& settings);
    void ReadControls(TKivPrintSet& settings);

    // The printer's name, its papers and the paper of the current size.
    void FillPrinterInfo();
    void MatchPaper();
    // Adds `step` to the interval and keeps it within 0.5 to 100.
    void NormaliseInterval(double step);
    // "Arial, 14, Bold, Italic".
    static QString FontDescription(const QFont& font);

    // Handlers.
    void FormActivate() { FillPrinterInfo(); }
    void BitBtnPrinterClick();
    void SpeedButton1Click();
    void EditPagesChange();
    void EditFilenameChange();
    void ComboBoxPapersChange();
    void RadioGroupOrientClick();
    void SpinEditPageWidthChange();
    void BitBtnHeaderFontClick();
    void BitBtnTextFontClick();
    void BitBtnNumFontClick();
    void SpinButton1UpClick() { NormaliseInterval(0.5); }
    void SpinButton1DownClick() { NormaliseInterval(-0.5); }
    void EditIntervalExit() { NormaliseInterval(0); }

    // The platform's printer setup; true when confirmed. Replaceable so that
    // nothing modal of the platform shows where it must not.
    static std::function<bool(QPrinter& printer, QWidget* parent)>& PrinterSetup();

    // Paper sizes in tenths of a millimetre, one per entry of ComboBoxPapers;
    // the last entry is the custom size.
    QList<int> PaperWidths;
    QList<int> PaperLengths;

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    // Common
    QLabel* LabelTitle = nullptr;
    QPlainTextEdit* MemoTitle = nullptr;
    QLabel* LabelPrinter = nullptr;
    QPushButton* BitBtnPrinter = nullptr;
    QLabel* LabelCopies = nullptr;
    QSpinBox* SpinEditCopies = nullptr;
    TKivRadioGroup* RadioGroupMode = nullptr;
    QLineEdit* EditFilename = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QRadioButton* RadioButtonAll = nullptr;
    QRadioButton* RadioButtonPages = nullptr;
    QLineEdit* EditPages = nullptr;
    // Page Setup
    QSpinBox* SpinEditTop = nullptr;
    QSpinBox* SpinEditLeft = nullptr;
    QSpinBox* SpinEditRight = nullptr;
    QSpinBox* SpinEditBottom = nullptr;
    QComboBox* ComboBoxPapers = nullptr;
    QSpinBox* SpinEditPageWidth = nullptr;
    QSpinBox* SpinEditPageHeight = nullptr;
    TKivRadioGroup* RadioGroupOrient = nullptr;
    QCheckBox* CheckBoxWOPages = nullptr;
    // Numbering
    QCheckBox* CheckBoxNumbering = nullptr;
    QLabel* LabelFirstPage = nullptr;
    QSpinBox* SpinEditNumPage = nullptr;
    QLabel* LabelFormat = nullptr;
    QLineEdit* EditNumFormat = nullptr;
    QCheckBox* CheckBoxNumFirstPage = nullptr;
    QComboBox* ComboBoxV = nullptr;
    QComboBox* ComboBoxH = nullptr;
    QPushButton* BitBtnNumFont = nullptr;
    QLabel* LabelNumFont = nullptr;
    // Text
    TKivRadioGroup* RadioGroupText = nullptr;
    QLabel* LabelInterval = nullptr;
    QLineEdit* EditInterval = nullptr;
    QToolButton* SpinButton1Up = nullptr;
    QToolButton* SpinButton1Down = nullptr;
    QPushButton* BitBtnHeaderFont = nullptr;
    QLabel* LabelTitleFont = nullptr;
    QPushButton* BitBtnTextFont = nullptr;
    QLabel* LabelTextFont = nullptr;

    // The fonts being edited, taken into the settings on OK.
    QFont TitleFont;
    QFont TextFont;
    QFont NumberFont;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseFont(QFont& font, QLabel* label);
    void setSize(int width, int height);

    int updating_ = 0; // the paper and size handlers do not answer each other
};

// The dialog of the run, created on first use without an owner.
TDialPrint& PrintDialog();
