// Topics handed to the build straight from a list, without a table.
#pragma once

#include "BuildFiles.h"

struct TopicList : TopicSource {
    QList<std::pair<TopicFields, QString>> rows; // topic and its CTX
    int at = 0;
    bool next(TopicFields& t, QString& ctx) override {
        if (at >= rows.size()) return false;
        std::tie(t, ctx) = rows[at++];
        return true;
    }
    int count() const override { return int(rows.size()); }
    TopicFields& add(const QString& id, const QString& text, const QString& ctx = {}) {
        TopicFields t;
        t.id = id;
        t.name = QStringLiteral("Topic ") + id;
        t.text = text;
        rows.append({t, ctx});
        return rows.last().first;
    }
};
