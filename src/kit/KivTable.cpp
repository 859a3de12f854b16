#include "KivTable.h"

#include "KivForms.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

// Module-wide queries live as children of the application, so they go before
// the application does and are made again should a new one be created.
TQuery* moduleQuery(QPointer<TQuery>& query, const QString& name) {
    if (!query) {
        query = new TQuery(QCoreApplication::instance());
        query->setObjectName(name);
    }
    return query;
}

// The query that reads the maximum of an auto-increment field. When it cannot
// be made, the message is shown once and numbering raises instead.
TQuery* autoIncQuery() {
    static QPointer<TQuery> query;
    static bool failed = false;
    if (query || failed) return query;
    try {
        std::unique_ptr<TQuery> made(moduleQuery(query, QStringLiteral("AutoIncQuery")));
        auto* field = new TIntegerField(made.get());
        field->setFieldName(QStringLiteral("MaxNumAutoIncQuery"));
        field->setDataSet(made.get());
        made.release();
    } catch (const std::exception&) {
        failed = true;
        KivShowMessage(QStringLiteral("Error: AutoIncQuery not created"));
    }
    return query;
}

// Gives every auto-increment field of a new record the table's maximum + 1,
// for datasets on SQL servers (a local table numbers its rows itself).
void numberAutoIncFields(TDBDataSet& dataSet, const QString& tableName) {
    if (!dataSet.IsSQLBased() || dataSet.State() != TDataSetState::dsInsert) return;
    for (TField* field : dataSet.Fields()) {
        if (field->DataType() != TFieldType::ftAutoInc || field->FieldKind() != TFieldKind::fkData)
            continue;
        TQuery* query = autoIncQuery();
        if (!query) throw EDatabaseError(QStringLiteral("Error: AutoIncQuery not created"));
        query->setDatabaseName(dataSet.DatabaseName());
        query->setDriverName(dataSet.DriverName());
        query->setSQL({QStringLiteral("select max(%1) as MaxNumAutoIncQuery from %2")
                           .arg(field->FieldName(), tableName)});
        qint64 value = 0;
        {
            const struct Reset {
                TQuery* q;
                ~Reset() {
                    q->Close();
                    q->setSQL({});
                }
            } reset{query};
            query->Open();
            value = query->FieldByName(QStringLiteral("MaxNumAutoIncQuery"))->AsInteger() + 1;
        }
        // A read-only key is the server's to fill, and here we stand in for it.
        const struct Relock {
            TField* f;
            bool readOnly;
            ~Relock() { f->setReadOnly(readOnly); }
        } relock{field, field->ReadOnly()};
        field->setReadOnly(false);
        field->setAsInteger(value);
    }
}

// The field of the first primary or unique index of a table.
QString uniqueIndexFields(TTable& table) {
    table.UpdateIndexDefs();
    for (const DbfIndexDef& def : table.IndexDefs())
        if (def.primary || def.unique) return def.fieldList();
    return {};
}

bool isQuoteChar(QChar c) {
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.');
}

bool isBlankChar(QChar c) {
    return c.unicode() <= 32;
}

// The record's values of the unique key, to find it again after a reopen.
struct RecordKey {
    QString fields;
    QVariant values;
};

RecordKey currentKey(TDataSet* dataSet) {
    if (!dataSet->Active() || dataSet->IsEmpty()) return {};
    const QString fields = GetUniqueFields(dataSet);
    if (fields.isEmpty()) return {};
    QVariantList values;
    // A key taken from the query's table may name columns the query leaves out.
    for (const QString& name : fields.split(QLatin1Char(';'))) {
        const TField* f = dataSet->FindField(name.trimmed());
        if (!f) return {};
        values << f->Value();
    }
    return {fields, values.size() == 1 ? values.first() : QVariant(values)};
}

void gotoKey(TDataSet* dataSet, const RecordKey& key) {
    if (key.fields.isEmpty() || !dataSet->Active()) return;
    LocateRecord(dataSet, key.fields, key.values);
}

} // namespace

// ---------------------------------------------------------------- TKivTable

TKivTable::TKivTable(QObject* owner) : TKivDataSetOf(owner) {}

TKivTable::~TKivTable() = default;

void TKivTable::DoBeforeInsert() {
    // A detail row needs a stored master row to belong to.
    if (TDataSource* source = MasterSource(); source && source->DataSet()) {
        TDataSet* master = source->DataSet();
        if (master->State() == TDataSetState::dsInsert) {
            master->Post();
            if (master->State() == TDataSetState::dsInsert) throw EAbort();
        }
        if (master->Bof() && master->Eof()) throw EAbort();
    }
    TTable::DoBeforeInsert();
}

