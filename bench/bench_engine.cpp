// bench_engine [ROWS]: the dBase engine and its SQL against SQLite on the same
// rows (a topic table, 100,000 rows by default, memos of about 2 KB of RTF).
// Prints each time, the ratio to SQLite and the open table's memory.
#include "TopicRows.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace topicbench;

std::vector<Topic> makeTopics(int n) {
    QRandomGenerator rng(42);
    std::vector<Topic> topics;
    topics.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        Topic t;
        t.id = i + 1;
        t.name = phrase(rng, 2 + rng.bounded(4)) + QStringLiteral(" %1").arg(rng.bounded(100000));
        t.keys = phrase(rng, 6);
        t.akeys = phrase(rng, 3);
        t.bseq = QStringLiteral("seq:%1").arg(rng.bounded(1000), 5, 10, QLatin1Char('0'));
        t.ctx = i % 3 ? QString() : QString::number(1000 + i);
        t.window = i % 5 ? QString() : QStringLiteral("main");
        t.state = int(rng.bounded(4));
        QString body;
        while (body.size() < 1900)
            body += QStringLiteral("\\par {\\cf4\\strike ") + phrase(rng, 3) +
                    QStringLiteral("}{\\cf6 {HRef=") + QString::number(rng.bounded(n) + 1) +
                    QStringLiteral("}} ") + phrase(rng, 8) + QStringLiteral(" \\'e9t\\'e9\r\n");
        t.text = QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil MS Sans Serif;}}\r\n") +
                 body + QLatin1Char('}');
        t.unit = QStringLiteral("Unit%1").arg(i % 50);
        t.cls = QStringLiteral("TClass%1").arg(i % 700);
        t.declar = QStringLiteral("procedure ") +
                   phrase(rng, 2).replace(QLatin1Char(' '), QLatin1Char('_')) +
                   QStringLiteral("(Sender: TObject);");
        topics.push_back(std::move(t));
    }
    return topics;
}

long rssKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

class Lite {
public:
    explicit Lite(const QString& path) {
        if (sqlite3_open(path.toUtf8().constData(), &db_) != SQLITE_OK) fail("open");
    }
    ~Lite() { sqlite3_close(db_); }
    void exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n", err);
            std::exit(1);
        }
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) fail(sql);
        return st;
    }
    // Steps through every row reading every column; returns the row count.
    long query(const char* sql) {
        sqlite3_stmt* st = prepare(sql);
        long rows = 0;
        size_t bytes = 0;
        const int cols = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < cols; ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                    bytes += size_t(sqlite3_column_bytes(st, c));
                else
                    bytes += size_t(sqlite3_column_int64(st, c));
            }
        }
        sqlite3_finalize(st);
        sink_ += bytes;
        return rows;
    }
    sqlite3* db_ = nullptr;
    size_t sink_ = 0;

private:
    [[noreturn]] void fail(const char* what) {
        std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db_));
        std::exit(1);
    }
};

