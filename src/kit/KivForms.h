// Application-wide services of the kit: the application object with its busy
// counter, the message service every kit component shows its messages with,
// running programs, string filling and word taking, and published-property
// access by name.
#pragma once

#include "TField.h"

#include <QMetaProperty>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

class QFont;
class QWidget;

class TKivApp {
public:
    static TKivApp& instance(); // created on first call, never replaced

    void enterBusy() { ++busy_; }
    void leaveBusy() {
        if (busy_ > 0) --busy_;
    }
    int busy() const { return busy_; }

    // The counter raised for a scope, also one that ends by an exception.
    class Busy {
    public:
        Busy() { instance().enterBusy(); }
        ~Busy() { instance().leaveBusy(); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
    };

private:
    TKivApp() = default;
    int busy_ = 0;
};

// The horizontal Qt alignment of a field's alignment.
Qt::Alignment KivQtAlignment(TAlignment alignment);

// A plain message box with an OK button, shown with the busy counter raised.
void KivShowMessage(const QString& text);

// Runs a command line; its words are split as a shell would (quotes keep
// blanks inside a word). Returns the exit code when waited for, else 0. Raises
// EKivError "Impossible to run" + " " + name + " / " + commandLine when the
// program cannot be started.
int KivRunProgram(const QString& commandLine, const QString& name, bool wait, bool hidden);
// The same with the program and its arguments given whole; `commandLine` is
// the text the failure message shows.
int KivRunProgram(const QString& program, const QStringList& arguments, const QString& commandLine,
                  const QString& name, bool wait, bool hidden);

// Alignment of KivPadString.
enum TKivAlignment { kaLeft = 0, kaRight = 1, kaCenter = 2 };

// `text` in a field of `width` blanks, aligned left, right or centred (the left
// margin is half the surplus, rounded down). A longer text is cut to `width`,
// or, with `stars`, shown as "*****" fitted to the width and centred.
QString KivPadString(const QString& text, int width, int alignment, bool stars);
// `digits` left-padded with "0" to `width`; a longer text keeps its rightmost
// `width` characters.
QString KivZeroPad(const QString& digits, int width);

// The prefix of `text` made of ASCII letters, "_" and the characters of
// `extraChars` (digits only when the caller adds them).
QString KivTakeWord(QStringView text, QStringView extraChars = {});
// Skips characters not above blank from the 1-based `position`, takes the word
// that follows and leaves `position` just past it.
QString KivSkipBlanksTakeWord(int& position, QStringView text, QStringView extraChars = {});
// The characters from the 1-based `start` on while each is a blank or control
// character or one of `extraChars`.
QString KivTakeRun(int start, QStringView text, QStringView extraChars = {});

// Enter in a control acts as Tab: for the Enter key, posts a Tab key press to
// the control and returns true.
bool KivEnterAsTab(QWidget* control, int key);
// The same as an event filter, for edits that get no key handler of their own.
class TKivEnterAsTab : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Installs one shared filter on `control`.
    static void install(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A string property by name (the name matches in any case); empty when the
// object has no such string property.
QString KivGetStringProperty(const QObject* component, const QString& propertyName);
// Sets a string property by name; false when there is no writable one.
bool KivSetStringProperty(QObject* component, const QString& propertyName, const QString& value);

// The published property of that name (matched in any case, the exact
// spelling first); invalid when the object has none.
QMetaProperty KivFindProperty(const QObject* component, const QString& propertyName);
// A string-list property by name; empty when absent.
QStringList KivGetStringListProperty(const QObject* component, const QString& propertyName);
bool KivSetStringListProperty(QObject* component, const QString& propertyName,
                              const QStringList& value);
// An object-valued property by name ("DataSource", "MasterSource"...);
// nullptr when absent or not an object.
QObject* KivGetObjectProperty(const QObject* component, const QString& propertyName);

// Event properties are the properties named "On" and a capital letter
// ("OnClose", "OnAction"). Every event property of `from` that `to` also has is
// copied to `to`.
bool KivIsEventProperty(const char* propertyName);
void KivCopyEventHandlers(const QObject* from, QObject* to);

// With no text: the width of "0" and the line height ("W"); with a text: its
// width and the line height.
QSize KivMeasureFont(const QFont& font, const QString& text = QString());

// A new object of the same class (it needs a Q_INVOKABLE constructor taking a
// parent) with every stored property copied, owned by the caller. EKivError
// when the class cannot be created by name.
std::unique_ptr<QObject> KivCloneComponent(const QObject* component);

// A process-wide counter for callers that need one.
int KivGlobalCounterUp();
int KivGlobalCounterDown();
