#include "DiPrint.h"

#include "KivPrint.h"
#include "UIServices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

// ---------------------------------------------------------------- radio group

TKivRadioGroup::TKivRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    auto* box = new QGroupBox(caption, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(box);
    auto* layout = new QVBoxLayout(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], box);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit Clicked(id);
    });
}

int TKivRadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void TKivRadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = group_->button(index)) button->setChecked(true);
}

QRadioButton* TKivRadioGroup::Button(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}

// ---------------------------------------------------------------- dialog

namespace {

QSpinBox* spin(QWidget* parent, int low, int high) {
    auto* s = new QSpinBox(parent);
    s->setRange(low, high);
    return s;
}

// ComboBoxH lists Left, Center, Right; the settings number them left 0, right 1, centre 2.
constexpr int kPositionOfItem[3] = {0, 2, 1};
int itemOfPosition(int position) {
    return position == 0 ? 0 : position == 1 ? 2 : 1;
}

} // namespace

TDialPrint::TDialPrint(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Print setup"));
    auto* tabs = new QTabWidget(this);

    // Common
    auto* common = new QWidget;
    auto* cl = new QGridLayout(common);
    LabelTitle = new QLabel(tr("Title"), common);
    MemoTitle = new QPlainTextEdit(common);
    MemoTitle->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoTitle->setMaximumHeight(60);
    LabelPrinter = new QLabel(common);
    BitBtnPrinter = new QPushButton(tr("Printer"), common);
    BitBtnPrinter->setToolTip(tr("Printer setup"));
    LabelCopies = new QLabel(tr("Copies"), common);
    SpinEditCopies = spin(common, 1, 99);
    RadioGroupMode = new TKivRadioGroup(tr("Print mode"),
                                        {tr("Text mode"), tr("Graphics mode"), tr("File")}, common);
    EditFilename = new QLineEdit(common);
    EditFilename->setToolTip(tr("File name"));
    SpeedButton1 = new QToolButton(common);
    SpeedButton1->setText(QStringLiteral("..."));
    auto* range = new QGroupBox(tr("Print Range"), common);
    auto* rl = new QGridLayout(range);
    RadioButtonAll = new QRadioButton(tr("All"), range);
    RadioButtonPages = new QRadioButton(tr("Numbers"), range);
    EditPages = new QLineEdit(range);
    rl->addWidget(RadioButtonAll, 0, 0);
    rl->addWidget(RadioButtonPages, 1, 0);
    rl->addWidget(EditPages, 1, 1);
    rl->addWidget(new QLabel(tr("For example 1,3,5-12"), range), 2, 1);
    cl->addWidget(LabelTitle, 0, 0);
    cl->addWidget(MemoTitle, 0, 1, 1, 3);
    cl->addWidget(LabelPrinter, 1, 0, 1, 2);
    cl->addWidget(BitBtnPrinter, 1, 2);
    cl->addWidget(LabelCopies, 2, 0);
    cl->addWidget(SpinEditCopies, 2, 1);
    cl->addWidget(RadioGroupMode, 3, 0, 1, 2);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(EditFilename);
    fileRow->addWidget(SpeedButton1);
    cl->addLayout(fileRow, 4, 0, 1, 4);
    cl->addWidget(range, 3, 2, 1, 2);
    tabs->addTab(common, tr("Common"));

    // Page Setup
    auto* setup = new QWidget;
    auto* sl = new QGridLayout(setup);
    auto* margins = new QGroupBox(tr("Margins"), setup);
    auto* ml = new QFormLayout(margins);
    SpinEditTop = spin(margins, 0, 32767);
    SpinEditLeft = spin(margins, 0, 32767);
    SpinEditRight = spin(margins, 0, 32767);
    SpinEditBottom = spin(margins, 0, 32767);
    ml->addRow(tr("Top"), SpinEditTop);
    ml->addRow(tr("Left"), SpinEditLeft);
    ml->addRow(tr("Right"), SpinEditRight);
    ml->addRow(tr("Bottom"), SpinEditBottom);
    auto* paper = new QGroupBox(tr("Paper size"), setup);
    auto* pl = new QFormLayout(paper);
    ComboBoxPapers = new QComboBox(paper);
    SpinEditPageWidth = spin(paper, 0, 32767);
    SpinEditPageHeight = spin(paper, 0, 32767);
    RadioGroupOrient =
        new TKivRadioGroup(tr("Orientation"), {tr("Portrait"), tr("Landscape")}, paper);
    pl->addRow(ComboBoxPapers);
    pl->addRow(tr("Width"), SpinEditPageWidth);
    pl->addRow(tr("Height"), SpinEditPageHeight);
    pl->addRow(RadioGroupOrient);
    CheckBoxWOPages = new QCheckBox(tr("Without pages (text and file mode only)"), setup);
    sl->addWidget(margins, 0, 0);
    sl->addWidget(paper, 0, 1);
    sl->addWidget(CheckBoxWOPages, 1, 0, 1, 2);
    tabs->addTab(setup, tr("Page Setup"));

    // Numbering
    auto* numbering = new QWidget;
    auto* nl = new QGridLayout(numbering);
    CheckBoxNumbering = new QCheckBox(tr("Numbering"), numbering);
    LabelFirstPage = new QLabel(tr("Number of first page"), numbering);
    SpinEditNumPage = spin(numbering, 1, std::numeric_limits<int>::max());
    LabelFormat = new QLabel(tr("Format"), numbering);
    EditNumFormat = new QLineEdit(numbering);
    CheckBoxNumFirstPage = new QCheckBox(tr("Number on first page"), numbering);
    auto* position = new QGroupBox(tr("Position"), numbering);
    auto* posl = new QHBoxLayout(position);
    ComboBoxV = new QComboBox(position);
    ComboBoxV->addItems({tr("Top"), tr("Bottom")});
    ComboBoxH = new QComboBox(position);
    ComboBoxH->addItems({tr("Left"), tr("Center"), tr("Right")});
    posl->addWidget(ComboBoxV);
    posl->addWidget(ComboBoxH);
    BitBtnNumFont = new QPushButton(tr("Font (graphics mode)"), numbering);
    LabelNumFont = new QLabel(numbering);
    nl->addWidget(CheckBoxNumbering, 0, 0, 1, 2);
    nl->addWidget(LabelFirstPage, 1, 0);
    nl->addWidget(SpinEditNumPage, 1, 1);
    nl->addWidget(LabelFormat, 2, 0);
    nl->addWidget(EditNumFormat, 2, 1);
    nl->addWidget(CheckBoxNumFirstPage, 3, 0, 1, 2);
    nl->addWidget(position, 4, 0, 1, 2);
    nl->addWidget(BitBtnNumFont, 5, 0);
    nl->addWidget(LabelNumFont, 5, 1);
    tabs->addTab(numbering, tr("Numbering"));

    // Text
    auto* text = new QWidget;
    auto* tl = new QGridLayout(text);
    RadioGroupText = new TKivRadioGroup(
        tr("Text mode"),
        {tr("Default"), tr("Normal"), tr("Elite"), tr("Condensed"), tr("Condensed elite")}, text);
    LabelInterval = new QLabel(tr("Interval"), text);
    EditInterval = new QLineEdit(text);
    SpinButton1Up = new QToolButton(text);
    SpinButton1Up->setArrowType(Qt::UpArrow);
    SpinButton1Down = new QToolButton(text);
    SpinButton1Down->setArrowType(Qt::DownArrow);
    auto* graphics = new QGroupBox(tr("Graphics mode"), text);
    auto* gl = new QGridLayout(graphics);
    BitBtnHeaderFont = new QPushButton(tr("Title font"), graphics);
    LabelTitleFont = new QLabel(graphics);
    BitBtnTextFont = new QPushButton(tr("Text font"), graphics);
    LabelTextFont = new QLabel(graphics);
    gl->addWidget(BitBtnHeaderFont, 0, 0);
    gl->addWidget(LabelTitleFont, 0, 1);
    gl->addWidget(BitBtnTextFont, 1, 0);
    gl->addWidget(LabelTextFont, 1, 1);
    auto* interval = new QHBoxLayout;
    interval->addWidget(LabelInterval);
    interval->addWidget(EditInterval);
    interval->addWidget(SpinButton1Up);
    interval->addWidget(SpinButton1Down);
    tl->addWidget(RadioGroupText, 0, 0, 2, 1);
    tl->addLayout(interval, 0, 1);
    tl->addWidget(graphics, 1, 1);
    tabs->addTab(text, tr("Text"));

    OKBtn = new QPushButton(tr("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(tr("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtnPrinter, &QPushButton::clicked, this, &TDialPrint::BitBtnPrinterClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TDialPrint::SpeedButton1Click);
    connect(EditPages, &QLineEdit::textChanged, this, &TDialPrint::EditPagesChange);
    connect(EditFilename, &QLineEdit::textChanged, this, &TDialPrint::EditFilenameChange);
    connect(ComboBoxPapers, &QComboBox::currentIndexChanged, this,
            &TDialPrint::ComboBoxPapersChange);
    connect(RadioGroupOrient, &TKivRadioGroup::Clicked, this, &TDialPrint::RadioGroupOrientClick);
    connect(SpinEditPageWidth, &QSpinBox::valueChanged, this, &TDialPrint::SpinEditPageWidthChange);
    connect(SpinEditPageHeight, &QSpinBox::valueChanged, this,
            &TDialPrint::SpinEditPageWidthChange);
    connect(BitBtnHeaderFont, &QPushButton::clicked, this, &TDialPrint::BitBtnHeaderFontClick);
    connect(BitBtnTextFont, &QPushButton::clicked, this, &TDialPrint::BitBtnTextFontClick);
    connect(BitBtnNumFont, &QPushButton::clicked, this, &TDialPrint::BitBtnNumFontClick);
    connect(SpinButton1Up, &QToolButton::clicked, this, &TDialPrint::SpinButton1UpClick);
    connect(SpinButton1Down, &QToolButton::clicked, this, &TDialPrint::SpinButton1DownClick);
    connect(EditInterval, &QLineEdit::editingFinished, this, &TDialPrint::EditIntervalExit);
}

TDialPrint::~TDialPrint() = default;

std::function<bool(QPrinter&, QWidget*)>& TDialPrint::PrinterSetup() {
    static std::function<bool(QPrinter&, QWidget*)> setup = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    return setup;
}

QString TDialPrint::FontDescription(const QFont& font) {
    QString text = font.family() + QStringLiteral(", ") + QString::number(font.pointSize());
    if (font.bold()) text += QStringLiteral(", Bold");
    if (font.italic()) text += QStringLiteral(", Italic");
    if (font.underline()) text += QStringLiteral(", Underline");
    if (font.strikeOut()) text += QStringLiteral(", StrikeOut");
    return text;
}

void TDialPrint::FillControls(const TKivPrintSet& s) {
    // Filling is not the author typing: the file name and page list must not
    // overrule the stored mode and range.
    ++updating_;
    const QSignalBlocker blockFile(EditFilename);
    const QSignalBlocker blockPages(EditPages);
    RadioGroupMode->setItemIndex(s.Mode);
    SpinEditCopies->setValue(s.Copies);
    (s.RangeKind == 1 ? RadioButtonPages : RadioButtonAll)->setChecked(true);
    EditPages->setText(s.Pages);
    MemoTitle->setPlainText(QString(s.Title).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EditFilename->setText(s.FileName);
    SpinEditPageHeight->setValue(s.PageHeight);
    SpinEditPageWidth->setValue(s.PageWidth);
    RadioGroupOrient->setItemIndex(s.Portrait ? 0 : 1);
    SpinEditTop->setValue(s.TopMargin);
    SpinEditLeft->setValue(s.LeftMargin);
    SpinEditRight->setValue(s.RightMargin);
    SpinEditBottom->setValue(s.BottomMargin);
    CheckBoxWOPages->setChecked(s.WithoutPages);
    CheckBoxNumbering->setChecked(s.Numbering);
    CheckBoxNumFirstPage->setChecked(s.NumberOnFirstPage);
    ComboBoxV->setCurrentIndex(s.NumberAtTop ? 0 : 1);
    ComboBoxH->setCurrentIndex(itemOfPosition(s.NumberPosition));
    SpinEditNumPage->setValue(std::max(1, s.FirstPageNumber));
    EditNumFormat->setText(s.NumberFormat);
    RadioGroupText->setItemIndex(s.TextPitch);
    EditInterval->setText(QString::number(s.Interval, 'g', 12));
    TitleFont = s.TitleFont;
    TextFont = s.TextFont;
    NumberFont = s.NumberFont;
    LabelTitleFont->setText(FontDescription(TitleFont));
    LabelTextFont->setText(FontDescription(TextFont));
    LabelNumFont->setText(FontDescription(NumberFont));
    --updating_;
}

void TDialPrint::ReadControls(TKivPrintSet& s) {
    s.Mode = quint8(std::max(0, RadioGroupMode->ItemIndex()));
    s.Copies = qint16(SpinEditCopies->value());
    s.RangeKind = RadioButtonPages->isChecked() ? 1 : 0;
    s.Pages = EditPages->text();
    s.Title = MemoTitle->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    s.FileName = EditFilename->text();
    s.PageHeight = qint16(SpinEditPageHeight->value());
    s.PageWidth = qint16(SpinEditPageWidth->value());
    s.Portrait = RadioGroupOrient->ItemIndex() != 1;
    s.TopMargin = qint16(SpinEditTop->value());
    s.LeftMargin = qint16(SpinEditLeft->value());
    s.RightMargin = qint16(SpinEditRight->value());
    s.BottomMargin = qint16(SpinEditBottom->value());
    s.WithoutPages = CheckBoxWOPages->isChecked();
    s.Numbering = CheckBoxNumbering->isChecked();
    s.NumberOnFirstPage = CheckBoxNumFirstPage->isChecked();
    s.NumberAtTop = ComboBoxV->currentIndex() != 1;
    s.NumberPosition = quint8(kPositionOfItem[std::clamp(ComboBoxH->currentIndex(), 0, 2)]);
    s.FirstPageNumber = SpinEditNumPage->value();
    s.NumberFormat = EditNumFormat->text();
    s.TextPitch = quint8(std::max(0, RadioGroupText->ItemIndex()));
    s.TitleFont = TitleFont;
    s.TextFont = TextFont;
    s.NumberFont = NumberFont;
    NormaliseInterval(0);
    s.Interval = EditInterval->text().toDouble();
}

bool TDialPrint::Execute(TKivPrintSet& settings) {
    FillControls(settings);
    const bool ok = exec() == QDialog::Accepted;
    if (ok) ReadControls(settings);
    return ok;
}

void TDialPrint::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TDialPrint::FillPrinterInfo() {
    QPrinter& printer = KitPrinter().Printer();
    LabelPrinter->setText(printer.printerName().isEmpty() ? tr("PDF file") : printer.printerName());
    QList<QPageSize> sizes;
    if (printer.outputFormat() == QPrinter::NativeFormat)
        sizes = QPrinterInfo(printer).supportedPageSizes();
    if (sizes.isEmpty()) // no driver to ask: the common papers
        for (const QPageSize::PageSizeId id :
             {QPageSize::A4, QPageSize::A3, QPageSize::A5, QPageSize::B5, QPageSize::Letter,
              QPageSize::Legal, QPageSize::Executive})
            sizes << QPageSize(id);
    ++updating_;
    ComboBoxPapers->clear();
    PaperWidths.clear();
    PaperLengths.clear();
    for (const QPageSize& size : sizes) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        ComboBoxPapers->addItem(size.name().left(64));
        PaperWidths << int(std::lround(mm.width() * 10));
        PaperLengths << int(std::lround(mm.height() * 10));
    }
    ComboBoxPapers->addItem(tr("Custom size"));
    PaperWidths << 0;
    PaperLengths << 0;
    --updating_;
    MatchPaper();
}

void TDialPrint::MatchPaper() {
    ++updating_;
    const int width = SpinEditPageWidth->value() * 10;
    const int height = SpinEditPageHeight->value() * 10;
    const bool landscape = RadioGroupOrient->ItemIndex() == 1;
    int match = ComboBoxPapers->count() - 1;
    if (width > 0 && height > 0) {
        for (int i = 0; i + 1 < PaperWidths.size(); ++i) {
            const int w = landscape ? PaperLengths[i] : PaperWidths[i];
            const int h = landscape ? PaperWidths[i] : PaperLengths[i];
            if (std::abs(w - width) < 10 && std::abs(h - height) < 10) {
                match = i;
                break;
            }
        }
    }
    ComboBoxPapers->setCurrentIndex(match);
    --updating_;
}

void TDialPrint::setSize(int width, int height) {
    ++updating_;
    SpinEditPageWidth->setValue(width);
    SpinEditPageHeight->setValue(height);
    --updating_;
}

void TDialPrint::ComboBoxPapersChange() {
    const int i = ComboBoxPapers->currentIndex();
    if (updating_ || i < 0 || i + 1 >= ComboBoxPapers->count() || i >= PaperWidths.size()) return;
    const int width = int(std::lround(PaperWidths[i] / 10.0));
    const int height = int(std::lround(PaperLengths[i] / 10.0));
    if (RadioGroupOrient->ItemIndex() == 1)
        setSize(height, width);
    else
        setSize(width, height);
}

void TDialPrint::RadioGroupOrientClick() {
    if (updating_) return;
    setSize(SpinEditPageHeight->value(), SpinEditPageWidth->value());
    MatchPaper();
}

void TDialPrint::SpinEditPageWidthChange() {
    if (!updating_) MatchPaper();
}

void TDialPrint::EditPagesChange() {
    (EditPages->text().isEmpty() ? RadioButtonAll : RadioButtonPages)->setChecked(true);
}

void TDialPrint::EditFilenameChange() {
    RadioGroupMode->setItemIndex(EditFilename->text().isEmpty() ? 1 : 2);
}

void TDialPrint::BitBtnPrinterClick() {
    if (PrinterSetup()(KitPrinter().Printer(), this)) FillPrinterInfo();
    const QString name = KitPrinter().Printer().printerName();
    LabelPrinter->setText(name.isEmpty() ? tr("PDF file") : name);
}

void TDialPrint::SpeedButton1Click() {
    const QString name =
        UIServices::instance().saveFileName(tr("Print to file"), tr("Text files|*.txt|All files|*"),
                                            QStringLiteral("txt"), EditFilename->text());
    if (!name.isEmpty()) EditFilename->setText(name);
}

void TDialPrint::chooseFont(QFont& font, QLabel* label) {
    QFont chosen = font;
    if (!UIServices::instance().chooseFont(chosen)) return;
    font = chosen;
    label->setText(FontDescription(font));
}

void TDialPrint::BitBtnHeaderFontClick() {
    chooseFont(TitleFont, LabelTitleFont);
}

void TDialPrint::BitBtnTextFontClick() {
    chooseFont(TextFont, LabelTextFont);
}

void TDialPrint::BitBtnNumFontClick() {
    chooseFont(NumberFont, LabelNumFont);
}

void TDialPrint::NormaliseInterval(double step) {
    bool ok = false;
    double value =
        EditInterval->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        EditInterval->setText(QStringLiteral("1"));
        return;
    }
    value = std::clamp(value + step, 0.5, 100.0);
    EditInterval->setText(QString::number(value, 'g', 12));
}

namespace {
TDialPrint* gDialog = nullptr;
void freeDialog() {
    delete gDialog;
    gDialog = nullptr;
}
} // namespace

TDialPrint& PrintDialog() {
    if (!gDialog) {
        gDialog = new TDialPrint;
        // Widgets must go before the application object does.
        qAddPostRoutine(freeDialog);
    }
    return *gDialog;
}
