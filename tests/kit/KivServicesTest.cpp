#include "KivError.h"
#include "KivForms.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
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

// Has OnAction but not OnEditData; not creatable by name.
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

TEST(KivStrings, PaddingFillsAlignsAndOverflows) {
    const struct {
        QString text;
        int width, alignment;
        bool stars;
        QString padded;
    } cases[] = {
        {"ab", 5, kaLeft, false, "ab   "},    {"ab", 5, kaRight, false, "   ab"},
        {"ab", 5, kaCenter, false, " ab  "},  {"ab", 6, kaCenter, true, "  ab  "},
        {"abc", 3, kaRight, true, "abc"},     {"12345", 3, kaRight, true, "***"},
        {"12345", 3, kaRight, false, "123"},  {"1234567890", 8, kaLeft, true, " *****  "},
        {"1234567890", 1, kaLeft, true, "*"}, {"", 3, kaCenter, false, "   "},
        {"abc", 0, kaLeft, true, ""},         {"abc", -2, kaLeft, false, ""},
        {"ab", 4, 7, false, "ab  "}, // unknown alignment: left
    };
    for (const auto& c : cases)
        EXPECT_EQ(KivPadString(c.text, c.width, c.alignment, c.stars), c.padded) << c.width;
    EXPECT_EQ(KivZeroPad("7", 3), "007");
    EXPECT_EQ(KivZeroPad("12345", 3), "345");
    EXPECT_EQ(KivZeroPad("", 2), "00");
    EXPECT_EQ(KivZeroPad("7", -1), "");
}

TEST(KivStrings, WordsAndRuns) {
    EXPECT_EQ(KivTakeWord(u"TForm_1 = class"), "TForm_");
    EXPECT_EQ(KivTakeWord(u"TForm_1 = class", u"0123456789"), "TForm_1");
    EXPECT_EQ(KivTakeWord(u"1abc"), "");
    EXPECT_EQ(KivTakeWord(QString::fromUtf8("caf\u00e9s")), "caf"); // ASCII letters only

    const QString text = QStringLiteral(" \t\r\n procedure  Foo(x);");
    int pos = 1;
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "procedure");
    EXPECT_EQ(pos, 15);
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "Foo");
    // On a non-word character the word is empty and the position stays.
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "");
    EXPECT_EQ(pos, 20);
    pos = 99;
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, text), "");
    pos = 0; // before the start counts as the start
    EXPECT_EQ(KivSkipBlanksTakeWord(pos, u"  ab1", u"1"), "ab1");
    EXPECT_EQ(pos, 6);

    EXPECT_EQ(KivTakeRun(3, u"ab \t\x01;;x", u";"), " \t\x01;;");
    EXPECT_EQ(KivTakeRun(3, u"ab", u" "), "");
    EXPECT_EQ(KivTakeRun(0, u"  x"), "  ");
}

TEST(KivProperties, StringPropertiesByNameInAnyCase) {
    TSample s;
    s.Caption = "Topics";
    s.Tag = 8;
    EXPECT_EQ(KivGetStringProperty(&s, "caption"), "Topics");
    EXPECT_EQ(KivGetStringProperty(&s, "SortingList"), ""); // absent
    EXPECT_EQ(KivGetStringProperty(&s, "Tag"), "");         // not a string
    EXPECT_EQ(KivGetStringProperty(nullptr, "Caption"), "");
    EXPECT_TRUE(KivSetStringProperty(&s, "TABLENAME", "book.dbf"));
    EXPECT_EQ(s.TableName, "book.dbf");
    EXPECT_FALSE(KivSetStringProperty(&s, "Tag", "9"));
    EXPECT_FALSE(KivSetStringProperty(&s, "ReadOnlyText", "x"));
    EXPECT_FALSE(KivSetStringProperty(&s, "Missing", "x"));
    EXPECT_EQ(s.Tag, 8);
}

TEST(KivProperties, EventHandlersAreCopiedWhereTheTargetHasThem) {
    QObject owner;
    TSample from(&owner);
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

    from.setObjectName("TbMain");
    from.Caption = "Topics";
    from.Tag = 19;
    const std::unique_ptr<QObject> clone = KivCloneComponent(&from);
    auto* c = qobject_cast<TSample*>(clone.get());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->parent(), nullptr);
    EXPECT_EQ(c->objectName(), "TbMain");
    EXPECT_EQ(c->Caption, "Topics");
    EXPECT_EQ(c->Tag, 19);
    ASSERT_TRUE(c->OnEditData && c->OnAction);
    c->OnEditData(c);
    EXPECT_EQ(calls, (QStringList{"action", "edit"}));
    EXPECT_THROW(KivCloneComponent(&to), EKivError);
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
    const auto press = [&](int key, const QString& text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(first, &event);
        QApplication::processEvents();
    };
    press(Qt::Key_A, "a");
    EXPECT_TRUE(first->hasFocus());
    press(Qt::Key_Return, "");
    EXPECT_TRUE(second->hasFocus());
    EXPECT_FALSE(KivEnterAsTab(second, Qt::Key_Escape));
    EXPECT_FALSE(KivEnterAsTab(nullptr, Qt::Key_Return));
}

#include "KivServicesTest.moc"
