#include "HlpDump.h"

#include "HlpBTree.h"
#include "HlpBytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Hlp {

QByteArray DumpHelpFile(const QByteArray& bytes) {
    Reader h(bytes, QStringLiteral("header"));
    if (bytes.size() < 16) h.fail(QStringLiteral("the file is too short for a help file"));
    if (h.u32() != 0x00035F3F) h.fail(QStringLiteral("wrong magic, not a help file"));
    const quint32 dirAt = h.u32();
    const QString dirName = QStringLiteral("internal directory");
    Reader d(bytes, dirName);
    d.seek(qsizetype(dirAt));
    d.u32();
    const quint32 used = d.u32();
    d.u8();
    const QByteArray dir = d.bytes(qsizetype(used));
    QJsonArray files;
    walkBTree(dir, dirName, [&](Reader& r) {
        const QByteArray name = r.sz();
        const quint32 at = r.u32();
        Reader f(bytes, QString::fromLatin1(name));
        f.seek(qsizetype(at));
        f.u32();
        files.append(QJsonObject{{QStringLiteral("name"), QString::fromLatin1(name)},
                                 {QStringLiteral("size"), qint64(f.u32())}});
    });
    return QJsonDocument(QJsonObject{{QStringLiteral("files"), files}})
        .toJson(QJsonDocument::Indented);
}

} // namespace Hlp