void TKivTable::DoBeforePost() {
    numberAutoIncFields(*this, TableName());
    TTable::DoBeforePost();
}

// ---------------------------------------------------------------- TKivQuery

TKivQuery::TKivQuery(QObject* owner) : TKivDataSetOf(owner) {}

TKivQuery::~TKivQuery() = default;

void TKivQuery::InternalOpen() {
    TQuery::InternalOpen();
    if (tableName_.isEmpty() || !sortingList_.isEmpty()) return;
    // The sort orders only describe the query: a table that cannot be read
    // leaves them empty rather than failing an open that succeeded.
    try {
        TTable table;
        table.setDatabaseName(DatabaseName());
        table.setTableName(tableName_);
        table.UpdateIndexDefs();
        for (const DbfIndexDef& def : table.IndexDefs())
            sortingList_ << def.fieldList();
    } catch (const EKivError&) {
        sortingList_.clear();
    }
}

void TKivQuery::DoBeforePost() {
    numberAutoIncFields(*this, tableName_);
    TQuery::DoBeforePost();
}

// ---------------------------------------------------------------- properties by name

TDataSet* KivGetDataSetProperty(const QObject* component, const QString& propertyName) {
    return qobject_cast<TDataSet*>(KivGetObjectProperty(component, propertyName));
}

TDataSource* KivGetDataSourceProperty(const QObject* component, const QString& propertyName) {
    return qobject_cast<TDataSource*>(KivGetObjectProperty(component, propertyName));
}

TKivDataSetActions KivGetActions(const QObject* dataSet) {
    const QMetaProperty p = KivFindProperty(dataSet, QStringLiteral("Actions"));
    if (!p.isValid()) return kivAllActions;
    const QVariant v = p.read(dataSet);
    if (v.metaType() == QMetaType::fromType<TKivDataSetActions>())
        return v.value<TKivDataSetActions>();
    bool ok = false;
    const int bits = v.toInt(&ok);
    return ok ? TKivDataSetActions(bits & 0xFF) : kivAllActions;
}

TEventTable* KivEventTable(QObject* component) {
    if (auto* ds = qobject_cast<TDataSet*>(component)) return &ds->events();
    if (auto* source = qobject_cast<TDataSource*>(component)) return &source->events();
    return nullptr;
}

TOnEditDataEvent KivGetOnEditData(QObject* dataSet) {
    TEventTable* events = KivEventTable(dataSet);
    auto* handler =
        events ? events->get<void(QObject*, TTypeShow, TFieldReturn*)>(QStringLiteral("OnEditData"))
               : nullptr;
    return handler ? *handler : TOnEditDataEvent();
}

TOnDataSetActionEvent KivGetOnAction(QObject* dataSet) {
    TEventTable* events = KivEventTable(dataSet);
    auto* handler = events ? events->get<void(QObject*, TDataSet*, TKivDataSetAction, bool&)>(
                                 QStringLiteral("OnAction"))
                           : nullptr;
    return handler ? *handler : TOnDataSetActionEvent();
}

// ---------------------------------------------------------------- unique key

QString GetUniqueFields(TDataSet* dataSet) {
    if (!dataSet) return {};
    const QString declared = KivGetStringProperty(dataSet, QStringLiteral("UniqueFields"));
    if (!declared.isEmpty()) return declared;
    // A table that cannot be read has no index to offer: the fields decide.
    QString key;
    try {
        if (auto* table = qobject_cast<TTable*>(dataSet)) {
            key = uniqueIndexFields(*table);
        } else if (auto* db = qobject_cast<TDBDataSet*>(dataSet)) {
            const QString tableName = KivGetStringProperty(dataSet, QStringLiteral("TableName"));
            if (!tableName.isEmpty()) {
                TTable table;
                table.setDatabaseName(db->DatabaseName());
                table.setTableName(tableName);
                key = uniqueIndexFields(table);
            }
        }
    } catch (const EKivError&) {
        key.clear();
    }
    return key.isEmpty() ? GetNonBlobFields(dataSet) : key;
}

QString GetNonBlobFields(const TDataSet* dataSet, QChar separator) {
    QStringList names;
    if (dataSet)
        for (const TField* f : dataSet->Fields())
            if (f->FieldKind() == TFieldKind::fkData && !f->IsBlob()) names << f->FieldName();
    return names.join(separator);
}

