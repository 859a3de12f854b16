// A lookup field of a test table, in one line.
#pragma once

#include "KivDB.h"

// Field `name` of `ds` shows `result` of the `lookup` row whose `lookupKeys`
// equal its `keys`; not yet attached, so options can be set first.
template <class F = TKivLookField>
F* lookupField(TDataSet* ds, const QString& name, TDataSet* lookup, const QString& keys,
               const QString& lookupKeys, const QString& result) {
    auto* f = new F(ds);
    f->setFieldName(name);
    f->setFieldKind(TFieldKind::fkLookup);
    f->setLookupDataSet(lookup);
    f->setKeyFields(keys);
    f->setLookupKeyFields(lookupKeys);
    f->setLookupResultField(result);
    return f;
}
