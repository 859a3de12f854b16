#include "KivPrint.h"
#include "AddField.h"
#include "Cp437.h"
#include "DiPrint.h"
#include "KivContr.h" // completes the grid's list combo
#include "KivGrid.h"
#include "KivSpooler.h"
#include "RecordingUI.h"
#include "TDataSource.h"
#include "TMemTable.h"
#include "TestFiles.h"

#include <QFontMetrics>
#include <QPrinter>
#include <QRegularExpression>
#include <QTimer>

namespace {

// What the spooler was given: the queues opened and each finished document.
struct SpoolLog {
    QStringList printers;
    QList<QByteArray> documents;
    bool refuseOpen = false;
    bool refuseEnd = false;
};

class RecordingSpooler : public TKivSpooler {
public:
    explicit RecordingSpooler(SpoolLog& log) : log_(log) {}
    bool OpenPrinter(const QString& name) override {
        log_.printers << name;
        return !log_.refuseOpen;
    }
    bool StartDoc(const QString&) override { return true; }
    bool Write(const QByteArray& bytes) override {
        doc_ += bytes;
        return true;
    }
    bool EndDoc() override {
        if (log_.refuseEnd) return false;
        log_.documents << doc_;
        return true;
    }
    void ClosePrinter() override {}

private:
    SpoolLog& log_;
    QByteArray doc_;
};

// Installs the recording spooler and gives the printers a known page: A4
// with no unprintable border, so only the settings shape the layout.
class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        saved = KivSpoolerFactory();
        KivSpoolerFactory() = [this] { return std::make_unique<RecordingSpooler>(spool); };
        plainPage(printer.Printer());
        plainPage(KitPrinter().Printer());
    }
    void TearDown() override { KivSpoolerFactory() = saved; }

    static void plainPage(QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setPageSize(QPageSize(QPageSize::A4));
        p.setPageOrientation(QPageLayout::Portrait);
        p.setFullPage(false);
        p.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    // A small page: with 10 mm margins, text mode at 6 lines an inch has
    // lines 2 to 8 and columns 3 to 11, the page 11 lines long.
    static void smallPage(TKivPrintSet& s, int mode) {
        s.Mode = quint8(mode);
        s.PageHeight = 50;
        s.PageWidth = 40;
        s.TopMargin = s.BottomMargin = s.LeftMargin = s.RightMargin = 10;
    }
    // The one document sent to the spooler while `lines` are printed.
    QByteArray spooled(const QStringList& lines) {
        EXPECT_TRUE(printer.BeginDoc(&settings));
        printer.PrintLines(lines);
        printer.EndDoc();
        EXPECT_EQ(spool.documents.size(), 1);
        return spool.documents.value(0);
    }

    SpoolLog spool;
    TKivSpoolerFactory saved;
    TKivPrinter printer;
    TKivPrintSet settings;
    TempFolder tmp;
};

const QByteArray kInit("\x1BP\x12\x1B\x33\x24", 6); // Normal pitch, 36/216 inch lines
const QByteArray kReset("\x1B@");

QStringList numbered(int from, int to) {
    QStringList lines;
    for (int i = from; i <= to; ++i)
        lines << QStringLiteral("L%1").arg(i);
    return lines;
}

int pdfPages(const QString& path) {
    return int(QString::fromLatin1(readFile(path))
                   .count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"))));
}

} // namespace

TEST(PrintSettings, TitleIsKeptWhileTheSameDataSetIsPrintedAgain) {
    TKivPrintSet s;
    TMemTable a, b;
    s.SetTitle("Topics", &a);
    EXPECT_EQ(s.Title, "Topics");
    s.Title = "Edited";
    s.SetTitle("Topics", &a);
    EXPECT_EQ(s.Title, "Edited");
    s.SetTitle("", &b); // an untitled dataset keeps the title too
    EXPECT_EQ(s.Title, "Edited");
    s.SetTitle("Other", &a);
    EXPECT_EQ(s.Title, "Other");
    s.SetTitle("Free", nullptr);
    EXPECT_EQ(s.Title, "Free");
}

