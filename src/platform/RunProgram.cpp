#include "RunProgram.h"

#include "KivError.h"
#include "Wine.h"

#include <QDir>
#include <QProcess>

int RunProgram(const QString& program, const QStringList& arguments, const QString& commandLine,
               const QString& name, bool wait, bool hidden) {
    const ProgramLaunch launch = LaunchFor(program, arguments);
    const auto failed = [&] {
        return EKivError(QStringLiteral("Impossible to run") + QLatin1Char(' ') + name +
                         QStringLiteral(" / ") + commandLine);
    };
    if (launch.program.isEmpty()) throw failed();

    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(QDir::currentPath());
    process.setStandardInputFile(QProcess::nullDevice());
    if (hidden) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    if (!wait) {
        if (!process.startDetached()) throw failed();
        return 0;
    }
    process.start();
    if (!process.waitForStarted(-1)) throw failed();
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
