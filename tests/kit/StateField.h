// The topic's work state as a list field of a test table.
#pragma once

#include "KivDB.h"

inline TKivListField* addStateField(TDataSet& table) {
    auto* state = new TKivListField(&table);
    state->setFieldName("State");
    state->setValues({"", "Write", "Test", "Ready"});
    state->setDataSet(&table);
    return state;
}
