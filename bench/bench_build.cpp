// The help build (BuildFiles over the data module's computing cursor) against
// a minimal writer that puts the same bytes into the same files, at 10,000
// and 20,000 topics of about 2 KB of RTF each, a third with keepn and HRef
// codes. Usage: bench_build [TOPICS [FOLDER]] (FOLDER: /dev/shm by default).
#include "BuildFiles.h"
#include "BuildTopics.h"
#include "CalcTopicSource.h"
#include "CollectingUI.h"
#include "CompileProject.h"
#include "Cp1252.h"
#include "DMod.h"
#include "DbfTable.h"
#include "KivTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Each run starts with nothing waiting to be written, so neither side pays for
// the other's write-back.
double timed(const std::function<void()>& f) {
    ::sync();
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

struct Result {
    double build, floor, read, make, checked, check;
};

Result measure(int topics, const QString& folder) {
    QTemporaryDir tmp(folder + QStringLiteral("/kivbuild-XXXXXX"));
    const QString dir = tmp.path() + QLatin1Char('/');
    DM->CreateProject(dir + QStringLiteral("book.hpj"));
    buildbench::fill(dir, topics);
    DM->OpenProject(dir + QStringLiteral("book.hpj")); // the cursors see the new rows
    DM->WindowNames = {QStringLiteral("main")};        // the window the links name

    const auto build = [] {
        CalcTopicSource source(*DM, true);
        BuildFiles(DM->ProjectDir, DM->ProjectName, source);
    };
    build(); // creates the files both then overwrite
    // The build as the compile commands run it: the link check rides along.
    qsizetype findings = 0;
    const auto checked = [&findings] {
        LinkCheck check = ProjectLinkCheck(*DM, true);
        CalcTopicSource source(*DM, true);
        CheckedTopicSource topics(source, check);
        BuildFiles(DM->ProjectDir, DM->ProjectName, topics);
        findings += check.findings(true).lines.size();
    };

    std::vector<buildbench::File> files;
    for (const QString& name :
         QDir(dir).entryList({QStringLiteral("book_*.rtf"), QStringLiteral("book.lst"),
                              QStringLiteral("book.map")})) {
        QFile f(dir + name);
        f.open(QIODevice::ReadOnly);
        files.push_back({QFile::encodeName(dir + name), f.readAll()});
    }

    // Where the build's time goes: reading the rows, making the bytes.
    std::vector<TopicFields> rows;
    const auto read = [&] {
        rows.clear();
        CalcTopicSource source(*DM, true);
        TopicFields topic;
        QString ctx;
        while (source.next(topic, ctx))
            rows.push_back(topic);
    };
    qsizetype sink = 0;
    const auto make = [&] {
        for (const TopicFields& topic : rows)
            sink += TopicRtfBytes(topic).size();
    };

    const auto check = [&] {
        LinkCheck links = ProjectLinkCheck(*DM, true);
        for (const TopicFields& topic : rows)
            links.add(topic);
        sink += links.findings(true).lines.size();
    };

    Result best{1e300, 1e300, 1e300, 1e300, 1e300, 1e300};
    for (int round = 0; round < 5; ++round) {
        best.floor = std::min(best.floor, timed([&] { buildbench::writeAll(files); }));
        best.build = std::min(best.build, timed(build));
        best.read = std::min(best.read, timed(read));
        best.make = std::min(best.make, timed(make));
        best.checked = std::min(best.checked, timed(checked));
        best.check = std::min(best.check, timed(check));
    }
    if (sink == 0 || findings == 0) std::printf("nothing made or nothing found\n");
    DM->CloseProject(false);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // the data module's pages are widgets
    CollectingUI::Scope ui(true);
    TDM dm;
    const int small = argc > 1 ? std::atoi(argv[1]) : 10000;
    const QString folder = buildbench::benchFolder(argc, argv);
    std::printf("files in %s\n", qPrintable(folder));

    const Result a = measure(small, folder);
    std::printf("%d topics: BuildFiles %.1f ms, same bytes written directly %.1f ms, "
                "ratio %.2f (target <= 2)\n",
                small, a.build, a.floor, a.build / a.floor);
    const Result b = measure(2 * small, folder);
    std::printf("%d topics: BuildFiles %.1f ms, same bytes written directly %.1f ms, "
                "ratio %.2f\n",
                2 * small, b.build, b.floor, b.build / b.floor);
    std::printf("with the link check: %.1f / %.1f ms, ratio to the build alone %.2f / %.2f "
                "(target <= 1.2)\n",
                a.checked, b.checked, a.checked / a.build, b.checked / b.build);
    std::printf("of which reading the rows %.1f / %.1f ms, making the bytes %.1f / %.1f ms; "
                "the link check alone %.1f / %.1f ms\n",
                a.read, b.read, a.make, b.make, a.check, b.check);
    // The file system's own cost per file grows with the folder, so the floor
    // does not scale linearly either.
    std::printf("%d topics / %d topics: %.2f (target <= 2.2); the direct writes alone: %.2f\n",
                2 * small, small, b.build / a.build, b.floor / a.floor);
    return 0;
}
