#include "KivError.h"
#include "KivForms.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

using TNotifyEvent = std::function<void(QObject*)>;
Q_DECLARE_METATYPE(TNotifyEvent)

// A component with string, non-string and event properties.
class TSample : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(QString TableName MEMBER TableName)
    Q_PROPERTY(QString ReadOnlyText READ readOnlyText)
    Q_PROPERTY(int Tag MEMBER Tag)
    Q_PROPERTY(TNotifyEvent OnAction READ onAction WRITE setOnAction)
    Q_PROPERTY(TNotifyEvent OnEditData READ onEditData WRITE setOnEditData)
    Q_PROPERTY(QString Online MEMBER Online)
public:
    Q_INVOKABLE explicit TSample(QObject* parent = nullptr) : QObject(parent) {}
    TNotifyEvent onAction() const { return OnAction; }
    void setOnAction(const TNotifyEvent& e) { OnAction = e; }
    TNotifyEvent onEditData() const { return OnEditData; }
    void setOnEditData(const TNotifyEvent& e) { OnEditData = e; }
    QString readOnlyText() const { return "fixed"; }
    QString Caption, TableName, Online;
    int Tag = 0;
    TNotifyEvent OnAction, OnEditData;
};

// Has OnAction but not OnEditData.
class TOther : public QObject {
    Q_OBJECT
    Q_PROPERTY(TNotifyEvent OnAction READ onAction WRITE setOnAction)
    Q_PROPERTY(QString Online MEMBER Online)
public:
    TNotifyEvent onAction() const { return OnAction; }
    void setOnAction(const TNotifyEvent& e) { OnAction = e; }
    TNotifyEvent OnAction;
    QString Online;
};

// Not creatable by name.
class TFixed : public QObject {
    Q_OBJECT
};

TEST(KivPadString, FillsAlignsAndOverflows) {
    EXPECT_EQ(KivPadString("ab", 5, kaLeft, false), "ab   ");
    EXPECT_EQ(KivPadString("ab", 5, kaRight, false), "   ab");
    EXPECT_EQ(KivPadString("ab", 5, kaCenter, false), " ab  ");
    EXPECT_EQ(KivPadString("ab", 6, kaCenter, true), "  ab  ");
    EXPECT_EQ(KivPadString("abc", 3, kaRight, true), "abc");
    EXPECT_EQ(KivPadString("12345", 3, kaRight, true), "***");
    EXPECT_EQ(KivPadString("12345", 3, kaRight, false), "123");
    EXPECT_EQ(KivPadString("1234567890", 8, kaLeft, true), " *****  ");
    EXPECT_EQ(KivPadString("1234567890", 1, kaLeft, true), "*");
    EXPECT_EQ(KivPadString("", 3, kaCenter, false), "   ");
    EXPECT_EQ(KivPadString("abc", 0, kaLeft, true), "");
    EXPECT_EQ(KivPadString("abc", -2, kaLeft, false), "");
    EXPECT_EQ(KivPadString("ab", 4, 7, false), "ab  "); // unknown alignment: left
}

TEST(KivZeroPad, PadsOrKeepsTheRightmostDigits) {
    EXPECT_EQ(KivZeroPad("7", 3), "007");
    EXPECT_EQ(KivZeroPad("12345", 3), "345");
    EXPECT_EQ(KivZeroPad("123", 3), "123");
    EXPECT_EQ(KivZeroPad("", 2), "00");
    EXPECT_EQ(KivZeroPad("7", 0), "");
    EXPECT_EQ(KivZeroPad("7", -1), "");
}

TEST(KivWords, TakeWordStopsAtTheFirstNonWordCharacter) {
    EXPECT_EQ(KivTakeWord(u"TForm_1 = class"), "TForm_");
    EXPECT_EQ(KivTakeWord(u"TForm_1 = class", u"0123456789"), "TForm_1");
    EXPECT_EQ(KivTakeWord(u"Unit.Name", u"."), "Unit.Name");
    EXPECT_EQ(KivTakeWord(u"whole"), "whole");
    EXPECT_EQ(KivTakeWord(u""), "");
    EXPECT_EQ(KivTakeWord(u"1abc"), "");
    EXPECT_EQ(KivTakeWord(QString::fromUtf8("caf\u00e9s")), "caf"); // ASCII letters only
}

TEST(KivWords, SkipBlanksTakeWordAdvancesPastTheWord) {
    const QString text = QStringLiteral(" \t\r\n procedure  Foo(x);");
    int pos = 1;
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "procedure");
    EXPECT_EQ(pos, 15);
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "Foo");
    EXPECT_EQ(pos, 20);
    // A non-word character ends nothing: the word is empty and the position stays on it.
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "");
    EXPECT_EQ(pos, 20);
    pos = 22;
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "");
    EXPECT_EQ(pos, 22);
    pos = 99; // past the end
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "");
    pos = 0; // before the start counts as the start
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, u"  ab1", u"1"), "ab1");
    EXPECT_EQ(pos, 6);
}

