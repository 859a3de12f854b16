// Skeleton topics for a scanned source unit: one for the unit, one per
// chosen constant, type, variable and routine, one per chosen class with a
// list topic per member group and a topic per member, all cross-linked and
// entered in the contents. The text goes through the topic editor, as the
// author's own edits do.
#pragma once

#include <QString>

class TFormDelphiUnit;
class TFormMain;

// Reads a unit chosen by the author, shows what was found and, on OK,
// generates its topics. "Nothing found" when the unit declares nothing.
void ImportUnit(TFormMain& window);
// The generation itself, from the choices in `form`.
void GenerateUnitTopics(TFormMain& window, const QString& unitName, TFormDelphiUnit& form);

// A member item ("VISIBILITY | declaration") split into the member's name and
// the declaration shown in its topic (with the visibility in front when asked).
void SplitMember(const QString& item, bool showVisibility, QString& name, QString& declaration);
