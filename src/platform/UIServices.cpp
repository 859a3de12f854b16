#include "UIServices.h"

#include "QtUIServices.h"

namespace {
std::unique_ptr<UIServices>& current() {
    static std::unique_ptr<UIServices> services;
    return services;
}
} // namespace

UIServices& UIServices::instance() {
    auto& s = current();
    if (!s) s = std::make_unique<QtUIServices>();
    return *s;
}

std::unique_ptr<UIServices> UIServices::install(std::unique_ptr<UIServices> services) {
    auto previous = std::move(current());
    current() = std::move(services);
    return previous;
}

QString qtFileFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& label = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Labels usually show their patterns already; Qt reads the patterns from the parentheses.
        out << (label.contains(QLatin1Char('(')) ? label.left(label.indexOf(QLatin1Char('('))).trimmed() : label) +
                   QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}
