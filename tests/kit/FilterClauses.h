// A filter clause in one line, for the filter tests.
#pragma once

#include "KivFiltItems.h"

inline TConditionItem clause(const QString& field, const QString& op, const QVariant& value,
                             const QString& dataSet = {}) {
    TConditionItem c;
    c.DataSetName = dataSet;
    c.FieldName = field;
    c.Operation = op;
    c.Value = value;
    return c;
}
