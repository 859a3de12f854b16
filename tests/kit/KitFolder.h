// A folder with a small topic table (unique index on ID, plain index on NAME)
// and a table without any unique index, made with the engine's statements.
#pragma once

#include "QtPrinters.h"
#include "SqlDatabase.h"
#include "TDataSet.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class KitFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sql("create table \"demo.dbf\" (ID numeric(8), NAME char(40), TEXT blob(10))");
        sql("create unique index I_Id on \"demo.dbf\" (ID)");
        sql("create index I_Name on \"demo.dbf\" (NAME)");
        sql("insert into \"demo.dbf\" values (30, 'Menus', 'menus text'), (10, 'intro', null), "
            "(40, 'Install', null), (20, 'About', 'about text')");
        sql("create table \"plain.dbf\" (CODE char(5), QTY numeric(5), NOTE blob(10))");
        sql("insert into \"plain.dbf\" values ('a', 1, 'x'), ('b', 2, null)");
    }

    SqlResult sql(const QString& statement) { return SqlDatabase(dir.path()).execute(statement); }

    static QList<int> ids(TDataSet& ds) {
        QList<int> list;
        for (ds.First(); !ds.Eof(); ds.Next())
            list << int(ds.FieldByName("ID")->AsInteger());
        return list;
    }
    static int id(const TDataSet& ds) { return int(ds.FieldByName("ID")->AsInteger()); }

    QTemporaryDir dir;
};
