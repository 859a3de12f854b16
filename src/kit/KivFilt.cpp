#include "KivFilt.h"

#include "KivForms.h"
#include "KivTable.h"

void TwinDataSet(TDataSet* source, TDataSet* query) {
    if (!source || !query) return;
    const QString database = KivGetStringProperty(source, QStringLiteral("DatabaseName"));
    if (!database.isEmpty()) KivSetStringProperty(query, QStringLiteral("DatabaseName"), database);
    for (const char* name : {"TableName", "UniqueFields", "Caption"})
        KivSetStringProperty(query, QLatin1String(name),
                             KivGetStringProperty(source, QLatin1String(name)));
    query->setTag(source->Tag());
    KivSetStringListProperty(query, QStringLiteral("SortingList"),
                             KivGetStringListProperty(source, QStringLiteral("SortingList")));
    query->events().copyFrom(source->events());
    KivCopyEventHandlers(source, query);

    // Fields the source made itself at open are not part of its design.
    if (source->DefaultFields()) return;
    for (const TField* field : source->Fields()) {
        if (query->FindField(field->FieldName())) continue;
        TField* copy = field->clone(query);
        copy->setDataSet(query);
    }
}

bool LocateSameRecord(TDataSet* source, TDataSet* target) {
    if (!source || !target || !source->Active() || source->IsEmpty() || !target->Active())
        return false;
    const QString key = GetUniqueFields(source);
    if (key.isEmpty()) return false;
    QVariantList values;
    for (const TField* f : source->GetFieldList(key))
        values << f->Value();
    return LocateRecord(target, key, values.size() == 1 ? values.first() : QVariant(values),
                        loCaseInsensitive);
}
