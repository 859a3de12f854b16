// Dataset operations of the filter engine that others use on their own:
// making a query the twin of a dataset, and moving one dataset to the record
// another one shows.
#pragma once

#include "TDataSet.h"

// Copies into `query` what describes `source`: "DatabaseName" (when not
// empty), "TableName", "UniqueFields", "Caption", the tag, "SortingList",
// every event handler (matched by name) and a copy of every persistent field
// with its properties. Fields the query already has of the same name are kept.
// The query must be closed.
void TwinDataSet(TDataSet* source, TDataSet* query);

// Moves `target` to the record whose unique-key values (the source's unique
// key) equal those of the source's current record, matching text in any case.
// Nothing happens when the source has no key or no current record. Returns
// whether the record was found.
bool LocateSameRecord(TDataSet* source, TDataSet* target);
