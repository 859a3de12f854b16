// Field editors laid out in a container, row by row with their labels: the
// record view of a grid and data forms use it.
#pragma once

#include "TDataSource.h"

#include <QColor>
#include <QFont>
#include <QWidget>

// One editor (from the data-aware editor factory) and one label per field,
// fields whose tag ends in 8 left out, and with `visibleOnly` the invisible
// ones too. With `alignedLabels` every field takes a row of its own and the
// editors line up after the longest label; otherwise rows fill to the
// container's width. An invalid `color` leaves the editors' colour alone;
// `font` is the labels' (the container's when null).
void KivLayoutFieldEditors(QWidget* container, TDataSource* source, const QFont* font,
                           bool visibleOnly, bool alignedLabels, const QColor& color);