QString GetSelectFieldList(const TDataSet* dataSet) {
    const QString list = GetNonBlobFields(dataSet, QLatin1Char(','));
    return list.isEmpty() ? QStringLiteral("*") : list;
}

// ---------------------------------------------------------------- statements

namespace {
TQuery* sqlQuery() {
    static QPointer<TQuery> query;
    return moduleQuery(query, QStringLiteral("KivSQLQuery"));
}
} // namespace

QVariant SelectValue(const QString& databaseName, const QString& sql) {
    TQuery* query = sqlQuery();
    query->Close();
    query->setDatabaseName(databaseName);
    query->setSQL({sql});
    struct Closer {
        TQuery* q;
        ~Closer() { q->Close(); }
    } closer{query};
    query->Open();
    if (query->FieldCount() == 0 || query->IsEmpty()) return {};
    return query->Fields().first()->Value();
}

void ExecSQL(const QString& databaseName, const QString& sql, bool quiet) {
    TQuery* query = sqlQuery();
    query->Close();
    query->setDatabaseName(databaseName);
    query->setSQL({sql});
    try {
        query->ExecSQL();
    } catch (const EKivError&) {
        if (!quiet) throw;
    }
}

// ---------------------------------------------------------------- order

qsizetype FindOrderBy(const QString& sql) {
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (isQuoteChar(c)) {
            quote = c;
            continue;
        }
        if ((i > 0 && isNameChar(sql[i - 1])) ||
            QStringView(sql).mid(i, 5).compare(u"order", Qt::CaseInsensitive) != 0)
            continue;
        qsizetype j = i + 5;
        if (j >= sql.size() || !isBlankChar(sql[j])) continue;
        while (j < sql.size() && isBlankChar(sql[j]))
            ++j;
        if (QStringView(sql).mid(j, 2).compare(u"by", Qt::CaseInsensitive) == 0 &&
            (j + 2 >= sql.size() || !isNameChar(sql[j + 2])))
            return i;
    }
    return -1;
}

QString GetOrderByFields(const QString& sql) {
    const qsizetype at = FindOrderBy(sql);
    if (at < 0) return {};
    qsizetype i = at + 5;
    while (i < sql.size() && isBlankChar(sql[i]))
        ++i;
    i += 2; // "by"
    QStringList fields;
    for (;;) {
        while (i < sql.size() && isBlankChar(sql[i]))
            ++i;
        qsizetype start = i;
        if (i < sql.size() && sql[i] == QLatin1Char('"')) {
            const qsizetype end = sql.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0) break;
            i = end + 1;
        } else {
            while (i < sql.size() && isNameChar(sql[i]))
                ++i;
        }
        if (i == start) break;
        fields << sql.mid(start, i - start);
        while (i < sql.size() && isBlankChar(sql[i]))
            ++i;
        if (i >= sql.size() || sql[i] != QLatin1Char(',')) break;
        ++i;
    }
    return fields.join(QLatin1Char(';'));
}

QString SetOrderByFields(const QString& sql, const QString& fields) {
    const qsizetype at = FindOrderBy(sql);
    QString text = at >= 0 ? sql.left(at) : sql;
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(';'))) text.chop(1);
    text = text.trimmed();
    // An empty list drops the clause: "order by " alone is no statement.
    if (fields.trimmed().isEmpty()) return text;
    QString list = fields;
    list.replace(QLatin1Char(';'), QLatin1Char(','));
    return text + QStringLiteral("\norder by ") + list;
}

QString GetSortFields(TDataSet* dataSet) {
    if (!dataSet) return {};
    if (auto* table = qobject_cast<TTable*>(dataSet)) return table->IndexFieldList();
    const QString names = KivGetStringProperty(dataSet, QStringLiteral("IndexFieldNames"));
    if (!names.isEmpty()) return names;
    return GetOrderByFields(
        KivGetStringListProperty(dataSet, QStringLiteral("SQL")).join(QLatin1Char('\n')));
}

