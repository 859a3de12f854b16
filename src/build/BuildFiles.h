// Writes the help compiler's per-build input: one S_ID.rtf per topic, the file
// list S.lst and the map file S.map, in the project folder.
#pragma once

#include "TopicRtf.h"

#include <functional>

// The topics of one build, in build order. The data module walks its
// computing cursor behind this; tests hand in plain lists.
class TopicSource {
public:
    virtual ~TopicSource() = default;
    // Fills the next topic and its CTX value; false when there is none.
    virtual bool next(TopicFields& topic, QString& ctx) = 0;
    // How many topics the build will write, for progress; -1 when unknown.
    virtual int count() const { return -1; }
};

// (topics written, total or -1)
using BuildProgress = std::function<void(int, int)>;

// `dir` ends with a path separator. Raises EInOutError naming the file when a
// file cannot be created or written; files written before stay as they are.
// Returns the number of topics written.
int BuildFiles(const QString& dir, const QString& stem, TopicSource& topics,
               const BuildProgress& progress = {});
