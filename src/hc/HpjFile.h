// The help project file (.hpj) as the compiler reads it: [OPTIONS], [FILES],
// [MAP], [WINDOWS], [CONFIG], [ALIAS] and [BITMAPS], with #include of file
// lists and map files. Lines it cannot use are warnings, never a failure.
#pragma once

#include "HcMessages.h"
#include "HlpModel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace Hc {

struct HpjProject {
    QString errorLog; // ERRORLOG=, as written (relative to the project folder)
    QString contents; // CONTENTS= (or CNT=)
    QString helpFile; // HLP=
    QString title, copyright, citation;
    bool compress = false;
    bool report = false;
    quint16 lcid = 0x409;
    QStringList roots;       // ROOT= folders for topic files
    QStringList bitmapRoots; // BMROOT= folders for bitmaps
    QStringList files;       // [FILES], in order, as written
    struct MapEntry {
        QString context;
        quint32 number = 0;
        QString file; // where the line was, for messages
    };
    std::vector<MapEntry> map;
    std::vector<Hlp::Window> windows;
    QStringList config;
    std::vector<std::pair<QString, QString>> aliases; // alias, context it stands for
    QStringList bitmaps;                              // [BITMAPS]
};

// The bytes of an included file named as the project file names it, or
// nothing when it cannot be read.
using IncludeReader = std::function<std::optional<QByteArray>(const QString& name)>;

// `fileName` (no folder) names the project file in messages.
HpjProject ParseHpj(const QByteArray& bytes, const QString& fileName, const IncludeReader& include,
                    Messages& messages);

// One [WINDOWS] value: "Caption",(x,y,w,h),state,(r,g,b),(r,g,b),flags; any
// part may be missing. False when nothing of it can be read.
bool ParseWindow(const QString& name, const QString& definition, Hlp::Window& window);

// A number as project and map files write it: decimal, or hex with 0x.
std::optional<quint32> ParseNumber(const QString& text);

} // namespace Hc