TEST(PrintSettings, OemTextAndSpacingCodes) {
    EXPECT_EQ(Cp437::encode(QString::fromUtf8("aé\x1B½Ŝ€")), QByteArray("a\x82\x1B\xABS?"));
    EXPECT_EQ(KivLineSpacing(1.0), 36);
    EXPECT_EQ(KivLineSpacing(0.5), 18);
    EXPECT_EQ(KivLineSpacing(100), 255); // one byte is all the printer takes
    EXPECT_EQ(KivLineSpacing(0), 1);
    EXPECT_EQ(KivTextPitch(4).W, 200);
    EXPECT_EQ(KivTextPitch(4).code, QByteArray("\x1BM\x0F"));
    EXPECT_EQ(KivTextPitch(9).W, 100);
    EXPECT_TRUE(KivTextPitch(0).code.isEmpty());
}

TEST_F(Printing, TextModeSendsCodesIndentedCutLinesAndPageNumbers) {
    smallPage(settings, 0);
    ASSERT_TRUE(printer.BeginDoc(&settings));
    EXPECT_EQ(printer.InitString(), kInit);
    EXPECT_EQ(printer.TopLimit(), 2);
    EXPECT_EQ(printer.BottomLimit(), 9);
    printer.PrintLines(numbered(1, 7));
    printer.Print(QString::fromUtf8("é-ABCDEFGHIJKLMN\r\nL9"));
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    ASSERT_EQ(spool.documents.size(), 1);
    EXPECT_EQ(spool.documents[0], kInit + "\r\n" +
                                      "  L1\r\n  L2\r\n  L3\r\n  L4\r\n  L5\r\n  L6\r\n  L7\r\n"
                                      "\f"
                                      "    - 2 -\r\n" // centred between the limits
                                      "  \x82-ABCDEFG\r\n  L9\r\n"
                                      "\f" +
                                      kReset);
}

TEST_F(Printing, AFullLastPageEjectsNoBlankSheet) {
    smallPage(settings, 0);
    settings.Numbering = false;
    const QByteArray doc = spooled(numbered(1, 7));
    EXPECT_EQ(doc.count('\f'), 1);
    EXPECT_TRUE(doc.endsWith("L7\r\n\f" + kReset));
}

TEST_F(Printing, SpacingCodeAndLongLinesGoOutUnchanged) {
    settings.Mode = 0;
    settings.Interval = 4; // n = 144, a byte above 127
    settings.PageWidth = 1000;
    settings.TextPitch = 4;
    ASSERT_TRUE(printer.BeginDoc(&settings));
    printer.Print(QString(400, QLatin1Char('x')));
    printer.EndDoc();
    ASSERT_EQ(spool.documents.size(), 1);
    EXPECT_TRUE(spool.documents[0].startsWith(QByteArray("\x1BM\x0F\x1B\x33\x90")));
    EXPECT_TRUE(spool.documents[0].contains(QByteArray(400, 'x')));
}

