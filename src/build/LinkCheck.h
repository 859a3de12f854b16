// Checks the links of a project's topics as a build reads them: jumps and
// pop-ups to topics that do not exist, windows the project does not define,
// pictures missing from the project folder, topics nothing leads to, and
// titles used twice. One line per finding, naming the topic:
//   Topic 12 (Intro): jump to missing topic 77
#pragma once

#include "BuildFiles.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <vector>

struct LinkFindings {
    QStringList lines;
    bool missingTargets = false; // a jump or pop-up leads nowhere: an error, the rest warn
};

class LinkCheck {
public:
    // `windowNames`: the project's windows; `contents`: the lines of its
    // contents body (S.toc), whose topic lines reach topics.
    LinkCheck(const QString& projectDir, const QStringList& windowNames,
              const QStringList& contents = {});

    // A topic that is checked: its own codes and fields, and as a target.
    void add(const TopicFields& topic);
    // A topic that only exists as a target (the others of a one-topic build).
    void addTarget(const QString& id) { ids_.insert(id, -1); }

    // With `wholeProject` false only the checked topics' own findings are
    // made; topics nothing reaches and shared titles need every topic checked.
    LinkFindings findings(bool wholeProject) const;

private:
    struct Link {
        QString target;
        bool popup;
    };
    struct Topic {
        QString id, name;
        std::vector<Link> links;
        QStringList own; // findings known when the topic is read
        bool reached = false;
    };
    void scan(Topic& topic, const QByteArray& text);
    bool pictureExists(const QString& file);

    QString dir_;
    QSet<QString> windows_; // lower case: window names ignore case
    QSet<QString> contentsTargets_;
    QHash<QString, qsizetype> ids_; // topic ID -> its index in topics_, -1 for targets only
    std::vector<Topic> topics_;
    QString lastWindow_; // the last window found defined
    bool listed_ = false;
    QSet<QString> files_; // the project folder's file names, lower case
};

// Hands each topic of `inner` to `check` as the build reads it, so the check
// costs no second walk over the rows.
class CheckedTopicSource : public TopicSource {
public:
    CheckedTopicSource(TopicSource& inner, LinkCheck& check) : inner_(inner), check_(check) {}
    bool next(TopicFields& topic, QString& ctx) override {
        if (!inner_.next(topic, ctx)) return false;
        check_.add(topic);
        return true;
    }
    int count() const override { return inner_.count(); }

private:
    TopicSource& inner_;
    LinkCheck& check_;
};
