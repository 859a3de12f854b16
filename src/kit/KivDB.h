// Field classes of the kit: a small integer shown as one of a fixed list of
// texts (the topic's work state: "", "Write", "Test", "Ready").
#pragma once

#include "TField.h"

#include <QStringList>

class TKivListField : public TSmallintField {
    Q_OBJECT
    Q_PROPERTY(QStringList Values READ Values WRITE setValues)
    Q_PROPERTY(qint64 MinValue READ MinValue)
    Q_PROPERTY(qint64 MaxValue READ MaxValue)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat)
    Q_PROPERTY(QString EditFormat READ EditFormat)

public:
    Q_INVOKABLE explicit TKivListField(QObject* owner = nullptr);

    // The stored integer N shows as line N.
    QStringList Values() const { return values_; }
    // Also moves MaxValue to the last line and redraws linked controls.
    void setValues(const QStringList& values);
    // Formats do not apply to a list.
    QString EditFormat() const { return {}; }

    // The line at the stored value; empty for null or a value off the list.
    QString AsString() const override;
    QString DisplayText() const override { return AsString(); }
    // An empty text clears the field; another is looked up in any case and
    // stores its line, or raises "Invalid value for field '...'".
    void setAsString(const QString& text) override;
    // A value whose line is empty clears the field (so 0 stores null).
    void setAsInteger(qint64 value) override;

private:
    QStringList values_;
};
