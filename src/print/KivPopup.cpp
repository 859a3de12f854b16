#include "KivPopup.h"

#include "DiPara.h"
#include "KivContr.h"
#include "KivForms.h"
#include "KivGrid.h"
#include "KivPrint.h"
#include "KivRich.h"
#include "KivRichSearch.h"
#include "KivTable.h"
#include "UIServices.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>

namespace {

bool editing(const TDataSet* ds) {
    return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
}

bool empty(const TDataSet* ds) {
    return ds->Bof() && ds->Eof();
}

// The grid a control stands for: the grid itself, or the grid a record view shows.
TDBGrid* gridOf(QWidget* control) {
    if (auto* grid = qobject_cast<TDBGrid*>(control)) return grid;
    if (auto* view = qobject_cast<TKivScrollBoxForGrid*>(control)) return view->Grid();
    return nullptr;
}

// A grid's record view, made on first use beside the grid.
TKivScrollBoxForGrid* recordView(TDBGrid* grid) {
    auto* view =
        qobject_cast<TKivScrollBoxForGrid*>(grid->property("KivRecordView").value<QObject*>());
    if (!view) {
        view = new TKivScrollBoxForGrid(grid->parentWidget());
        view->setGrid(grid);
        KivUseContextMenu(view, TPopupMenuKivDBGrid::Instance());
        grid->setProperty("KivRecordView", QVariant::fromValue(static_cast<QObject*>(view)));
    }
    return view;
}

} // namespace

template <class Menu> Menu& TPopupMenuKivDBControls::shared() {
    static QPointer<Menu> menu;
    if (!menu) {
        menu = new Menu;
        static_cast<TPopupMenuKivDBControls*>(menu.data())->build();
        // Goes with the application, not with the first window that used it.
        connect(qApp, &QCoreApplication::aboutToQuit, menu, &QObject::deleteLater);
    }
    return *menu;
}

TPopupMenuKivDBControls& TPopupMenuKivDBControls::Instance() {
    return shared<TPopupMenuKivDBControls>();
}

QAction* TPopupMenuKivDBControls::item(const QString& caption, const std::function<void()>& run,
                                       const QKeySequence& shortcut) {
    QAction* a = addAction(caption);
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, [this, run] {
        // A shortcut reaches the menu without an opening: it works on the
        // focused control, whose state is looked at first.
        if (!isVisible() && !control_) Prepare(QApplication::focusWidget());
        run();
        control_ = nullptr;
    });
    return a;
}

QWidget* TPopupMenuKivDBControls::target() {
    return control_ ? control_.data() : QApplication::focusWidget();
}

