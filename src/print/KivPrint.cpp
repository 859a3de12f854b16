#include "KivPrint.h"

#include "Cp1252.h"
#include "Cp437.h"
#include "DBGrid.h"
#include "DiPrint.h"
#include "KivContr.h" // completes the grid's list combo
#include "KivForms.h"
#include "KivGrid.h"
#include "KivSpooler.h"
#include "TDataSet.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kAllPages = 2147483647;
const QString kCrLf = QStringLiteral("\r\n");

// A failure while opening a printout: BeginDoc turns it into false.
struct OpenFailure {
    QString message;
};
[[noreturn]] void failOpen(const char* message) {
    throw OpenFailure{QString::fromLatin1(message)};
}

// A number of the page list; `fallback` when the text is not one.
qint64 rangeNumber(const QString& text, qint64 fallback) {
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok && n >= 0 && n <= kAllPages ? n : fallback;
}

} // namespace

// ---------------------------------------------------------------- settings

TKivPrintSet::TKivPrintSet()
    : NumberFont(QStringLiteral("Arial"), 10), TitleFont(QStringLiteral("Arial"), 14),
      TextFont(QStringLiteral("Courier New"), 12) {
    TitleFont.setBold(true);
    TitleFont.setItalic(true);
}

void TKivPrintSet::SetTitle(const QString& title, TDataSet* dataSet) {
    if (!(dataSet && (dataSet == LastDataSet || title.isEmpty()))) Title = title;
    LastDataSet = dataSet;
}

namespace {

std::unique_ptr<TKivPrintSet> gSettings;
std::unique_ptr<TKivPrinter> gPrinter;
bool gFreeRegistered = false;

// The instances hold fonts and a platform printer, which must go while the
// application object still exists.
void freeInstances() {
    gPrinter.reset();
    gSettings.reset();
    gFreeRegistered = false;
}
void registerFree() {
    if (gFreeRegistered) return;
    qAddPostRoutine(freeInstances);
    gFreeRegistered = true;
}

} // namespace

TKivPrintSet& PrintSettings() {
    if (!gSettings) {
        gSettings = std::make_unique<TKivPrintSet>();
        registerFree();
    }
    return *gSettings;
}

TKivPrinter& KitPrinter() {
    if (!gPrinter) {
        gPrinter = std::make_unique<TKivPrinter>();
        registerFree();
    }
    return *gPrinter;
}

TKivPitch KivTextPitch(int index) {
    switch (index) {
    case 1:
        return {100, QByteArray("\x1B\x50\x12", 3)};
    case 2:
        return {120, QByteArray("\x1B\x4D\x12", 3)};
    case 3:
        return {170, QByteArray("\x1B\x50\x0F", 3)};
    case 4:
        return {200, QByteArray("\x1B\x4D\x0F", 3)};
    default:
        return {100, QByteArray()};
    }
}

int KivLineSpacing(double interval) {
    const double n = std::round(interval * 36);
    return n >= 1 && n <= 255 ? int(n) : n > 255 ? 255 : 1;
}

// ---------------------------------------------------------------- printer

struct TKivPrinter::Caps {
    int dpiX = 1, dpiY = 1;    // pixels per inch
    int offX = 0, offY = 0;    // physical offset of the printable area, pixels
    int width = 0, height = 0; // printable area, pixels
    int widthMm = 0, heightMm = 0;
};

TKivPrinter::TKivPrinter() = default;

TKivPrinter::~TKivPrinter() {
    if (!printing_) return;
    try {
        EndDoc();
    } catch (...) {
        // nobody is left to tell
    }
}

QPrinter& TKivPrinter::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

TKivPrinter::Caps TKivPrinter::deviceCaps() {
    QPrinter& p = Printer();
    Caps c;
    c.dpiX = std::max(1, p.logicalDpiX());
    c.dpiY = std::max(1, p.logicalDpiY());
    const QRect paper = p.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = p.pageRect(QPrinter::DevicePixel).toRect();
    c.offX = std::max(0, page.left() - paper.left());
    c.offY = std::max(0, page.top() - paper.top());
    c.width = p.width();
    c.height = p.height();
    c.widthMm = p.widthMM();
    c.heightMm = p.heightMM();
    return c;
}

void TKivPrinter::SetMode(int mode) {
    if (printing_) EndDoc();
    mode_ = mode == pmText || mode == pmFile ? mode : pmGraphics;
}

