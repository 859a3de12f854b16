#include "ExportHtmlCommand.h"

#include "CalcTopicSource.h"
#include "CollectingUI.h"
#include "DMod.h"
#include "KivError.h"
#include "KivTable.h"
#include "ProjectFiles.h"

#include <QFileInfo>

#include <cstdio>

namespace {

const char* const kUsage = "Usage: kivhelp --export-html PROJECT.hpj OUTDIR";

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

} // namespace

HtmlExportResult ExportProjectHtml(TDM& dm, const QString& outDir,
                                   const std::function<void(const QString&)>& warn) {
    if (!dm.ProjectOpen()) return {};
    dm.TbMain->CheckBrowseMode();
    dm.SaveContents();
    HtmlExportProject project{dm.ProjectDir, dm.ProjectName,
                              LoadContents(dm.ProjectFile(QStringLiteral(".toc")))};
    CalcTopicSource topics(dm, true);
    return ExportHtml(outDir, project, topics, warn);
}

int runExportHtml(const QStringList& arguments) {
    CollectingUI::Scope ui(true);
    try {
        if (arguments.size() != 2 || arguments[0].startsWith(QLatin1String("--")) ||
            arguments[1].startsWith(QLatin1String("--")))
            throw EKivError(QLatin1String(kUsage));
        // The folder is the database: a relative name means the current folder.
        TDM dm;
        dm.OpenProject(QFileInfo(arguments[0]).absoluteFilePath());
        if (!dm.ProjectOpen()) {
            if (!dm.LastFailure().isEmpty()) print(stderr, dm.LastFailure());
            return 1;
        }
        ExportProjectHtml(dm, QFileInfo(arguments[1]).absoluteFilePath(),
                          [](const QString& warning) { print(stderr, warning); });
        return 0;
    } catch (const std::exception& e) {
        print(stderr, QString::fromStdString(e.what()));
        return 1;
    }
}
