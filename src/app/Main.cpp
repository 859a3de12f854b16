#include "Main.h"

#include "Application.h"
#include "ColorComboBox.h"
#include "DBNavigator.h"
#include "DMod.h"
#include "DiMacro.h"
#include "DiOption.h"
#include "DiPara.h"
#include "ExportHtmlCommand.h"
#include "KivContr.h"
#include "KivFilt.h"
#include "KivFind.h"
#include "KivGrid.h"
#include "KivLook.h"
#include "KivPopup.h"
#include "KivRich.h"
#include "KivRichSearch.h"
#include "KivTable.h"
#include "ProjectFiles.h"
#include "TopicCodes.h"
#include "UIServices.h"
#include "UnitTopics.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

TFormMain* FormMain = nullptr;

namespace {

const QString kProjectFilter = QStringLiteral("Help project files (*.hpj)|*.hpj");
const int kRowHeight = 25;
const int kProgressRepaintMs = 100;

QToolButton* speedButton(QWidget* parent, const char* name, const QString& hint,
                         QStyle::StandardPixmap glyph) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(glyph));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus); // a click leaves the editor focused
    button->setFixedSize(kRowHeight, kRowHeight - 2);
    return button;
}

// The state combo's items: 1 to 3 on their state's colour with a coloured
// square before the text; the empty state plain.
class StateItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int state = index.row();
        const bool marked = state >= 1 && state <= 3;
        const bool focused = option.state & QStyle::State_Selected;
        painter->save();
        if (focused)
            painter->fillRect(option.rect, option.palette.highlight());
        else if (marked)
            painter->fillRect(option.rect, TFormMain::StateColor(state));
        else
            painter->fillRect(option.rect, option.palette.base());
        painter->setPen(focused ? option.palette.highlightedText().color()
                                : option.palette.text().color());
        painter->drawText(option.rect.adjusted(14, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data().toString());
        if (marked) {
            const QRect square(option.rect.left() + 2, option.rect.top() + 3, 8, 8);
            painter->fillRect(square, TFormMain::StateMark(state));
            painter->setPen(Qt::black);
            painter->drawRect(square.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }
};

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

} // namespace

TFormMain::TFormMain(const QString& projectFile, QWidget* parent) : TFormDB(parent) {
    setObjectName(QStringLiteral("FormMain"));
    if (!FormMain) FormMain = this;
    FormCreate(projectFile);
}

TFormMain::~TFormMain() {
    FormDestroy();
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::FormCreate(const QString& projectFile) {
    setWindowTitle(QStringLiteral("KivHelp 1.0b"));
    setTag(88);
    resize(628, 454);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    buildToolPanel();
    buildWorkArea();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTools);
    layout->addWidget(Panel2, 1);
    setCentralWidget(central);

    ProgressBuild = new QProgressBar(this);
    ProgressBuild->setObjectName(QStringLiteral("ProgressBuild"));
    ProgressBuild->setFormat(QStringLiteral("Topics written: %v of %m"));
    statusBar()->addPermanentWidget(ProgressBuild, 1);
    statusBar()->hide(); // shown only while a build runs

    // The window sees keys before the focused control.
    qApp->installEventFilter(this);

    setDataSource(DM->DSMain);
    DM->setMainWindowPages(MemoContents, MemoErrorLog);
    if (!projectFile.isEmpty()) DM->OpenProject(projectFile);
    UpdateProjectControls();
}

void TFormMain::FormDestroy() {
    // The help file stays open in the viewer otherwise; the Contents page is
    // not saved and the project stays as it is.
    try {
        CloseHelpWindow();
    } catch (const std::exception& e) {
        TApplication::HandleException(e);
    }
    if (DM) DM->setMainWindowPages(nullptr, nullptr);
}

