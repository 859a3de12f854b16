#include "TQuery.h"

#include "SqlDatabase.h"

#include <algorithm>

// ---------------------------------------------------------------- TParam

void TParam::setValue(const QVariant& value) {
    value_ = value;
    bound_ = true;
}

void TParam::setAsString(const QString& text) {
    dataType_ = TFieldType::ftString;
    setValue(text);
}

void TParam::setAsInteger(qint64 value) {
    dataType_ = TFieldType::ftInteger;
    setValue(value);
}

void TParam::setAsFloat(double value) {
    dataType_ = TFieldType::ftFloat;
    setValue(value);
}

void TParam::Clear() {
    value_ = QVariant();
    bound_ = false;
}

// ---------------------------------------------------------------- links

// Re-runs the query when the dataset its parameters come from moves.
class TQuery::ParamLink : public TDataLink {
public:
    explicit ParamLink(TQuery* query) : query_(query) {}

protected:
    void ActiveChanged() override { query_->masterChanged(); }
    void DataSetChanged() override { query_->masterChanged(); }
    void RecordChanged(TField* field) override {
        if (!field) query_->masterChanged();
    }

private:
    TQuery* query_;
};

TQuery::TQuery(QObject* owner) : TDBDataSet(owner), paramLink_(std::make_unique<ParamLink>(this)) {}

TQuery::~TQuery() {
    closeForDestruction();
    paramLink_.reset();
}

// ---------------------------------------------------------------- settings

void TQuery::setSQL(const QStringList& lines) {
    Close();
    sql_ = lines;
    parseParams();
}

void TQuery::setRequestLive(bool live) {
    if (live == requestLive_) return;
    CheckInactive();
    requestLive_ = live;
}

bool TQuery::CanModify() const {
    return TDBDataSet::CanModify();
}

TDataSource* TQuery::DataSource() const {
    return paramLink_->DataSource();
}

void TQuery::setDataSource(TDataSource* source) {
    if (source && source->DataSet() == this)
        error(QStringLiteral("Circular datalinks are not allowed"));
    paramLink_->setDataSource(source);
}

TParam* TQuery::FindParam(const QString& name) const {
    for (const auto& p : params_)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0) return p.get();
    return nullptr;
}

TParam* TQuery::ParamByName(const QString& name) const {
    TParam* p = FindParam(name);
    if (!p) error(QStringLiteral("Parameter '%1' not found").arg(name));
    return p;
}

// ":Name" outside quoted text is a parameter; "::" is not.
void TQuery::parseParams() {
    std::vector<std::unique_ptr<TParam>> found;
    const QString text = SQLText();
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        if (c != u':' || i + 1 >= text.size()) continue;
        if (text.at(i + 1) == u':') {
            ++i;
            continue;
        }
        if (!text.at(i + 1).isLetter() && text.at(i + 1) != u'_') continue;
        qsizetype end = i + 1;
        while (end < text.size() && (text.at(end).isLetterOrNumber() || text.at(end) == u'_'))
            ++end;
        const QString name = text.mid(i + 1, end - i - 1);
        i = end - 1;
        const bool seen = std::any_of(found.begin(), found.end(), [&](const auto& p) {
            return p->Name().compare(name, Qt::CaseInsensitive) == 0;
        });
        if (seen) continue;
        auto param = std::make_unique<TParam>(name);
        if (TParam* old = FindParam(name)) *param = *old;
        found.push_back(std::move(param));
    }
    params_ = std::move(found);
}

QHash<QString, QVariant> TQuery::paramValues() const {
    QHash<QString, QVariant> values;
    TDataSet* master = paramLink_->DataSet();
    for (const auto& p : params_) {
        if (p->Bound()) {
            values.insert(p->Name(), p->Value());
            continue;
        }
        TField* f = master && master->Active() ? master->FindField(p->Name()) : nullptr;
        if (!f) error(QStringLiteral("No value for parameter '%1'").arg(p->Name()));
        values.insert(p->Name(), f->Value());
    }
    return values;
}