TEST_F(Printing, OpeningFailuresLeaveThePrinterClosedWithoutMessage) {
    RecordingUI::Scope ui;
    settings.Mode = 0;
    spool.refuseOpen = true;
    EXPECT_FALSE(printer.BeginDoc(&settings));
    EXPECT_FALSE(printer.Printing());

    spool.refuseOpen = false;
    settings.RangeKind = 1;
    settings.Pages = "3";
    settings.FirstPageNumber = 10; // no page of the list is left
    EXPECT_FALSE(printer.BeginDoc(&settings));
    EXPECT_EQ(spool.printers.size(), 1); // only the first attempt reached the queue

    settings = TKivPrintSet();
    settings.Mode = 2;
    settings.FileName = tmp.d + "no/such/folder/out.txt";
    EXPECT_FALSE(printer.BeginDoc(&settings));
    EXPECT_FALSE(printer.Printing());
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(Printing, MisuseIsReported) {
    const auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const EPrinterError& e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(message([&] { printer.EndDoc(); }), "EndDoc without BeginDoc");
    EXPECT_EQ(message([&] { printer.Abort(); }), "EndDoc without BeginDoc");
    EXPECT_EQ(message([&] { printer.Print("x"); }), "Print without BeginDoc");
    EXPECT_EQ(message([&] { printer.PrintLines({}); }), "Print without BeginDoc");
    printer.SetMode(0);
    ASSERT_TRUE(printer.BeginDoc());
    EXPECT_EQ(message([&] { printer.BeginDoc(); }), "Double BeginDoc");
    EXPECT_TRUE(printer.Printing());
    printer.SetMode(2); // ends the open printout first
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(spool.documents.size(), 1);
}

TEST_F(Printing, FileModeNumbersAtTheBottomRight) {
    settings.Mode = 2;
    settings.FileName = tmp.d + "out.txt";
    settings.PageHeight = 100; // 14 lines, text on lines 2 to 10
    settings.PageWidth = 100;  // right limit 33
    settings.NumberAtTop = false;
    settings.NumberPosition = 1;
    settings.NumberOnFirstPage = true;
    settings.NumberFormat = "Page #";
    ASSERT_TRUE(printer.BeginDoc(&settings));
    printer.Print(QString::fromUtf8("naïve\ftwo"));
    printer.EndDoc();
    EXPECT_EQ(readFile(settings.FileName), "\r\nna\xEFve\r\n" + QByteArray("\r\n").repeated(8) +
                                               QByteArray(27, ' ') + "Page 1\f" + "\r\ntwo\r\n" +
                                               QByteArray("\r\n").repeated(8) +
                                               QByteArray(27, ' ') + "Page 2\f");
}

TEST_F(Printing, PageListSelectsPagesAndEndsTheWork) {
    settings.Mode = 2;
    settings.FileName = tmp.d + "pages.txt";
    settings.WithoutPages = true;
    settings.RangeKind = 1;
    settings.Pages = "1,3,5-12";
    ASSERT_TRUE(printer.BeginDoc(&settings));
    EXPECT_EQ(printer.LastPage(), 12);
    QStringList printed;
    for (int page = 1; printer.PagesRemain(); ++page) {
        printer.Print(QStringLiteral("p%1").arg(page));
        printer.NewPage();
    }
    printer.EndDoc();
    EXPECT_EQ(printer.PageNumber(), 13);
    EXPECT_EQ(readFile(settings.FileName), "p1\r\np3\r\np5\r\np6\r\np7\r\np8\r\np9\r\np10\r\n"
                                           "p11\r\np12\r\n");

    // A bare upper bound selects nothing but counts; an open upper bound is
    // dropped; a reversed range selects nothing.
    settings.Pages = "-5, 5-, 7-3; 2";
    ASSERT_TRUE(printer.BeginDoc(&settings));
    EXPECT_EQ(printer.LastPage(), 5);
    EXPECT_EQ(printer.Ranges(), QStringList({"-5", "7-3", "2"}));
    QList<bool> selected;
    for (int page = 1; page <= 6; ++page, printer.NewPage())
        selected << printer.PageSelected();
    EXPECT_EQ(selected, QList<bool>({false, true, false, false, false, false}));
    printer.Abort();
}

TEST_F(Printing, WithoutPagesTextModeCountsButNeverFeeds) {
    smallPage(settings, 0);
    settings.WithoutPages = true;
    settings.RangeKind = 1;
    settings.Pages = "2";
    EXPECT_EQ(spooled(numbered(1, 9)), kInit + "  L8\r\n  L9\r\n" + kReset);
}

TEST_F(Printing, GraphicsModeDrawsSelectedPagesOnTheDevice) {
    const QString pdf = tmp.d + "out.pdf";
    printer.Printer().setOutputFileName(pdf);
    settings.Title = "Topics\r\nAll of them";
    settings.Copies = 3;
    ASSERT_TRUE(printer.BeginDoc(&settings));
    EXPECT_EQ(printer.Printer().copyCount(), 3);
    for (int i = 0; printer.PageNumber() < 4; ++i)
        printer.Print(QStringLiteral("line %1").arg(i));
    printer.EndDoc();
    EXPECT_EQ(pdfPages(pdf), 4);

    settings.RangeKind = 1;
    settings.Pages = "2,4";
    ASSERT_TRUE(printer.BeginDoc(&settings));
    while (printer.PagesRemain())
        printer.Print("line");
    printer.EndDoc();
    EXPECT_EQ(pdfPages(pdf), 2);
}

TEST_F(Printing, CupsSpoolerHandsTheBytesToLp) {
    const QString args = tmp.d + "args", copy = tmp.d + "copy";
    const QString lp = writeRecorder(
        tmp.d + "lp", args, "for a; do last=$a; done; cp \"$last\" '" + copy.toUtf8() + "'");
    TKivCupsSpooler spooler(lp);
    EXPECT_FALSE(TKivCupsSpooler(lp).OpenPrinter(QString()));
    ASSERT_TRUE(spooler.OpenPrinter("lx300"));
    ASSERT_TRUE(spooler.StartDoc("KivPrint"));
    ASSERT_TRUE(spooler.Write(QByteArray("\x1B@ab\x82\f", 6)));
    ASSERT_TRUE(spooler.EndDoc());
    EXPECT_EQ(readFile(copy), QByteArray("\x1B@ab\x82\f", 6));
    EXPECT_TRUE(readFile(args).startsWith("[-d]\n[lx300]\n[-o]\n[raw]\n[-t]\n[KivPrint]\n"));

    const QString failing = writeScript(tmp.d + "lpr", "exit 1");
    TKivCupsSpooler refused(failing);
    ASSERT_TRUE(refused.OpenPrinter("lx300") && refused.StartDoc("KivPrint"));
    EXPECT_FALSE(refused.EndDoc());
}

// ---------------------------------------------------------------- datasets

namespace {

class CaptionTable : public TMemTable {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER caption)
public:
    QString caption;
};

class GridPrinting : public Printing {
protected:
    void SetUp() override {
        Printing::SetUp();
        id = addField<TIntegerField>(table, "ID");
        id->setDisplayWidth(4);
        name = addField<TStringField>(table, "NAME");
        name->setDisplayLabel("Title");
        name->setSize(8);
        auto* system = addField<TIntegerField>(table, "SYS");
        system->setTag(18);
        system->setVisible(false);
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        for (const auto& [n, title] : {std::pair{10, "Intro"}, {20, "About"}, {30, "Menus"}}) {
            table.Append();
            id->setAsInteger(n);
            name->setAsString(title);
            table.Post();
        }
        table.First();
        table.Next();
        source.setDataSet(&table);
        grid = new TKivDbGrid(&form);
        grid->setDataSource(&source);
        const int digit = QFontMetrics(grid->font()).horizontalAdvance(QLatin1Char('0'));
        grid->Column(0).Width = 3 * digit; // printed 4 wide
        grid->Column(1).Width = 7 * digit; // printed 8 wide
        KitPrinter().SetMode(0);
        PrintSettings() = TKivPrintSet();
    }
    void TearDown() override {
        KivPrintGridProc() = nullptr;
        KivPrintRecordProc() = nullptr;
        Printing::TearDown();
    }
    // Runs `print` with the print dialog answered OK or Cancel.
    static void answering(bool ok, const std::function<void()>& print) {
        QTimer::singleShot(0, [ok] {
            if (ok)
                PrintDialog().accept();
            else
                PrintDialog().reject();
        });
        print();
    }

    RecordingUI::Scope ui;
    CaptionTable table;
    TDataSource source;
    TIntegerField* id = nullptr;
    TStringField* name = nullptr;
    QWidget form;
    TKivDbGrid* grid = nullptr;
};

} // namespace