void TFormMain::buildToolPanel() {
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Raised);
    PanelTools = panel;
    PanelTools->setObjectName(QStringLiteral("PanelTools"));
    PanelTools->setFixedHeight(129);
    // Five rows of fixed height, so each row keeps its place while rows
    // above it are still empty.
    auto* rows = new QGridLayout(PanelTools);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(0);
    QHBoxLayout* row[5];
    for (int i = 0; i < 5; ++i) {
        row[i] = new QHBoxLayout;
        row[i]->setSpacing(1);
        rows->addLayout(row[i], i, 0);
        rows->setRowMinimumHeight(i, kRowHeight);
    }

    // Row 1: project commands, then (with later work) the unit import after
    // Close project, and the navigator, sorting, find, search, filters and
    // page creation after Options.
    SpeedButtonNew = speedButton(PanelTools, "SpeedButtonNew", QStringLiteral("New project"),
                                 QStyle::SP_FileIcon);
    SpeedButtonOpen = speedButton(PanelTools, "SpeedButtonOpen", QStringLiteral("Open project"),
                                  QStyle::SP_DialogOpenButton);
    SpeedButton1 = speedButton(PanelTools, "SpeedButton1", QStringLiteral("Close project"),
                               QStyle::SP_DialogCloseButton);
    SpeedButton6 =
        speedButton(PanelTools, "SpeedButton6", QStringLiteral("Generate pages from Delphi unit"),
                    QStyle::SP_FileDialogStart);
    SpeedButton2 = speedButton(PanelTools, "SpeedButton2", QStringLiteral("Invoke Help Compiler"),
                               QStyle::SP_ComputerIcon);
    SpeedButtonCompile = speedButton(
        PanelTools, "SpeedButtonCompile",
        QStringLiteral("Compile help project - Ctrl+F9\nCompile  only current topic F9"),
        QStyle::SP_MediaPlay);
    SpeedButtonOptions =
        speedButton(PanelTools, "SpeedButtonOptions", QStringLiteral("KivHelp Options"),
                    QStyle::SP_FileDialogDetailedView);
    for (QToolButton* b : {SpeedButtonNew, SpeedButtonOpen, SpeedButton1, SpeedButton6,
                           SpeedButton2, SpeedButtonCompile, SpeedButtonOptions})
        row[0]->addWidget(b);
    SpeedButtonExportHtml =
        speedButton(PanelTools, "SpeedButtonExportHtml", QStringLiteral("Export HTML help..."),
                    QStyle::SP_DriveNetIcon);
    row[0]->insertWidget(row[0]->indexOf(SpeedButtonCompile) + 1, SpeedButtonExportHtml);
    connect(SpeedButtonExportHtml, &QToolButton::clicked, this,
            &TFormMain::SpeedButtonExportHtmlClick);
    DBNavigator1 = new TDBNavigator(PanelTools);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setVisibleButtons(((1 << nbCount) - 1) & ~(1 << nbRefresh));
    DBNavigator1->setDataSource(DM->DSMain);
    row[0]->addWidget(DBNavigator1);
    KivDBSortingCombo1 = new TKivDBSortingCombo(PanelTools);
    KivDBSortingCombo1->setObjectName(QStringLiteral("KivDBSortingCombo1"));
    KivDBSortingCombo1->setToolTip(QStringLiteral("Sorting"));
    KivDBSortingCombo1->setFixedWidth(120);
    KivDBSortingCombo1->setDataSource(DM->DSMain);
    row[0]->addWidget(KivDBSortingCombo1);
    SpeedButton3 = speedButton(PanelTools, "SpeedButton3", QStringLiteral("Find by sorting field"),
                               QStyle::SP_FileDialogToParent);
    row[0]->addWidget(SpeedButton3);
    connect(SpeedButton3, &QToolButton::clicked, this, &TFormMain::SpeedButton3Click);
    KivFindDlg = new TKivFindDlg(this);
    KivFindDlg->setObjectName(QStringLiteral("KivFindDlg"));
    KivFindDlg->setDataSource(DM->DSMain);
    SpeedButton4 =
        speedButton(PanelTools, "SpeedButton4",
                    QStringLiteral("Text search and replace Ctrl+F\n    ( Again Ctrl+L )"),
                    QStyle::SP_FileDialogContentsView);
    row[0]->addWidget(SpeedButton4);
    connect(SpeedButton4, &QToolButton::clicked, this, &TFormMain::SpeedButton4Click);
    RichEditSearch = new TRichEditSearch(this);
    SpeedButtonFilters = speedButton(PanelTools, "SpeedButtonFilters", QStringLiteral("Filters"),
                                     QStyle::SP_FileDialogListView);
    row[0]->addWidget(SpeedButtonFilters);
    connect(SpeedButtonFilters, &QToolButton::clicked, this, &TFormMain::SpeedButtonFiltersClick);
    ComboBoxAddPage = new QComboBox(PanelTools);
    ComboBoxAddPage->setObjectName(QStringLiteral("ComboBoxAddPage"));
    ComboBoxAddPage->setToolTip(QStringLiteral("Pages for create"));
    ComboBoxAddPage->addItems({QStringLiteral("See also"), QStringLiteral("Example")});
    ComboBoxAddPage->setCurrentIndex(0);
    row[0]->addWidget(ComboBoxAddPage);
    SpeedButtonAdd = speedButton(PanelTools, "SpeedButtonAdd", QStringLiteral("Create page"),
                                 QStyle::SP_FileDialogNewFolder);
    SpeedButtonAddPopup =
        speedButton(PanelTools, "SpeedButtonAddPopup", QStringLiteral("Create popup page"),
                    QStyle::SP_TitleBarNormalButton);
    row[0]->addWidget(SpeedButtonAdd);
    row[0]->addWidget(SpeedButtonAddPopup);
    connect(SpeedButtonAdd, &QToolButton::clicked, this, [this] { SpeedButtonAddClick(false); });
    connect(SpeedButtonAddPopup, &QToolButton::clicked, this,
            [this] { SpeedButtonAddClick(true); });
    row[0]->addStretch();
    connect(SpeedButtonNew, &QToolButton::clicked, this, &TFormMain::SpeedButtonNewClick);
    connect(SpeedButtonOpen, &QToolButton::clicked, this, &TFormMain::SpeedButtonOpenClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFormMain::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFormMain::SpeedButton2Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TFormMain::SpeedButton6Click);
    connect(SpeedButtonCompile, &QToolButton::clicked, this, &TFormMain::SpeedButtonCompileClick);
    connect(SpeedButtonOptions, &QToolButton::clicked, this, &TFormMain::SpeedButtonOptionsClick);

    PopupMenuCompile = new QMenu(this);
    PopupMenuCompile->setObjectName(QStringLiteral("PopupMenuCompile"));
    Compilehelpproject1 = PopupMenuCompile->addAction(QStringLiteral("Compile help project"));
    Compilehelpproject1->setObjectName(QStringLiteral("Compilehelpproject1"));
    Compilecurrenttopic1 = PopupMenuCompile->addAction(QStringLiteral("Compile current topic"));
    Compilecurrenttopic1->setObjectName(QStringLiteral("Compilecurrenttopic1"));
    // The keys are the window's (FormKeyDown); the menu only shows them.
    Compilehelpproject1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F9));
    Compilecurrenttopic1->setShortcut(QKeySequence(Qt::Key_F9));
    for (QAction* a : PopupMenuCompile->actions())
        a->setShortcutContext(Qt::WidgetShortcut);
    connect(Compilehelpproject1, &QAction::triggered, this, &TFormMain::Compilehelpproject1Click);
    connect(Compilecurrenttopic1, &QAction::triggered, this, &TFormMain::Compilecurrenttopic1Click);
    SpeedButtonCompile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SpeedButtonCompile, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                PopupMenuCompile->popup(SpeedButtonCompile->mapToGlobal(pos));
            });

    buildTopicRows(row);
    // Row 5: the link window, then the formatting controls.
    ComboBoxWindows = new QComboBox(PanelTools);
    ComboBoxWindows->setObjectName(QStringLiteral("ComboBoxWindows"));
    ComboBoxWindows->setToolTip(QStringLiteral("Link to Window; \nCreate page to Window"));
    ComboBoxWindows->setFixedWidth(90);
    row[4]->addWidget(ComboBoxWindows);
    buildFormattingRow(row[4]);
    row[4]->addStretch();
}

