// The texts of the filter engine: clauses, the filter of one dataset (for the
// record filter or for SQL), the where clause over detail datasets and the
// select statement of an extract.
#include "DbfValue.h"
#include "KivFilt.h"
#include "KivForms.h"
#include "KivTable.h"

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

bool isIntegerField(const TField* field) {
    switch (field->DataType()) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return true;
    default:
        return false;
    }
}

// The value as the filter text writes it; a value that is not of the field's
// type goes as quoted text, so the reader refuses it rather than misreads it.
QString literal(const TField* field, const QVariant& value) {
    if (field->DataType() == TFieldType::ftDate) {
        QDate date = value.toDate();
        if (!date.isValid()) date = dateFromText(value.toString());
        return quoted(date.isValid() ? shortDateText(date) : value.toString());
    }
    bool ok = false;
    if (field->DataType() == TFieldType::ftFloat) {
        const double d = value.toDouble(&ok);
        if (ok) return QString::number(d, 'g', 15);
    } else if (isIntegerField(field)) {
        const qint64 n = value.toLongLong(&ok);
        if (ok) return QString::number(n);
    }
    return quoted(value.toString());
}

// 'x' without % or _ becomes '%x%' (and x becomes %x%).
QString widened(const QString& literal) {
    if (literal.contains(QLatin1Char('%')) || literal.contains(QLatin1Char('_'))) return literal;
    if (literal.size() >= 2 && literal.startsWith(QLatin1Char('\'')) &&
        literal.endsWith(QLatin1Char('\'')))
        return QStringLiteral("'%") + literal.mid(1, literal.size() - 2) + QStringLiteral("%'");
    return QLatin1Char('%') + literal + QLatin1Char('%');
}

// Each letter as [Aa], so the pattern matches in any case.
QString anyCase(const QString& literal) {
    QString out;
    for (const QChar c : literal) {
        const QChar upper = c.toUpper(), lower = c.toLower();
        if (upper == lower)
            out += c;
        else
            out += QLatin1Char('[') + upper + lower + QLatin1Char(']');
    }
    return out;
}

bool isBoundary(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('(') || c == QLatin1Char(')');
}

// OR, AND and NOT as whole words outside quotes become or, and, not. A word
// may also touch a #N reference on either side.
QString lowerLinkWords(const QString& text) {
    QString out = text;
    bool inQuotes = false;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i] == QLatin1Char('\'')) {
            inQuotes = !inQuotes;
            continue;
        }
        if (inQuotes) continue;
        for (const char* word : {"OR", "AND", "NOT"}) {
            const qsizetype n = qsizetype(qstrlen(word));
            if (QStringView(out).mid(i, n) != QLatin1String(word)) continue;
            bool before = i == 0 || isBoundary(out[i - 1]);
            // After a reference: digits back to a '#'.
            qsizetype k = i;
            while (k > 0 && out[k - 1].isDigit())
                --k;
            before = before || (k < i && k > 0 && out[k - 1] == QLatin1Char('#'));
            const qsizetype end = i + n;
            const bool after =
                end == out.size() || isBoundary(out[end]) || out[end] == QLatin1Char('#');
            if (before && after) {
                out.replace(i, n, QString::fromLatin1(word).toLower());
                i = end - 1;
                break;
            }
        }
    }
    return out;
}

} // namespace

QString TKivFilter::QuoteTableName(const QString& name) const {
    if (name.isEmpty()) return name;
    const auto inQuotes = [](const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); };
    switch (tableNameKind_) {
    case tnNoQuotes:
        return name;
    case tnQuotes:
        return inQuotes(name);
    case tnQuotesCreator: {
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot < 0) return inQuotes(name);
        return inQuotes(name.left(dot)) + QLatin1Char('.') + inQuotes(name.mid(dot + 1));
    }
    }
    return name;
}

TDataSet* TKivFilter::subDataSet(const QString& tableName) const {
    for (const QPointer<TDataSet>& d : subDataSets_)
        if (d && KivGetStringProperty(d, QStringLiteral("TableName"))
                         .compare(tableName, Qt::CaseInsensitive) == 0)
            return d;
    return nullptr;
}

QString TKivFilter::extraCondition(int position) const {
    return extraConditions_.value(position);
}

