// The unit import window's model of one class: its member items sorted into
// properties, methods and events. Usable without the window.
#pragma once

#include <QStringList>

class TClassItems {
public:
    // Sorts every member item (visibility, " | ", declaration) into exactly one
    // list, keeping their order. The member list itself is not kept.
    explicit TClassItems(const QStringList& members);

    QStringList Properties;
    QStringList Methods;
    QStringList Events;
};