void TFormMain::buildTopicRows(QHBoxLayout* const row[5]) {
    const auto lookupCombo = [this](const char* name, const QString& hint, TDataSource* list,
                                    int shown, int width) {
        auto* combo = new TKivDBLookupCombo(PanelTools);
        combo->setObjectName(QLatin1String(name));
        combo->setToolTip(hint);
        combo->setListSource(list);
        combo->setKeyField(QStringLiteral("ID"));
        combo->setListField(QStringLiteral("ID;NAME"));
        combo->setListFieldIndex(shown);
        combo->setFixedWidth(width);
        return combo;
    };
    const auto edit = [this](const char* name, const QString& hint, const char* field, int width) {
        auto* e = new TKivDBEdit(PanelTools);
        e->setObjectName(QLatin1String(name));
        e->setToolTip(hint);
        e->setDataSource(DM->DSMain);
        e->setDataField(QLatin1String(field));
        e->setFixedWidth(width);
        return e;
    };

    KivDBLookupComboGoto = lookupCombo(
        "KivDBLookupComboGoto", QStringLiteral("Go to topic\nCtrl+Z - change field for search"),
        DM->DSCalc, 1, 200);
    setBackground(KivDBLookupComboGoto, palette().color(QPalette::Button));
    KivDBLookupComboGoto->OnChange = [this](QObject*) { KivDBLookupComboGotoClick(); };
    KivDBEdit1 = edit("KivDBEdit1", QStringLiteral("Topic ID"), "ID", 60);
    KivDBEdit2 = edit("KivDBEdit2", QStringLiteral("Topic title"), "NAME", 260);
    KivDBEdit3 = edit("KivDBEdit3", QStringLiteral("Browse sequence"), "BSEQ", 100);
    for (QWidget* w :
         {static_cast<QWidget*>(KivDBLookupComboGoto), static_cast<QWidget*>(KivDBEdit1),
          static_cast<QWidget*>(KivDBEdit2), static_cast<QWidget*>(KivDBEdit3)})
        row[1]->addWidget(w);
    row[1]->addStretch();

    KivDBEdit4 = edit("KivDBEdit4", QStringLiteral("Keywords"), "KEYS", 220);
    KivDBEdit5 = edit("KivDBEdit5", QStringLiteral("AKeywords"), "AKEYS", 160);
    DBComboBoxWindows = new TDBComboBox(PanelTools);
    DBComboBoxWindows->setObjectName(QStringLiteral("DBComboBoxWindows"));
    DBComboBoxWindows->setToolTip(QStringLiteral("Topic window "));
    DBComboBoxWindows->setDataSource(DM->DSMain);
    DBComboBoxWindows->setDataField(QStringLiteral("WINDOW"));
    DBComboBoxWindows->setFixedWidth(90);
    TKivEnterAsTab::install(DBComboBoxWindows);
    KivDBCombo1 = new TKivDBCombo(PanelTools);
    KivDBCombo1->setObjectName(QStringLiteral("KivDBCombo1"));
    KivDBCombo1->setToolTip(QStringLiteral("Topic state"));
    KivDBCombo1->setDataSource(DM->DSMain);
    KivDBCombo1->setDataField(QStringLiteral("State"));
    KivDBCombo1->setItemDelegate(new StateItemDelegate(KivDBCombo1));
    KivDBCombo1->setFixedWidth(80);
    for (QWidget* w :
         {static_cast<QWidget*>(KivDBEdit4), static_cast<QWidget*>(KivDBEdit5),
          static_cast<QWidget*>(DBComboBoxWindows), static_cast<QWidget*>(KivDBCombo1)})
        row[2]->addWidget(w);
    for (QWidget* w : {static_cast<QWidget*>(KivDBLookupComboGoto),
                       static_cast<QWidget*>(KivDBEdit1), static_cast<QWidget*>(KivDBEdit2),
                       static_cast<QWidget*>(KivDBEdit3), static_cast<QWidget*>(KivDBEdit4),
                       static_cast<QWidget*>(KivDBEdit5), static_cast<QWidget*>(KivDBCombo1)})
        KivUseContextMenu(w, TPopupMenuKivDBFieldControls::Instance());
    row[2]->addStretch();

    KivDBLookupComboId = lookupCombo(
        "KivDBLookupComboId", QStringLiteral("First list of topics for links (sorted by id)"),
        DM->DSQid, 0, 150);
    KivDBLookupComboId->setDropDownWidth(300);
    KivDBLookupComboName = lookupCombo(
        "KivDBLookupComboName", QStringLiteral("Second list of topics for links (sorted by name)"),
        DM->DSQName, 1, 200);
    const auto codeButton = [this, &row](QToolButton*& button, const char* name,
                                         const QString& hint, const QString& caption,
                                         void (TFormMain::*click)()) {
        button = new QToolButton(PanelTools);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(hint);
        button->setText(caption);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus); // the editor keeps its selection
        button->setFixedHeight(kRowHeight - 2);
        connect(button, &QToolButton::clicked, this, click);
        row[3]->addWidget(button);
    };
    for (TKivDBLookupCombo* list : {KivDBLookupComboId, KivDBLookupComboName}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
            PopupMenuTopicListPopup(list);
            PopupMenuTopicList->exec(list->mapToGlobal(pos));
        });
        row[3]->addWidget(list);
        if (list == KivDBLookupComboId) {
            codeButton(SpeedButtonJump1, "SpeedButtonJump1",
                       QStringLiteral("Create link (by first list of topics)"), QStringLiteral("J"),
                       &TFormMain::SpeedButtonJump1Click);
            codeButton(SpeedButtonPopup1, "SpeedButtonPopup1",
                       QStringLiteral("Create popup link (by first list of topics)"),
                       QStringLiteral("P"), &TFormMain::SpeedButtonPopup1Click);
        } else {
            codeButton(SpeedButtonJump2, "SpeedButtonJump2",
                       QStringLiteral("Create link (by second list of topics)"),
                       QStringLiteral("J"), &TFormMain::SpeedButtonJump2Click);
            codeButton(SpeedButtonPopup2, "SpeedButtonPopup2",
                       QStringLiteral("Create popup link (by second list of topics)"),
                       QStringLiteral("P"), &TFormMain::SpeedButtonPopup2Click);
        }
    }
    codeButton(SpeedButtonMacro, "SpeedButtonMacro", QStringLiteral("Ctrerate macro link"),
               QStringLiteral("M"), &TFormMain::SpeedButtonMacroClick);
    codeButton(SpeedButtonButton, "SpeedButtonButton", QStringLiteral("Create button"),
               QStringLiteral("Btn"), &TFormMain::SpeedButtonButtonClick);
    codeButton(SpeedButtonPicture, "SpeedButtonPicture", QStringLiteral("Insert picture"),
               QStringLiteral("Pic"), &TFormMain::SpeedButtonPictureClick);
    codeButton(SpeedButtonKeepn, "SpeedButtonKeepn", QStringLiteral("End of topic title (keepn)"),
               QStringLiteral("K"), &TFormMain::SpeedButtonKeepnClick);
    row[3]->addStretch();

    const auto filter = [this](const char* name, TDataSource* source) {
        auto* f = new TKivFilter(this);
        f->setObjectName(QLatin1String(name));
        f->setTableNameKind(tnQuotes);
        f->setDataSource(source);
        return f;
    };
    EHMain = filter("EHMain", DM->DSMain);
    EHMain->setQExtracts(DM->QMain);
    EHId = filter("EHId", DM->DSQid);
    EHName = filter("EHName", DM->DSQName);

    PopupMenuTopicList = new QMenu(this);
    PopupMenuTopicList->setObjectName(QStringLiteral("PopupMenuTopicList"));
    Filters1 = PopupMenuTopicList->addAction(QStringLiteral("Filters"));
    SetCurrentFilter = PopupMenuTopicList->addAction(QStringLiteral("Set current filter"));
    TakeOffFilter = PopupMenuTopicList->addAction(QStringLiteral("Take off filter"));
    connect(Filters1, &QAction::triggered, this, &TFormMain::Filters1Click);
    connect(SetCurrentFilter, &QAction::triggered, this, &TFormMain::SetCurrentFilterClick);
    connect(TakeOffFilter, &QAction::triggered, this, &TFormMain::TakeOffFilterClick);
}

