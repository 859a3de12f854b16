// A persistent field of a test dataset, in one line.
#pragma once

#include "TDataSet.h"

// A field of class F named `name`, owned by and attached to `ds`.
template <class F>
F* addField(TDataSet& ds, const QString& name, TFieldKind kind = TFieldKind::fkData) {
    auto* f = new F(&ds);
    f->setFieldName(name);
    f->setFieldKind(kind);
    f->setDataSet(&ds);
    return f;
}
template <class F> F* addField(TDataSet* ds, const QString& name) {
    return addField<F>(*ds, name);
}
