// Skeleton topics for a scanned source unit: one for the unit, one per
// chosen constant, type, variable and routine, one per chosen class with a
// list topic per member group and a topic per member, all cross-linked and
// entered in the contents. The text goes through the topic editor, as the
// author's own edits do.
#pragma once

#include <QList>
#include <QString>

class QPlainTextEdit;
class TFormDelphiUnit;
class TFormMain;
class TKivDBRichEdit;
class TParser;

// Reads a unit chosen by the author, shows what was found and, on OK,
// generates its topics. "Nothing found" when the unit declares nothing.
void ImportUnit(TFormMain& window);
// Whether the scan found nothing to import.
bool NothingFound(const TParser& parser);
// The window as the import shows it: both window combos with an empty entry
// and the project's window names (the first and second name chosen when
// there are any), the proposed first ID, and the scanned lists.
void PrepareImportWindow(TFormDelphiUnit& form, const TParser& parser);
// The generation itself, from the choices in `form`, through the main
// window's editor and Contents page.
void GenerateUnitTopics(TFormMain& window, const QString& unitName, TFormDelphiUnit& form);
// The same through any editor bound to the topic table and any page holding
// the contents. Returns the number of topics generated; `appended`, when
// given, collects the ID of every row appended, also when the run fails.
int GenerateUnitTopics(TKivDBRichEdit& editor, QPlainTextEdit& contents, const QString& unitName,
                       TFormDelphiUnit& form, QList<int>* appended = nullptr);

// A member item ("VISIBILITY | declaration") split into the member's name and
// the declaration shown in its topic (with the visibility in front when asked).
void SplitMember(const QString& item, bool showVisibility, QString& name, QString& declaration);
