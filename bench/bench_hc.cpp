// The help compiler on the build's own output: the 10,000-topic project of
// bench_build (about 2 KB of RTF a topic, a third with keepn and jumps) built
// into topic files, then compiled in-process; against one write of a buffer
// as large as the help file, and against halibut compiling a document of the
// same number of sections and text to .hlp. Then 20,000 topics against 10,000.
// Usage: bench_hc [TOPICS [FOLDER]] (FOLDER: /dev/shm by default).
// Exit 0 when the targets are met, 1 when not, 2 when halibut is missing.
#include "BuildFiles.h"
#include "BuildTopics.h"
#include "CalcTopicSource.h"
#include "CollectingUI.h"
#include "HcCompiler.h"
#include "TopicRows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Result {
    double compile = 1e300, read = 1e300, floor = 1e300, halibut = -1;
    qint64 bytes = 0, textBytes = 0;
    bool ok = true;
};

// Halibut's markup for the same sections and text: jumps to topics that exist
// become its cross-references.
QByteArray halibutDocument(const Hlp::Project& project, qint64& textBytes) {
    QSet<QString> contexts;
    for (const Hlp::Topic& t : project.topics)
        if (!t.contexts.isEmpty()) contexts.insert(t.contexts[0]);
    const auto escaped = [](const QString& s) {
        QString e;
        for (const QChar c : s) {
            if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
                e += QLatin1Char('\\');
            e += c;
        }
        return e;
    };
    QString doc;
    for (const Hlp::Topic& t : project.topics) {
        doc += QStringLiteral("\\C{t%1} %2\n\n").arg(t.contexts.value(0), escaped(t.title));
        for (const auto* region : {&t.nonScroll, &t.scroll})
            for (const Hlp::Paragraph& p : *region) {
                QString para;
                bool skipLabel = false;
                for (const Hlp::Span& s : p.spans) {
                    if (s.kind == Hlp::Span::HotspotStart) {
                        skipLabel =
                            s.hotspot == Hlp::HotspotKind::Jump && contexts.contains(s.target);
                        if (skipLabel) para += QStringLiteral("\\k{t%1}").arg(s.target);
                    } else if (s.kind == Hlp::Span::HotspotEnd) {
                        skipLabel = false;
                    } else if (s.kind == Hlp::Span::Text) {
                        textBytes += s.text.size();
                        if (!skipLabel) para += escaped(s.text);
                    }
                }
                if (!para.trimmed().isEmpty()) doc += para + QStringLiteral("\n\n");
            }
    }
    return doc.toUtf8();
}

double timed(const std::function<void()>& f) {
    ::sync();
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

Result measure(int topics, const QString& folder, const QString& halibut) {
    Result r;
    QTemporaryDir tmp(folder + QStringLiteral("/kivhc-XXXXXX"));
    const QString dir = tmp.path() + QLatin1Char('/');
    DM->CreateProject(dir + QStringLiteral("book.hpj"));
    buildbench::fill(dir, topics);
    DM->OpenProject(dir + QStringLiteral("book.hpj"));
    {
        CalcTopicSource source(*DM, true);
        BuildFiles(DM->ProjectDir, DM->ProjectName, source);
    }
    DM->CloseProject(false);
    const QString hpj = dir + QStringLiteral("book.hpj");

    Hc::CompileResult parsed;
    const Hlp::Project project = Hc::ReadProject(hpj, parsed);
    for (int round = 0; round < 3; ++round) {
        r.read = std::min(r.read, timed([&] {
                              Hc::CompileResult unused;
                              Hc::ReadProject(hpj, unused);
                          }));
        Hc::CompileResult result;
        r.compile = std::min(r.compile, timed([&] { result = Hc::Compile(hpj); }));
        r.bytes = result.bytes;
        r.ok = r.ok && result.written && result.topics == topics;
    }

    // The floor: the help file's bytes in one write, to the same folder.
    const QByteArray buffer(r.bytes, 'x');
    const QByteArray floorPath = QFile::encodeName(dir + QStringLiteral("floor.bin"));
    for (int round = 0; round < 3; ++round)
        r.floor = std::min(r.floor, timed([&] {
                               const int fd = ::open(floorPath.constData(),
                                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
                               if (fd < 0 || ::write(fd, buffer.constData(),
                                                     size_t(buffer.size())) != buffer.size())
                                   std::fprintf(stderr, "cannot write %s\n", floorPath.constData());
                               if (fd >= 0) ::close(fd);
                           }));

    if (!halibut.isEmpty()) {
        QFile doc(dir + QStringLiteral("doc.but"));
        doc.open(QIODevice::WriteOnly);
        doc.write(halibutDocument(project, r.textBytes));
        doc.close();
        for (int round = 0; round < 2; ++round) {
            QProcess p;
            p.setWorkingDirectory(dir);
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const double ms = timed([&] {
                p.start(halibut, {QStringLiteral("--winhelp=out.hlp"), QStringLiteral("doc.but")});
                p.waitForFinished(-1);
            });
            if (p.exitCode() != 0 || !QFileInfo::exists(dir + QStringLiteral("out.hlp"))) {
                std::fprintf(stderr, "halibut failed\n");
                break;
            }
            r.halibut = r.halibut < 0 ? ms : std::min(r.halibut, ms);
        }
    }
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // the data module's pages are widgets
    CollectingUI::Scope ui(true);
    TDM dm;
    const int small = argc > 1 ? std::atoi(argv[1]) : 10000;
    const QString folder = buildbench::benchFolder(argc, argv);
    const QString halibut = QStandardPaths::findExecutable(QStringLiteral("halibut"));
    std::printf("files in %s%s\n", qPrintable(folder),
                halibut.isEmpty() ? "; halibut not installed (scripts/bench.sh installs it)" : "");

    const Result a = measure(small, folder, halibut);
    const Result b = measure(2 * small, folder, halibut);
    std::printf("%-40s %10s %10s %8s\n", "", "kivhc ms", "peer ms", "ratio");
    for (const auto* r : {&a, &b}) {
        const int n = r == &a ? small : 2 * small;
        std::printf("%d topics: help file %lld bytes, %lld bytes of text; reading the project "
                    "%.1f ms of %.1f ms\n",
                    n, r->bytes, r->textBytes, r->read, r->compile);
        topicbench::printRatioRow(qPrintable(QStringLiteral("%1 topics vs one write").arg(n)),
                                  r->compile, r->floor);
        if (r->halibut > 0)
            topicbench::printRatioRow(qPrintable(QStringLiteral("%1 topics vs halibut").arg(n)),
                                      r->compile, r->halibut, QStringLiteral("target <= 1"));
    }
    const double growth = b.compile / a.compile;
    std::printf("%d topics in %.0f ms (target < 2000 ms); %d / %d topics: %.2f (target <= 2.2)\n",
                small, a.compile, 2 * small, small, growth);
    if (!a.ok || !b.ok) {
        std::printf("the help file was not written\n");
        return 1;
    }
    if (halibut.isEmpty()) return 2;
    const bool met = a.compile < 2000 && a.compile <= a.halibut && growth <= 2.2;
    std::printf("%s\n", met ? "targets met" : "targets missed");
    return met ? 0 : 1;
}