TEST_F(GridPrinting, FieldChoicesAndRecordLayouts) {
    TField* sys = table.FieldByName("SYS");
    EXPECT_TRUE(FieldSelected(&table, "AllFields", sys));
    EXPECT_FALSE(FieldSelected(&table, "UserFields", sys));
    name->setVisible(false);
    EXPECT_FALSE(FieldSelected(&table, "VisibleFields", name));
    EXPECT_TRUE(FieldSelected(&table, "UserFields", name));
    EXPECT_TRUE(FieldSelected(&table, "id;Sys", sys));
    EXPECT_FALSE(FieldSelected(&table, "ID", name));
    name->setVisible(true);

    QStringList lines;
    FormatRecord(&table, "VisibleFields", lines, ">", 0);
    EXPECT_EQ(lines, QStringList({"ID    > 20  ", "Title > About   "}));
    lines.clear();
    FormatRecord(&table, "UserFields", lines, "=", 20); // items 9 and 16 long
    EXPECT_EQ(lines, QStringList({"ID = 20  ", "Title = About   "}));
    lines.clear();
    FormatRecord(&table, "UserFields", lines, QString(), 20);
    EXPECT_EQ(lines, QStringList({" ID  Title  ", "20  About   "}));
    lines.clear();
    FormatRecord(&table, "UserFields", lines, QString(), 10);
    EXPECT_EQ(lines, QStringList({" ID ", "20  ", " Title  ", "About   "}));
    EXPECT_EQ(Dashes(4), "----");
}