void TFormMain::buildFormattingRow(QHBoxLayout* row) {
    const auto spin = [this, row](const char* name, const QString& hint, int min, int max,
                                  int value, void (TFormMain::*change)()) {
        auto* s = new QSpinBox(PanelTools);
        s->setObjectName(QLatin1String(name));
        s->setToolTip(hint);
        s->setRange(min, max);
        s->setValue(value);
        s->setFixedWidth(52);
        connect(s, &QSpinBox::valueChanged, this, change);
        row->addWidget(s);
        return s;
    };
    const auto toggle = [this, row](const char* name, const QString& hint, const QString& caption,
                                    void (TFormMain::*click)()) {
        auto* b = new QToolButton(PanelTools);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setText(caption);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(kRowHeight - 2, kRowHeight - 2);
        connect(b, &QToolButton::clicked, this, click);
        row->addWidget(b);
        return b;
    };
    // Indents have no bounds of their own: the editor decides what it takes.
    SpinEditFirst = spin("SpinEditFirst", QStringLiteral("FirstIndent"), -32768, 32767, 0,
                         &TFormMain::SpinEditFirstChange);
    SpinEditLeft = spin("SpinEditLeft", QStringLiteral("LeftIndent"), -32768, 32767, 0,
                        &TFormMain::SpinEditLeftChange);
    SpinEditRight = spin("SpinEditRight", QStringLiteral("RightIndent"), -32768, 32767, 0,
                         &TFormMain::SpinEditRightChange);
    FontComboBox = new QFontComboBox(PanelTools);
    FontComboBox->setObjectName(QStringLiteral("FontComboBox"));
    FontComboBox->setToolTip(QStringLiteral("Font"));
    FontComboBox->setFixedWidth(140);
    connect(FontComboBox, &QFontComboBox::currentFontChanged, this, &TFormMain::FontComboBoxChange);
    row->addWidget(FontComboBox);
    ColorComboBox = new TColorComboBox(PanelTools);
    ColorComboBox->setObjectName(QStringLiteral("ColorComboBox"));
    ColorComboBox->setToolTip(QStringLiteral("Color"));
    connect(ColorComboBox, &QComboBox::activated, this, &TFormMain::ColorComboBoxChange);
    row->addWidget(ColorComboBox);
    SpinEditSize =
        spin("SpinEditSize", QStringLiteral("Size"), 1, 100, 10, &TFormMain::SpinEditSizeChange);
    SpeedButtonBold = toggle("SpeedButtonBold", QStringLiteral("Bold"), QStringLiteral("B"),
                             &TFormMain::SpeedButtonBoldClick);
    SpeedButtonItalic = toggle("SpeedButtonItalic", QStringLiteral("Italic"), QStringLiteral("I"),
                               &TFormMain::SpeedButtonItalicClick);
    SpeedButtonUnderline = toggle("SpeedButtonUnderline", QStringLiteral("Underline"),
                                  QStringLiteral("U"), &TFormMain::SpeedButtonUnderlineClick);
    SpeedButtonStrike = toggle("SpeedButtonStrike", QStringLiteral("StrikeOut"),
                               QStringLiteral("S"), &TFormMain::SpeedButtonStrikeClick);
    SpeedButtonLeft = toggle("SpeedButtonLeft", QStringLiteral("Left"), QStringLiteral("L"),
                             &TFormMain::SpeedButtonLeftClick);
    SpeedButtonCenter = toggle("SpeedButtonCenter", QStringLiteral("Center"), QStringLiteral("C"),
                               &TFormMain::SpeedButtonCenterClick);
    SpeedButtonRight = toggle("SpeedButtonRight", QStringLiteral("Right"), QStringLiteral("R"),
                              &TFormMain::SpeedButtonRightClick);
    auto* alignment = new QButtonGroup(this);
    for (QToolButton* b : {SpeedButtonLeft, SpeedButtonCenter, SpeedButtonRight})
        alignment->addButton(b);
    SpeedButtonLeft->setChecked(true);
    SpeedButtonBullets = toggle("SpeedButtonBullets", QStringLiteral("Bullet"),
                                QStringLiteral("\u2022"), &TFormMain::SpeedButtonBulletsClick);
}

