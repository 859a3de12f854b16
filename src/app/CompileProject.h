// The compile commands: write the build files of the open project, run the
// help compiler hidden on its project file, load the compiler's messages and
// show the compiled help at the current topic; the interactive compiler run;
// closing the project's help file in the viewer. All work on the global DM.
#pragma once

#include "LinkCheck.h"

#include <QString>

class TDM;

// What the caller provides: the main window, or the windowless --build command.
class CompileHost {
public:
    virtual ~CompileHost() = default;

    // Makes sure DM->CompilerPath is known. The main window runs EnsureCompiler
    // with its options dialog (the path may stay empty: the run then stops
    // quietly); the windowless command raises when no path is set.
    virtual void EnsureCompiler() = 0;
    // Fills the link window combo and the topic window combo from
    // DM->WindowNames, each with an empty entry first.
    virtual void RefillWindowLists() {}
    // Topics written so far out of the total (-1 when unknown), while the build
    // runs; the window shows it and repaints.
    virtual void BuildProgress(int written, int total) {
        Q_UNUSED(written);
        Q_UNUSED(total);
    }
    // Whether a main window exists. Without one the help viewer is neither
    // closed nor opened.
    virtual bool MainWindowExists() const { return true; }
};

// A link check for the open project of `dm`, with its windows and contents
// lines; for a one-topic build it knows every stored topic as a target.
LinkCheck ProjectLinkCheck(TDM& dm, bool wholeProject);

// The build step of a compile: stores a pending edit of TbMain (its after-post
// hook refreshes the computing cursor and the lists), saves the Contents page
// and writes the build files of the whole project or of TbMain's current
// topic, checking the links of the topics it writes on the way (a one-topic
// build checks only that topic's). EInOutError when a file cannot be written;
// files written before stay.
LinkFindings BuildProjectFiles(bool wholeProject, CompileHost& host);

// BuildProjectFiles, then runs the compiler hidden and waits for it, and
// shows the link check's findings and then the compiler's messages on the
// Error log page. Does nothing without an open project. Errors (a file that
// cannot be written, a compiler that cannot be started: "Impossible to run
// Help compiler / ...") are raised; the hourglass cursor is restored either
// way and nothing after the failing step is done. Returns the findings.
LinkFindings CompileProject(bool wholeProject, CompileHost& host);

// Starts the compiler shown on the project file, without switches, and waits
// for it; then reloads the window names and the error log and refills the
// window lists. Writes no build files.
void InvokeHelpCompiler(CompileHost& host);

// Asks the help viewer to close the project's S.hlp; nothing without a project.
void CloseHelpWindow();
