// Printing datasets: the print settings every printout of the run shares, a
// line printer with three outputs (raw text with ESC/P codes for a dot-matrix
// printer's queue, the printer canvas with fonts, or a plain text file) that
// paginates, numbers pages and prints only the pages of a page list, and the
// data grid's two print commands.
#pragma once

#include "KivError.h"

#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFile;
class QPainter;
class QPrinter;
class TDataSet;
class TDBGrid;
class TField;
class TKivSpooler;

// Misuse of the printer, and failures of its output.
class EPrinterError : public EKivError {
public:
    using EKivError::EKivError;
};

class TKivPrintSet {
public:
    TKivPrintSet();

    QPointer<TDataSet> LastDataSet; // the dataset whose title was set last
    quint8 Mode = 1;                // 0 text, 1 graphics, 2 file
    qint16 Copies = 1;
    qint16 RangeKind = 0; // 0 all pages, 1 the pages of Pages
    QString Pages;        // e.g. 1,3,5-12
    QString Title;        // lines separated by CR LF
    QString FileName;
    qint16 PageHeight = 297; // millimetres, as oriented
    qint16 PageWidth = 210;
    bool Portrait = true;
    qint16 TopMargin = 20;
    qint16 LeftMargin = 20;
    qint16 RightMargin = 15;
    qint16 BottomMargin = 20;
    bool WithoutPages = false; // text and file mode: no margins, numbers or form feeds
    bool Numbering = true;
    bool NumberOnFirstPage = false;
    bool NumberAtTop = true;
    quint8 NumberPosition = 2; // 0 left, 1 right, 2 centre
    qint32 FirstPageNumber = 1;
    QString NumberFormat = QStringLiteral("- # -");
    QFont NumberFont;
    quint8 TextPitch = 1;
    QFont TitleFont;
    QFont TextFont;
    double Interval = 1.0; // line spacing factor

    // Takes `title` unless the same dataset is printed again or the title is
    // empty, so a title edited in the dialog survives reprinting the dataset.
    void SetTitle(const QString& title, TDataSet* dataSet);
};

// The settings of the run, created on first use.
TKivPrintSet& PrintSettings();

// Text-mode pitch: characters per inch times 10, and the code that selects it.
struct TKivPitch {
    int W;
    QByteArray code;
};
TKivPitch KivTextPitch(int index);
// n of the text-mode line spacing n/216 inch for a spacing factor; the printer
// takes n as one byte, so it stays within 1 to 255.
int KivLineSpacing(double interval);

class TKivPrinter {
public:
    enum { pmText = 0, pmGraphics = 1, pmFile = 2 };

    TKivPrinter();
    virtual ~TKivPrinter();
    TKivPrinter(const TKivPrinter&) = delete;
    TKivPrinter& operator=(const TKivPrinter&) = delete;

    // Opens a printout with `settings`, or with the printer's own defaults
    // and its current mode. False (and closed) when it cannot be opened or no
    // page of the page list remains; the cause is not reported.
    virtual bool BeginDoc(TKivPrintSet* settings = nullptr);
    // Finishes the last page and hands the printout over. Closes the printout
    // also when it fails.
    virtual void EndDoc();
    // Drops the printout as far as the output allows.
    virtual void Abort();
    virtual void NewPage();

    // Prints text line by line: CR LF (else LF CR) separates lines, a form
    // feed starts a new page.
    void Print(const QString& text);
    void PrintLines(const QStringList& lines);
    // Closes an open printout first.
    void SetMode(int mode);
    // Whether the page list has pages at or after the current one.
    bool PagesRemain() const { return lastPage_ >= pageNumber_; }

    int Mode() const { return mode_; }
    bool Printing() const { return printing_; }
    qint64 PageNumber() const { return pageNumber_; }
    qint64 LastPage() const { return lastPage_; }
    const QStringList& Ranges() const { return ranges_; }
    bool PageSelected() const { return pageSelected_; }
    int X() const { return x_; }
    int Y() const { return y_; }
    int LeftLimit() const { return leftLimit_; }
    int TopLimit() const { return topLimit_; }
    int RightLimit() const { return rightLimit_; }
    int BottomLimit() const { return bottomLimit_; }
    int PageLength() const { return pageLength_; }
    // Set-up bytes sent at the start of a text-mode printout.
    const QByteArray& InitString() const { return initString_; }

    // The platform printer: graphics mode draws on it, text mode spools to
    // its queue, and its resolution, margins and page give the geometry.
    QPrinter& Printer();

protected:
    virtual void PrintLine(const QString& line);
    // Top and bottom of a page.
    virtual void StartPage();
    virtual void EndPage();
    // Bytes for text and file mode.
    virtual void WriteRaw(const QString& text);

private:
    struct Caps;
    Caps deviceCaps();
    void prepareLayout();
    void parsePageRange();
    void selectPage();
    void printPart(QString text);
    void checkPrinting(const char* message) const;
    // Closes whatever device the printout holds, without output.
    void releaseDevice();
    void endSpool();
    QPainter& painter();
    int graphicsLineHeight();
    QString pageNumberText() const;

    int mode_ = pmText;
    bool printing_ = false;
    TKivPrintSet* settings_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<TKivSpooler> spooler_;
    std::unique_ptr<QFile> file_;
    qint64 pageNumber_ = 1;
    qint64 lastPage_ = 0;
    QStringList ranges_;
    int x_ = 0, y_ = 0;
    int leftLimit_ = 0, topLimit_ = 0, rightLimit_ = 0, bottomLimit_ = 0, pageLength_ = 0;
    bool pageSelected_ = false;
    bool pageStarted_ = false;
    QString numberLine_;
    QByteArray initString_;
    int pitchW_ = 100;
    int spacingN_ = 36;
};

// The printer of the run, created on first use; text mode until told otherwise.
TKivPrinter& KitPrinter();

// ---- printing a dataset

// Lays out the fields of the current record that FieldSelected accepts, in
// field order. With a separator: "label sep value" items, one a line when
// `width` is 0 (labels padded to the longest), else as many a line as fit in
// `width`. Without: a line of centred labels over a line of values, column
// after column, broken before `width` is exceeded.
void FormatRecord(TDataSet* dataSet, const QString& fieldChoice, QStringList& lines,
                  const QString& separator, int width);
// "AllFields", "UserFields" (not the kit's system fields, whose tag ends in
// 8), "VisibleFields" (visible user fields), or a ";" list of field names.
bool FieldSelected(TDataSet* dataSet, const QString& fieldChoice, TField* field);
QString Dashes(int n);

// The grid's "Print" command: asks for the settings, then prints the grid's
// rows as a table under a header line, without moving the dataset.
void PrintTable(TDBGrid* grid);
// The grid's "Print record" command: the current record's label and value
// lines with the printer's defaults, no dialog.
void PrintRecord(TDBGrid* grid);

// Procedures the application may install to print grids its own way; when
// set, PrintTable and PrintRecord hand the grid over to them.
using TKivPrintGridProc = std::function<void(TDBGrid* grid)>;
TKivPrintGridProc& KivPrintGridProc();
TKivPrintGridProc& KivPrintRecordProc();