void SetSortFields(TDataSet* dataSet, const QString& fields, bool keepPosition) {
    if (!dataSet) return;
    const QMetaProperty sql = KivFindProperty(dataSet, QStringLiteral("SQL"));
    if (sql.isValid() && sql.metaType().id() == QMetaType::QStringList) {
        const bool wasActive = dataSet->Active();
        if (wasActive) dataSet->CheckBrowseMode();
        const RecordKey key = keepPosition ? currentKey(dataSet) : RecordKey();
        const QStringList before = sql.read(dataSet).toStringList();
        dataSet->Close();
        sql.write(
            dataSet,
            SetOrderByFields(before.join(QLatin1Char('\n')), fields).split(QLatin1Char('\n')));
        if (!wasActive) return;
        try {
            dataSet->Open();
        } catch (const EKivError&) {
            // An order the server refuses leaves the statement as it was.
            sql.write(dataSet, before);
            dataSet->Open();
            throw;
        }
        gotoKey(dataSet, key);
        return;
    }
    QString names = fields;
    names.replace(QLatin1Char(','), QLatin1Char(';'));
    const RecordKey key = keepPosition ? currentKey(dataSet) : RecordKey();
    if (!KivSetStringProperty(dataSet, QStringLiteral("IndexFieldNames"), names)) return;
    gotoKey(dataSet, key);
}

// ---------------------------------------------------------------- position

void RefreshDataSet(TDataSet* dataSet) {
    if (!dataSet || !dataSet->Active()) return;
    if (!qobject_cast<TQuery*>(dataSet)) {
        dataSet->Refresh();
        return;
    }
    dataSet->CheckBrowseMode();
    // A reopened result numbers its rows anew, so a bookmark may name another
    // record now: the unique key finds the same one.
    const RecordKey key = currentKey(dataSet);
    const TBookmark mark = dataSet->GetBookmark();
    dataSet->DisableControls();
    struct Enable {
        TDataSet* ds;
        ~Enable() { ds->EnableControls(); }
    } enable{dataSet};
    dataSet->Close();
    dataSet->Open();
    if (!key.fields.isEmpty())
        gotoKey(dataSet, key);
    else
        GotoBookmarkSafe(dataSet, mark);
}

void GotoBookmarkSafe(TDataSet* dataSet, const TBookmark& bookmark) {
    if (!dataSet || bookmark.isNull()) return;
    dataSet->CheckBrowseMode();
    if (dataSet->BookmarkValid(bookmark)) dataSet->GotoBookmark(bookmark);
}

bool LocateRecord(TDataSet* dataSet, const QString& keyFields, const QVariant& keyValues,
                  TLocateOptions options) {
    return dataSet && dataSet->Locate(keyFields, keyValues, options);
}

QString AndConditions(const QString& a, const QString& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return QStringLiteral("(") + a + QStringLiteral(") and (") + b + QStringLiteral(")");
}

void CloneRecord(TDataSet* dataSet) {
    if (!dataSet) return;
    dataSet->CheckBrowseMode();
    QVector<QPair<TField*, QVariant>> values;
    for (TField* f : dataSet->Fields())
        if (f->FieldKind() == TFieldKind::fkData && !f->ReadOnly()) values.append({f, f->Value()});
    dataSet->Insert();
    for (const auto& [field, value] : std::as_const(values))
        if (field->CanModify()) field->setValue(value);
}

QList<QPair<TField*, int>> MeasureFieldWidths(TDataSet* dataSet, int recordLimit) {
    QList<QPair<TField*, int>> widths;
    if (!dataSet || !dataSet->Active()) return widths;
    QList<TField*> fields;
    for (TField* f : dataSet->Fields())
        if (!f->IsBlob() && f->FieldKind() != TFieldKind::fkLookup) fields << f;
    QVector<int> longest(fields.size(), 0);
    dataSet->CheckBrowseMode();
    const TBookmark mark = dataSet->GetBookmark();
    dataSet->DisableControls();
    struct Restore {
        TDataSet* ds;
        const TBookmark& mark;
        ~Restore() {
            GotoBookmarkSafe(ds, mark);
            ds->EnableControls();
        }
    } restore{dataSet, mark};
    int read = 0;
    for (dataSet->First(); !dataSet->Eof() && read < recordLimit; dataSet->Next(), ++read)
        for (int i = 0; i < fields.size(); ++i)
            longest[i] = std::max(longest[i],
                                  int(std::min<qsizetype>(fields[i]->DisplayText().size(), 255)));
    for (int i = 0; i < fields.size(); ++i)
        widths.append({fields[i], longest[i] + 1 + longest[i] / 20});
    return widths;
}

void FitFieldWidths(TDataSet* dataSet, int recordLimit) {
    for (const auto& [field, width] : MeasureFieldWidths(dataSet, recordLimit))
        field->setDisplayWidth(width);
}

QString DisplayLabels(const TDataSet* dataSet, const QString& fields) {
    QStringList labels;
    for (const QString& name : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const TField* f = dataSet ? dataSet->FindField(name.trimmed()) : nullptr;
        labels << (f ? f->DisplayLabel() : name);
    }
    return labels.join(QLatin1Char(','));
}
