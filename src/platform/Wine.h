// Windows programs on Linux: a program file that starts with the "MZ" signature
// is started through wine when wine is installed.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace Wine {

// The path of the wine launcher, empty when it is not installed.
QString program();
// Replaces how wine is looked for (tests); an empty function restores the search
// of PATH.
void setLocator(std::function<QString()> locator);

// True when the file exists and begins with the "MZ" signature.
bool isWindowsProgram(const QString& path);
// An absolute path of an existing file or folder in the Windows form wine maps
// to it (Z:\...); any other argument, such as a switch, is returned unchanged.
QString windowsArgument(const QString& argument);

} // namespace Wine

// A program and its whole arguments as they are handed to the process.
struct ProgramLaunch {
    QString program;
    QStringList arguments;
};

// How `program` is started with `arguments`: through wine when it is a Windows
// program and wine is installed, otherwise as it is.
ProgramLaunch LaunchFor(const QString& program, const QStringList& arguments);
