#include "KivForms.h"

#include "KivError.h"
#include "RunProgram.h"
#include "UIServices.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QProcess>
#include <QWidget>

TKivApp& TKivApp::instance() {
    static TKivApp app;
    return app;
}

Qt::Alignment KivQtAlignment(TAlignment alignment) {
    switch (alignment) {
    case TAlignment::taRightJustify:
        return Qt::AlignRight;
    case TAlignment::taCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

void KivShowMessage(const QString& text) {
    TKivApp::Busy busy;
    UIServices::instance().showMessage(text);
}

int KivRunProgram(const QString& commandLine, const QString& name, bool wait, bool hidden) {
    QStringList words = QProcess::splitCommand(commandLine);
    const QString program = words.isEmpty() ? QString() : words.takeFirst();
    return RunProgram(program, words, commandLine, name, wait, hidden);
}

int KivRunProgram(const QString& program, const QStringList& arguments, const QString& commandLine,
                  const QString& name, bool wait, bool hidden) {
    return RunProgram(program, arguments, commandLine, name, wait, hidden);
}

QString KivPadString(const QString& text, int width, int alignment, bool stars) {
    if (width <= 0) return QString();
    const qsizetype length = text.size();
    if (width == length) return text;
    if (width < length)
        return stars ? KivPadString(QStringLiteral("*****"), width, kaCenter, false)
                     : text.left(width);
    const qsizetype surplus = width - length;
    const qsizetype left = alignment == kaRight ? surplus : alignment == kaCenter ? surplus / 2 : 0;
    return QString(left, QLatin1Char(' ')) + text + QString(surplus - left, QLatin1Char(' '));
}

QString KivZeroPad(const QString& digits, int width) {
    if (width <= 0) return QString();
    if (digits.size() >= width) return digits.right(width);
    return QString(width - digits.size(), QLatin1Char('0')) + digits;
}

namespace {

bool isWordChar(QChar c, QStringView extra) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || extra.contains(c);
}

bool isBlank(QChar c) {
    return c.unicode() <= 32;
}

} // namespace

QString KivTakeWord(QStringView text, QStringView extraChars) {
    qsizetype n = 0;
    while (n < text.size() && isWordChar(text[n], extraChars))
        ++n;
    return text.left(n).toString();
}

QString KivSkipBlanksTakeWord(int& position, QStringView text, QStringView extraChars) {
    qsizetype i = std::max(position, 1) - 1;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    const QString word = i < text.size() ? KivTakeWord(text.mid(i), extraChars) : QString();
    position = int(i + word.size() + 1);
    return word;
}

QString KivTakeRun(int start, QStringView text, QStringView extraChars) {
    const qsizetype from = std::max(start, 1) - 1;
    qsizetype i = from;
    while (i < text.size() && (isBlank(text[i]) || extraChars.contains(text[i])))
        ++i;
    return from < text.size() ? text.mid(from, i - from).toString() : QString();
}

bool KivEnterAsTab(QWidget* control, int key) {
    if (!control || (key != Qt::Key_Return && key != Qt::Key_Enter && key != 13)) return false;
    QCoreApplication::postEvent(control,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    return true;
}

void TKivEnterAsTab::install(QWidget* control) {
    static TKivEnterAsTab* filter = new TKivEnterAsTab(QCoreApplication::instance());
    control->installEventFilter(filter);
}

bool TKivEnterAsTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier)
            if (KivEnterAsTab(static_cast<QWidget*>(watched), key->key())) return true;
    }
    return QObject::eventFilter(watched, event);
}

namespace {

// Published names are looked up without regard to case, the exact spelling first.
int propertyIndex(const QMetaObject* meta, const QString& name) {
    const QByteArray latin = name.toLatin1();
    int index = meta->indexOfProperty(latin.constData());
    if (index >= 0) return index;
    for (int i = 0; i < meta->propertyCount(); ++i)
        if (QString::fromLatin1(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

QMetaProperty KivFindProperty(const QObject* component, const QString& propertyName) {
    if (!component) return {};
    const QMetaObject* meta = component->metaObject();
    const int index = propertyIndex(meta, propertyName);
    return index < 0 ? QMetaProperty() : meta->property(index);
}

QString KivGetStringProperty(const QObject* component, const QString& propertyName) {
    const QMetaProperty p = KivFindProperty(component, propertyName);
    if (!p.isValid() || p.metaType().id() != QMetaType::QString) return QString();
    return p.read(component).toString();
}

bool KivSetStringProperty(QObject* component, const QString& propertyName, const QString& value) {
    const QMetaProperty p = KivFindProperty(component, propertyName);
    if (!p.isValid() || p.metaType().id() != QMetaType::QString || !p.isWritable()) return false;
    return p.write(component, value);
}

QStringList KivGetStringListProperty(const QObject* component, const QString& propertyName) {
    const QMetaProperty p = KivFindProperty(component, propertyName);
    if (!p.isValid() || p.metaType().id() != QMetaType::QStringList) return {};
    return p.read(component).toStringList();
}

bool KivSetStringListProperty(QObject* component, const QString& propertyName,
                              const QStringList& value) {
    const QMetaProperty p = KivFindProperty(component, propertyName);
    if (!p.isValid() || p.metaType().id() != QMetaType::QStringList || !p.isWritable())
        return false;
    return p.write(component, value);
}

QObject* KivGetObjectProperty(const QObject* component, const QString& propertyName) {
    const QMetaProperty p = KivFindProperty(component, propertyName);
    if (!p.isValid() || !(p.metaType().flags() & QMetaType::PointerToQObject)) return nullptr;
    return p.read(component).value<QObject*>();
}

bool KivIsEventProperty(const char* name) {
    return name[0] == 'O' && name[1] == 'n' && name[2] >= 'A' && name[2] <= 'Z';
}

void KivCopyEventHandlers(const QObject* from, QObject* to) {
    if (!from || !to) return;
    const QMetaObject* source = from->metaObject();
    const QMetaObject* target = to->metaObject();
    for (int i = 0; i < source->propertyCount(); ++i) {
        const QMetaProperty p = source->property(i);
        if (!KivIsEventProperty(p.name())) continue;
        const int t = target->indexOfProperty(p.name());
        if (t < 0) continue;
        const QMetaProperty q = target->property(t);
        if (q.isWritable() && q.metaType() == p.metaType()) q.write(to, p.read(from));
    }
}

QSize KivMeasureFont(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    if (text.isEmpty()) return {metrics.horizontalAdvance(QLatin1Char('0')), metrics.height()};
    return {metrics.horizontalAdvance(text), metrics.height()};
}

std::unique_ptr<QObject> KivCloneComponent(const QObject* component) {
    if (!component) return nullptr;
    const QMetaObject* meta = component->metaObject();
    std::unique_ptr<QObject> clone(meta->newInstance(Q_ARG(QObject*, nullptr)));
    if (!clone && meta->inherits(&QWidget::staticMetaObject))
        clone.reset(meta->newInstance(Q_ARG(QWidget*, nullptr)));
    if (!clone)
        throw EKivError(QStringLiteral("Class %1 not found").arg(QLatin1String(meta->className())));
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (p.isStored() && p.isWritable() && p.isReadable())
            p.write(clone.get(), p.read(component));
    }
    return clone;
}

namespace {
int& globalCounter() {
    static int counter = 0;
    return counter;
}
} // namespace

int KivGlobalCounterUp() {
    return ++globalCounter();
}
int KivGlobalCounterDown() {
    return --globalCounter();
}
