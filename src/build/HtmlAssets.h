// The fixed files of an exported help site: its style sheet, the script that
// shows pop-up topics in the page, and the search page's script. Plain CSS
// and JavaScript that work from file:// without a server or outside scripts.
#pragma once

#include <QByteArray>

namespace HtmlAssets {

extern const char* const kStyleSheetName;   // "kivhelp.css"
extern const char* const kPopupScriptName;  // "kivhelp.js"
extern const char* const kSearchScriptName; // "search.js"
extern const char* const kSearchDataName;   // "search-index.js", written per export
extern const char* const kLooksName;        // "looks.css", the topics' looks, per export

QByteArray styleSheet();
QByteArray popupScript();
QByteArray searchScript();

} // namespace HtmlAssets
