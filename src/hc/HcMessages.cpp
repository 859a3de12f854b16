#include "HcMessages.h"

namespace Hc {

QString Message::line() const {
    QString out =
        QStringLiteral("HC%1: %2: ")
            .arg(code)
            .arg(severity == Severity::Error ? QStringLiteral("Error") : QStringLiteral("Warning"));
    if (!file.isEmpty()) out += file + QStringLiteral(" : ");
    if (!topic.isEmpty()) out += QStringLiteral("topic ") + topic + QStringLiteral(" : ");
    return out + text;
}

void Messages::warn(int code, const QString& file, const QString& topic, const QString& text) {
    messages_.push_back({code, Severity::Warning, file, topic, text});
    if (onMessage) onMessage(messages_.back());
}

void Messages::error(int code, const QString& file, const QString& topic, const QString& text) {
    messages_.push_back({code, Severity::Error, file, topic, text});
    ++errors_;
    if (onMessage) onMessage(messages_.back());
}

} // namespace Hc
