// bench_dataset [ROWS]: the dataset framework (TTable over the dBase engine)
// against SQLite's C API doing the same on the same rows: a topic table of
// 100,000 rows by default. Prints each time, SQLite's time and the ratio.
#include "TTable.h"
#include "TopicRows.h"

#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace topicbench;

// Mixed case, so that case-insensitive searches and text ranges have work to do.
const char* const words[20] = {"table", "query", "Field", "index", "filter", "Topic", "print",
                               "grid",  "combo", "popup", "Link",  "jump",   "macro", "window",
                               "unit",  "class", "event", "Value", "record", "cursor"};

[[noreturn]] void fail(const char* what, sqlite3* db) {
    std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) fail(sql, db);
    return st;
}

void exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql, db);
}

// Steps a select of (ID, NAME), reading both as a caller would; returns the rows.
long walk(sqlite3_stmt* st, size_t& sink) {
    long rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        sink += size_t(sqlite3_column_int64(st, 0));
        sink += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                  sqlite3_column_bytes(st, 1))
                    .size();
    }
    sqlite3_reset(st);
    return rows;
}

long walk(TDataSet& ds, size_t& sink) {
    long rows = 0;
    TField* id = ds.FieldByName(QStringLiteral("ID"));
    TField* name = ds.FieldByName(QStringLiteral("NAME"));
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ++rows;
        sink += size_t(id->AsInteger());
        sink += size_t(name->AsString().size());
    }
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const QString dbf = dir.filePath(QStringLiteral("topics.dbf"));
    const QString litePath = dir.filePath(QStringLiteral("topics.sqlite"));
    std::printf("Building %d topics in both databases...\n", n);

    sqlite3* db = nullptr;
    if (sqlite3_open(litePath.toUtf8().constData(), &db) != SQLITE_OK) return 1;
    exec(db, kLiteTable);
    exec(db, "begin");
    sqlite3_stmt* ins = prepare(db, kLiteInsert);
    {
        SqlDatabase sql(dir.path());
        createTopicTable(sql);
        auto table = DbfTable::open(dbf);
        QRandomGenerator rng(7);
        DbfBatch batch;
        for (int i = 0; i < n; ++i) {
            Topic t;
            t.id = i + 1;
            t.name = phrase(rng, 2 + rng.bounded(3), words) + QStringLiteral(" %1").arg(i);
            t.keys = phrase(rng, 5, words);
            t.bseq = QStringLiteral("seq:%1").arg(rng.bounded(1000), 5, 10, QLatin1Char('0'));
            t.state = int(rng.bounded(4));
            t.text = QStringLiteral("{\\rtf1\\ansi ") + phrase(rng, 30, words) + QLatin1Char('}');
            t.unit = QStringLiteral("Unit");
            t.cls = QStringLiteral("TClass");
            batch.appends.push_back(t.record());
            t.bind(ins);
            sqlite3_step(ins);
            sqlite3_reset(ins);
            if (batch.appends.size() == 5000 || i == n - 1) {
                table->applyBatch(batch);
                batch = DbfBatch();
            }
        }
    }
    sqlite3_finalize(ins);
    exec(db, "commit");
    for (const char* ix : kLiteIndexes)
        exec(db, ix);
    sqlite3_close(db);

    size_t sink = 0;
    const int runs = 5;
    std::printf("%-40s %10s %10s %8s\n", "operation (best of 5)", "TTable ms", "SQLite ms",
                "ratio");

    // Opening: the dataset opens the table (the first cursor makes the engine
    // read the file and build its four indexes; a second cursor shares the
    // open file) and stands on the first record in ID order. SQLite opens the
    // database, prepares the select and steps to its first row.
    auto openTable = [&] {
        auto t = std::make_unique<TTable>();
        t->setDatabaseName(dir.path());
        t->setTableName(QStringLiteral("topics.dbf"));
        t->setIndexFieldNames(QStringLiteral("ID"));
        t->Open();
        sink += size_t(t->FieldByName(QStringLiteral("ID"))->AsInteger());
        return t;
    };
    const double liteOpen = best(runs, [&] {
        sqlite3* again = nullptr;
        sqlite3_open(litePath.toUtf8().constData(), &again);
        sqlite3_stmt* st = prepare(again, "select ID, NAME from topics order by ID");
        if (sqlite3_step(st) == SQLITE_ROW) sink += size_t(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(again);
    });
    printRatioRow("open, first cursor on the file", best(runs, [&] { openTable(); }), liteOpen,
                  QStringLiteral("(the engine reads and indexes the file)"));
    {
        auto first = openTable();
        printRatioRow("open, second cursor on the file", best(runs, [&] { openTable(); }),
                      liteOpen);
    }

    TTable table;
    table.setDatabaseName(dir.path());
    table.setTableName(QStringLiteral("topics.dbf"));
    table.setIndexFieldNames(QStringLiteral("ID"));
    table.Open();
    sqlite3_open(litePath.toUtf8().constData(), &db);

    long a = 0, b = 0;
    sqlite3_stmt* byId = prepare(db, "select ID, NAME from topics order by ID");
    double ours = best(runs, [&] { a = walk(table, sink); });
    double lite = best(runs, [&] { b = walk(byId, sink); });
    printRatioRow("walk Next to Eof reading ID, NAME", ours, lite,
                  QStringLiteral("%1 / %2 rows").arg(a).arg(b));

    // Locate by a title prefix in any case, of a record near the end of the ID order.
    table.Last();
    table.MoveBy(-n / 20);
    const QString wanted = table.FieldByName(QStringLiteral("NAME"))->AsString();
    const QString key = wanted.left(wanted.lastIndexOf(QLatin1Char(' ')) + 1).toUpper() +
                        wanted.mid(wanted.lastIndexOf(QLatin1Char(' ')) + 1).left(3);
    QString foundOurs, foundLite;
    ours = best(runs, [&] {
        table.First();
        if (table.Locate(QStringLiteral("NAME"), key, loCaseInsensitive | loPartialKey))
            foundOurs = table.FieldByName(QStringLiteral("NAME"))->AsString();
    });
    sqlite3_stmt* like =
        prepare(db, "select ID, NAME from topics where NAME like ? order by ID limit 1");
    const QByteArray pattern = (key + QLatin1Char('%')).toUtf8();
    lite = best(runs, [&] {
        sqlite3_bind_text(like, 1, pattern.constData(), -1, SQLITE_STATIC);
        if (sqlite3_step(like) == SQLITE_ROW)
            foundLite =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(like, 1)));
        sqlite3_reset(like);
    });
    printRatioRow("Locate NAME, case-insensitive, partial", ours, lite,
                  foundOurs == foundLite ? QStringLiteral("same record")
                                         : QStringLiteral("DIFFERENT RECORDS"));

    // Switching the order between two indexed fields, standing on the first
    // record; for SQLite a new order is a new select, prepared and stepped.
    ours = best(runs, [&] {
        table.setIndexFieldNames(QStringLiteral("NAME"));
        table.First();
        sink += size_t(table.FieldByName(QStringLiteral("ID"))->AsInteger());
        table.setIndexFieldNames(QStringLiteral("ID"));
        table.First();
        sink += size_t(table.FieldByName(QStringLiteral("ID"))->AsInteger());
    });
    lite = best(runs, [&] {
        for (const char* sql : {"select ID, NAME from topics order by NAME",
                                "select ID, NAME from topics order by ID"}) {
            sqlite3_stmt* st = prepare(db, sql);
            if (sqlite3_step(st) == SQLITE_ROW) sink += size_t(sqlite3_column_int64(st, 0));
            sqlite3_finalize(st);
        }
    });
    printRatioRow("IndexFieldNames NAME then ID", ours, lite);

    // Filter and walk the filtered records.
    sqlite3_stmt* filtered =
        prepare(db, "select ID, NAME from topics where NAME >= 'M' order by ID");
    ours = best(runs, [&] {
        table.setFiltered(false);
        table.setFilter(QStringLiteral("(NAME>='M')"));
        table.setFiltered(true);
        a = walk(table, sink);
    });
    lite = best(runs, [&] { b = walk(filtered, sink); });
    printRatioRow("Filter (NAME>='M') and walk", ours, lite,
                  QStringLiteral("%1 / %2 rows").arg(a).arg(b));

    for (sqlite3_stmt* st : {byId, like, filtered})
        sqlite3_finalize(st);
    sqlite3_close(db);
    std::printf("(checksum %zu)\n", sink % 1000);
    return 0;
}
