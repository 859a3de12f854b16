// The topics of a build read from the data module's computing cursor: the
// whole project in ID order, or only the topic current in the editing cursor.
#pragma once

#include "BuildFiles.h"

class TDM;
class TField;
class TMemoField;

class CalcTopicSource : public TopicSource {
public:
    // Refreshes the computing cursor (so it sees every stored row) and places
    // it on the first topic of the build.
    CalcTopicSource(TDM& dm, bool wholeProject);

    bool next(TopicFields& topic, QString& ctx) override;
    int count() const override { return count_; }

private:
    enum Column { Id, Name, BSeq, Window, Keys, AKeys, Text, Ctx, Columns };

    TDM& dm_;
    const TField* fields_[Columns]; // looked up once, not per topic
    const TMemoField* text_;
    bool wholeProject_;
    int count_ = 0;
    bool done_ = false;
};
