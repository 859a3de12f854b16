// The program's one window: the tool panel with every command above, the
// topic list at the left and the current topic's pages at the right. It
// carries the project commands (New, Open, Close, Options), the compile
// commands and their keys, and shows a long build's progress.
#pragma once

#include "CompileProject.h"
#include "KivFormDB.h"
#include "richtext/RichEdit.h"

#include <QElapsedTimer>

class QComboBox;
class QFontComboBox;
class QFrame;
class QSpinBox;
class TColorComboBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolButton;
class QWidget;
class TDBComboBox;
class TDBNavigator;
class TField;
class TKivDBCombo;
class TKivDBEdit;
class TKivDBLookupCombo;
class TKivDBSortingCombo;
class TKivDbGrid;
class TKivFilter;
class TKivFindDlg;
class TRichEditSearch;
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
    QToolButton* SpeedButton6; // source unit import
    QToolButton* SpeedButton2;
    QToolButton* SpeedButtonCompile;
    QToolButton* SpeedButtonOptions;
    QToolButton* SpeedButtonExportHtml; // the project as an HTML help site
    QMenu* PopupMenuCompile;
    QAction* Compilehelpproject1;
    QAction* Compilecurrenttopic1;
    TDBNavigator* DBNavigator1;
    TKivDBSortingCombo* KivDBSortingCombo1;
    QToolButton* SpeedButton3; // find by the sorting fields
    QToolButton* SpeedButton4; // search and replace
    QToolButton* SpeedButtonFilters;
    QComboBox* ComboBoxAddPage;
    QToolButton* SpeedButtonAdd;
    QToolButton* SpeedButtonAddPopup;
    // Row 2: going to a topic and its ID, title and browse sequence.
    TKivDBLookupCombo* KivDBLookupComboGoto;
    TKivDBEdit* KivDBEdit1;
    TKivDBEdit* KivDBEdit2;
    TKivDBEdit* KivDBEdit3;
    // Row 3: keywords, the topic's window and its state.
    TKivDBEdit* KivDBEdit4;
    TKivDBEdit* KivDBEdit5;
    TDBComboBox* DBComboBoxWindows;
    TKivDBCombo* KivDBCombo1;
    // Row 4: the two lists of link targets.
    TKivDBLookupCombo* KivDBLookupComboId;
    TKivDBLookupCombo* KivDBLookupComboName;
    QToolButton* SpeedButtonJump1;
    QToolButton* SpeedButtonPopup1;
    QToolButton* SpeedButtonJump2;
    QToolButton* SpeedButtonPopup2;
    QToolButton* SpeedButtonMacro;
    QToolButton* SpeedButtonButton;
    QToolButton* SpeedButtonPicture;
    QToolButton* SpeedButtonKeepn;
    // Row 5: the window for new links and pages, then the formatting of the
    // editor's selection.
    QComboBox* ComboBoxWindows;
    QSpinBox* SpinEditFirst;
    QSpinBox* SpinEditLeft;
    QSpinBox* SpinEditRight;
    QFontComboBox* FontComboBox;
    TColorComboBox* ColorComboBox;
    QSpinBox* SpinEditSize;
    QToolButton* SpeedButtonBold;
    QToolButton* SpeedButtonItalic;
    QToolButton* SpeedButtonUnderline;
    QToolButton* SpeedButtonStrike;
    QToolButton* SpeedButtonLeft;
    QToolButton* SpeedButtonCenter;
    QToolButton* SpeedButtonRight;
    QToolButton* SpeedButtonBullets;

    // Stored filters of the topic table and of the two link lists, and the
    // menu that works on one of them.
    TKivFindDlg* KivFindDlg;
    // The editor's search and replace dialog, kept with its history.
    TRichEditSearch* RichEditSearch;
    TKivFilter* EHMain;
    TKivFilter* EHId;
    TKivFilter* EHName;
    QMenu* PopupMenuTopicList;
    QAction* Filters1;
    QAction* SetCurrentFilter;
    QAction* TakeOffFilter;

    // Work area.
    QWidget* Panel2;
    TKivDbGrid* KivDbGrid; // the topic list
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

    // Ctrl+F, Ctrl+L, Ctrl+F9 and F9 while a project is open; true when the
    // key was used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers shift);

    // Command handlers.
    void SpeedButtonNewClick();
    void SpeedButtonOpenClick();
    void SpeedButton1Click();
    void SpeedButton6Click();
    void SpeedButton2Click();
    void SpeedButtonCompileClick();
    void SpeedButtonOptionsClick();
    // Asks for a folder and exports the project there as HTML help, storing
    // the current edit first as a compile does.
    void SpeedButtonExportHtmlClick();
    void Compilehelpproject1Click();
    void Compilecurrenttopic1Click();
    void SpeedButtonClick();  // Save content
    void SpeedButton5Click(); // Cancel changes of content
    void SpeedButtonFiltersClick();
    void SpeedButton3Click();
    void SpeedButton4Click();
    // Hypertext codes at the editor's selection.
    void SpeedButtonJump1Click();
    void SpeedButtonPopup1Click();
    void SpeedButtonJump2Click();
    void SpeedButtonPopup2Click();
    void SpeedButtonMacroClick();
    void SpeedButtonButtonClick();
    void SpeedButtonPictureClick();
    void SpeedButtonKeepnClick();
    // A "See also" or "Example" page for the current topic, linked from its
    // title area (as a pop-up with `popup`); the new page becomes current.
    void SpeedButtonAddClick(bool popup = false);
    void KivDBLookupComboGotoClick();
    // The filter menu for the control that opens it: the first link list
    // means EHId, the second EHName, anything else EHMain.
    void PopupMenuTopicListPopup(QWidget* opener);
    void Filters1Click();
    void SetCurrentFilterClick();
    void TakeOffFilterClick();
    // The filter component the menu works on now.
    TKivFilter* MenuFilter() const;

    // The formatting row follows the caret; its handlers format the selection.
    void SyncFormatting();
    bool FormattingLocked() const { return formatLock_; }
    void FontComboBoxChange();
    void ColorComboBoxChange();
    void SpinEditSizeChange();
    void SpinEditFirstChange();
    void SpinEditLeftChange();
    void SpinEditRightChange();
    void SpeedButtonBoldClick();
    void SpeedButtonItalicClick();
    void SpeedButtonUnderlineClick();
    void SpeedButtonStrikeClick();
    void SpeedButtonLeftClick();
    void SpeedButtonCenterClick();
    void SpeedButtonRightClick();
    void SpeedButtonBulletsClick();
    // Ctrl+B and Ctrl+I in the editor; true when the key is used up.
    bool DBRichTextKeyDown(int key, Qt::KeyboardModifiers shift);
    // The window's first activation lets the formatting row work.
    void FormActivate();

    // A State cell's background by its value (1 to 3); others keep `color`.
    static void KivDbGridSetColor(const TField* field, QColor& color);
    // The colours of the work states, and the marks before them in the state combo.
    static QColor StateColor(int state);
    static QColor StateMark(int state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void FormCreate(const QString& projectFile);
    void FormDestroy();
    void buildToolPanel();
    void buildWorkArea();
    QString chooseProjectFile(const QString& title) const;
    void storePendingEdit();
    void compile(bool wholeProject);
    void buildTopicRows(QHBoxLayout* const rows[5]);
    // After a menu command on a link list's filter the list shows its rows again.
    void menuDone();

    void buildFormattingRow(QHBoxLayout* row);
    void applyStyle(QToolButton* button, TFontStyle style);

    QWidget* menuOpener_ = nullptr;
    bool formatLock_ = true; // until the window is first activated

    QElapsedTimer progressClock_;
};

extern TFormMain* FormMain;
