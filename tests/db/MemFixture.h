// A small in-memory topic list shared by the dataset tests.
#pragma once

#include "DataSetRows.h"
#include "DbTest.h"
#include "QtPrinters.h"
#include "TMemTable.h"

#include <memory>

struct TopicRow {
    int id;
    const char* name;
    int state;
};

inline std::unique_ptr<TMemTable> makeTopics(std::initializer_list<TopicRow> rows) {
    auto t = std::make_unique<TMemTable>();
    t->setObjectName("Topics");
    t->addFieldDef("ID", TFieldType::ftFloat);
    t->addFieldDef("NAME", TFieldType::ftString, 60);
    t->addFieldDef("STATE", TFieldType::ftSmallint);
    t->Open();
    for (const TopicRow& r : rows) {
        t->Append();
        t->FieldByName("ID")->setAsInteger(r.id);
        t->FieldByName("NAME")->setAsString(QString::fromUtf8(r.name));
        if (r.state >= 0) t->FieldByName("STATE")->setAsInteger(r.state);
        t->Post();
    }
    t->First();
    return t;
}

inline std::unique_ptr<TMemTable> sampleTopics() {
    return makeTopics({{10, "Intro", 1},
                       {20, "Install", 2},
                       {30, "Menus", -1},
                       {40, "intro again", 3},
                       {50, "Zebra", 0}});
}
