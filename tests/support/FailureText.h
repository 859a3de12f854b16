// The message a call fails with, for comparing error texts in one expectation.
#pragma once

#include "KivError.h"

#include <functional>

// The message of the EKivError `run` raises, or "<no error>".
inline QString failureOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const EKivError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}
