// The help compiler's messages: warnings and errors as they arise, each with
// its number, file and topic, in the form the message file shows them
// ("HC3025: Warning: book_12.rtf : topic '12' : Jump to undefined topic ID: '77'").
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace Hc {

enum class Severity { Warning, Error };

// Message numbers: 1xxx project file, 2xxx reading files, 3xxx topics,
// 4xxx contents, 5xxx writing the help file.
enum Code {
    ProjectUnreadable = 1001,
    UnknownSection = 1002,
    UnknownOption = 1003,
    BadWindow = 1004,
    BadMapLine = 1005,
    MapUndefined = 1006,
    IncludeUnreadable = 1007,
    BadAlias = 1008,
    NoTopicFiles = 1009,
    FileUnreadable = 2001,
    UnbalancedGroups = 3001,
    DuplicateContext = 3011,
    NoContext = 3021,
    UndefinedJump = 3025,
    UnknownWindow = 3031,
    MissingBitmap = 3041,
    BadBitmap = 3042,
    ContentsUnreadable = 4001,
    ContentsUndefined = 4002,
    ContentsNotCopied = 4003,
    OutputUnwritable = 5001,
    HelpFileFailed = 5002,
};

struct Message {
    int code = 0;
    Severity severity = Severity::Warning;
    QString file;  // without folder; empty for the project as a whole
    QString topic; // "'12'" or "#3" (third topic of the file); may be empty
    QString text;
    QString line() const;
};

class Messages {
public:
    // Called with each message as it is added (the command line prints them).
    std::function<void(const Message&)> onMessage;

    void warn(int code, const QString& file, const QString& topic, const QString& text);
    void error(int code, const QString& file, const QString& topic, const QString& text);
    const std::vector<Message>& all() const { return messages_; }
    int errors() const { return errors_; }
    int warnings() const { return int(messages_.size()) - errors_; }

private:
    std::vector<Message> messages_;
    int errors_ = 0;
};

} // namespace Hc