// Reads every value of every column of a result, as a caller would.
long consume(const SqlResult& r, size_t& sink) {
    for (int i = 0; i < r.rowCount(); ++i)
        for (int c = 0; c < r.columns.size(); ++c) {
            const QVariant v = r.value(i, c);
            sink += v.typeId() == QMetaType::QString ? size_t(v.toString().size())
                                                     : size_t(v.toLongLong());
        }
    return r.rowCount();
}

} // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const QString dbf = dir.filePath(QStringLiteral("topics.dbf"));
    std::printf("Generating %d topics...\n", n);
    const std::vector<Topic> topics = makeTopics(n);
    size_t sink = 0;

    std::printf("%-40s %10s %10s %8s\n", "operation (best of runs)", "dBase ms", "SQLite ms",
                "ratio");

    // Bulk insert.
    SqlDatabase sql(dir.path());
    createTopicTable(sql);
    QElapsedTimer timer;
    timer.start();
    {
        auto table = DbfTable::open(dbf);
        const int chunk = 5000;
        for (int from = 0; from < n; from += chunk) {
            DbfBatch batch;
            for (int i = from; i < std::min(n, from + chunk); ++i) {
                batch.appends.push_back(topics[size_t(i)].record());
            }
            table->applyBatch(batch);
        }
    }
    const double oursInsert = double(timer.nsecsElapsed()) / 1e6;

    const QString litePath = dir.filePath(QStringLiteral("topics.sqlite"));
    Lite lite(litePath);
    timer.restart();
    lite.exec(kLiteTable);
    for (const char* ix : kLiteIndexes)
        lite.exec(ix);
    lite.exec("begin");
    {
        sqlite3_stmt* ins = lite.prepare(kLiteInsert);
        for (const Topic& t : topics) {
            t.bind(ins);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
    }
    lite.exec("commit");
    const double liteInsert = double(timer.nsecsElapsed()) / 1e6;
    printRatioRow("bulk insert", oursInsert, liteInsert);

    // Open with four indexes (no one holds the table now).
    const long before = rssKb();
    std::shared_ptr<DbfTable> table;
    timer.restart();
    table = DbfTable::open(dbf);
    const double oursOpen = double(timer.nsecsElapsed()) / 1e6;
    const long openKb = rssKb() - before;
    const double liteOpen = best(3, [&] {
        Lite again(litePath);
        again.query("select count(*) from topics");
    });
    printRatioRow("open table, 4 indexes", oursOpen, liteOpen,
                  QStringLiteral("(target: < 500 ms; SQLite reads its pages later)"));

    const int runs = 3;
    auto compare = [&](const char* what, const QString& ours, const char* theirs) {
        long a = 0, b = 0;
        const double t1 = best(runs, [&] { a = consume(sql.execute(ours), sink); });
        const double t2 = best(runs, [&] { b = lite.query(theirs); });
        printRatioRow(what, t1, t2, QStringLiteral("%1 / %2 rows").arg(a).arg(b));
    };
    lite.exec("pragma case_sensitive_like = on"); // our Like is case-sensitive
    compare("full scan (all but memos)",
            QStringLiteral(
                "select ID,NAME,KEYS,AKEYS,BSEQ,CTX,WINDOW,STATE,UNIT,CLASS from \"topics.dbf\""),
            "select ID,NAME,KEYS,AKEYS,BSEQ,CTX,WINDOW,STATE,UNIT,CLASS from topics");
    compare("select ID,Name order by 2",
            QStringLiteral("select ID,Name from \"topics.dbf\" order by 2"),
            "select ID,Name from topics order by 2");
    compare("Like '%macro link%' on Name",
            QStringLiteral("select ID,NAME from \"topics.dbf\" where NAME like '%macro link%'"),
            "select ID,NAME from topics where NAME like '%macro link%'");
    compare("select Max(ID)", QStringLiteral("select Max(ID) from \"topics.dbf\""),
            "select Max(ID) from topics");

    const qint64 target = n / 2 + 1;
    int flip = 0;
    const double oursUpdate = best(runs, [&] {
        sql.execute(QStringLiteral("update \"topics.dbf\" set NAME = 'changed %1' where ID = %2")
                        .arg(++flip)
                        .arg(target));
    });
    const double liteUpdate = best(runs, [&] {
        lite.exec(QStringLiteral("update topics set NAME = 'changed %1' where ID = %2")
                      .arg(++flip)
                      .arg(target)
                      .toUtf8()
                      .constData());
    });
    printRatioRow("update one row by ID", oursUpdate, liteUpdate);

    const double dbfKb = double(QFileInfo(dbf).size()) / 1024.0;
    const double memoKb =
        double(QFileInfo(dir.filePath(QStringLiteral("topics.dbt"))).size()) / 1024.0;
    std::printf("\nopen table memory: %ld KB (RSS growth); .dbf %.0f KB (ratio %.2f, target <= 2); "
                ".dbt %.0f KB "
                "stays on disk\n",
                openKb, dbfKb, double(openKb) / dbfKb, memoKb);
    std::printf("(checksum %zu %zu)\n", sink, lite.sink_);
    return 0;
}