void TKivPrinter::checkPrinting(const char* message) const {
    if (!printing_) throw EPrinterError(QString::fromLatin1(message));
}

void TKivPrinter::prepareLayout() {
    const Caps c = deviceCaps();
    // Millimetres to output units, less the printer's offset unless told not to.
    const auto x = [&](qint64 mm, bool offset = true) -> int {
        switch (mode_) {
        case pmText:
            return int(mm * pitchW_ / 254 - (offset ? qint64(c.offX) * pitchW_ / c.dpiX / 10 : 0));
        case pmFile:
            return int(mm * 100 / 254);
        default:
            return int(mm * c.dpiX * 10 / 254 - (offset ? c.offX : 0));
        }
    };
    const auto y = [&](qint64 mm, bool offset = true) -> int {
        switch (mode_) {
        case pmText:
            return int(mm * 2160 / (254 * spacingN_) -
                       (offset ? qint64(c.offY) * 216 / c.dpiY / spacingN_ : 0));
        case pmFile:
            return int(mm * 36 / 254);
        default:
            return int(mm * c.dpiY * 10 / 254 - (offset ? c.offY : 0));
        }
    };
    if (settings_) {
        const TKivPrintSet& s = *settings_;
        leftLimit_ = x(s.LeftMargin);
        topLimit_ = y(s.TopMargin);
        rightLimit_ = x(s.PageWidth - s.RightMargin);
        bottomLimit_ = y(s.PageHeight - s.BottomMargin);
        pageLength_ = y(s.PageHeight);
        pageNumber_ = s.FirstPageNumber;
    } else {
        leftLimit_ = x(10);
        topLimit_ = y(10);
        if (mode_ == pmGraphics) {
            rightLimit_ = c.width - x(10, false) - c.offX;
            bottomLimit_ = c.height - y(10, false) - c.offY;
            pageLength_ = c.height - c.offY;
        } else {
            rightLimit_ = x(c.widthMm - 10);
            pageLength_ = y(c.heightMm);
            bottomLimit_ = pageLength_ - y(10, false);
        }
        pageNumber_ = 1;
    }
    x_ = leftLimit_;
    y_ = topLimit_;
    parsePageRange();
    selectPage();
    pageStarted_ = pageSelected_;
}

void TKivPrinter::parsePageRange() {
    ranges_.clear();
    if (!settings_ || settings_->RangeKind != 1) {
        lastPage_ = kAllPages;
        return;
    }
    lastPage_ = 0;
    const QString& pages = settings_->Pages;
    for (qsizetype i = 0; i < pages.size();) {
        const auto inToken = [&](qsizetype k) {
            return k < pages.size() && (pages[k].isDigit() || pages[k] == QLatin1Char('-'));
        };
        if (!inToken(i)) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (inToken(end))
            ++end;
        const QString token = pages.mid(i, end - i);
        i = end;
        const qsizetype dash = token.indexOf(QLatin1Char('-'));
        const qint64 upper = rangeNumber(dash < 0 ? token : token.mid(dash + 1), 0);
        if (upper > 0) ranges_ << token;
        lastPage_ = std::max(lastPage_, upper);
    }
}

void TKivPrinter::selectPage() {
    if (!settings_ || settings_->RangeKind != 1) {
        pageSelected_ = true;
        return;
    }
    pageSelected_ = false;
    if (!PagesRemain()) return;
    for (const QString& token : ranges_) {
        const qsizetype dash = token.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            if (rangeNumber(token, 0) == pageNumber_) pageSelected_ = true;
        } else {
            const qint64 lower = rangeNumber(token.left(dash), kAllPages);
            const qint64 upper = rangeNumber(token.mid(dash + 1), 0);
            if (lower <= pageNumber_ && pageNumber_ <= upper) pageSelected_ = true;
        }
        if (pageSelected_) return;
    }
}

