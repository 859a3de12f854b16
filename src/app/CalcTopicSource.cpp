#include "CalcTopicSource.h"

#include "DMod.h"
#include "KivTable.h"

CalcTopicSource::CalcTopicSource(TDM& dm, bool wholeProject)
    : dm_(dm), wholeProject_(wholeProject) {
    TKivTable& calc = *dm_.TbCalc;
    const char* const names[Columns] = {"ID",   "NAME",  "BSEQ", "WINDOW",
                                        "KEYS", "AKEYS", "TEXT", "CTX"};
    for (int i = 0; i < Columns; ++i)
        fields_[i] = calc.FieldByName(QLatin1String(names[i]));
    text_ = qobject_cast<const TMemoField*>(fields_[Text]);
    calc.Refresh();
    if (wholeProject_) {
        calc.First();
        count_ = calc.RecordCount();
    } else {
        // Without a match nothing is built: the cursor's old row is some other topic.
        const QVariant id = dm_.TbMain->FieldByName(QStringLiteral("ID"))->Value();
        count_ = !dm_.TbMain->IsEmpty() && calc.Locate(QStringLiteral("ID"), id) ? 1 : 0;
    }
    done_ = count_ == 0;
}

bool CalcTopicSource::next(TopicFields& topic, QString& ctx) {
    TKivTable& calc = *dm_.TbCalc;
    if (done_ || calc.Eof()) return false;
    const TField* id = fields_[Id];
    // The ID is the context string: its decimal integer, never a fraction.
    topic.id = id->IsNull() ? QString() : QString::number(id->AsInteger());
    topic.name = fields_[Name]->AsString();
    topic.bseq = fields_[BSeq]->AsString();
    topic.window = fields_[Window]->AsString();
    topic.keys = fields_[Keys]->AsString();
    topic.akeys = fields_[AKeys]->AsString();
    // Stored bytes go to the file as they are; a text under edit is read as text.
    topic.storedText.clear();
    topic.text.clear();
    if (!text_ || !text_->StoredBytes(topic.storedText)) topic.text = fields_[Text]->AsString();
    ctx = fields_[Ctx]->AsString();
    if (wholeProject_)
        calc.Next();
    else
        done_ = true;
    return true;
}