void TFormMain::buildWorkArea() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* layout = new QHBoxLayout(Panel2);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel2);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    KivDbGrid = new TKivDbGrid(Splitter1);
    KivDbGrid->setObjectName(QStringLiteral("KivDbGrid"));
    setBackground(KivDbGrid, QColor(192, 192, 192));
    KivDbGrid->setTitleAlignment(TAlignment::taLeftJustify);
    KivDbGrid->setMinimumWidth(60);
    KivDbGrid->OnSetColor = [](QObject*, TField* field, QColor& color) {
        KivDbGridSetColor(field, color);
    };
    KivDbGrid->setDataSource(DM->DSMain);
    KivUseContextMenu(KivDbGrid, TPopupMenuKivDBGrid::Instance());

    PageControlRich = new QTabWidget(Splitter1);
    PageControlRich->setObjectName(QStringLiteral("PageControlRich"));

    DBRichText = new TKivDBRichEdit;
    DBRichText->setObjectName(QStringLiteral("DBRichText"));
    DBRichText->setDataSource(DM->DSMain);
    DBRichText->setDataField(QStringLiteral("TEXT"));
    DBRichText->setFont(QFont(QStringLiteral("Arial"), 10));
    DBRichText->setTabChangesFocus(false);
    DBRichText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBRichText->setToolTip(QStringLiteral("Topic description"));
    DBRichText->setRecordName(QStringLiteral("current topic"));
    DBRichText->setSearchGlobal(true);
    KivUseContextMenu(DBRichText, TPopupMenuKivDBRichEdit::Instance());
    connect(DBRichText, &QTextEdit::cursorPositionChanged, this, &TFormMain::SyncFormatting);
    connect(DBRichText, &QTextEdit::selectionChanged, this, &TFormMain::SyncFormatting);
    {
        // The selection stays visible while another control has the focus.
        QPalette palette = DBRichText->palette();
        for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        DBRichText->setPalette(palette);
    }
    PageControlRich->addTab(DBRichText, QStringLiteral("Edit page"));

    auto* contentsPage = new QWidget;
    auto* contentsLayout = new QHBoxLayout(contentsPage);
    contentsLayout->setContentsMargins(0, 0, 0, 0);
    MemoContents = new QPlainTextEdit(contentsPage);
    MemoContents->setObjectName(QStringLiteral("MemoContents"));
    setBackground(MemoContents, QColor(192, 220, 192));
    MemoContents->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    MemoContents->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoContents->setLineWrapMode(QPlainTextEdit::NoWrap);
    contentsLayout->addWidget(MemoContents, 1);
    auto* contentsButtons = new QVBoxLayout;
    SpeedButton7 = speedButton(contentsPage, "SpeedButton7", QStringLiteral("Save content"),
                               QStyle::SP_DialogSaveButton);
    SpeedButton5 =
        speedButton(contentsPage, "SpeedButton5", QStringLiteral("Cancel changes of content"),
                    QStyle::SP_DialogResetButton);
    contentsButtons->addWidget(SpeedButton7);
    contentsButtons->addWidget(SpeedButton5);
    contentsButtons->addStretch();
    contentsLayout->addLayout(contentsButtons);
    connect(SpeedButton7, &QToolButton::clicked, this, &TFormMain::SpeedButtonClick);
    connect(SpeedButton5, &QToolButton::clicked, this, &TFormMain::SpeedButton5Click);
    PageControlRich->addTab(contentsPage, QStringLiteral("Contents"));

    MemoErrorLog = new QPlainTextEdit;
    MemoErrorLog->setObjectName(QStringLiteral("MemoErrorLog"));
    setBackground(MemoErrorLog, palette().color(QPalette::Button));
    MemoErrorLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    PageControlRich->addTab(MemoErrorLog, QStringLiteral("Error log"));

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({222, 628 - 222});
}

// ---------------------------------------------------------------- project state

