// Any text given to the SQL layer either runs or raises EKivError: the parser,
// the binder and the evaluator run over a small topic table and its notes,
// restored from a pristine copy before every input.
#include "KivError.h"
#include "SqlDatabase.h"
#include "SqlParser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

struct Folder {
    QTemporaryDir pristine;
    QTemporaryDir work;

    Folder() {
        SqlDatabase db(pristine.path());
        const char* const setup[] = {
            "Create Table \"demo.dbf\" (Id numeric(8),Name char(60),Keys char(254),AKeys char(254),"
            "BSeq char(20),CTX char(20),Window char(20),State numeric(1),Text blob(10),Unit "
            "char(20),"
            "Class char(40),Declar blob(10))",
            "Create unique Index I_Id on \"demo.dbf\" (Id)",
            "Create  Index I_Name on \"demo.dbf\" (Name)",
            "Create  Index I_State on \"demo.dbf\" (State)",
            "insert into \"demo.dbf\" (ID, NAME, KEYS, STATE, TEXT) values (10, 'Intro', 'a;b', 1, "
            "'{\\rtf1 x}'), "
            "(20, 'about', null, 2, null), (5, null, 'k', 3, 'memo'), (7, 'Zeta', 'z', 0, null)",
            "create table notes (topic numeric(8), note char(40), day date, ok logical, f "
            "float(10,2))",
            "insert into notes values (10, 'ab1', '2024-01-31', true, 1.5), (20, 'AB1', null, "
            "false, -2), "
            "(7, null, '1999-12-31', null, null)",
        };
        for (const char* s : setup)
            db.execute(QString::fromUtf8(s));
    }

    void restore() {
        QDir w(work.path());
        for (const QString& f : w.entryList(QDir::Files))
            w.remove(f);
        QDir p(pristine.path());
        for (const QString& f : p.entryList(QDir::Files))
            QFile::copy(p.filePath(f), w.filePath(f));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folder folder;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        parseSql(text, {{QStringLiteral("TableName"), QStringLiteral("demo.dbf")}});
    } catch (const EKivError&) {
        return 0;
    }
    // Table names are paths: keep the run inside its own folder.
    if (text.contains(QLatin1Char('/')) || text.contains(QLatin1String("..")) ||
        text.contains(QLatin1Char('\\')))
        return 0;
    folder.restore();
    try {
        SqlDatabase db(folder.work.path());
        const SqlResult r =
            db.execute(text, {{QStringLiteral("TableName"), QStringLiteral("demo.dbf")}});
        for (int i = 0; i < r.rowCount() && i < 1000; ++i)
            for (int c = 0; c < r.columns.size(); ++c)
                r.value(i, c);
    } catch (const EKivError&) {
    }
    return 0;
}