TEST_F(GridPrinting, TableGoesToAFileWithHeaderRowsAndTotals) {
    PrintSettings().Mode = 2;
    PrintSettings().FileName = tmp.d + "table.txt";
    PrintSettings().WithoutPages = true;
    table.caption = "Topics";
    grid->setTotal(true);
    grid->ListTotal().setTotal("ID", "60");
    const TBookmark here = table.GetBookmark();
    answering(true, [&] { PrintTable(grid); });
    EXPECT_EQ(PrintSettings().Title, "Topics");
    EXPECT_EQ(readFile(tmp.d + "table.txt"), " ID | Title  \r\n"
                                             "-------------\r\n"
                                             "  10|Intro   \r\n"
                                             "  20|About   \r\n"
                                             "  30|Menus   \r\n"
                                             "  60         \r\n");
    EXPECT_TRUE(table.GetBookmark() == here);
    EXPECT_FALSE(KitPrinter().Printing());
}

TEST_F(GridPrinting, TextModeCopiesAndCancel) {
    PrintSettings().Mode = 0;
    PrintSettings().Copies = 3;
    answering(false, [&] { PrintTable(grid); });
    EXPECT_TRUE(spool.documents.isEmpty());
    answering(true, [&] { PrintTable(grid); });
    ASSERT_EQ(spool.documents.size(), 3);
    EXPECT_EQ(spool.documents[0], spool.documents[2]);
    EXPECT_TRUE(spool.documents[0].contains("        20|About   \r\n"));
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(GridPrinting, FailuresAreShownAndLeaveThePrinterClosed) {
    PrintSettings().Mode = 0;
    PrintSettings().Copies = 2;
    spool.refuseEnd = true;
    answering(true, [&] { PrintTable(grid); });
    EXPECT_EQ(ui->messages, QStringList{"Error printing table"}); // no second copy either
    EXPECT_FALSE(KitPrinter().Printing());

    spool.refuseEnd = false;
    spool.refuseOpen = true;
    PrintRecord(grid); // the printout never opened: its first line fails
    EXPECT_EQ(ui->messages.last(), "Error printing record");

    KivPrintGridProc() = [](TDBGrid*) { throw EKivError("no"); };
    PrintTable(grid);
    EXPECT_EQ(ui->messages.last(), "Error printing table");
    EXPECT_EQ(ui->messages.size(), 3);

    table.Close(); // nothing to print: nothing happens
    PrintTable(grid);
    PrintRecord(grid);
    EXPECT_EQ(ui->messages.size(), 3);
}

TEST_F(GridPrinting, RecordPrintsWithThePrinterDefaults) {
    table.caption = "Topics";
    PrintRecord(grid);
    ASSERT_EQ(spool.documents.size(), 1);
    // 10 mm margins: two blanks of indent, one line of top margin.
    EXPECT_EQ(spool.documents[0], kInit + "\r\n" + "       Topics\r\n" + "  ID    > 20  \r\n" +
                                      "  Title > About   \r\n" + "\f" + kReset);
    EXPECT_TRUE(ui->messages.isEmpty());
}

#include "KivPrintTest.moc"
