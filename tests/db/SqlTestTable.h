// Folders holding the topic table, made by the program's own statements, with
// a detail table: notes for the SQL tests, links for the table and query tests.
#pragma once

#include "DataSetRows.h"
#include "DbTest.h"
#include "QtPrinters.h"
#include "SqlDatabase.h"
#include "SqlEval.h"
#include "TQuery.h"
#include "TTable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void createTopicTable(SqlDatabase& db) {
    db.execute("Create Table \"demo.dbf\" (Id numeric(8),Name char(60),Keys char(254),"
               "AKeys char(254),BSeq char(20),CTX char(20),Window char(20),State numeric(1),"
               "Text blob(10),Unit char(20),Class char(40),Declar blob(10))");
    const char* const indexes[][2] = {{"Id", "unique"}, {"Name", ""}, {"BSeq", ""}, {"State", ""}};
    for (const auto& ix : indexes)
        db.execute(QStringLiteral("Create %2 Index I_%1 on \"demo.dbf\" (%1)")
                       .arg(QLatin1String(ix[0]), QLatin1String(ix[1])));
}

class SqlTopics : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = std::make_unique<SqlDatabase>(dir.path());
        createTopicTable(*db);
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
        return failureOf([&] { run(sql); });
    }
    QString error(const char* sql) { return error(QString::fromUtf8(sql)); }

    QTemporaryDir dir;
    std::unique_ptr<SqlDatabase> db;
};

class TopicFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SqlDatabase db(dir.path());
        createTopicTable(db);
        db.execute(
            "insert into \"demo.dbf\" (ID, NAME, STATE, TEXT, CTX) values "
            "(30, 'Menus', 2, '{\\rtf1 menus}', 'b'), (10, 'Intro', 1, '{\\rtf1 intro}', 'c'), "
            "(40, 'Install', 3, null, 'a'), (20, 'About', 1, null, null)");
        db.execute("create table links (topic numeric(8), target numeric(8))");
        db.execute("create index I_Topic on links (topic)");
        db.execute("insert into links values (10, 20), (10, 30), (20, 40), (40, 10)");
    }

    // A closed table on `name` in the folder.
    std::unique_ptr<TTable> tableOf(const QString& name) {
        auto t = std::make_unique<TTable>();
        t->setDatabaseName(dir.path());
        t->setTableName(name);
        return t;
    }
    // An open table on the topic table in ID order.
    std::unique_ptr<TTable> topics(const QString& order = "ID") {
        auto t = tableOf("demo.dbf");
        t->setObjectName("TbMain");
        t->setIndexFieldNames(order);
        t->Open();
        return t;
    }

    QTemporaryDir dir;
};
