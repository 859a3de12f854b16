// The one exception base of the program: engine, file and process errors all
// derive from it and carry a message meant for the user.
#pragma once

#include <QString>
#include <stdexcept>

class EKivError : public std::runtime_error {
public:
    explicit EKivError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

// Errors of the database engine and the dataset framework.
class EDatabaseError : public EKivError {
public:
    using EKivError::EKivError;
};

// File input/output failures (the platform's input/output error).
class EInOutError : public EKivError {
public:
    using EKivError::EKivError;
};

// The framework's silent abort: ends an operation without any message.
class EAbort : public EKivError {
public:
    EAbort() : EKivError(QStringLiteral("Operation aborted")) {}
};
