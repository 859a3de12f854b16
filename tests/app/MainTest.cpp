// The main window: its controls with and without a project, the project
// commands with the help viewer closed first, the Contents page, the compile
// commands and keys, and the application's default error handler.
#include "Main.h"
#include "AddField.h"
#include "Application.h"
#include "KivContr.h"
#include "KivError.h"
#include "KivFilt.h"
#include "KivGrid.h"
#include "KivLook.h"
#include "KivRich.h"
#include "KivRichSearch.h"
#include "ProjectFixture.h"
#include "TMemTable.h"

#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

class MainTest : public ProjectFixture {
protected:
    QString compiler() { return writeCompilerScript(d + "bin/mycomp"); }
    QByteArray lastRun() { return recordedArgs(d + "bin/mycomp"); }

    // The tool panel's controls that can be used.
    static QStringList enabledTools(const TFormMain& w) {
        QStringList names;
        for (QWidget* c : w.PanelTools->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isEnabled()) names << c->objectName();
        names.sort();
        return names;
    }
    static int toolCount(const TFormMain& w) {
        return w.PanelTools->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size();
    }
};

// Without a project, and when the command line's project cannot be opened:
// only the project commands, and the compile keys do nothing.
TEST_F(MainTest, WithoutProjectOnlyProjectCommandsAreUsable) {
    dm.CompilerPath = compiler();
    for (const QString& file : {QString(), d + "missing.hpj"}) {
        ui->messages.clear();
        TFormMain w(file);
        EXPECT_EQ(FormMain, &w);
        EXPECT_EQ(ui->messages,
                  file.isEmpty() ? QStringList() : QStringList({"Error. Project not open"}));
        EXPECT_EQ(w.windowTitle(), "KivHelp");
        EXPECT_EQ(enabledTools(w),
                  QStringList({"SpeedButtonNew", "SpeedButtonOpen", "SpeedButtonOptions"}));
        EXPECT_FALSE(w.PageControlRich->isEnabled());
        EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::NoModifier));
        EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::ControlModifier));
        EXPECT_FALSE(w.FormKeyDown(Qt::Key_L, Qt::ControlModifier));
    }
    EXPECT_EQ(lastRun(), "<missing>");
    EXPECT_TRUE(viewer->calls.isEmpty());
}

TEST_F(MainTest, NewAndOpenSwitchProjectsClosingTheOldHelpFirst) {
    const QString other = madeProject("other");
    TFormMain w;
    ui->fileNames << d + "book.hpj";
    w.SpeedButtonNewClick();
    ASSERT_EQ(ui->fileDialogs.size(), 1);
    EXPECT_TRUE(ui->fileDialogs[0].endsWith("|Help project files (*.hpj)|*.hpj|hpj"));
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    EXPECT_EQ(enabledTools(w).size(), toolCount(w));
    EXPECT_TRUE(w.PageControlRich->isEnabled());
    w.SpeedButtonNewClick(); // cancelled: nothing happens
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    EXPECT_TRUE(viewer->calls.isEmpty());

    ui->fileNames << other << d + "third.hpj";
    w.SpeedButtonOpenClick();
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "other");
    w.SpeedButtonNewClick();
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "third");
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp", "close " + d + "other.hlp"}));
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(MainTest, CommandLineProjectOpensWithItsWindowNames) {
    const QString file = madeProject();
    writeFile(file, readFile(file).replace(
                        "[WINDOWS]\r\n", "[WINDOWS]\r\nmain=\"Main\",,,\r\npopup=\"Pop\",,,\r\n"));
    TFormMain w(file);
    EXPECT_EQ(w.windowTitle(), "KivHelp " + d + "book");
    QStringList windows;
    for (int i = 0; i < w.ComboBoxWindows->count(); ++i)
        windows << w.ComboBoxWindows->itemText(i);
    EXPECT_EQ(windows, QStringList({"", "main", "popup"}));
    EXPECT_EQ(w.DBComboBoxWindows->count(), 3);
}

// The topic fields, the go-to and link lists, the state colours and the
// filter menu of the tool panel.
TEST_F(MainTest, TopicRowsFollowTheCurrentTopic) {
    createProject();
    addTopic(10, "Intro");
    addTopic(20, "About");
    addTopic(30, "Menus");
    dm.CloseProject(false);
    TFormMain w(d + "book.hpj");
    const int current = int(dm.TbMain->FieldByName("ID")->AsInteger());
    for (TKivDBLookupCombo* combo :
         {w.KivDBLookupComboGoto, w.KivDBLookupComboId, w.KivDBLookupComboName})
        EXPECT_EQ(combo->KeyValue(), current) << combo->objectName().toStdString();
    EXPECT_EQ(w.KivDBEdit2->text(), dm.TbMain->FieldByName("NAME")->AsString());
    EXPECT_EQ(w.KivDBCombo1->count(), 4);
    EXPECT_EQ(w.KivDbGrid->model()->rowCount(), 3);

    w.KivDBLookupComboGoto->ChooseKey(30);
    EXPECT_EQ(dm.TbMain->FieldByName("ID")->AsInteger(), 30);
    EXPECT_EQ(w.KivDBEdit2->text(), "Menus");

    w.SpeedButton1Click(); // closed: nothing to show
    EXPECT_TRUE(w.KivDBLookupComboGoto->KeyValue().isNull());
}

