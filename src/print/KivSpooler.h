// The spooler of text mode: raw bytes for a print queue, handed over as one
// document. The printer takes its spooler from a replaceable factory, so the
// bytes of a printout can be checked without a printer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>
#include <functional>
#include <memory>

class TKivSpooler {
public:
    virtual ~TKivSpooler() = default;
    // Each returns false when the spooler refuses.
    virtual bool OpenPrinter(const QString& printerName) = 0;
    virtual bool StartDoc(const QString& documentName) = 0;
    virtual bool Write(const QByteArray& bytes) = 0;
    virtual bool EndDoc() = 0;
    // Drops an unfinished document.
    virtual void ClosePrinter() = 0;
};

// Spools to a CUPS queue: the document is gathered in a temporary file and
// given to "lp -d QUEUE -o raw -t NAME FILE" (or, when the program is lpr,
// "lpr -P QUEUE -o raw -T NAME FILE"), so the printer gets the bytes
// unfiltered. The queue must be named; the program's exit code tells whether
// the queue took the document.
class TKivCupsSpooler : public TKivSpooler {
public:
    // `program`: the lp or lpr program to run; empty: lp, else lpr, found on
    // the PATH when the document ends.
    explicit TKivCupsSpooler(QString program = {});

    bool OpenPrinter(const QString& printerName) override;
    bool StartDoc(const QString& documentName) override;
    bool Write(const QByteArray& bytes) override;
    bool EndDoc() override;
    void ClosePrinter() override;

private:
    QString program_;
    QString queue_;
    QString document_;
    std::unique_ptr<QTemporaryFile> file_;
};

using TKivSpoolerFactory = std::function<std::unique_ptr<TKivSpooler>()>;
// The factory the printer makes its spooler with; by default a CUPS spooler.
TKivSpoolerFactory& KivSpoolerFactory();
