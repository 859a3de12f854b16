#include "HelpViewer.h"

#include "SystemHelpViewer.h"

#include <QRegularExpression>

namespace {
std::unique_ptr<HelpViewer>& current() {
    static std::unique_ptr<HelpViewer> viewer;
    return viewer;
}
} // namespace

HelpViewer& HelpViewer::instance() {
    auto& v = current();
    if (!v) v = std::make_unique<SystemHelpViewer>();
    return *v;
}

std::unique_ptr<HelpViewer> HelpViewer::install(std::unique_ptr<HelpViewer> viewer) {
    auto previous = std::move(current());
    current() = std::move(viewer);
    return previous;
}

QString JumpIdContext(const QString& macro) {
    static const QRegularExpression jump(
        QStringLiteral(R"re(^\s*(?:JumpId|JI)\s*\(\s*"[^"]*"\s*,\s*"([^"]*)"\s*\)\s*$)re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = jump.match(macro);
    return m.hasMatch() ? m.captured(1) : QString();
}