TEST_F(MainTest, CtrlFSearchesTheTopicsAndCtrlLSearchesAgain) {
    createProject();
    addTopic(10, "Intro", "{\\rtf1\\ansi find me}");
    addTopic(20, "About", "{\\rtf1\\ansi and me}");
    TFormMain w;
    w.UpdateProjectControls();
    ASSERT_TRUE(dm.TbMain->Locate("ID", 10));
    QTimer::singleShot(0, [&w] {
        w.RichEditSearch->ComboBoxFind->setEditText("me");
        w.RichEditSearch->BtnFindClick();
    });
    EXPECT_TRUE(w.FormKeyDown(Qt::Key_F, Qt::ControlModifier));
    EXPECT_EQ(w.DBRichText->SelText(), "me");
    EXPECT_TRUE(w.FormKeyDown(Qt::Key_L, Qt::ControlModifier));
    EXPECT_EQ(dm.TbMain->FieldByName("ID")->AsInteger(), 20);
    EXPECT_EQ(w.DBRichText->SelText(), "me");
}

TEST_F(MainTest, TheFilterMenuWorksOnTheListThatOpenedIt) {
    createProject();
    addTopic(10, "Intro");
    addTopic(20, "About");
    TFormMain w;
    w.UpdateProjectControls();
    w.EHName->AddFilter();
    TConditionItem c;
    c.FieldName = "NAME";
    c.Value = "About";
    w.EHName->CurrentFilter()->Conditions = {c};

    w.PopupMenuTopicListPopup(w.KivDBLookupComboName);
    EXPECT_EQ(w.MenuFilter(), w.EHName);
    EXPECT_TRUE(w.SetCurrentFilter->isEnabled());
    EXPECT_FALSE(w.TakeOffFilter->isEnabled());
    w.SetCurrentFilterClick();
    EXPECT_EQ(dm.QName->RecordCount(), 1);
    EXPECT_EQ(dm.Qid->RecordCount(), 2);

    // The Filters button always means the topic table.
    w.PopupMenuTopicListPopup(w.SpeedButtonFilters);
    EXPECT_EQ(w.MenuFilter(), w.EHMain);
    EXPECT_FALSE(w.SetCurrentFilter->isEnabled()); // no filter yet
    w.PopupMenuTopicListPopup(w.KivDBLookupComboName);
    EXPECT_TRUE(w.TakeOffFilter->isEnabled());
    w.TakeOffFilterClick();
    EXPECT_EQ(dm.QName->RecordCount(), 2);
}