void TFormMain::UpdateProjectControls() {
    const bool open = DM->ProjectOpen();
    QString title = open ? QStringLiteral("KivHelp ") + DM->ProjectDir + DM->ProjectName
                         : QStringLiteral("KivHelp");
    const bool readOnly = open && !DM->WrittenBy().isEmpty();
    if (readOnly) title += QStringLiteral(" [read-only: open in %1]").arg(DM->WrittenBy());
    setWindowTitle(title);
    MemoContents->setReadOnly(readOnly); // its file is not saved then
    RefillWindowLists();                 // no names left over from a closed project
    for (QWidget* control : PanelTools->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        control->setEnabled(open || control == SpeedButtonNew || control == SpeedButtonOpen ||
                            control == SpeedButtonOptions);
    PageControlRich->setEnabled(open);
    SyncFormatting();
    // The three topic lists start at the current topic.
    QVariant current;
    if (open && DM->TbMain->Active() && !DM->TbMain->IsEmpty())
        current = DM->TbMain->FieldByName(QStringLiteral("ID"))->AsInteger();
    for (TKivDBLookupCombo* combo :
         {KivDBLookupComboGoto, KivDBLookupComboId, KivDBLookupComboName})
        combo->setKeyValue(current);
}

void TFormMain::RefillWindowLists() {
    QStringList names = DM->WindowNames;
    names.prepend(QString());
    const QString chosen = ComboBoxWindows->currentText();
    ComboBoxWindows->clear();
    ComboBoxWindows->addItems(names);
    ComboBoxWindows->setCurrentIndex(std::max(0, int(names.indexOf(chosen))));
    DBComboBoxWindows->clear();
    DBComboBoxWindows->addItems(names);
    DBComboBoxWindows->showField();
}

void TFormMain::EnsureCompiler() {
    ::EnsureCompiler(
        DM->CompilerPath, DM->ProjectFile(QStringLiteral(".hpj")),
        [this](QString& path) { TDialOptions::ExecuteAndSave(path, DM->SettingsFile, this); });
}

void TFormMain::BuildProgress(int written, int total) {
    const bool starting = statusBar()->isHidden();
    if (starting) {
        statusBar()->show();
        progressClock_.start();
    }
    // A total of 0 topics (or an unknown one) shows the busy bar.
    ProgressBuild->setRange(0, std::max(total, 0));
    ProgressBuild->setValue(written);
    // Repainting after every topic would cost more than writing it.
    if (starting || written == total || progressClock_.elapsed() >= kProgressRepaintMs) {
        progressClock_.restart();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

QString TFormMain::chooseProjectFile(const QString& title) const {
    return UIServices::instance().openNewFileName(title, kProjectFilter, QStringLiteral("hpj"),
                                                  DM->ProjectDir);
}

// Closing or re-binding the table would drop an edit that is not stored yet.
// A failing post raises, and the command stops with the edit kept.
void TFormMain::storePendingEdit() {
    if (DM->TbMain->Active()) DM->TbMain->CheckBrowseMode();
}

// ---------------------------------------------------------------- commands

void TFormMain::SpeedButtonNewClick() {
    const QString file = chooseProjectFile(QStringLiteral("New project"));
    if (file.isEmpty()) return;
    storePendingEdit();
    CloseHelpWindow();
    DM->CreateProject(file);
    UpdateProjectControls();
}

void TFormMain::SpeedButtonOpenClick() {
    const QString file = chooseProjectFile(QStringLiteral("Open project"));
    if (file.isEmpty()) return;
    storePendingEdit();
    CloseHelpWindow();
    DM->OpenProject(file);
    UpdateProjectControls();
}

void TFormMain::SpeedButton1Click() {
    storePendingEdit();
    CloseHelpWindow();
    DM->CloseProject(true);
    UpdateProjectControls();
}

void TFormMain::SpeedButton6Click() {
    ImportUnit(*this);
}

void TFormMain::SpeedButtonOptionsClick() {
    TDialOptions::ExecuteAndSave(DM->CompilerPath, DM->SettingsFile, this);
}

void TFormMain::SpeedButtonExportHtmlClick() {
    if (!DM->ProjectOpen()) return;
    const QString dir = UIServices::instance().chooseFolder(QStringLiteral("Export HTML help"),
                                                            DM->ProjectDir);
    if (dir.isEmpty()) return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    const HtmlExportResult result = ExportProjectHtml(*DM, dir);
    QString text = QStringLiteral("HTML help written to %1: %2 topics").arg(dir).arg(result.pages);
    // The first warnings; a box with thousands of lines would not fit the screen.
    const int shown = 20;
    if (!result.warnings.isEmpty())
        text += QStringLiteral("\n\n") + result.warnings.mid(0, shown).join(QLatin1Char('\n'));
    if (result.warnings.size() > shown)
        text += QStringLiteral("\n... and %1 more").arg(result.warnings.size() - shown);
    KivShowMessage(text);
}

void TFormMain::SpeedButtonClick() {
    DM->SaveContents();
}

void TFormMain::SpeedButton5Click() {
    DM->LoadContents();
}

void TFormMain::SpeedButton2Click() {
    InvokeHelpCompiler(*this);
}

void TFormMain::compile(bool wholeProject) {
    const auto hideProgress = qScopeGuard([this] {
        statusBar()->hide();
        ProgressBuild->reset();
    });
    CompileProject(wholeProject, *this);
}

void TFormMain::SpeedButtonCompileClick() {
    compile(true);
}

void TFormMain::Compilehelpproject1Click() {
    compile(true);
}

void TFormMain::Compilecurrenttopic1Click() {
    compile(false);
}

// ---------------------------------------------------------------- topics and filters

void TFormMain::KivDBLookupComboGotoClick() {
    const QVariant id = KivDBLookupComboGoto->KeyValue();
    if (id.isNull() || !DM->TbCalc->Active()) return;
    if (DM->TbCalc->Locate(QStringLiteral("ID"), id)) LocateSameRecord(DM->TbCalc, DM->TbMain);
}

TKivFilter* TFormMain::MenuFilter() const {
    if (menuOpener_ == KivDBLookupComboId) return EHId;
    if (menuOpener_ == KivDBLookupComboName) return EHName;
    return EHMain;
}

void TFormMain::PopupMenuTopicListPopup(QWidget* opener) {
    menuOpener_ = opener;
    const TKivFilter* f = MenuFilter();
    TakeOffFilter->setEnabled(f->FilterIsSet());
    SetCurrentFilter->setEnabled(!f->FilterIsSet() && f->CurrentIndex() >= 0);
}

void TFormMain::SpeedButtonFiltersClick() {
    PopupMenuTopicListPopup(SpeedButtonFilters);
    PopupMenuTopicList->exec(
        SpeedButtonFilters->mapToGlobal(QPoint(0, SpeedButtonFilters->height())));
}

void TFormMain::menuDone() {
    if (menuOpener_ == KivDBLookupComboId || menuOpener_ == KivDBLookupComboName)
        menuOpener_->update();
}

void TFormMain::Filters1Click() {
    MenuFilter()->EditFilters();
    menuDone();
}

void TFormMain::SetCurrentFilterClick() {
    MenuFilter()->SetFilter(true);
    menuDone();
}

void TFormMain::TakeOffFilterClick() {
    MenuFilter()->SetFilter(false);
    menuDone();
}

QColor TFormMain::StateColor(int state) {
    switch (state) {
    case 1:
        return QColor(254, 217, 211);
    case 2:
        return QToolTip::palette().color(QPalette::ToolTipBase);
    case 3:
        return QColor(226, 241, 230);
    default:
        return {};
    }
}

QColor TFormMain::StateMark(int state) {
    switch (state) {
    case 1:
        return Qt::red;
    case 2:
        return Qt::yellow;
    case 3:
        return QColor(0, 255, 0);
    default:
        return {};
    }
}

void TFormMain::KivDbGridSetColor(const TField* field, QColor& color) {
    if (!field || field->FieldName().compare(QLatin1String("State"), Qt::CaseInsensitive) != 0)
        return;
    const QColor state = StateColor(int(field->AsInteger()));
    if (state.isValid()) color = state;
}

// ---------------------------------------------------------------- hypertext codes

void TFormMain::SpeedButtonJump1Click() {
    InsertTopicLink(*DBRichText, *DM, KivDBLookupComboId->KeyValue(), {}, false, ComboBoxWindows);
}

void TFormMain::SpeedButtonPopup1Click() {
    InsertTopicLink(*DBRichText, *DM, KivDBLookupComboId->KeyValue(), {}, true, ComboBoxWindows);
}

void TFormMain::SpeedButtonJump2Click() {
    InsertTopicLink(*DBRichText, *DM, KivDBLookupComboName->KeyValue(), {}, false, ComboBoxWindows);
}

void TFormMain::SpeedButtonPopup2Click() {
    InsertTopicLink(*DBRichText, *DM, KivDBLookupComboName->KeyValue(), {}, true, ComboBoxWindows);
}

void TFormMain::SpeedButtonMacroClick() {
    if (!RunMacroDialog(QStringLiteral("Create macro link"), DBRichText->SelText())) return;
    const TDialMacro& dialog = TDialMacro::Instance();
    InsertMacroLink(*DBRichText, dialog.EditMacro->text(), dialog.EditCaption->text());
}

void TFormMain::SpeedButtonButtonClick() {
    if (!RunMacroDialog(QStringLiteral("CreateButton"), DBRichText->SelText())) return;
    const TDialMacro& dialog = TDialMacro::Instance();
    if (dialog.EditCaption->text().isEmpty()) return;
    InsertCode(*DBRichText, QStringLiteral("{button ") + dialog.EditCaption->text() +
                                QLatin1Char(',') + dialog.EditMacro->text() + QLatin1Char('}'));
}

void TFormMain::SpeedButtonPictureClick() {
    const QString file = UIServices::instance().openFileName(
        QStringLiteral("Insert picture"), QStringLiteral("Bitmap files (*.bmp)|*.bmp"),
        QStringLiteral("bmp"), DM->ProjectDir);
    if (file.isEmpty()) return;
    // The compiler finds the bitmap through the project's own search path.
    InsertCode(*DBRichText,
               QStringLiteral("{bmc ") + QFileInfo(file).fileName() + QLatin1Char('}'));
}

void TFormMain::SpeedButtonKeepnClick() {
    InsertCode(*DBRichText, QStringLiteral("{keepn}"));
}

void TFormMain::SpeedButtonAddClick(bool popup) {
    TKivTable& main = *DM->TbMain;
    if (!main.Active() || (main.Bof() && main.Eof()) || ComboBoxAddPage->currentIndex() < 0) return;
    const QString kind = ComboBoxAddPage->currentText();
    const int current = int(main.FieldByName(QStringLiteral("ID"))->AsInteger());
    const int page = DM->FreeIdAfterCurrent();
    const QString name = main.FieldByName(QStringLiteral("NAME"))->AsString();
    main.Insert();
    main.FieldByName(QStringLiteral("ID"))->setAsInteger(page);
    main.FieldByName(QStringLiteral("NAME"))->setAsString(name + QStringLiteral(" - ") + kind);
    WriteTopicTitle(*DBRichText, kind, true, false);
    main.Post();
    main.Locate(QStringLiteral("ID"), current);
    InsertPageLink(*DBRichText, *DM, page, kind, popup, ComboBoxWindows);
    main.Post();
    main.Locate(QStringLiteral("ID"), page);
}

// ---------------------------------------------------------------- formatting

void TFormMain::SyncFormatting() {
    const bool was = formatLock_;
    formatLock_ = true;
    TTextAttributes& a = DBRichText->SelAttributes();
    FontComboBox->setCurrentFont(QFont(a.Name()));
    ColorComboBox->setSelectedColor(a.Color());
    SpinEditSize->setValue(a.Size());
    const TFontStyles style = a.Style();
    SpeedButtonBold->setChecked(style & fsBold);
    SpeedButtonItalic->setChecked(style & fsItalic);
    SpeedButtonUnderline->setChecked(style & fsUnderline);
    SpeedButtonStrike->setChecked(style & fsStrikeOut);
    TParaAttributes& p = DBRichText->Paragraph();
    AlignmentButton(p.Alignment(), SpeedButtonLeft, SpeedButtonCenter, SpeedButtonRight)
        ->setChecked(true);
    SpeedButtonBullets->setChecked(p.Numbering() == TNumberingStyle::nsBullet);
    SpinEditFirst->setValue(p.FirstIndent());
    SpinEditLeft->setValue(p.LeftIndent());
    SpinEditRight->setValue(p.RightIndent());
    formatLock_ = was;
}

void TFormMain::FontComboBoxChange() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->SelAttributes().setName(FontComboBox->currentFont().family());
    // While the list is open the author is still browsing it.
    if (!FontComboBox->view()->isVisible()) DBRichText->setFocus();
}

void TFormMain::ColorComboBoxChange() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->SelAttributes().setColor(ColorComboBox->SelectedColor());
    if (!ColorComboBox->view()->isVisible()) DBRichText->setFocus();
}

void TFormMain::SpinEditSizeChange() {
    const int size = SpinEditSize->value();
    if (formatLock_ || size < 1 || size > 100) return;
    DBRichText->BeginEditing();
    DBRichText->SelAttributes().setSize(size);
}

void TFormMain::SpinEditFirstChange() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->Paragraph().setFirstIndent(SpinEditFirst->value());
}

