// A stand-in for the help compiler: a shell script that records its arguments,
// one per line, in args.txt beside itself and, like the real compiler, writes
// the project's message file S.err and help file S.hlp next to the project
// file it is given last.
#pragma once

#include "TestFiles.h"

// `extra` runs after the files are written; "$base" is the project path
// without its extension.
inline QString writeCompilerScript(const QString& path, const QByteArray& extra = {}) {
    return writeScript(path, "args=\"$(dirname \"$0\")/args.txt\"\n"
                             ": > \"$args\"\n"
                             "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$args\"; "
                             "last=\"$a\"; done\n"
                             "base=\"${last%.*}\"\n"
                             "printf 'Compiling %s\\r\\nWarning 4113: topic 3 has no title\\r\\n' "
                             "\"${base##*/}.hpj\" > \"$base.err\"\n"
                             "printf 'HLP' > \"$base.hlp\"\n" +
                                 extra);
}

// The arguments of the last run, or "<missing>" when the script never ran.
inline QByteArray recordedArgs(const QString& scriptPath) {
    return readFile(QFileInfo(scriptPath).path() + "/args.txt");
}
