#include "KivDB.h"

#include "KivError.h"

TKivListField::TKivListField(QObject* owner) : TSmallintField(owner) {
    setAlignment(TAlignment::taLeftJustify);
    setValues({});
}

void TKivListField::setValues(const QStringList& values) {
    values_ = values;
    setMaxValue(values_.size() - 1);
    changed();
}

QString TKivListField::AsString() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    const qint64 n = v.toLongLong();
    return n >= 0 && n < values_.size() ? values_[int(n)] : QString();
}

void TKivListField::setAsString(const QString& text) {
    if (text.isEmpty()) {
        Clear();
        return;
    }
    for (int line = 0; line < values_.size(); ++line)
        if (values_[line].compare(text, Qt::CaseInsensitive) == 0) return setAsInteger(line);
    throw EDatabaseError(QStringLiteral("Invalid value for field '%1'").arg(DisplayName()));
}

void TKivListField::setAsInteger(qint64 value) {
    if (value >= 0 && value < values_.size() && values_[int(value)].isEmpty()) {
        Clear();
        return;
    }
    checkRange(value, 0, MaxValue());
    setValue(value);
}
