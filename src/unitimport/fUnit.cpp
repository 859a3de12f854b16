#include "fUnit.h"

namespace {

QString trimmedLeft(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i].unicode() <= 32)
        ++i;
    return s.mid(i);
}

} // namespace

TClassItems::TClassItems(const QStringList& members) {
    for (const QString& item : members) {
        // Without a "|" the whole item counts as the declaration.
        const QString declaration =
            trimmedLeft(item.mid(item.indexOf(QLatin1Char('|')) + 1)).toUpper();
        if (!declaration.startsWith(QLatin1String("PROPERTY"))) {
            Methods << item;
            continue;
        }
        // A property named On... or of an ...Event type is an event.
        const QString rest = trimmedLeft(declaration.mid(8));
        if (rest.startsWith(QLatin1String("ON")) || rest.contains(QLatin1String("EVENT")))
            Events << item;
        else
            Properties << item;
    }
}