SqlResult TQuery::run() {
    if (SQLText().trimmed().isEmpty()) error(QStringLiteral("No SQL statement available"));
    SqlDatabase db(DatabaseName());
    return db.execute(SQLText(), paramValues());
}

// ---------------------------------------------------------------- source

void TQuery::InternalOpen() {
    SqlResult result = run();
    if (!result.isSelect)
        error(QStringLiteral("The statement returns no rows; run it with ExecSQL"));
    QVector<TFieldDef> defs;
    QVector<int> map;
    for (const SqlColumn& c : result.columns) {
        defs << fieldDefOf(c.name, c.type, c.length, c.decimals);
        map << c.tableField;
    }
    setFieldDefs(defs);
    live_ = requestLive_ && result.liveTable != nullptr;
    if (live_) {
        setSourceTable(result.liveTable, map);
        liveRows_ = result.tableRows;
        result.tableRows.clear();
    } else if (result.liveTable) {
        // A result that could be live but was not asked to be: keep a copy.
        QVector<DbfRecord> rows;
        rows.reserve(result.rowCount());
        for (int r = 0; r < result.rowCount(); ++r) {
            DbfRecord rec(result.columns.size());
            for (int c = 0; c < rec.size(); ++c)
                rec[c] = result.value(r, c);
            rows << rec;
        }
        result.rows = rows;
        result.liveTable.reset();
        result.tableRows.clear();
    }
    result_ = std::move(result);
}

void TQuery::InternalClose() {
    TDBDataSet::InternalClose();
    result_ = SqlResult();
    liveRows_.clear();
    live_ = false;
}

void TQuery::InternalRefresh() {
    SqlResult result = run();
    if (result.columns.size() != FieldDefs().size())
        error(QStringLiteral("The refreshed result has other columns; reopen the query"));
    if (live_ && result.liveTable) {
        liveRows_ = result.tableRows;
        return;
    }
    if (live_) error(QStringLiteral("The refreshed result is no longer live; reopen the query"));
    QVector<DbfRecord> rows;
    for (int r = 0; r < result.rowCount(); ++r) {
        DbfRecord rec(result.columns.size());
        for (int c = 0; c < rec.size(); ++c)
            rec[c] = result.value(r, c);
        rows << rec;
    }
    result_.rows = rows;
}

std::vector<int> TQuery::sourceRows() {
    if (live_) {
        // Rows deleted through another cursor drop out.
        std::vector<int> rows;
        rows.reserve(liveRows_.size());
        for (int r : liveRows_)
            if (!sourceTable()->isDeleted(r)) rows.push_back(r);
        return rows;
    }
    std::vector<int> rows(size_t(result_.rows.size()));
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = int(i);
    return rows;
}

QVariant TQuery::sourceValue(int row, int fieldNo) const {
    if (live_) return TDBDataSet::sourceValue(row, fieldNo);
    if (row < 0 || row >= result_.rows.size()) return {};
    return result_.rows[row].value(fieldNo);
}

void TQuery::sourceDelete(int row) {
    TDBDataSet::sourceDelete(row);
    liveRows_.erase(std::remove(liveRows_.begin(), liveRows_.end(), row), liveRows_.end());
}

// A stored row stays where it was put, matching the statement or not.
void TQuery::afterSourceWrite(int row, bool inserted) {
    if (inserted) {
        const std::vector<int>& shown = cursorRows();
        auto at = liveRows_.end();
        if (insertIndex() >= 0 && size_t(insertIndex()) < shown.size())
            at = std::find(liveRows_.begin(), liveRows_.end(), shown[size_t(insertIndex())]);
        liveRows_.insert(at, row);
    }
    resyncRows(row);
}

void TQuery::ExecSQL() {
    rowsAffected_ = 0;
    rowsAffected_ = run().rowsAffected;
}

void TQuery::masterChanged() {
    TDataSet* master = paramLink_->DataSet();
    if (!Active() || !master || !master->Active() || master->State() == TDataSetState::dsSetKey)
        return;
    DisableControls();
    try {
        Close();
        Open();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}