void TFormMain::SpinEditLeftChange() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->Paragraph().setLeftIndent(SpinEditLeft->value());
}

void TFormMain::SpinEditRightChange() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->Paragraph().setRightIndent(SpinEditRight->value());
}

void TFormMain::applyStyle(QToolButton* button, TFontStyle style) {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    TTextAttributes& a = DBRichText->SelAttributes();
    a.setStyle(button->isChecked() ? a.Style() | style : a.Style() & ~TFontStyles(style));
}

void TFormMain::SpeedButtonBoldClick() {
    applyStyle(SpeedButtonBold, fsBold);
}

void TFormMain::SpeedButtonItalicClick() {
    applyStyle(SpeedButtonItalic, fsItalic);
}

void TFormMain::SpeedButtonUnderlineClick() {
    applyStyle(SpeedButtonUnderline, fsUnderline);
}

void TFormMain::SpeedButtonStrikeClick() {
    applyStyle(SpeedButtonStrike, fsStrikeOut);
}

void TFormMain::SpeedButtonLeftClick() {
    if (!formatLock_) SetParagraphAlignment(*DBRichText, TParaAlignment::Left);
}

void TFormMain::SpeedButtonCenterClick() {
    if (!formatLock_) SetParagraphAlignment(*DBRichText, TParaAlignment::Center);
}

