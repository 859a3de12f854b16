#include "NewProjectCommand.h"

#include "CollectingUI.h"
#include "DMod.h"
#include "ProjectFiles.h"

#include <QFileInfo>

#include <cstdio>

namespace {

void printError(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace

int runNewProject(const QString& projectFile) {
    CollectingUI::Scope ui(true);
    if (projectFile.isEmpty()) {
        printError(QStringLiteral("Usage: kivhelp --new PROJECT.hpj"));
        return 1;
    }
    // The folder is the database: a relative name means the current folder.
    const QString path = QFileInfo(projectFile).absoluteFilePath();
    if (ProjectStemOf(path).isEmpty()) {
        printError(QStringLiteral("Error. Project not created"));
        printError(QStringLiteral("No project name in \"%1\"").arg(projectFile));
        return 1;
    }
    TDM dm;
    dm.CreateProject(path);
    if (!dm.ProjectOpen()) {
        if (!dm.LastFailure().isEmpty()) printError(dm.LastFailure());
        return 1;
    }
    dm.CloseProject(false);
    return 0;
}
