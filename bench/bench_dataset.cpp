// bench_dataset [ROWS]: the dataset framework (TTable over the dBase engine)
// against SQLite's C API doing the same on the same rows: a topic table of
// 100,000 rows by default. Prints each time, SQLite's time and the ratio.
#include "TTable.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char* const words[] = {"table", "query", "Field", "index", "filter", "Topic", "print",
                             "grid",  "combo", "popup", "Link",  "jump",   "macro", "window",
                             "unit",  "class", "event", "Value", "record", "cursor"};

QString phrase(QRandomGenerator& rng, int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QLatin1String(words[rng.bounded(20)]);
    return out.join(QLatin1Char(' '));
}

double best(int runs, const std::function<void()>& fn) {
    double bestMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        bestMs = std::min(bestMs, double(t.nsecsElapsed()) / 1e6);
    }
    return bestMs;
}

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

void row(const char* what, double ours, double lite, const QString& note = {}) {
    std::printf("%-40s %10.2f %10.2f %8.2f  %s\n", what, ours, lite, lite > 0 ? ours / lite : 0.0,
                note.toUtf8().constData());
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
    exec(db,
         "create table topics (ID integer, NAME text, KEYS text, AKEYS text, BSEQ text, "
         "CTX text, WINDOW text, STATE integer, TEXT text, UNIT text, CLASS text, DECLAR text)");
    exec(db, "begin");
    sqlite3_stmt* ins = prepare(db, "insert into topics values (?,?,?,?,?,?,?,?,?,?,?,?)");
    {
        DbfTable::create(dbf, {{QStringLiteral("ID"), FieldType::Numeric, 8, 0},
                               {QStringLiteral("NAME"), FieldType::Character, 60, 0},
                               {QStringLiteral("KEYS"), FieldType::Character, 254, 0},
                               {QStringLiteral("AKEYS"), FieldType::Character, 254, 0},
                               {QStringLiteral("BSEQ"), FieldType::Character, 20, 0},
                               {QStringLiteral("CTX"), FieldType::Character, 20, 0},
                               {QStringLiteral("WINDOW"), FieldType::Character, 20, 0},
                               {QStringLiteral("STATE"), FieldType::Numeric, 1, 0},
                               {QStringLiteral("TEXT"), FieldType::Memo, 10, 0},
                               {QStringLiteral("UNIT"), FieldType::Character, 20, 0},
                               {QStringLiteral("CLASS"), FieldType::Character, 40, 0},
                               {QStringLiteral("DECLAR"), FieldType::Memo, 10, 0}});
        auto table = DbfTable::open(dbf);
        QRandomGenerator rng(7);
        DbfBatch batch;
        for (int i = 0; i < n; ++i) {
            const QString name = phrase(rng, 2 + rng.bounded(3)) + QStringLiteral(" %1").arg(i);
            const QString keys = phrase(rng, 5);
            const QString bseq =
                QStringLiteral("seq:%1").arg(rng.bounded(1000), 5, 10, QLatin1Char('0'));
            const int state = int(rng.bounded(4));
            const QString text =
                QStringLiteral("{\\rtf1\\ansi ") + phrase(rng, 30) + QLatin1Char('}');
            batch.appends.push_back({qint64(i + 1), name, keys, QVariant(), bseq, QVariant(),
                                     QVariant(), state, text, QStringLiteral("Unit"),
                                     QStringLiteral("TClass"), QVariant()});
            sqlite3_bind_int64(ins, 1, i + 1);
            sqlite3_bind_text(ins, 2, name.toUtf8().constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 3, keys.toUtf8().constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_null(ins, 4);
            sqlite3_bind_text(ins, 5, bseq.toUtf8().constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_null(ins, 6);
            sqlite3_bind_null(ins, 7);
            sqlite3_bind_int(ins, 8, state);
            sqlite3_bind_text(ins, 9, text.toUtf8().constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 10, "Unit", -1, SQLITE_STATIC);
            sqlite3_bind_text(ins, 11, "TClass", -1, SQLITE_STATIC);
            sqlite3_bind_null(ins, 12);
            sqlite3_step(ins);
            sqlite3_reset(ins);
            if (batch.appends.size() == 5000 || i == n - 1) {
                table->applyBatch(batch);
                batch = DbfBatch();
            }
        }
        table->addIndex({QStringLiteral("I_Id"), {QStringLiteral("ID")}, true, false});
        table->addIndex({QStringLiteral("I_Name"), {QStringLiteral("NAME")}, false, false});
        table->addIndex({QStringLiteral("I_BSeq"), {QStringLiteral("BSEQ")}, false, false});
        table->addIndex({QStringLiteral("I_State"), {QStringLiteral("STATE")}, false, false});
    }
    sqlite3_finalize(ins);
    exec(db, "commit");
    exec(db, "create unique index I_Id on topics (ID)");
    exec(db, "create index I_Name on topics (NAME)");
    exec(db, "create index I_BSeq on topics (BSEQ)");
    exec(db, "create index I_State on topics (STATE)");
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
    row("open, first cursor on the file", best(runs, [&] { openTable(); }), liteOpen,
        QStringLiteral("(the engine reads and indexes the file)"));
    {
        auto first = openTable();
        row("open, second cursor on the file", best(runs, [&] { openTable(); }), liteOpen);
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
    row("walk Next to Eof reading ID, NAME", ours, lite,
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
    row("Locate NAME, case-insensitive, partial", ours, lite,
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
    row("IndexFieldNames NAME then ID", ours, lite);

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
    row("Filter (NAME>='M') and walk", ours, lite, QStringLiteral("%1 / %2 rows").arg(a).arg(b));

    for (sqlite3_stmt* st : {byId, like, filtered})
        sqlite3_finalize(st);
    sqlite3_close(db);
    std::printf("(checksum %zu)\n", sink % 1000);
    return 0;
}