bool TKivPrinter::BeginDoc(TKivPrintSet* settings) {
    // A new printout with settings closes an open one; without, it is misuse.
    if (settings) SetMode(settings->Mode);
    if (printing_) throw EPrinterError(QStringLiteral("Double BeginDoc"));
    settings_ = settings;
    printing_ = true;
    try {
        switch (mode_) {
        case pmText: {
            const TKivPitch pitch = KivTextPitch(settings ? settings->TextPitch : 1);
            pitchW_ = pitch.W;
            spacingN_ = settings ? KivLineSpacing(settings->Interval) : 36;
            initString_ = pitch.code + QByteArray("\x1B\x33") + char(spacingN_);
            prepareLayout();
            if (!PagesRemain()) failOpen("Nothing to print");
            const TKivSpoolerFactory& factory = KivSpoolerFactory();
            spooler_ = factory ? factory() : nullptr;
            if (!spooler_ || !spooler_->OpenPrinter(Printer().printerName()))
                failOpen("Error printer connecting");
            if (!spooler_->StartDoc(QStringLiteral("KivPrint")))
                failOpen("Error printing document opening");
            // The set-up bytes are codes, not text: no character conversion.
            if (!spooler_->Write(initString_)) failOpen("Error printing document");
            StartPage();
            break;
        }
        case pmGraphics: {
            QPrinter& p = Printer();
            p.setPageOrientation(!settings || settings->Portrait ? QPageLayout::Portrait
                                                                 : QPageLayout::Landscape);
            p.setCopyCount(settings ? std::max<int>(1, settings->Copies) : 1);
            p.setDocName(QStringLiteral("KivPrint"));
            prepareLayout();
            if (!PagesRemain()) failOpen("Nothing to print");
            painter_ = std::make_unique<QPainter>();
            if (!painter_->begin(&p)) failOpen("Error printing document opening");
            painter_->setFont(settings ? settings->TextFont
                                       : QFont(QStringLiteral("Courier New"), 12));
            StartPage();
            if (settings) {
                painter_->setFont(settings->TitleFont);
                Print(settings->Title);
                painter_->setFont(settings->TextFont);
            }
            break;
        }
        default: {
            const QString name = settings && !settings->FileName.isEmpty()
                                     ? settings->FileName
                                     : QStringLiteral("Printer");
            file_ = std::make_unique<QFile>(name);
            if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate))
                failOpen("Error document file opening");
            prepareLayout();
            if (PagesRemain()) StartPage();
            break;
        }
        }
    } catch (...) {
        // Whatever went wrong, the printout is not open; callers only learn
        // that it did not begin.
        releaseDevice();
        printing_ = false;
        return false;
    }
    return true;
}

void TKivPrinter::releaseDevice() {
    if (spooler_) spooler_->ClosePrinter();
    spooler_.reset();
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
    file_.reset();
}

namespace {
// Runs at the end of a scope however it is left.
template <class F> struct Finally {
    F f;
    ~Finally() { f(); }
};
template <class F> Finally(F) -> Finally<F>;
} // namespace

void TKivPrinter::EndDoc() {
    checkPrinting("EndDoc without BeginDoc");
    Finally close{[this] {
        releaseDevice();
        printing_ = false;
    }};
    switch (mode_) {
    case pmText:
        if (pageSelected_) EndPage();
        endSpool();
        break;
    case pmGraphics:
        if (!painter_->end()) throw EPrinterError(QStringLiteral("Error closing document"));
        break;
    default:
        if (pageSelected_) EndPage();
        if (!file_->flush()) throw EInOutError(file_->errorString());
        file_->close();
        break;
    }
}

// The reset goes out whichever page the printout ended on, and never as a
// line that could start one more page.
void TKivPrinter::endSpool() {
    if (!spooler_->Write(QByteArray("\x1B\x40"))) throw EPrinterError("Error printing document");
    if (!spooler_->EndDoc()) throw EPrinterError(QStringLiteral("Error closing document"));
}

void TKivPrinter::Abort() {
    checkPrinting("EndDoc without BeginDoc");
    Finally close{[this] {
        releaseDevice();
        printing_ = false;
    }};
    switch (mode_) {
    case pmText:
        endSpool();
        break;
    case pmGraphics:
        Printer().abort();
        break;
    default:
        file_->close();
        break;
    }
}

void TKivPrinter::NewPage() {
    if (mode_ == pmGraphics) {
        y_ = topLimit_;
        ++pageNumber_;
        selectPage();
        if (pageSelected_) {
            if (pageStarted_) Printer().newPage();
            pageStarted_ = true;
            StartPage();
        }
        return;
    }
    if (pageSelected_) EndPage();
    y_ = topLimit_;
    ++pageNumber_;
    selectPage();
    if (pageSelected_) {
        pageStarted_ = true;
        StartPage();
    }
}

