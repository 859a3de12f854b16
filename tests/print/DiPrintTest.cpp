#include "DiPrint.h"
#include "KivPrint.h"
#include "QtPrinters.h"
#include "RecordingUI.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

namespace {

class PrintSetup : public ::testing::Test {
protected:
    void SetUp() override {
        // No driver to ask: the dialog offers the common papers, A4 first.
        KitPrinter().Printer().setOutputFormat(QPrinter::PdfFormat);
        dialog.FillControls(TKivPrintSet());
        dialog.FormActivate();
    }
    QString paper() const { return dialog.ComboBoxPapers->currentText(); }
    bool onCustomSize() const {
        return dialog.ComboBoxPapers->currentIndex() == dialog.ComboBoxPapers->count() - 1;
    }

    RecordingUI::Scope ui;
    TDialPrint dialog;
};

} // namespace

TEST_F(PrintSetup, SettingsMakeTheRoundTripUnchanged) {
    TKivPrintSet s;
    s.Mode = 0; // text mode with no file name stays text mode
    s.Copies = 4;
    s.RangeKind = 0;
    s.Pages = "2-3"; // a page list kept while printing all
    s.Title = "Topics\r\nof the book";
    s.PageHeight = 210;
    s.PageWidth = 297;
    s.Portrait = false;
    s.TopMargin = 5;
    s.LeftMargin = 6;
    s.RightMargin = 7;
    s.BottomMargin = 8;
    s.WithoutPages = true;
    s.Numbering = false;
    s.NumberOnFirstPage = true;
    s.NumberAtTop = false;
    s.NumberPosition = 1;
    s.FirstPageNumber = 2147483647;
    s.NumberFormat = "[#]";
    s.TextPitch = 3;
    s.Interval = 1.5;
    s.TitleFont = QFont("Courier New", 9);

    dialog.FillControls(s);
    EXPECT_EQ(dialog.ComboBoxH->currentText(), "Right");
    EXPECT_EQ(dialog.MemoTitle->toPlainText(), "Topics\nof the book");
    EXPECT_EQ(dialog.LabelTitleFont->text(), "Courier New, 9");
    EXPECT_EQ(dialog.LabelNumFont->text(), "Arial, 10");
    // Every setting the dialog shows comes back as it went in.
    const auto shown = [](const TKivPrintSet& p) {
        return std::tuple(p.Mode, p.Copies, p.RangeKind, p.Pages, p.Title, p.PageHeight,
                          p.PageWidth, p.Portrait, p.TopMargin, p.LeftMargin, p.RightMargin,
                          p.BottomMargin, p.WithoutPages, p.Numbering, p.NumberOnFirstPage,
                          p.NumberAtTop, p.NumberPosition, p.FirstPageNumber, p.NumberFormat,
                          p.TextPitch, p.Interval, p.TitleFont);
    };
    TKivPrintSet back;
    dialog.ReadControls(back);
    EXPECT_EQ(shown(back), shown(s));

    EXPECT_EQ(TDialPrint::FontDescription(TKivPrintSet().TitleFont), "Arial, 14, Bold, Italic");
    QFont struck("Arial", 8);
    struck.setUnderline(true);
    struck.setStrikeOut(true);
    EXPECT_EQ(TDialPrint::FontDescription(struck), "Arial, 8, Underline, StrikeOut");
}

TEST_F(PrintSetup, IntervalStepsStayWithinLimits) {
    const auto step = [&](const QString& text, double by) {
        dialog.EditInterval->setText(text);
        dialog.NormaliseInterval(by);
        return dialog.EditInterval->text();
    };
    EXPECT_EQ(step("0.7", -0.5), "0.5");
    EXPECT_EQ(step("99.8", 0.5), "100");
    EXPECT_EQ(step("1", 0.5), "1.5");
    EXPECT_EQ(step("2.2", 0.5), "2.7");
    EXPECT_EQ(step("1,25", 0), "1.25");
    EXPECT_EQ(step("wide", 0.5), "1");
    EXPECT_EQ(step("", 0), "1");
    dialog.EditInterval->setText("3");
    dialog.SpinButton1DownClick();
    EXPECT_EQ(dialog.EditInterval->text(), "2.5");
    dialog.EditInterval->setText("250");
    TKivPrintSet s;
    dialog.ReadControls(s);
    EXPECT_EQ(s.Interval, 100);
}

