// A dataset over the result of an SQL statement on a database folder.
//
// The statement is given as lines (SQL); ":Name" placeholders are parameters
// whose values must be set before opening (a parameter left unset takes the
// value of the same-named field of DataSource's dataset, when there is one).
// With RequestLive, a select over one table with plain columns gives a live
// result: edits, inserts and deletes are written to the table, and a stored
// row stays in the result until the next refresh even when it no longer
// matches. Every other result is read-only.
#pragma once

#include "SqlDatabase.h"
#include "TDBDataSet.h"
#include "TDataSource.h"

#include <memory>

class TParam {
public:
    explicit TParam(const QString& name) : name_(name) {}
    QString Name() const { return name_; }
    TFieldType DataType() const { return dataType_; }
    void setDataType(TFieldType type) { dataType_ = type; }
    QVariant Value() const { return value_; }
    void setValue(const QVariant& value);
    QString AsString() const { return value_.toString(); }
    void setAsString(const QString& text);
    void setAsInteger(qint64 value);
    void setAsFloat(double value);
    void Clear();
    // Whether a value was given (a null value counts when set on purpose).
    bool Bound() const { return bound_; }

private:
    QString name_;
    TFieldType dataType_ = TFieldType::ftUnknown;
    QVariant value_;
    bool bound_ = false;
};

class TQuery : public TDBDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList SQL READ SQL WRITE setSQL)
    Q_PROPERTY(bool RequestLive READ RequestLive WRITE setRequestLive)
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)

public:
    explicit TQuery(QObject* owner = nullptr);
    ~TQuery() override;

    // Setting the statement closes the query; parameters of the same name
    // keep their values.
    QStringList SQL() const { return sql_; }
    void setSQL(const QStringList& lines);
    QString SQLText() const { return sql_.join(QLatin1Char('\n')); }

    bool RequestLive() const { return requestLive_; }
    void setRequestLive(bool live);
    // Whether the open result writes through to its table.
    bool Live() const { return Active() && live_; }
    bool CanModify() const override;

    TDataSource* DataSource() const;
    void setDataSource(TDataSource* source);

    int ParamCount() const { return int(params_.size()); }
    TParam* Params(int i) const { return params_.at(i).get(); }
    TParam* ParamByName(const QString& name) const; // raises naming it when absent
    TParam* FindParam(const QString& name) const;

    // Runs a statement that returns no rows.
    void ExecSQL();
    int RowsAffected() const { return rowsAffected_; }

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void InternalRefresh() override;
    std::vector<int> sourceRows() override;
    QVariant sourceValue(int row, int fieldNo) const override;
    void sourceDelete(int row) override;
    bool sourceCanModify() const override { return live_ && !writtenElsewhere(); }
    void afterSourceWrite(int row, bool inserted) override;

private:
    class ParamLink;
    friend class ParamLink;
    void parseParams();
    QHash<QString, QVariant> paramValues() const;
    SqlResult run();
    void masterChanged();

    QStringList sql_;
    bool requestLive_ = false;
    bool live_ = false;
    std::vector<std::unique_ptr<TParam>> params_;
    SqlResult result_;
    std::vector<int> liveRows_;
    int rowsAffected_ = 0;
    std::unique_ptr<ParamLink> paramLink_;
};
