// Exporting the open project as an HTML help site (the main window's command)
// and kivhelp --export-html PROJECT.hpj OUTDIR, which does it without a window.
#pragma once

#include "HtmlExport.h"

#include <QStringList>

class TDM;

// Stores a pending edit and saves the Contents page, as a compile does, then
// exports every stored topic of `dm`'s open project into `outDir`. Raises
// EInOutError when the contents file cannot be read or a file cannot be written.
HtmlExportResult ExportProjectHtml(TDM& dm, const QString& outDir,
                                   const std::function<void(const QString&)>& warn = {});

// `arguments` are those after --export-html. Warnings and errors go to
// standard error. Returns the exit status: 0 on success, 1 on any failure.
int runExportHtml(const QStringList& arguments);
