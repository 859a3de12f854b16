// The rows of a dataset as the tests compare them.
#pragma once

#include "TDataSet.h"

#include <QList>

// `field` of every record in cursor order, walking from the first.
inline QList<int> ids(TDataSet& ds, const QString& field = QStringLiteral("ID")) {
    QList<int> list;
    for (ds.First(); !ds.Eof(); ds.Next())
        list << int(ds.FieldByName(field)->AsInteger());
    return list;
}

// The current record's ID.
inline int id(const TDataSet& ds) {
    return int(ds.FieldByName(QStringLiteral("ID"))->AsInteger());
}
