// The help viewer: opens a help file and runs a macro in it, closes a help
// file's window. One replaceable object, like UIServices, so tests can record
// what the program asks of the viewer.
#pragma once

#include <QString>
#include <memory>

class HelpViewer {
public:
    virtual ~HelpViewer() = default;

    // Shows `helpFile`; `macro` is run in it when not empty (JumpId("","12")
    // shows the topic whose context string is 12).
    virtual void open(const QString& helpFile, const QString& macro) = 0;
    // Closes the window showing `helpFile`, if this program opened one.
    virtual void close(const QString& helpFile) = 0;

    static HelpViewer& instance();
    // Replaces the current viewer; returns the previous one.
    static std::unique_ptr<HelpViewer> install(std::unique_ptr<HelpViewer> viewer);
};

// The context string of a JumpId macro (short form JI; names match in any
// case), or an empty string when `macro` is no such macro.
QString JumpIdContext(const QString& macro);