QString TKivFilter::ConditionText(int index, TDataSet* dataSet, bool sql) {
    const TFilterItem* filter = CurrentFilter();
    if (!dataSet) dataSet = MainDataSet();
    if (!filter || !dataSet || index < 0 || index >= filter->Conditions.size()) return {};
    const TConditionItem& c = filter->Conditions[index];
    const bool onMain = dataSet == MainDataSet();
    if (onMain ? !c.DataSetName.isEmpty() : subDataSet(c.DataSetName) != dataSet) return {};
    TField* field = dataSet->FindField(c.FieldName);
    if (!field) return {};

    QString text;
    if (c.Value.isNull()) {
        const bool equal = c.Operation == QLatin1String("=");
        text = c.FieldName +
               (sql ? (equal ? QStringLiteral(" is Null") : QStringLiteral(" is not Null"))
                    : (equal ? QStringLiteral("=Null") : QStringLiteral("<>Null")));
    } else if (c.Operation != QLatin1String("~")) {
        text = c.FieldName + c.Operation + literal(field, c.Value);
    } else {
        likeUsed_ = true;
        QString lit = literal(field, c.Value);
        if (lit.isEmpty() || lit == QLatin1String("''")) {
            text = c.FieldName + QStringLiteral(" Like '%'");
        } else {
            lit = widened(lit);
            switch (likeKind_) {
            case lkNormal:
                text = c.FieldName + QStringLiteral(" Like ") + lit;
                break;
            case lkToUpper:
                text = QStringLiteral("Upper(") + c.FieldName + QStringLiteral(") Like Upper(") +
                       lit + QLatin1Char(')');
                break;
            case lkAsAaBbCc:
                text = c.FieldName + QStringLiteral(" Like ") + anyCase(lit);
                break;
            }
        }
    }
    text = QLatin1Char('(') + text + QLatin1Char(')');
    if (OnConstructCondition) {
        OnConstructCondition(this, text, field, c.Operation, c.Value);
        if (!text.isEmpty() &&
            !(text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')'))))
            text = QLatin1Char('(') + text + QLatin1Char(')');
    }
    return text;
}

QString TKivFilter::linkExpression(const QString& expression, TDataSet* dataSet, bool sql) {
    const QString words = lowerLinkWords(expression);
    const int clauses = int(CurrentFilter()->Conditions.size());
    QString out;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] != QLatin1Char('#') || i + 1 >= words.size() || !words[i + 1].isDigit()) {
            out += words[i];
            continue;
        }
        qsizetype end = i + 1;
        while (end < words.size() && words[end].isDigit())
            ++end;
        bool ok = false;
        const int n = words.mid(i + 1, end - i - 1).toInt(&ok);
        if (ok && n >= 1 && n <= clauses) out += ConditionText(n - 1, dataSet, sql);
        i = end - 1;
    }
    return out;
}

QString TKivFilter::FilterText(TDataSet* dataSet, bool sql) {
    if (!dataSet) dataSet = MainDataSet();
    const bool onMain = dataSet == MainDataSet();
    const QString name =
        onMain ? QString() : KivGetStringProperty(dataSet, QStringLiteral("TableName"));
    QString text;
    if (const TFilterItem* filter = CurrentFilter()) {
        QString link;
        for (const TDataSetItem& item : filter->DataSetItems)
            if (item.Name.compare(name, Qt::CaseInsensitive) == 0) link = item.LinkText;
        if (!filter->AndForAll && !link.trimmed().isEmpty()) {
            text = linkExpression(link, dataSet, sql);
        } else {
            QStringList parts;
            for (int k = 0; k < filter->Conditions.size(); ++k) {
                const QString part = ConditionText(k, dataSet, sql);
                if (!part.isEmpty()) parts << part;
            }
            text = parts.join(QStringLiteral(" and "));
        }
    }
    int position = 0;
    if (!onMain) position = int(SubDataSets().indexOf(dataSet)) + 1;
    text = AndConditions(extraCondition(position), text);
    if (OnConstructFilter) OnConstructFilter(this, text, dataSet);
    return text;
}

