#include "SystemHelpViewer.h"

#include "Shell.h"
#include "Wine.h"

#include <QFileInfo>

namespace {

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

SystemHelpViewer::~SystemHelpViewer() {
    for (auto& [file, process] : running_)
        stop(*process);
}

void SystemHelpViewer::open(const QString& helpFile, const QString& macro) {
    const QString path = QFileInfo(helpFile).absoluteFilePath();
    close(path);

    QString program;
    QStringList arguments;
    const QString wine = Wine::program();
    if (!wine.isEmpty() && path.endsWith(QStringLiteral(".hlp"), Qt::CaseInsensitive)) {
        program = wine;
        arguments << QStringLiteral("winhlp32");
        const QString context = JumpIdContext(macro);
        if (!context.isEmpty()) arguments << QStringLiteral("-i") << context;
        arguments << Wine::windowsArgument(path);
    } else {
        program = Shell::FindExecutable(path);
        arguments << path;
    }
    if (program.isEmpty()) {
        // No program we could follow: the desktop opens it, and cannot be told to close it.
        Shell::Open(path);
        return;
    }
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    // A viewer that cannot start is the viewer's own failure to report, as a
    // missing help file is; nothing is kept for it.
    if (process->waitForStarted()) running_[path] = std::move(process);
}

void SystemHelpViewer::close(const QString& helpFile) {
    const auto it = running_.find(QFileInfo(helpFile).absoluteFilePath());
    if (it == running_.end()) return;
    stop(*it->second);
    running_.erase(it);
}
