#include "IndexCatalog.h"

#include "Cp1252.h"
#include "DbfFile.h"

#include <QFile>

namespace IndexCatalog {

QString pathFor(const QString& tablePath) {
    QString stem = tablePath;
    if (stem.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive)) stem.chop(4);
    return stem + QStringLiteral(".kix");
}

QVector<DbfIndexDef> read(const QString& path) {
    QVector<DbfIndexDef> defs;
    if (!DbfFile::exists(path)) return defs;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Cannot open file \"%1\": %2").arg(path, file.errorString()));
    if (file.size() > 1 << 20)
        throw EDatabaseError(
            QStringLiteral("Index file \"%1\" is damaged: it is too large").arg(path));
    const QStringList lines = Cp1252::decode(file.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        DbfIndexDef def;
        bool ok = words.size() == 3;
        if (ok) {
            def.name = words[0];
            def.fields = words[2].toUpper().split(QLatin1Char(';'), Qt::SkipEmptyParts);
            const QString kind = words[1].toLower();
            def.primary = kind == QLatin1String("primary");
            def.unique = def.primary || kind == QLatin1String("unique");
            ok = !def.fields.isEmpty() && (def.unique || kind == QLatin1String("plain"));
        }
        if (!ok)
            throw EDatabaseError(
                QStringLiteral("Index file \"%1\" is damaged: line %2 is not \"NAME KIND FIELDS\"")
                    .arg(path)
                    .arg(i + 1));
        defs.push_back(def);
    }
    return defs;
}

QByteArray format(const QVector<DbfIndexDef>& defs) {
    QString text = QStringLiteral("# Index definitions: name, kind (plain, unique or primary), "
                                  "fields separated by ;\r\n");
    for (const auto& def : defs) {
        const char* kind = def.primary ? "primary" : def.unique ? "unique" : "plain";
        text += def.name + QLatin1Char(' ') + QLatin1String(kind) + QLatin1Char(' ') +
                def.fieldList() + QStringLiteral("\r\n");
    }
    return Cp1252::encode(text);
}

void write(const QString& path, const QVector<DbfIndexDef>& defs) {
    if (defs.isEmpty()) {
        DbfFile::remove(path);
        return;
    }
    DbfFile::writeAtomically(path, format(defs));
}

} // namespace IndexCatalog