void TFormMain::SpeedButtonRightClick() {
    if (!formatLock_) SetParagraphAlignment(*DBRichText, TParaAlignment::Right);
}

void TFormMain::SpeedButtonBulletsClick() {
    if (formatLock_) return;
    DBRichText->BeginEditing();
    DBRichText->Paragraph().setNumbering(SpeedButtonBullets->isChecked() ? TNumberingStyle::nsBullet
                                                                         : TNumberingStyle::nsNone);
    SyncFormatting(); // bullets move the left indent
}

bool TFormMain::DBRichTextKeyDown(int key, Qt::KeyboardModifiers shift) {
    if ((shift & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
    if (key == Qt::Key_B) {
        SpeedButtonBold->toggle();
        SpeedButtonBoldClick();
        return false; // the editor sees the key as well
    }
    if (key == Qt::Key_I) {
        SpeedButtonItalic->toggle();
        SpeedButtonItalicClick();
        return true; // Ctrl+I is also a tab character, which the editor would insert
    }
    return false;
}

void TFormMain::FormActivate() {
    formatLock_ = false;
}

bool TFormMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return TFormDB::event(event);
}

// ---------------------------------------------------------------- keys

void TFormMain::SpeedButton3Click() {
    KivFindDlg->Execute();
}

void TFormMain::SpeedButton4Click() {
    RichEditSearch->Execute(true, *DBRichText);
}

bool TFormMain::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    if (!DM->ProjectOpen()) return false;
    shift &= ~Qt::KeypadModifier;
    if (shift == Qt::ControlModifier && key == Qt::Key_F) {
        SpeedButton4Click();
        return true;
    }
    if (shift == Qt::ControlModifier && key == Qt::Key_L) {
        RichEditSearch->Again(*DBRichText);
        return true;
    }
    if (key == Qt::Key_F9 && shift.testFlag(Qt::ControlModifier)) {
        compile(true);
        return true;
    }
    if (key == Qt::Key_F9 && shift == Qt::NoModifier) {
        compile(false);
        return true;
    }
    return false;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (FormKeyDown(key->key(), key->modifiers())) return true;
        if (watched == DBRichText && DBRichTextKeyDown(key->key(), key->modifiers())) return true;
    }
    return TFormDB::eventFilter(watched, event);
}
