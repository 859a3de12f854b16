// Small helpers shared by the database tests.
#pragma once

#include "FailureText.h"
#include "KivError.h"
#include "TDataSet.h"

#include <QStringList>

#include <utility>

// A persistent field of class F named `name`, owned by and attached to `ds`.
template <class F>
F* addField(TDataSet& ds, const char* name, TFieldKind kind = TFieldKind::fkData) {
    auto* f = new F(&ds);
    f->setFieldName(QString::fromLatin1(name));
    f->setFieldKind(kind);
    f->setDataSet(&ds);
    return f;
}

// What `log` has gathered since the last take.
inline QStringList take(QStringList& log) {
    return std::exchange(log, {});
}
