// The HTML export (ExportHtml over the data module's computing cursor) of
// 10,000 topics of about 2 KB of RTF each, against writing the same files
// with the same bytes directly in the same run, and against the 2 s target.
// Usage: bench_html [TOPICS [FOLDER]] (FOLDER: /dev/shm by default).
#include "BuildTopics.h"
#include "CalcTopicSource.h"
#include "CollectingUI.h"
#include "Cp1252.h"
#include "DMod.h"
#include "HtmlExport.h"
#include "HtmlTopic.h"
#include "KivTable.h"
#include "ProjectFiles.h"
#include "TopicRows.h"
#include "richtext/RtfReader.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Links the converter can always resolve, for timing it alone.
struct AnyPage : HtmlTopicLinks {
    QString pageOf(const QString& target) override { return target + QStringLiteral(".html"); }
    QString pictureUrl(const QString&) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // the data module's pages are widgets
    CollectingUI::Scope ui(false);
    TDM dm;
    const int topics = argc > 1 ? std::atoi(argv[1]) : 10000;
    const QString folder = buildbench::benchFolder(argc, argv);
    std::printf("files in %s\n", qPrintable(folder));

    QTemporaryDir tmp(folder + QStringLiteral("/kivhtml-XXXXXX"));
    const QString dir = tmp.path() + QLatin1Char('/');
    DM->CreateProject(dir + QStringLiteral("book.hpj"));
    buildbench::fill(dir, topics, true);
    QStringList contents{QStringLiteral("1 Topics")};
    for (int i = 1; i <= topics; i += 10)
        contents << QStringLiteral("2 Topic %1=%1").arg(i);
    SaveContents(DM->ProjectFile(QStringLiteral(".toc")), contents);
    DM->OpenProject(dir + QStringLiteral("book.hpj"));
    const QString out = dir + QStringLiteral("html/");
    const HtmlExportProject project{DM->ProjectDir, DM->ProjectName, contents};

    int warnings = 0;
    const auto exportAll = [&] {
        CalcTopicSource source(*DM, true);
        warnings = int(ExportHtml(out, project, source).warnings.size());
    };
    exportAll(); // creates the files both then overwrite

    std::vector<buildbench::File> files;
    qint64 bytes = 0;
    for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files.push_back({QFile::encodeName(path), f.readAll()});
        bytes += files.back().bytes.size();
    }

    // Where the time goes: reading the rows, reading their RTF into documents
    // (what the export no longer does), reading it into HTML.
    std::vector<QByteArray> texts;
    const auto read = [&] {
        texts.clear();
        CalcTopicSource source(*DM, true);
        TopicFields topic;
        QString ctx;
        while (source.next(topic, ctx))
            texts.push_back(topic.storedText.isNull() ? Cp1252::encode(topic.text)
                                                      : topic.storedText);
    };
    QTextDocument doc;
    const auto rtf = [&] {
        for (const QByteArray& t : texts)
            RtfReader::read(t, doc);
    };
    qsizetype sink = 0;
    AnyPage links;
    HtmlLooks looks;
    const auto html = [&] {
        for (const QByteArray& t : texts) {
            sink += TopicToHtml(t, links, looks).body.size();
        }
    };

    double exported = 1e300, floor = 1e300, reading = 1e300, reader = 1e300, converting = 1e300;
    for (int round = 0; round < 3; ++round) {
        floor = std::min(floor, topicbench::best(1, [&] { buildbench::writeAll(files); }));
        exported = std::min(exported, topicbench::best(1, exportAll));
        reading = std::min(reading, topicbench::best(1, read));
        reader = std::min(reader, topicbench::best(1, rtf));
        converting = std::min(converting, topicbench::best(1, html));
    }
    if (sink == 0) std::printf("nothing made\n");

    std::printf("%d topics: %zu files, %.1f MB, %d warnings\n", topics, files.size(),
                double(bytes) / 1e6, warnings);
    std::printf("%-40s %10s %10s %8s\n", "", "ms", "peer ms", "ratio");
    topicbench::printRatioRow("export / same bytes written directly", exported, floor);
    topicbench::printRatioRow("export / 2 s target", exported, 2000.0,
                              exported <= 2000.0 ? QStringLiteral("met")
                                                 : QStringLiteral("NOT met"));
    std::printf("of which reading the rows %.1f ms, RTF into HTML %.1f ms; "
                "the RTF into QTextDocuments alone would take %.1f ms\n",
                reading, converting, reader);
    DM->CloseProject(false);
    return exported <= 2000.0 ? 0 : 1;
}
