#include "KivSpooler.h"

#include "KivForms.h"

#include <QFileInfo>
#include <QStandardPaths>

TKivCupsSpooler::TKivCupsSpooler(QString program) : program_(std::move(program)) {}

bool TKivCupsSpooler::OpenPrinter(const QString& printerName) {
    queue_ = printerName;
    return !queue_.isEmpty();
}

bool TKivCupsSpooler::StartDoc(const QString& documentName) {
    if (queue_.isEmpty()) return false;
    document_ = documentName;
    file_ = std::make_unique<QTemporaryFile>();
    if (!file_->open()) {
        file_.reset();
        return false;
    }
    return true;
}

bool TKivCupsSpooler::Write(const QByteArray& bytes) {
    return file_ && file_->write(bytes) == bytes.size();
}

bool TKivCupsSpooler::EndDoc() {
    if (!file_) return false;
    const std::unique_ptr<QTemporaryFile> file = std::move(file_);
    if (!file->flush()) return false;
    QString program = program_;
    if (program.isEmpty()) program = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (program.isEmpty()) program = QStandardPaths::findExecutable(QStringLiteral("lpr"));
    if (program.isEmpty()) return false;
    const bool lpr = QFileInfo(program).fileName() == QLatin1String("lpr");
    const QStringList arguments{lpr ? QStringLiteral("-P") : QStringLiteral("-d"),
                                queue_,
                                QStringLiteral("-o"),
                                QStringLiteral("raw"),
                                lpr ? QStringLiteral("-T") : QStringLiteral("-t"),
                                document_,
                                file->fileName()};
    try {
        return KivRunProgram(program, arguments, program + QLatin1Char(' ') + arguments.join(' '),
                             QStringLiteral("spooler"), true, true) == 0;
    } catch (const std::exception&) {
        return false; // the caller reports the document as not closed
    }
}

void TKivCupsSpooler::ClosePrinter() {
    file_.reset();
    queue_.clear();
}

TKivSpoolerFactory& KivSpoolerFactory() {
    static TKivSpoolerFactory factory = [] { return std::make_unique<TKivCupsSpooler>(); };
    return factory;
}