QString TKivPrinter::pageNumberText() const {
    const QString number = QString::number(pageNumber_);
    QString text = settings_->NumberFormat;
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    if (hash < 0) return QStringLiteral("- ") + number + QStringLiteral(" -");
    return text.replace(hash, 1, number);
}

QPainter& TKivPrinter::painter() {
    return *painter_;
}

void TKivPrinter::StartPage() {
    numberLine_.clear();
    if (!pageSelected_ || !pageStarted_) return;
    const TKivPrintSet* s = settings_;
    if (s && s->Numbering && (s->NumberOnFirstPage || s->FirstPageNumber < pageNumber_)) {
        numberLine_ = pageNumberText();
        if (mode_ == pmGraphics) {
            QPainter& p = painter();
            p.setFont(s->NumberFont);
            const QFontMetrics fm = p.fontMetrics();
            const int length = fm.horizontalAdvance(numberLine_);
            const int x = s->NumberPosition == 0 ? leftLimit_
                          : s->NumberPosition == 1
                              ? rightLimit_ - length
                              : leftLimit_ + (rightLimit_ - leftLimit_ - length) / 2;
            const int top = s->NumberAtTop ? std::max(0, topLimit_ - 2 * fm.height())
                                           : std::max(bottomLimit_, pageLength_ - 2 * fm.height());
            p.save();
            p.setClipRect(QRect(QPoint(x, top), QPoint(rightLimit_, pageLength_)));
            p.drawText(x, top + fm.ascent(), numberLine_);
            p.restore();
            p.setFont(s->TextFont);
        } else {
            const int length = int(numberLine_.size());
            // Centred between the limits, as the left and right places stay inside them.
            const int blanks = s->NumberPosition == 0 ? leftLimit_
                               : s->NumberPosition == 1
                                   ? rightLimit_ - length
                                   : leftLimit_ + (rightLimit_ - leftLimit_ - length) / 2;
            numberLine_.prepend(QString(std::max(0, blanks), QLatin1Char(' ')));
        }
    }
    if (mode_ == pmGraphics || (s && s->WithoutPages)) return;
    const bool numberAtTop = !numberLine_.isEmpty() && s->NumberAtTop;
    const int numberBefore = topLimit_ == 2 ? 0 : 1;
    for (int i = 0; i < topLimit_ - 1; ++i) {
        if (numberAtTop && i == numberBefore) WriteRaw(numberLine_);
        WriteRaw(kCrLf);
    }
}

void TKivPrinter::EndPage() {
    if (mode_ == pmGraphics || (settings_ && settings_->WithoutPages)) return;
    if (settings_ && !settings_->NumberAtTop && !numberLine_.isEmpty()) {
        for (int y = y_; y <= pageLength_ - 4; ++y)
            WriteRaw(kCrLf);
        WriteRaw(numberLine_);
    }
    WriteRaw(QStringLiteral("\f"));
}

void TKivPrinter::WriteRaw(const QString& text) {
    switch (mode_) {
    case pmText:
        // Lines of any length go out whole; the spooler takes the bytes as they come.
        if (!spooler_->Write(Cp437::encode(text)))
            throw EPrinterError(QStringLiteral("Error printing document"));
        break;
    case pmFile: {
        const QByteArray bytes = Cp1252::encode(text);
        if (file_->write(bytes) != bytes.size())
            throw EPrinterError(QStringLiteral("Error saving document"));
        break;
    }
    default:
        break;
    }
}

int TKivPrinter::graphicsLineHeight() {
    const QFontMetrics fm = painter().fontMetrics();
    const int height = fm.height() + fm.leading();
    return settings_ ? std::max(1, int(std::lround(height * settings_->Interval))) : height;
}

void TKivPrinter::PrintLine(const QString& line) {
    switch (mode_) {
    case pmText:
        if (y_ >= bottomLimit_) NewPage();
        if (pageSelected_) {
            const QString text = QString(std::max(0, leftLimit_ - 1), QLatin1Char(' ')) + line;
            WriteRaw(text.left(std::max(0, rightLimit_)) + kCrLf);
        }
        ++y_;
        break;
    case pmFile:
        if (y_ >= bottomLimit_) NewPage();
        if (pageSelected_) WriteRaw(line + kCrLf);
        ++y_;
        break;
    default: {
        if (y_ + painter().fontMetrics().height() > bottomLimit_) NewPage();
        if (pageSelected_) {
            QPainter& p = painter();
            p.save();
            p.setClipRect(QRect(QPoint(x_, y_), QPoint(rightLimit_, bottomLimit_)));
            p.drawText(x_, y_ + p.fontMetrics().ascent(), line);
            p.restore();
        }
        y_ += graphicsLineHeight();
        break;
    }
    }
}