void TPopupMenuKivDBControls::build() {
    InsertRecord = item(
        QStringLiteral("Insert record"), [this] { insertRecord(); },
        QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)));
    DeleteRecord = item(
        QStringLiteral("Delete record"), [this] { deleteRecord(); },
        QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)));
    EditRecord = item(QStringLiteral("Edit record"), [this] { editRecord(); });
    PostEdit = item(
        QStringLiteral("Post edit"), [this] { postEdit(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
    CancelEdit = item(QStringLiteral("Cancel edit"), [this] { cancelEdit(); });
    RefreshData = item(
        QStringLiteral("Refresh data"), [this] { refreshData(); }, QKeySequence(Qt::Key_F5));
    CloneRecord = item(QStringLiteral("Clone record"), [this] { cloneRecord(); });
    // Records are inserted and deleted through the navigator and the keys of
    // each control; the plain menu does not offer them.
    InsertRecord->setVisible(false);
    DeleteRecord->setVisible(false);
}

void TPopupMenuKivDBControls::Prepare(QWidget* control) {
    control_ = control;
    TDataSource* source =
        control ? KivGetDataSourceProperty(control, QStringLiteral("DataSource")) : nullptr;
    if (!source)
        if (TDBGrid* grid = gridOf(control)) source = grid->DataSource();
    TDataSet* ds = source ? source->DataSet() : nullptr;
    dataSet_ = ds && ds->Active() ? ds : nullptr;
    for (QAction* a : actions())
        a->setEnabled(false);
    updateItems();
}

void TPopupMenuKivDBControls::updateItems() {
    TDataSet* ds = dataSet_;
    if (!ds) return;
    const bool canModify = ds->CanModify();
    CloneRecord->setEnabled(KivGetActions(ds).testFlag(daClone) && canModify);
    EditRecord->setEnabled(canModify && ds->State() == TDataSetState::dsBrowse && !empty(ds));
    PostEdit->setEnabled(canModify && editing(ds));
    CancelEdit->setEnabled(canModify && editing(ds));
    RefreshData->setEnabled(true);
    InsertRecord->setEnabled(canModify);
    DeleteRecord->setEnabled(canModify && !empty(ds));
}

void TPopupMenuKivDBControls::PopupFor(QWidget* control, const QPoint& globalPos) {
    Prepare(control);
    exec(globalPos);
    control_ = nullptr;
}

bool TPopupMenuKivDBControls::actionAllowed(int action) {
    bool need = true;
    if (const TOnDataSetActionEvent handler = KivGetOnAction(dataSet_))
        handler(this, dataSet_, TKivDataSetAction(action), need);
    return need;
}

void TPopupMenuKivDBControls::insertRecord() {
    if (dataSet_ && dataSet_->CanModify() && actionAllowed(daInsert)) dataSet_->Insert();
}

void TPopupMenuKivDBControls::deleteRecord() {
    TDataSet* ds = dataSet_;
    if (!ds || !ds->CanModify() || !actionAllowed(daDelete)) return;
    const QString caption = KivGetStringProperty(ds, QStringLiteral("Caption"));
    using A = UIServices::Answer;
    A answer;
    {
        TKivApp::Busy busy;
        answer = UIServices::instance().ask(
            (caption.isEmpty() ? QString() : caption + QLatin1Char('\n')) +
                QStringLiteral("Delete record?"),
            QString(), UIServices::Icon::Question, {A::Ok, A::Cancel});
    }
    if (answer != A::Cancel) ds->Delete();
}

void TPopupMenuKivDBControls::editRecord() {
    if (dataSet_ && dataSet_->State() == TDataSetState::dsBrowse) dataSet_->Edit();
}

void TPopupMenuKivDBControls::postEdit() {
    if (dataSet_ && editing(dataSet_)) dataSet_->Post();
}

void TPopupMenuKivDBControls::cancelEdit() {
    if (dataSet_ && editing(dataSet_)) dataSet_->Cancel();
}

void TPopupMenuKivDBControls::refreshData() {
    if (dataSet_) RefreshDataSet(dataSet_);
}

void TPopupMenuKivDBControls::cloneRecord() {
    if (dataSet_) ::CloneRecord(dataSet_);
}

// ---------------------------------------------------------------- field controls

TPopupMenuKivDBFieldControls& TPopupMenuKivDBFieldControls::Instance() {
    return shared<TPopupMenuKivDBFieldControls>();
}

void TPopupMenuKivDBFieldControls::build() {
    const auto move = [this](void (TDataSet::*step)()) {
        return [this, step] {
            if (TDataSet* ds = DataSet()) (ds->*step)();
        };
    };
    FirstRecord = item(QStringLiteral("First record"), move(&TDataSet::First),
                       QKeySequence(Qt::CTRL | Qt::Key_Home));
    PriorRecord = item(QStringLiteral("Prior record"), move(&TDataSet::Prior),
                       QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    NextRecord = item(QStringLiteral("Next record"), move(&TDataSet::Next),
                      QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    LastRecord = item(QStringLiteral("Last record"), move(&TDataSet::Last),
                      QKeySequence(Qt::CTRL | Qt::Key_End));
    addSeparator();
    TPopupMenuKivDBControls::build();
}

void TPopupMenuKivDBFieldControls::updateItems() {
    TPopupMenuKivDBControls::updateItems();
    TDataSet* ds = DataSet();
    if (!ds) return;
    FirstRecord->setEnabled(!ds->Bof());
    PriorRecord->setEnabled(!ds->Bof());
    NextRecord->setEnabled(!ds->Eof());
    LastRecord->setEnabled(!ds->Eof());
}

// ---------------------------------------------------------------- grid

TPopupMenuKivDBGrid& TPopupMenuKivDBGrid::Instance() {
    return shared<TPopupMenuKivDBGrid>();
}

void TPopupMenuKivDBGrid::build() {
    FieldsVisibility = item(QStringLiteral("Fields visibility"), [this] {
        if (auto* grid = qobject_cast<TKivDbGrid*>(gridOf(target()))) grid->FieldsVisibility();
    });
    // Both go to the program's own print procedures when it installed them.
    Print = item(QStringLiteral("Print"), [this] {
        if (TDBGrid* grid = gridOf(target())) PrintTable(grid);
    });
    PrintRecord = item(QStringLiteral("Print record"), [this] {
        if (TDBGrid* grid = gridOf(target())) ::PrintRecord(grid);
    });
    GridOneRecord = item(QStringLiteral("Grid - One record"), [this] {
        QWidget* control = target();
        if (auto* view = qobject_cast<TKivScrollBoxForGrid*>(control))
            view->Toggle();
        else if (TDBGrid* grid = gridOf(control))
            recordView(grid)->Toggle();
    });
    PickLength = item(QStringLiteral("Pick length of fields"), [this] {
        if (TDataSet* ds = DataSet()) FitFieldWidths(ds, 300);
    });
    addSeparator();
    TPopupMenuKivDBControls::build();
}

void TPopupMenuKivDBGrid::updateItems() {
    TPopupMenuKivDBControls::updateItems();
    TDataSet* ds = DataSet();
    TDBGrid* grid = gridOf(Control());
    if (!ds || !grid) return;
    const bool kitGrid = qobject_cast<TKivDbGrid*>(grid) != nullptr;
    FieldsVisibility->setEnabled(kitGrid);
    Print->setEnabled(!empty(ds) && (kitGrid || KivPrintGridProc()));
    PrintRecord->setEnabled(!empty(ds) && (kitGrid || KivPrintRecordProc()));
    GridOneRecord->setEnabled(true);
    PickLength->setEnabled(true);
}

// ---------------------------------------------------------------- memo

TPopupMenuKivDBMemo& TPopupMenuKivDBMemo::Instance() {
    return shared<TPopupMenuKivDBMemo>();
}

void TPopupMenuKivDBMemo::build() {
    // Each edit control has the same three operations under its own name.
    const auto call = [this](const char* method) {
        return [this, method] {
            if (QWidget* w = target()) QMetaObject::invokeMethod(w, method);
        };
    };
    Copy = item(QStringLiteral("Copy"), call("copy"));
    Paste = item(QStringLiteral("Insert"), call("paste"));
    SelectAll = item(QStringLiteral("Select All"), call("selectAll"));
    addSeparator();
    TPopupMenuKivDBControls::build();
}

namespace {

bool hasSelection(const QWidget* w) {
    if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->hasSelectedText();
    if (const auto* e = qobject_cast<const QPlainTextEdit*>(w))
        return e->textCursor().hasSelection();
    if (const auto* e = qobject_cast<const QTextEdit*>(w)) return e->textCursor().hasSelection();
    return false;
}

bool fieldCanModify(QWidget* w) {
    if (auto* rich = qobject_cast<TKivDBRichEdit*>(w)) return rich->DataLink().CanModify();
    if (auto* memo = qobject_cast<TDBMemo*>(w)) return memo->DataLink().CanModify();
    if (auto* edit = qobject_cast<TDBEdit*>(w)) return edit->DataLink().CanModify();
    return false;
}

} // namespace

void TPopupMenuKivDBMemo::updateItems() {
    TPopupMenuKivDBControls::updateItems();
    QWidget* w = Control();
    if (!w) return;
    Copy->setEnabled(hasSelection(w));
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    Paste->setEnabled(fieldCanModify(w) && clip && clip->hasText());
    SelectAll->setEnabled(w->hasFocus());
}

// ---------------------------------------------------------------- rich edit

TPopupMenuKivDBRichEdit& TPopupMenuKivDBRichEdit::Instance() {
    return shared<TPopupMenuKivDBRichEdit>();
}

void TPopupMenuKivDBRichEdit::build() {
    const auto rich = [this] { return qobject_cast<TRichEdit*>(target()); };
    const auto beginEditing = [](TRichEdit* edit) {
        if (auto* db = qobject_cast<TKivDBRichEdit*>(edit)) db->BeginEditing();
    };
    Font = item(QStringLiteral("Font"), [rich, beginEditing] {
        TRichEdit* edit = rich();
        if (!edit) return;
        TTextAttributes& a = edit->SelAttributes();
        QFont font(a.Name(), a.Size());
        font.setBold(a.Style() & fsBold);
        font.setItalic(a.Style() & fsItalic);
        font.setUnderline(a.Style() & fsUnderline);
        font.setStrikeOut(a.Style() & fsStrikeOut);
        if (!UIServices::instance().chooseFont(font)) return;
        beginEditing(edit);
        a.setName(font.family());
        a.setSize(font.pointSize());
        TFontStyles style;
        if (font.bold()) style |= fsBold;
        if (font.italic()) style |= fsItalic;
        if (font.underline()) style |= fsUnderline;
        if (font.strikeOut()) style |= fsStrikeOut;
        a.setStyle(style);
    });
    BasicFont = item(QStringLiteral("Basic font"), [rich, beginEditing] {
        TRichEdit* edit = rich();
        if (!edit) return;
        beginEditing(edit);
        edit->SelAttributes().setName(edit->font().family());
        edit->SelAttributes().setSize(edit->font().pointSize());
    });
    Paragraph = item(QStringLiteral("Paragraph"), [rich] {
        if (TRichEdit* edit = rich()) TDialParagraph(edit).Execute(*edit);
    });
    addSeparator();
    SearchReplace = item(
        QStringLiteral("Search / replace"),
        [this, rich] {
            TRichEdit* edit = rich();
            if (!edit) return;
            if (!KivSearchWindow()) new TRichEditSearch(edit->window());
            KivSearchWindow()->Execute(DataSet() && DataSet()->CanModify(), *edit);
        },
        QKeySequence(Qt::CTRL | Qt::Key_F));
    SearchNext = item(
        QStringLiteral("Search/replace next"),
        [rich] {
            if (TRichEdit* edit = rich(); edit && KivSearchWindow())
                KivSearchWindow()->Again(*edit);
        },
        QKeySequence(Qt::CTRL | Qt::Key_L));
    addSeparator();
    PrintText = item(QStringLiteral("Print"), [this, rich] {
        TRichEdit* edit = rich();
        if (!edit) return;
        QPrinter printer;
        const TField* name = DataSet() ? DataSet()->FindField(QStringLiteral("Name")) : nullptr;
        if (name) printer.setDocName(name->AsString());
        QPrintDialog dialog(&printer, edit);
        if (dialog.exec() == QDialog::Accepted) edit->document()->print(&printer);
    });
    addSeparator();
    TPopupMenuKivDBMemo::build();
}

void TPopupMenuKivDBRichEdit::updateItems() {
    TPopupMenuKivDBMemo::updateItems();
    TDataSet* ds = DataSet();
    const bool font = qobject_cast<TKivDBRichEdit*>(Control()) != nullptr || (ds && editing(ds));
    Font->setEnabled(font);
    BasicFont->setEnabled(font);
    Paragraph->setEnabled(font);
    SearchReplace->setEnabled(true);
    SearchNext->setEnabled(KivSearchWindow() &&
                           !KivSearchWindow()->ComboBoxFind->currentText().isEmpty());
    PrintText->setEnabled(true);
}

void KivUseContextMenu(QWidget* control, TPopupMenuKivDBControls& menu) {
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        control, &QWidget::customContextMenuRequested, control,
        [control, &menu](const QPoint& pos) { menu.PopupFor(control, control->mapToGlobal(pos)); });
    for (QAction* a : menu.actions())
        if (!a->isSeparator() && !a->shortcut().isEmpty()) control->addAction(a);
}
