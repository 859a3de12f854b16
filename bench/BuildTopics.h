// The topic project both help-build benchmarks make: about 2 KB of RTF per
// topic in the editor's form, every third with a non-scrolling title and links.
#pragma once

#include "DMod.h"
#include "DbfTable.h"

#include <QString>

namespace topicbench {

// About 2 KB: the editor's header and paragraphs of formatted text; every
// third topic also has a non-scrolling title and links.
inline QString buildTopicText(int id) {
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

// One batch straight into the project's table: a post per row would sync the
// files 10,000 times and measure the disk, not the build.
inline void fillBuildTable(const QString& dir, int topics) {
    const auto table = DbfTable::open(dir + QStringLiteral("book.dbf"));
    const auto column = [&](const char* name) { return table->fieldIndex(QLatin1String(name)); };
    const int id = column("ID"), name = column("NAME"), keys = column("KEYS"), ctx = column("CTX"),
              state = column("State"), text = column("TEXT");
    DbfBatch batch;
    for (int i = 1; i <= topics; ++i) {
        DbfRecord row(table->fields().size());
        row[id] = i;
        row[name] = QStringLiteral("Topic %1").arg(i);
        row[keys] = QStringLiteral("topic;entry %1").arg(i);
        if (i % 2) row[ctx] = QString::number(1000 + i);
        row[state] = 1;
        row[text] = buildTopicText(i);
        batch.appends.push_back(std::move(row));
    }
    table->applyBatch(batch);
}

} // namespace topicbench