void TKivPrinter::Print(const QString& text) {
    checkPrinting("Print without BeginDoc");
    // Each form feed ends a page; nothing is printed after a final one.
    const QStringList parts = text.split(QLatin1Char('\f'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0 && i == parts.size() - 1 && parts[i].isEmpty()) break;
        printPart(parts[i]);
        if (i < parts.size() - 1) NewPage();
    }
}

// A text without form feeds; a loop rather than recursion over its lines, so
// a long text cannot exhaust the stack.
void TKivPrinter::printPart(QString text) {
    for (;;) {
        qsizetype at = text.indexOf(kCrLf);
        if (at < 0) at = text.indexOf(QStringLiteral("\n\r"));
        if (at < 0) {
            PrintLine(text);
            return;
        }
        printPart(text.left(at)); // holds no CR LF: one level deeper at most
        text = text.mid(at + 2);
        if (text.isEmpty()) {
            PrintLine(QString());
            return;
        }
    }
}

void TKivPrinter::PrintLines(const QStringList& lines) {
    checkPrinting("Print without BeginDoc");
    for (const QString& line : lines)
        Print(line);
}

// ---------------------------------------------------------------- datasets

bool FieldSelected(TDataSet* dataSet, const QString& fieldChoice, TField* field) {
    if (!field) return false;
    const bool system = field->Tag() % 10 == 8;
    if (fieldChoice == QLatin1String("AllFields")) return true;
    if (fieldChoice == QLatin1String("UserFields")) return !system;
    if (fieldChoice == QLatin1String("VisibleFields")) return field->Visible() && !system;
    Q_UNUSED(dataSet);
    const QStringList names = fieldChoice.split(QLatin1Char(';'));
    return std::any_of(names.begin(), names.end(), [&](const QString& name) {
        return name.trimmed().compare(field->FieldName(), Qt::CaseInsensitive) == 0;
    });
}

QString Dashes(int n) {
    return QString(std::max(0, n), QLatin1Char('-'));
}

void FormatRecord(TDataSet* dataSet, const QString& fieldChoice, QStringList& lines,
                  const QString& separator, int width) {
    struct Item {
        QString label, value;
        int column;
    };
    QList<Item> items;
    qsizetype longest = 0;
    for (TField* field : dataSet->Fields()) {
        if (!FieldSelected(dataSet, fieldChoice, field)) continue;
        const QString label = field->DisplayLabel();
        items.append(
            {label, field->DisplayText(), std::max(int(label.size()), field->DisplayWidth())});
        longest = std::max(longest, label.size());
    }
    if (!separator.isEmpty()) {
        QString line;
        for (const Item& item : items) {
            const QString value = KivPadString(item.value, item.column, kaLeft, false);
            if (width == 0) {
                lines << KivPadString(item.label, int(longest), kaLeft, false) + QLatin1Char(' ') +
                             separator + QLatin1Char(' ') + value;
                continue;
            }
            const qsizetype length = item.label.size() + 1 + separator.size() + 1 + item.column;
            if (!line.isEmpty() && line.size() + length > width) {
                lines << line;
                line.clear();
            }
            line += item.label + QLatin1Char(' ') + separator + QLatin1Char(' ') + value;
        }
        if (!line.isEmpty()) lines << line;
        return;
    }
    QString labels, values;
    for (const Item& item : items) {
        if (!labels.isEmpty() && labels.size() + item.column > width) {
            lines << labels << values;
            labels.clear();
            values.clear();
        }
        labels += KivPadString(item.label, item.column, kaCenter, false);
        values += KivPadString(item.value, item.column, kaLeft, false);
    }
    if (!labels.isEmpty()) lines << labels << values;
}

TKivPrintGridProc& KivPrintGridProc() {
    static TKivPrintGridProc proc;
    return proc;
}

TKivPrintGridProc& KivPrintRecordProc() {
    static TKivPrintGridProc proc;
    return proc;
}

