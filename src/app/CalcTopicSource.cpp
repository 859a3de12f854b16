#include "CalcTopicSource.h"

#include "DMod.h"
#include "KivTable.h"

namespace {

QString text(const TDataSet& ds, const char* field) {
    return ds.FieldByName(QLatin1String(field))->AsString();
}

} // namespace

CalcTopicSource::CalcTopicSource(TDM& dm, bool wholeProject)
    : dm_(dm), wholeProject_(wholeProject) {
    TKivTable& calc = *dm_.TbCalc;
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
    const TField* id = calc.FieldByName(QStringLiteral("ID"));
    // The ID is the context string: its decimal integer, never a fraction.
    topic.id = id->IsNull() ? QString() : QString::number(id->AsInteger());
    topic.name = text(calc, "NAME");
    topic.bseq = text(calc, "BSEQ");
    topic.window = text(calc, "WINDOW");
    topic.keys = text(calc, "KEYS");
    topic.akeys = text(calc, "AKEYS");
    topic.text = text(calc, "TEXT");
    ctx = text(calc, "CTX");
    if (wholeProject_)
        calc.Next();
    else
        done_ = true;
    return true;
}