QString TKivFilter::detailLink(TDataSet* detail) {
    const QStringList master =
        KivGetStringProperty(detail, QStringLiteral("MasterFields")).split(QLatin1Char(';'));
    const QStringList own =
        KivGetStringProperty(detail, QStringLiteral("IndexFieldNames")).split(QLatin1Char(';'));
    QStringList terms;
    for (int i = 0; i < master.size(); ++i) {
        if (master[i].trimmed().isEmpty()) continue;
        if (i >= own.size() || own[i].trimmed().isEmpty()) {
            terms.clear(); // the detail's fields ran out first
            break;
        }
        terms << QStringLiteral("(EFilter.") + master[i].trimmed() + QLatin1Char('=') +
                     own[i].trimmed() + QLatin1Char(')');
    }
    QString link = terms.join(QStringLiteral(" and "));
    if (OnDataSetLink) OnDataSetLink(this, link, detail);
    return link;
}

QString TKivFilter::WhereClause() {
    QString where;
    const QString main = FilterText(MainDataSet(), true);
    if (!main.isEmpty()) where = QLatin1Char('(') + main + QLatin1Char(')');
    const TFilterItem* filter = CurrentFilter();
    for (TDataSet* detail : SubDataSets()) {
        const QString text = FilterText(detail, true);
        // Groups split at "|" outside quotes: each must hold for some detail row.
        QStringList groups;
        QString group;
        bool inQuotes = false;
        for (const QChar c : text) {
            if (c == QLatin1Char('\'')) inQuotes = !inQuotes;
            if (c == QLatin1Char('|') && !inQuotes) {
                groups << group.trimmed();
                group.clear();
            } else {
                group += c;
            }
        }
        groups << group.trimmed();
        const QString tableName = KivGetStringProperty(detail, QStringLiteral("TableName"));
        bool forAll = false;
        if (filter)
            for (const TDataSetItem& item : filter->DataSetItems)
                if (item.Name.compare(tableName, Qt::CaseInsensitive) == 0) forAll = item.ForAll;
        for (const QString& g : groups) {
            if (g.isEmpty()) continue;
            const QString link = detailLink(detail);
            if (link.isEmpty()) continue;
            const QString from = QStringLiteral("select * from ") + QuoteTableName(tableName) +
                                 QStringLiteral(" where ") + link;
            const QString term =
                forAll ? QStringLiteral("Exists(") + from + QStringLiteral(") and(Not Exists(") +
                             from + QStringLiteral(" and (not (") + g + QStringLiteral("))))")
                       : QStringLiteral("Exists(") + from + QStringLiteral(" and (") + g +
                             QStringLiteral("))");
            if (!where.isEmpty()) where += QStringLiteral(" and ");
            where += term;
        }
    }
    return where;
}

bool TKivFilter::NeedsExtract() {
    TDataSet* main = MainDataSet();
    if (!main || filterSetAs_ == fsFilter) return false;
    if (KivGetStringProperty(main, QStringLiteral("DatabaseName")).isEmpty() ||
        KivGetStringProperty(main, QStringLiteral("TableName")).isEmpty())
        return false;
    if (filterSetAs_ == fsQuery) return true;
    const TFilterItem* filter = CurrentFilter();
    if (!filter) return false;
    for (TDataSet* detail : SubDataSets())
        if (!FilterText(detail, true).isEmpty()) return true;
    if (filterSetAs_ == fsQueryFilter) {
        if (!extraCondition(0).isEmpty()) return true;
        for (const TDataSetItem& item : filter->DataSetItems)
            if (item.Name.isEmpty() && !filter->AndForAll && !item.LinkText.isEmpty()) return true;
    }
    likeUsed_ = false;
    FilterText(main, true);
    return likeUsed_;
}

QString TKivFilter::SelectStatement(TDataSet* source, const QString& tableName,
                                    const QString& where, const QString& order) {
    QStringList fields;
    for (const TField* f : source->Fields())
        if (f->FieldKind() == TFieldKind::fkData) fields << f->FieldName();
    QString sql = QStringLiteral("Select ") +
                  (fields.isEmpty() ? QStringLiteral("*") : fields.join(QLatin1Char(','))) +
                  QStringLiteral(" from ") + tableName + QStringLiteral(" EFilter");
    if (!where.isEmpty()) sql += QStringLiteral(" Where ") + where;
    if (!order.isEmpty())
        sql += QStringLiteral(" Order by ") +
               QString(order).replace(QLatin1Char(';'), QLatin1Char(','));
    return sql;
}
