// Exports a help project as a folder of HTML pages that a browser shows
// without a server: one page per topic (topic_ID.html), the contents
// (index.html), the keyword index (keywords.html), a search page (search.html
// with its word list in search-index.js), the pictures the topics show
// (images/), and one style sheet and one script.
#pragma once

#include "BuildFiles.h"

#include <QString>
#include <QStringList>

#include <functional>

struct HtmlExportProject {
    QString folder;       // the project folder, with its trailing "/": the pictures are there
    QString title;        // the help's title on the contents page
    QStringList contents; // the lines of the contents body (S.toc)
};

struct HtmlExportResult {
    int pages = 0;        // topic pages written
    QStringList warnings; // missing pictures and link targets, topics left out
};

// Writes into `outDir`, made when missing; files of an earlier export are
// overwritten, others left alone. Each warning also goes to `warn` when given.
// EInOutError when the folder or a file cannot be made or written.
HtmlExportResult ExportHtml(const QString& outDir, const HtmlExportProject& project,
                            TopicSource& topics,
                            const std::function<void(const QString&)>& warn = {});

// The words the search finds a text by: letters and digits, lower case,
// accents dropped ("Café au lait" gives cafe, au, lait). The search page
// splits a query the same way.
QStringList SearchWords(QStringView text);