TEST_F(MainTest, StatesHaveTheirColours) {
    TMemTable t;
    auto* state = addField<TSmallintField>(t, "State");
    auto* other = addField<TSmallintField>(t, "Other");
    t.addFieldDefsFrom(t.Fields());
    t.Open();
    t.Append();
    const QColor grid(192, 192, 192);
    for (const auto& [value, expected] :
         {std::pair{0, grid}, {1, QColor(254, 217, 211)}, {3, QColor(226, 241, 230)}}) {
        state->setAsInteger(value);
        other->setAsInteger(value);
        QColor c = grid, o = grid;
        TFormMain::KivDbGridSetColor(state, c);
        TFormMain::KivDbGridSetColor(other, o);
        EXPECT_EQ(c, expected) << value;
        EXPECT_EQ(o, grid);
    }

    // The state combo's "Ready" line: pale green with a lime square.
    TFormMain w;
    QImage image(100, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.palette = w.palette();
        option.state = QStyle::State_Enabled;
        w.KivDBCombo1->addItems({"", "Write", "Test", "Ready"});
        w.KivDBCombo1->itemDelegate()->paint(&painter, option, w.KivDBCombo1->model()->index(3, 0));
    }
    EXPECT_EQ(QColor(image.pixel(6, 7)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(image.pixel(2, 3)), QColor(Qt::black)); // its frame
    EXPECT_EQ(QColor(image.pixel(95, 14)), QColor(226, 241, 230));
}

TEST_F(MainTest, ContentsPageAndCloseProject) {
    TFormMain w(madeProject());
    w.MemoContents->setPlainText("1 Book\n2 Intro=10");
    w.SpeedButtonClick();
    EXPECT_EQ(readFile(d + "book.toc"), "1 Book\r\n2 Intro=10\r\n");
    w.MemoContents->setPlainText("typed and dropped");
    w.SpeedButton5Click();
    EXPECT_EQ(w.MemoContents->toPlainText(), "1 Book\n2 Intro=10");

    // Close saves the page, clears both and closes the help first.
    w.MemoContents->setPlainText("1 Chapter");
    w.MemoErrorLog->setPlainText("old messages");
    w.SpeedButton1Click();
    EXPECT_EQ(readFile(d + "book.toc"), "1 Chapter\r\n");
    EXPECT_TRUE(w.MemoContents->toPlainText().isEmpty() && w.MemoErrorLog->toPlainText().isEmpty());
    EXPECT_FALSE(dm.ProjectOpen());
    EXPECT_EQ(w.windowTitle(), "KivHelp");
    EXPECT_FALSE(w.PageControlRich->isEnabled());
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp"}));
}

TEST_F(MainTest, DestroyingTheWindowClosesTheHelpButKeepsTheProject) {
    auto w = std::make_unique<TFormMain>(madeProject());
    w->MemoContents->setPlainText("not saved");
    w.reset();
    EXPECT_EQ(viewer->calls, QStringList({"close " + d + "book.hlp"}));
    EXPECT_EQ(readFile(d + "book.toc"), "");
    EXPECT_EQ(FormMain, nullptr);
    EXPECT_TRUE(dm.ProjectOpen());
}

// Closing or switching projects used to drop an edit that was not posted yet.
TEST_F(MainTest, ProjectCommandsStoreThePendingEditFirst) {
    const QString file = madeProject();
    const QString other = madeProject("other");
    // Each command with the file its dialog answers.
    const std::pair<QString, void (TFormMain::*)()> commands[] = {
        {QString(), &TFormMain::SpeedButton1Click},
        {other, &TFormMain::SpeedButtonOpenClick},
        {d + "new.hpj", &TFormMain::SpeedButtonNewClick}};
    int id = 0;
    for (const auto& [answer, command] : commands) {
        TFormMain w(file);
        addTopic(++id, "Intro");
        dm.TbMain->Edit();
        dm.TbMain->FieldByName("NAME")->setAsString("Introduction");
        if (!answer.isEmpty()) ui->fileNames << answer;
        (w.*command)();
        dm.OpenProject(file);
        ASSERT_TRUE(dm.TbMain->Locate("ID", id));
        EXPECT_EQ(dm.TbMain->FieldByName("NAME")->AsString(), "Introduction") << id;
    }
}

TEST_F(MainTest, F9CompilesTheCurrentTopicAndCtrlF9TheWholeProject) {
    TFormMain w(madeProject());
    addTopic(10, "Intro");
    addTopic(20, "Usage");
    dm.CompilerPath = compiler();
    viewer->calls.clear();

    // The window sees the key before the editor and uses it up.
    EXPECT_TRUE(w.FormKeyDown(Qt::Key_F9, Qt::KeypadModifier));
    EXPECT_FALSE(QFile::exists(d + "book_10.rtf"));
    EXPECT_EQ(viewer->calls.last(), "open " + d + "book.hlp JumpId(\"\",\"20\")");

    QKeyEvent ctrlF9(QEvent::KeyPress, Qt::Key_F9, Qt::ControlModifier);
    QApplication::sendEvent(w.DBRichText, &ctrlF9);
    EXPECT_TRUE(QFile::exists(d + "book_10.rtf"));
    EXPECT_EQ(w.ProgressBuild->maximum(), 2); // the build reported its topics
    EXPECT_TRUE(w.statusBar()->isHidden());

    // Other keys reach the focused control.
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F9, Qt::ShiftModifier));
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F8, Qt::NoModifier));
}

TEST_F(MainTest, CompileCommandsAskForTheCompilerFirst) {
    TFormMain w(madeProject());
    addTopic(10, "Intro");
    viewer->calls.clear();
    // Cancelled: nothing is run.
    answerOptions(false);
    w.SpeedButtonCompileClick();
    EXPECT_EQ(lastRun(), "<missing>");

    answerOptions(true, compiler());
    w.Compilehelpproject1->trigger();
    EXPECT_EQ(lastRun(), (d + "book.hpj\n").toUtf8());
    EXPECT_TRUE(readFile(dm.SettingsFile).contains(dm.CompilerPath.toUtf8()));
    QFile::remove(d + "bin/args.txt");
    w.SpeedButton2Click(); // the interactive run
    EXPECT_EQ(lastRun(), (d + "book.hpj\n").toUtf8());

    // A compiler that cannot start: the progress is hidden again.
    dm.CompilerPath = d + "no such compiler";
    EXPECT_THROW(w.SpeedButtonCompileClick(), EKivError);
    EXPECT_TRUE(w.statusBar()->isHidden());
}

TEST(DefaultErrorHandler, ShowsEngineErrorsAndStaysSilentOnAbort) {
    RecordingUI::Scope ui;
    EXPECT_FALSE(TApplication::Guarded([]() -> bool { throw EAbort(); }));
    EXPECT_TRUE(ui->errors.isEmpty());
    EXPECT_FALSE(TApplication::Guarded([]() -> bool { throw EInOutError("Disk full"); }));
    EXPECT_FALSE(
        TApplication::Guarded([]() -> bool { throw std::runtime_error("plain failure"); }));
    EXPECT_EQ(ui->errors, QStringList({"Disk full", "plain failure"}));
    EXPECT_TRUE(TApplication::Guarded([] { return true; }));
}

} // namespace
