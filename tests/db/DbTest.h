// Small helpers shared by the database tests.
#pragma once

#include "AddField.h"
#include "FailureText.h"
#include "KivError.h"
#include "TDataSet.h"

#include <QStringList>

#include <utility>

// What `log` has gathered since the last take.
inline QStringList take(QStringList& log) {
    return std::exchange(log, {});
}