namespace {

TDataSet* printableDataSet(TDBGrid* grid) {
    TDataSet* dataSet = grid ? grid->DataSet() : nullptr;
    return dataSet && dataSet->Active() && !dataSet->IsEmpty() ? dataSet : nullptr;
}

// Closes a printout a failure left open, so the next one can begin.
void abortQuietly(TKivPrinter& printer) {
    if (!printer.Printing()) return;
    try {
        printer.Abort();
    } catch (...) {
        // the failure being reported is the one that counts
    }
}

} // namespace

namespace {

// The program's own print procedure, when it installed one; true when it ran.
bool runInstalled(const TKivPrintGridProc& proc, TDBGrid* grid, const QString& failure) {
    if (!proc) return false;
    try {
        proc(grid);
    } catch (const std::exception&) {
        KivShowMessage(failure);
    }
    return true;
}

} // namespace

void PrintTable(TDBGrid* grid) {
    TDataSet* dataSet = printableDataSet(grid);
    if (!dataSet) return;
    if (runInstalled(KivPrintGridProc(), grid, QStringLiteral("Error printing table"))) return;
    TKivPrintSet& settings = PrintSettings();
    settings.SetTitle(KivGetStringProperty(dataSet, QStringLiteral("Caption")), dataSet);
    if (!PrintDialog().Execute(settings)) return;

    const int charWidth =
        std::max(1, QFontMetrics(grid->font()).horizontalAdvance(QLatin1Char('0')));
    QList<int> widths;
    for (int c = 0; c < grid->ColumnCount(); ++c)
        widths << grid->Column(c).Width / charWidth + 1;
    const auto joined = [&](const std::function<QString(int)>& cell, const QString& glue) {
        QStringList cells;
        for (int c = 0; c < grid->ColumnCount(); ++c)
            cells << KivPadString(cell(c), widths[c], int(grid->Column(c).Alignment()), false);
        return cells.join(glue);
    };
    auto* kitGrid = qobject_cast<TKivDbGrid*>(grid);

    // Rows are read where they lie, so the dataset neither moves nor fires
    // its scroll events, and an edit in progress stays as it is.
    TKivPrinter& printer = KitPrinter();
    const int copies = settings.Mode == TKivPrinter::pmText ? std::max<int>(1, settings.Copies) : 1;
    for (int copy = 0; copy < copies; ++copy) {
        try {
            if (!printer.BeginDoc(&settings)) continue;
            QStringList titles;
            for (int c = 0; c < grid->ColumnCount(); ++c)
                titles << KivPadString(grid->Column(c).TitleCaption(), widths[c], kaCenter, false);
            const QString header = titles.join(QLatin1Char('|'));
            printer.Print(header);
            printer.Print(Dashes(int(header.size())));
            for (int row = 0; row < dataSet->RecordCount() && printer.PagesRemain(); ++row) {
                QString line;
                dataSet->ReadRecordAt(row, [&] {
                    line = joined(
                        [&](int c) {
                            TField* field = grid->Column(c).Field;
                            return field ? field->DisplayText() : QString();
                        },
                        QStringLiteral("|"));
                });
                printer.Print(line);
            }
            if (kitGrid && kitGrid->Total() && printer.PagesRemain())
                printer.Print(
                    joined([&](int c) { return kitGrid->TotalText(c); }, QStringLiteral(" ")));
            printer.EndDoc();
        } catch (const std::exception&) {
            abortQuietly(printer);
            KivShowMessage(QStringLiteral("Error printing table"));
            break;
        }
    }
}

void PrintRecord(TDBGrid* grid) {
    TDataSet* dataSet = printableDataSet(grid);
    if (!dataSet) return;
    if (runInstalled(KivPrintRecordProc(), grid, QStringLiteral("Error printing record"))) return;
    TKivPrinter& printer = KitPrinter();
    try {
        printer.BeginDoc(nullptr); // a failure shows at the first line
        const QString caption = KivGetStringProperty(dataSet, QStringLiteral("Caption"));
        if (!caption.isEmpty()) printer.Print(QStringLiteral("     ") + caption);
        QStringList lines;
        FormatRecord(dataSet, QStringLiteral("VisibleFields"), lines, QStringLiteral(">"), 0);
        printer.PrintLines(lines);
        printer.EndDoc();
    } catch (const std::exception&) {
        abortQuietly(printer);
        KivShowMessage(QStringLiteral("Error printing record"));
    }
}
