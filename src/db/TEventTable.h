// The event properties of a component by name: each entry points at one of
// the component's std::function members, so handlers can be listed, tested and
// copied from one component to another by name (as copying a dataset's event
// handlers to a twin query needs). Derived classes add their own events.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <typeindex>
#include <vector>

class TEventTable {
public:
    template <class Sig> void add(const QString& name, std::function<Sig>* member) {
        using F = std::function<Sig>;
        entries_.push_back(Entry{
            name, std::type_index(typeid(F)), member,
            [](void* to, const void* from) { *static_cast<F*>(to) = *static_cast<const F*>(from); },
            [](const void* m) { return bool(*static_cast<const F*>(m)); },
            [](void* m) { *static_cast<F*>(m) = nullptr; }});
    }

    QStringList names() const {
        QStringList list;
        for (const Entry& e : entries_)
            list << e.name;
        return list;
    }

    bool contains(const QString& name) const { return find(name) != nullptr; }
    bool assigned(const QString& name) const {
        const Entry* e = find(name);
        return e && e->isSet(e->member);
    }
    // The handler of the event `name` when its signature is Sig, else nullptr.
    template <class Sig> std::function<Sig>* get(const QString& name) const {
        const Entry* e = find(name);
        if (!e || e->type != std::type_index(typeid(std::function<Sig>))) return nullptr;
        return static_cast<std::function<Sig>*>(e->member);
    }
    void clear(const QString& name) {
        if (const Entry* e = find(name)) e->reset(e->member);
    }

    // Copies every handler of `from` into the event of the same name and
    // signature here, assigned or not; returns how many were copied.
    int copyFrom(const TEventTable& from) {
        int copied = 0;
        for (const Entry& src : from.entries_) {
            const Entry* dst = find(src.name);
            if (!dst || dst->type != src.type) continue;
            dst->copy(dst->member, src.member);
            ++copied;
        }
        return copied;
    }

private:
    struct Entry {
        QString name;
        std::type_index type;
        void* member;
        void (*copy)(void*, const void*);
        bool (*isSet)(const void*);
        void (*reset)(void*);
    };

    const Entry* find(const QString& name) const {
        for (const Entry& e : entries_)
            if (e.name.compare(name, Qt::CaseInsensitive) == 0) return &e;
        return nullptr;
    }

    std::vector<Entry> entries_;
};
