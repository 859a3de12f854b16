// A folder holding the topic table (created by the program's own statements)
// and a detail table of notes, for the SQL tests.
#pragma once

#include "SqlDatabase.h"
#include "SqlEval.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class SqlTopics : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = std::make_unique<SqlDatabase>(dir.path());
        run("Create Table \"demo.dbf\" (Id numeric(8),Name char(60),Keys char(254),AKeys char(254),"
            "BSeq char(20),CTX char(20),Window char(20),State numeric(1),Text blob(10),Unit "
            "char(20),"
            "Class char(40),Declar blob(10))");
        const char* const indexes[][2] = {
            {"Id", "unique"}, {"Name", ""}, {"BSeq", ""}, {"State", ""}};
        for (const auto& ix : indexes)
            run(QStringLiteral("Create %2 Index I_%1 on \"demo.dbf\" (%1)")
                    .arg(QLatin1String(ix[0]), QLatin1String(ix[1])));
        run("insert into \"demo.dbf\" (ID, NAME, KEYS, STATE, TEXT, BSEQ) values "
            "(10, 'Intro', 'start;begin', 1, '{\\rtf1 intro}', 'a:010'), "
            "(20, 'about', null, 2, null, 'a:020'), "
            "(30, 'Zeta ''quoted''', 'end', 3, '{\\rtf1 zeta}', null), "
            "(40, 'ABC abc', 'start', 0, null, 'a:005'), "
            "(5, null, 'x', 1, null, null)");
        run("create table notes (topic numeric(8), note char(40))");
        run("insert into notes values (10, 'first ab1'), (10, 'second'), (20, 'AB1 third'), (40, "
            "'ab1')");
    }

    SqlResult run(const QString& sql, const QHash<QString, QVariant>& params = {}) {
        return db->execute(sql, params);
    }
    SqlResult run(const char* sql) { return run(QString::fromUtf8(sql)); }

    // Rows as "v,v;v,v" in result order.
    QString rows(const QString& sql, const QHash<QString, QVariant>& params = {}) {
        return text(run(sql, params));
    }
    QString rows(const char* sql) { return rows(QString::fromUtf8(sql)); }

    static QString text(const SqlResult& r) {
        QStringList out;
        for (int i = 0; i < r.rowCount(); ++i) {
            QStringList values;
            for (int c = 0; c < r.columns.size(); ++c)
                values << sqlText(r.value(i, c));
            out << values.join(QLatin1Char(','));
        }
        return out.join(QLatin1Char(';'));
    }

    QString error(const QString& sql) {
        try {
            run(sql);
        } catch (const EKivError& e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }
    QString error(const char* sql) { return error(QString::fromUtf8(sql)); }

    QTemporaryDir dir;
    std::unique_ptr<SqlDatabase> db;
};
