// A HelpViewer double: records every open and close. Install it with
// RecordingHelpViewer::Scope.
#pragma once

#include "HelpViewer.h"

#include <QStringList>

class RecordingHelpViewer : public HelpViewer {
public:
    QStringList calls; // "open FILE MACRO" and "close FILE", in order

    void open(const QString& helpFile, const QString& macro) override {
        calls << QStringLiteral("open ") + helpFile + QLatin1Char(' ') + macro;
    }
    void close(const QString& helpFile) override { calls << QStringLiteral("close ") + helpFile; }

    class Scope {
    public:
        Scope() {
            auto viewer = std::make_unique<RecordingHelpViewer>();
            viewer_ = viewer.get();
            previous_ = HelpViewer::install(std::move(viewer));
        }
        ~Scope() { HelpViewer::install(std::move(previous_)); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        RecordingHelpViewer* operator->() const { return viewer_; }

    private:
        RecordingHelpViewer* viewer_;
        std::unique_ptr<HelpViewer> previous_;
    };
};
