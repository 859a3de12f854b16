// The topic table of the build benchmarks: 10,000 or more topics of about
// 2 KB of RTF each, a third with a non-scrolling title and links, written
// into a project's table in one batch.
#pragma once

#include "DMod.h"
#include "DbfTable.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace buildbench {

// About 2 KB: the editor's header and paragraphs of formatted text; every
// third topic also has a non-scrolling title and links.
inline QString topicText(int id) {
    QString t = DM->NewTopicDocument();
    t.chop(1); // the final brace; the body comes before it
    t += QStringLiteral("\\pard\\plain\\f2\\fs20 ");
    if (id % 3 == 0) t += QStringLiteral("\\b Topic %1\\b0 \\cf13 \\{keepn\\}\\cf0 \r\n").arg(id);
    for (int k = 0; t.size() < 1900; ++k) {
        t += QStringLiteral("\\par The procedure reads entry %1 of the table and writes "
                            "\\i the result\\i0  to the stream; ")
                 .arg(k);
        if (id % 3 == 0)
            t += QStringLiteral("\\cf4\\strike See %1\\strike0\\cf13 \\{HRef=%1>main\\}\\cf0 ; ")
                     .arg(id + k + 1);
        t += QStringLiteral("it returns \\b False\\b0  when none is left.\r\n");
    }
    return t + QStringLiteral("\\par }");
}

// One batch straight into the table: a post per row would sync the files
// 10,000 times and measure the disk, not the build. With `browse`, every
// topic is in one browse sequence.
inline void fill(const QString& dir, int topics, bool browse = false) {
    const auto table = DbfTable::open(dir + QStringLiteral("book.dbf"));
    const auto column = [&](const char* name) { return table->fieldIndex(QLatin1String(name)); };
    const int id = column("ID"), name = column("NAME"), keys = column("KEYS"), ctx = column("CTX"),
              state = column("State"), text = column("TEXT"), bseq = column("BSEQ");
    DbfBatch batch;
    for (int i = 1; i <= topics; ++i) {
        DbfRecord row(table->fields().size());
        row[id] = i;
        row[name] = QStringLiteral("Topic %1").arg(i);
        row[keys] = QStringLiteral("topic;entry %1").arg(i);
        if (i % 2) row[ctx] = QString::number(1000 + i);
        row[state] = 1;
        if (browse) row[bseq] = QStringLiteral("main:%1").arg(i, 5, 10, QLatin1Char('0'));
        row[text] = topicText(i);
        batch.appends.push_back(std::move(row));
    }
    table->applyBatch(batch);
}

struct File {
    QByteArray path; // local 8-bit, ready for open()
    QByteArray bytes;
};

// The floor of the benchmarks that write many files: every file, its bytes
// known in advance, written with plain system calls.
inline void writeAll(const std::vector<File>& files) {
    for (const File& f : files) {
        const int fd = ::open(f.path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, f.bytes.constData(), size_t(f.bytes.size())) != f.bytes.size())
            std::fprintf(stderr, "cannot write %s\n", f.path.constData());
        if (fd >= 0) ::close(fd);
    }
}

// The folder of the benchmarks' files: the second argument, else memory. On a
// disk the write-back of thousands of small files varies by seconds between
// runs and drowns the comparison.
inline QString benchFolder(int argc, char** argv) {
    QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/dev/shm");
    if (!QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable()) folder = QDir::tempPath();
    return folder;
}

} // namespace buildbench
