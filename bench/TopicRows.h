// The topic table both database benchmarks fill: its rows, its layout in the
// dBase engine and in SQLite, and the timing helper.
#pragma once

#include "DbfTable.h"
#include "SqlDatabase.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace topicbench {

// One line of a comparison table: ours, the peer's, their ratio and a note.
inline void printRatioRow(const char* what, double ours, double peer, const QString& note = {}) {
    std::printf("%-40s %10.3f %10.3f %8.2f  %s\n", what, ours, peer, peer > 0 ? ours / peer : 0.0,
                note.toUtf8().constData());
}

struct Topic {
    qint64 id = 0;
    QString name, keys, akeys, bseq, ctx, window;
    int state = 0;
    QString text, unit, cls, declar;

    // Empty texts are stored as nulls in both databases.
    DbfRecord record() const {
        auto v = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
        return {id,        v(name), v(keys), v(akeys), v(bseq), v(ctx),
                v(window), state,   v(text), v(unit),  v(cls),  v(declar)};
    }

    // Binds the twelve parameters of kLiteInsert.
    void bind(sqlite3_stmt* st) const {
        sqlite3_bind_int64(st, 1, id);
        const QString* texts[] = {&name, &keys, &akeys, &bseq, &ctx, &window};
        for (int k = 0; k < 6; ++k)
            bindText(st, 2 + k, *texts[k]);
        sqlite3_bind_int(st, 8, state);
        const QString* rest[] = {&text, &unit, &cls, &declar};
        for (int k = 0; k < 4; ++k)
            bindText(st, 9 + k, *rest[k]);
    }

private:
    static void bindText(sqlite3_stmt* st, int at, const QString& s) {
        if (s.isEmpty())
            sqlite3_bind_null(st, at);
        else
            sqlite3_bind_text(st, at, s.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
};

inline const char* const kLiteTable =
    "create table topics (ID integer, NAME text, KEYS text, AKEYS text, BSEQ text, CTX text, "
    "WINDOW text, STATE integer, TEXT text, UNIT text, CLASS text, DECLAR text)";
inline const char* const kLiteIndexes[] = {
    "create unique index I_Id on topics (ID)", "create index I_Name on topics (NAME)",
    "create index I_BSeq on topics (BSEQ)", "create index I_State on topics (STATE)"};
inline const char* const kLiteInsert = "insert into topics values (?,?,?,?,?,?,?,?,?,?,?,?)";

// The program's own statements for the topic table and its four indexes.
inline void createTopicTable(SqlDatabase& sql) {
    sql.execute(QStringLiteral("Create Table \"topics.dbf\" (Id numeric(8),Name char(60),Keys "
                               "char(254),AKeys char(254),BSeq char(20),CTX char(20),Window "
                               "char(20),State numeric(1),Text blob(10),Unit char(20),Class "
                               "char(40),Declar blob(10))"));
    for (const char* ix : {"Create unique Index I_Id on \"topics.dbf\" (Id)",
                           "Create  Index I_Name on \"topics.dbf\" (Name)",
                           "Create  Index I_BSeq on \"topics.dbf\" (BSeq)",
                           "Create  Index I_State on \"topics.dbf\" (State)"})
        sql.execute(QString::fromLatin1(ix));
}

inline const char* const kWords[20] = {
    "table", "query", "field", "index",  "filter", "topic", "print", "grid",  "combo",  "popup",
    "link",  "jump",  "macro", "window", "unit",   "class", "event", "value", "record", "cursor"};

// `count` words drawn from a list of twenty.
inline QString phrase(QRandomGenerator& rng, int count, const char* const* words = kWords) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QLatin1String(words[rng.bounded(20)]);
    return out.join(QLatin1Char(' '));
}

// Best of `runs` timings in milliseconds.
inline double best(int runs, const std::function<void()>& fn) {
    double bestMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        bestMs = std::min(bestMs, double(t.nsecsElapsed()) / 1e6);
    }
    return bestMs;
}

} // namespace topicbench
