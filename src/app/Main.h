// The program's one window: the tool panel with every command above, the
// topic list at the left and the current topic's pages at the right. It
// carries the project commands (New, Open, Close, Options), the compile
// commands and their keys, and shows a long build's progress.
#pragma once

#include "CompileProject.h"
#include "KivFormDB.h"

#include <QElapsedTimer>

class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolButton;
class QWidget;
class TKivDBRichEdit;

class TFormMain : public TFormDB, public CompileHost {
    Q_OBJECT

public:
    // Needs the data module. Opens `projectFile` when it is not empty (the
    // program's first argument).
    explicit TFormMain(const QString& projectFile = QString(), QWidget* parent = nullptr);
    ~TFormMain() override;

    // Tool panel, row 1.
    QWidget* PanelTools;
    QToolButton* SpeedButtonNew;
    QToolButton* SpeedButtonOpen;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButtonCompile;
    QToolButton* SpeedButtonOptions;
    QMenu* PopupMenuCompile;
    QAction* Compilehelpproject1;
    QAction* Compilecurrenttopic1;
    // Row 5: the window for new links and pages.
    QComboBox* ComboBoxWindows;

    // Work area.
    QWidget* Panel2;
    QFrame* GridPlace; // the topic grid's place at the left
    QSplitter* Splitter1;
    QTabWidget* PageControlRich;
    TKivDBRichEdit* DBRichText;
    QPlainTextEdit* MemoContents;
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton5;
    QPlainTextEdit* MemoErrorLog;

    QProgressBar* ProgressBuild;

    // Caption and enabling for the project state; called at creation and
    // after New, Open and Close project.
    void UpdateProjectControls();
    // Both window lists get an empty entry and the project's window names.
    void RefillWindowLists() override;
    // When no compiler path is known: proposes the desktop's program for the
    // project file and lets the author confirm it in the options dialog.
    void EnsureCompiler() override;
    // A build's progress (topics written, total or -1): shown in the status
    // bar, the window repainted now and then; user input waits.
    void BuildProgress(int written, int total) override;

    // Ctrl+F9 and F9 while a project is open; true when the key was used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers shift);

    // Command handlers.
    void SpeedButtonNewClick();
    void SpeedButtonOpenClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButtonCompileClick();
    void SpeedButtonOptionsClick();
    void Compilehelpproject1Click();
    void Compilecurrenttopic1Click();
    void SpeedButtonClick();  // Save content
    void SpeedButton5Click(); // Cancel changes of content

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QString& projectFile);
    void FormDestroy();
    void buildToolPanel();
    void buildWorkArea();
    QString chooseProjectFile(const QString& title) const;
    void storePendingEdit();
    void compile(bool wholeProject);

    QElapsedTimer progressClock_;
};

extern TFormMain* FormMain;
