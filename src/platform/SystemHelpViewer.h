// The real help viewer: a .hlp file opens in wine's winhlp32 at the topic of a
// JumpId macro when wine is installed, any other file (or any file without
// wine) in the desktop's program for it. Closing ends the process started here.
#pragma once

#include "HelpViewer.h"

#include <QProcess>
#include <map>

class SystemHelpViewer : public HelpViewer {
public:
    ~SystemHelpViewer() override;
    void open(const QString& helpFile, const QString& macro) override;
    void close(const QString& helpFile) override;

private:
    std::map<QString, std::unique_ptr<QProcess>> running_; // by absolute help file path
};
