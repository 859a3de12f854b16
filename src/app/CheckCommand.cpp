#include "CheckCommand.h"

#include "CalcTopicSource.h"
#include "CollectingUI.h"
#include "CompileProject.h"
#include "DMod.h"

#include <QFileInfo>

#include <cstdio>

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

int check(const QString& projectFile) {
    TDM dm;
    dm.OpenProject(QFileInfo(projectFile).absoluteFilePath());
    if (!dm.ProjectOpen()) {
        if (!dm.LastFailure().isEmpty()) print(stderr, dm.LastFailure());
        return 1;
    }
    LinkCheck links = ProjectLinkCheck(dm, true);
    CalcTopicSource topics(dm, true);
    TopicFields topic;
    QString ctx;
    while (topics.next(topic, ctx))
        links.add(topic);
    const LinkFindings findings = links.findings(true);
    for (const QString& line : findings.lines)
        print(stdout, line);
    std::fflush(stdout);
    return findings.missingTargets || std::ferror(stdout) ? 1 : 0;
}

} // namespace

int runCheck(const QStringList& arguments) {
    CollectingUI::Scope ui(true);
    if (arguments.size() != 1 || arguments[0].startsWith(QLatin1String("--"))) {
        print(stderr, QStringLiteral("Usage: kivhelp --check PROJECT.hpj"));
        return 1;
    }
    try {
        return check(arguments[0]);
    } catch (const std::exception& e) {
        print(stderr, QString::fromStdString(e.what()));
        return 1;
    }
}
