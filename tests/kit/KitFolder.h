// A folder with a small topic table (unique index on ID, plain index on NAME)
// and a table without any unique index, made with the engine's statements,
// and the kit's datasets on it; key presses and focus loss for its controls.
#pragma once

#include "AddField.h"
#include "DataSetRows.h"
#include "KivTable.h"
#include "QtPrinters.h"
#include "SqlDatabase.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

inline void press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                  const QString& text = {}) {
    QKeyEvent e(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &e);
}

inline void leave(QWidget* w) {
    QFocusEvent e(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &e);
}

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

    // Datasets on the folder, owned by `owner` or else by the fixture.
    TKivTable* table(const QString& name = "demo.dbf", QObject* owner = nullptr) {
        auto* t = new TKivTable(owner ? owner : &owned);
        t->setDatabaseName(dir.path());
        t->setTableName(name);
        return t;
    }
    // Lines of `text` are the lines of the statement.
    TKivQuery* query(const QString& text, const QString& tableName = "demo.dbf",
                     QObject* owner = nullptr) {
        auto* q = new TKivQuery(owner ? owner : &owned);
        q->setDatabaseName(dir.path());
        q->setSQL(text.split('\n'));
        q->setTableName(tableName);
        return q;
    }
    // The demo table in ID order behind `source`, opened unless asked not to.
    TKivTable* topicsOn(TDataSource& source, bool open = true) {
        TKivTable* t = table();
        t->setIndexFieldNames("ID");
        source.setDataSet(t);
        if (open) t->Open();
        return t;
    }

    QTemporaryDir dir;
    QObject owned; // goes before the folder does
};