TEST_F(PrintSetup, PaperFollowsSizeAndOrientation) {
    EXPECT_TRUE(paper().startsWith("A4")) << paper().toStdString();
    dialog.RadioGroupOrient->Button(1)->click();
    EXPECT_EQ(dialog.SpinEditPageWidth->value(), 297);
    EXPECT_EQ(dialog.SpinEditPageHeight->value(), 210);
    EXPECT_TRUE(paper().startsWith("A4"));

    dialog.SpinEditPageWidth->setValue(250); // fits no paper
    EXPECT_TRUE(onCustomSize());
    dialog.SpinEditPageWidth->setValue(297);
    EXPECT_TRUE(paper().startsWith("A4"));
    dialog.SpinEditPageWidth->setValue(279); // Letter, 215.9 by 279.4 mm
    dialog.SpinEditPageHeight->setValue(216);
    EXPECT_TRUE(paper().startsWith("Letter")) << paper().toStdString();

    const int a5 = dialog.ComboBoxPapers->findText("A5", Qt::MatchStartsWith);
    ASSERT_GE(a5, 0);
    dialog.ComboBoxPapers->setCurrentIndex(a5); // landscape: crosswise
    EXPECT_EQ(dialog.SpinEditPageWidth->value(), 210);
    EXPECT_EQ(dialog.SpinEditPageHeight->value(), 148);
    EXPECT_EQ(dialog.ComboBoxPapers->currentIndex(), a5);

    dialog.ComboBoxPapers->setCurrentIndex(dialog.ComboBoxPapers->count() - 1);
    EXPECT_EQ(dialog.SpinEditPageWidth->value(), 210); // the custom entry sets nothing

    dialog.RadioGroupOrient->Button(0)->click();
    EXPECT_EQ(dialog.SpinEditPageWidth->value(), 148);
    EXPECT_EQ(dialog.ComboBoxPapers->currentIndex(), a5);
}

TEST_F(PrintSetup, TypedFileNameAndPageListPickModeAndRange) {
    dialog.EditFilename->setText("/tmp/out.txt");
    EXPECT_EQ(dialog.RadioGroupMode->ItemIndex(), 2);
    dialog.EditFilename->clear();
    EXPECT_EQ(dialog.RadioGroupMode->ItemIndex(), 1);
    dialog.EditPages->setText("1,3");
    EXPECT_TRUE(dialog.RadioButtonPages->isChecked());
    dialog.EditPages->clear();
    EXPECT_TRUE(dialog.RadioButtonAll->isChecked());

    ui->fileNames.enqueue("/tmp/book.txt");
    dialog.SpeedButton1Click();
    EXPECT_EQ(dialog.EditFilename->text(), "/tmp/book.txt");
    EXPECT_EQ(dialog.RadioGroupMode->ItemIndex(), 2);
    EXPECT_TRUE(ui->fileDialogs.first().endsWith("|txt"));
    dialog.SpeedButton1Click(); // cancelled: the name stays
    EXPECT_EQ(dialog.EditFilename->text(), "/tmp/book.txt");
}

TEST_F(PrintSetup, FontButtonsEditCopiesUntilOk) {
    ui->fonts.enqueue(QFont("Courier New", 20));
    dialog.BitBtnNumFontClick();
    EXPECT_EQ(dialog.LabelNumFont->text(), "Courier New, 20");
    dialog.BitBtnTextFontClick(); // cancelled
    EXPECT_EQ(dialog.LabelTextFont->text(), "Courier New, 12");

    TKivPrintSet s;
    QTimer::singleShot(0, [&] { dialog.reject(); });
    EXPECT_FALSE(dialog.Execute(s));
    EXPECT_EQ(s.NumberFont, TKivPrintSet().NumberFont);

    QTimer::singleShot(0, [&] {
        dialog.BitBtnHeaderFont->click();
        dialog.SpinEditCopies->setValue(7);
        dialog.OKBtn->click();
    });
    ui->fonts.enqueue(QFont("Arial", 30));
    EXPECT_TRUE(dialog.Execute(s));
    EXPECT_EQ(s.TitleFont, QFont("Arial", 30));
    EXPECT_EQ(s.Copies, 7);
}

TEST_F(PrintSetup, PrinterSetupRefreshesThePaperList) {
    int shown = 0;
    const auto saved = TDialPrint::PrinterSetup();
    TDialPrint::PrinterSetup() = [&](QPrinter&, QWidget*) {
        ++shown;
        return true;
    };
    dialog.ComboBoxPapers->clear();
    dialog.BitBtnPrinterClick();
    TDialPrint::PrinterSetup() = saved;
    EXPECT_EQ(shown, 1);
    EXPECT_GT(dialog.ComboBoxPapers->count(), 1);
    EXPECT_FALSE(dialog.LabelPrinter->text().isEmpty());
}
