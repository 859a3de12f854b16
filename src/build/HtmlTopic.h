// Turns one topic's stored text, read by the RTF reader, into the HTML of its
// page: the formatted paragraphs, split at the {keepn} code into the
// non-scrolling title and the body, with the editor's visible codes made into
// links, pop-up links, inert macro hotspots, buttons and pictures.
#pragma once

#include <QRgb>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <QByteArray>
#include <QHash>

// Where codes lead; the exporter answers, and warns about what it cannot find.
class HtmlTopicLinks {
public:
    virtual ~HtmlTopicLinks() = default;
    // The page of the topic whose context string is `target`; empty when there is none.
    virtual QString pageOf(const QString& target) = 0;
    // The address of picture file `name` in the exported site; empty when it
    // cannot be shown.
    virtual QString pictureUrl(const QString& name) = 0;
};

class QTextCharFormat;

// The character looks of a whole export. Each distinct one is a CSS class of
// one style sheet, so a page names a class instead of repeating the styles.
class HtmlLooks {
public:
    // The class of `format`; `inLink` drops colour, underline and strike,
    // which a link shows in its own way.
    int classOf(const QTextCharFormat& format, bool inLink);
    // ".k0 { ... }" for every class handed out.
    QByteArray styleSheet() const;

    struct Key {
        QString family;
        double points = 0;
        QRgb color = 0;
        bool hasColor = false;
        int flags = 0; // bold 1, italic 2, underline 4, strike 8

        bool operator==(const Key&) const = default;
    };

private:
    QHash<Key, int> classes_;
    QList<QString> css_;
};

size_t qHash(const HtmlLooks::Key& key, size_t seed = 0);

struct TopicHtml {
    QString header;     // the paragraphs before the {keepn} code; empty without one
    QString body;       // everything after it
    QString text;       // the words a reader sees, for the search index
    QStringList popups; // context strings of the pop-up links to existing topics
};

// `rtf` is the topic's stored document (or plain Windows-1252 text).
TopicHtml TopicToHtml(const QByteArray& rtf, HtmlTopicLinks& links, HtmlLooks& looks);

// Text made safe for HTML content and attribute values (& < > " ').
void AppendHtmlEscaped(QString& out, QStringView text);
QString HtmlEscaped(QStringView text);