TEST(KivWords, TakeRunKeepsBlanksControlsAndExtras) {
    EXPECT_EQ(KivTakeRun(3, u"ab \t\x01;;x", u";"), " \t\x01;;");
    EXPECT_EQ(KivTakeRun(1, u"ab", u""), "");
    EXPECT_EQ(KivTakeRun(3, u"ab", u" "), "");
    EXPECT_EQ(KivTakeRun(0, u"  x"), "  ");
}

TEST(KivProperties, StringPropertiesByNameInAnyCase) {
    TSample s;
    s.Caption = "Topics";
    s.Tag = 8;
    EXPECT_EQ(KivGetStringProperty(&s, "Caption"), "Topics");
    EXPECT_EQ(KivGetStringProperty(&s, "caption"), "Topics");
    EXPECT_EQ(KivGetStringProperty(&s, "SortingList"), ""); // absent
    EXPECT_EQ(KivGetStringProperty(&s, "Tag"), "");         // not a string
    EXPECT_EQ(KivGetStringProperty(nullptr, "Caption"), "");
    EXPECT_TRUE(KivSetStringProperty(&s, "TABLENAME", "book.dbf"));
    EXPECT_EQ(s.TableName, "book.dbf");
    EXPECT_FALSE(KivSetStringProperty(&s, "Tag", "9"));
    EXPECT_EQ(s.Tag, 8);
    EXPECT_FALSE(KivSetStringProperty(&s, "ReadOnlyText", "x"));
    EXPECT_FALSE(KivSetStringProperty(&s, "Missing", "x"));
    EXPECT_EQ(KivGetStringProperty(&s, "readonlytext"), "fixed");
}

TEST(KivProperties, CopiesOnlyEventHandlersTheTargetHas) {
    TSample from;
    QStringList calls;
    from.OnAction = [&](QObject*) { calls << "action"; };
    from.OnEditData = [&](QObject*) { calls << "edit"; };
    from.Online = "not an event";
    TOther to;
    KivCopyEventHandlers(&from, &to);
    ASSERT_TRUE(bool(to.OnAction));
    to.OnAction(&to);
    EXPECT_EQ(calls, QStringList{"action"});
    EXPECT_EQ(to.Online, "");
    TSample copy;
    KivCopyEventHandlers(&from, &copy);
    ASSERT_TRUE(copy.OnEditData && copy.OnAction);
    copy.OnEditData(&copy);
    EXPECT_EQ(calls, (QStringList{"action", "edit"}));
}

TEST(KivCloneComponent, CopiesStoredPropertiesIntoAFreeObject) {
    QObject owner;
    TSample s(&owner);
    s.setObjectName("TbMain");
    s.Caption = "Topics";
    s.Tag = 19;
    s.OnAction = [](QObject*) {};
    const std::unique_ptr<QObject> clone = KivCloneComponent(&s);
    auto* c = qobject_cast<TSample*>(clone.get());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->parent(), nullptr);
    EXPECT_EQ(c->objectName(), "TbMain");
    EXPECT_EQ(c->Caption, "Topics");
    EXPECT_EQ(c->Tag, 19);
    EXPECT_TRUE(bool(c->OnAction));
    TFixed fixed;
    EXPECT_THROW(KivCloneComponent(&fixed), EKivError);
}

TEST(KivEnterAsTab, EnterMovesTheFocusToTheNextControl) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    TKivEnterAsTab::install(first);
    window.show();
    QApplication::setActiveWindow(&window);
    first->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(first->hasFocus());
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(first, &other);
    QApplication::processEvents();
    EXPECT_TRUE(first->hasFocus());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(first, &enter);
    QApplication::processEvents();
    EXPECT_TRUE(second->hasFocus());
    EXPECT_FALSE(KivEnterAsTab(second, Qt::Key_Escape));
    EXPECT_FALSE(KivEnterAsTab(nullptr, Qt::Key_Return));
}

TEST(KivRunProgram, SplitsTheCommandLineAsAShellWould) {
    QTemporaryDir dir;
    const QString script = dir.filePath("rec");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nprintf '[%s]' \"$@\" > \"$0.out\"\nexit 5\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(KivRunProgram(script + " /A \"two words\" x", "n", true, true), 5);
    QFile o(script + ".out");
    ASSERT_TRUE(o.open(QIODevice::ReadOnly));
    EXPECT_EQ(o.readAll(), "[/A][two words][x]");
}

#include "KivServicesTest.moc"
