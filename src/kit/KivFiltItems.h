// The stored filters of a filter component: each filter is a list of clauses
// (field, operation, value) with optional link expressions per dataset.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// One clause. The operation is "=", "<>", "<", ">", "<=", ">=" or "~" (like).
struct TConditionItem {
    QString DataSetName; // "TableName" of the detail dataset; empty for the main one
    QString FieldName;
    QString DisplayFieldName; // the field whose editor the form shows, when set
    QString Operation = QStringLiteral("=");
    quint8 Flag = 0; // kept for the filter form, not read here
    QVariant Value;  // null: compares with Null
    QString Spare;
};

// Per filter and dataset: the link expression over the clauses ("#1 or #2").
struct TDataSetItem {
    QString Name; // "TableName" of the dataset; empty for the main one
    QString LinkText;
    bool ForAll = false; // clauses on a detail dataset must hold for all its rows
    QString Spare;
};

struct TFilterItem {
    QString Name;
    bool AndForAll = true; // every clause joined with "and"; else the link expressions
    QString Spare;
    QList<TConditionItem> Conditions;
    QList<TDataSetItem> DataSetItems;

    // The item of the dataset `name` (any case), appended when there is none.
    TDataSetItem& DataSetItem(const QString& name) {
        for (TDataSetItem& item : DataSetItems)
            if (item.Name.compare(name, Qt::CaseInsensitive) == 0) return item;
        DataSetItems.append(TDataSetItem{name, {}, false, {}});
        return DataSetItems.last();
    }
};
