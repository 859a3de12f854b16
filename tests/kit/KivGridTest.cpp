#include "KivGrid.h"
#include "KitFolder.h"
#include "KivContr.h"
#include "KivDB.h"
#include "KivFormDB.h"
#include "LookupField.h"
#include "RecordingUI.h"
#include "StateField.h"
#include "TMemTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QToolTip>

#include <numeric>

namespace {

// Topics with a number, a title, a work state and a text; the grid on them.
class Topics : public ::testing::Test {
protected:
    void SetUp() override {
        id = addField<TIntegerField>(table, "ID");
        name = addField<TStringField>(table, "NAME");
        name->setSize(40);
        name->setDisplayLabel("Title");
        text = addField<TMemoField>(table, "TEXT");
        text->setVisible(false);
        auto* secret = addField<TIntegerField>(table, "SECRET"); // a tag ending in 8: never offered
        secret->setVisible(false);
        secret->setTag(18);
        state = addStateField(table);
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        for (const auto& [n, title, s] :
             {std::tuple{10, "Intro", 0}, {20, "About", 2}, {30, "Menus", 1}, {40, "Install", 3}}) {
            table.Append();
            id->setAsInteger(n);
            name->setAsString(title);
            state->setAsInteger(s);
            table.Post();
        }
        table.First();
        source.setDataSet(&table);
        grid = new TKivDbGrid(&form);
        grid->setDataSource(&source);
        grid->resize(480, 280);
        form.resize(500, 300);
        form.show();
    }
    QString cell(int row, int column) const {
        return grid->model()->data(grid->model()->index(row, column)).toString();
    }
    QStringList titles() const {
        QStringList texts;
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            texts << cell(row, NameCol);
        return texts;
    }

    RecordingUI::Scope ui;
    TMemTable table;
    TDataSource source;
    TIntegerField* id = nullptr;
    TStringField* name = nullptr;
    TMemoField* text = nullptr;
    TKivListField* state = nullptr;
    QWidget form;
    TKivDbGrid* grid = nullptr;
    static constexpr int NameCol = 1, StateCol = 2;
};

// A source of any number of rows that counts the values read from it.
class ManyRows : public TDataSet {
public:
    explicit ManyRows(int count) : count_(count) {}
    mutable int reads = 0;

protected:
    void InternalOpen() override {
        setFieldDefs({{"ID", TFieldType::ftInteger}, {"NAME", TFieldType::ftString, 20}});
    }
    std::vector<int> sourceRows() override {
        std::vector<int> rows(size_t(count_), 0);
        std::iota(rows.begin(), rows.end(), 0);
        return rows;
    }
    QVariant sourceValue(int row, int fieldNo) const override {
        ++reads;
        return fieldNo == 0 ? QVariant(row + 1) : QVariant(QStringLiteral("Row %1").arg(row + 1));
    }

private:
    int count_;
};

} // namespace

TEST_F(Topics, ColumnsAreTheVisibleFieldsAndTheCurrentCellFollowsTheRecord) {
    ASSERT_EQ(grid->ColumnCount(), 3); // the memo is hidden
    EXPECT_EQ(grid->model()->headerData(NameCol, Qt::Horizontal).toString(), "Title");
    EXPECT_EQ(grid->Column(StateCol).Field, state);
    EXPECT_EQ(grid->verticalHeader()->width(), TDBGrid::IndicatorWidth);
    EXPECT_EQ(cell(1, StateCol), "Test");
    const int zero = grid->fontMetrics().horizontalAdvance('0');
    EXPECT_EQ(grid->columnWidth(NameCol), 40 * zero + 4);

    ASSERT_TRUE(table.Locate("ID", 30));
    EXPECT_EQ(grid->currentIndex().row(), 2);
    grid->setCurrentIndex(grid->model()->index(3, NameCol));
    EXPECT_EQ(id->AsInteger(), 40);
    EXPECT_EQ(grid->SelectedField(), name);

    // A refused post keeps the record and the cell where they are.
    table.BeforePost = [](TDataSet*) { throw EDatabaseError("Title needed"); };
    table.Edit();
    name->setAsString("Setup");
    grid->setCurrentIndex(grid->model()->index(0, NameCol));
    EXPECT_EQ(ui->errors, QStringList({"Title needed"}));
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    table.Cancel();

    // Field changes reach the columns.
    name->setVisible(false);
    EXPECT_EQ(grid->ColumnCount(), 2);
    state->setIndex(0);
    EXPECT_EQ(grid->Column(0).Field, state);
}

TEST_F(Topics, ARecordBeingInsertedShowsBetweenTheStoredOnes) {
    table.Next();
    table.Insert();
    EXPECT_EQ(grid->CurrentRow(), 1);
    EXPECT_EQ(titles(), QStringList({"Intro", "", "About", "Menus", "Install"}));
    table.Cancel();
    EXPECT_EQ(titles(), QStringList({"Intro", "About", "Menus", "Install"}));
}

TEST(DBGridRows, OnlyTheRowsOnScreenAreRead) {
    ManyRows rows(100000);
    TDataSource source;
    source.setDataSet(&rows);
    rows.Open();
    TDBGrid grid;
    grid.resize(400, 300);
    grid.setDataSource(&source);
    grid.show();
    (void)grid.grab();
    EXPECT_EQ(grid.model()->rowCount(), 100000);
    EXPECT_LT(rows.reads, 2000);

    rows.reads = 0;
    rows.Last();
    (void)grid.grab();
    EXPECT_EQ(grid.currentIndex().row(), 99999);
    EXPECT_EQ(grid.model()->data(grid.model()->index(99998, 1)).toString(), "Row 99999");
    EXPECT_LT(rows.reads, 2000);
}

TEST_F(Topics, TypedTextIsWrittenThroughTheField) {
    grid->setSelectedIndex(NameCol);
    grid->ShowEditor();
    QLineEdit* editor = grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Intro");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    press(editor, Qt::Key_End);
    press(editor, Qt::Key_X, Qt::NoModifier, "x");
    press(editor, Qt::Key_Return); // writes and moves on
    QCoreApplication::processEvents();
    EXPECT_EQ(name->AsString(), "Introx");
    EXPECT_EQ(grid->SelectedIndex(), StateCol);

    // Storing the record takes what is still in an open editor.
    grid->setSelectedIndex(NameCol);
    grid->ShowEditor();
    press(grid->InplaceEditor(), Qt::Key_End);
    press(grid->InplaceEditor(), Qt::Key_Y, Qt::NoModifier, "y");
    table.Post();
    table.First();
    EXPECT_EQ(name->AsString(), "Introxy");

    // A value the field refuses is shown and not stored.
    grid->setSelectedIndex(0);
    grid->ShowEditor();
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    press(grid->InplaceEditor(), Qt::Key_A, Qt::NoModifier, "a");
    press(grid->InplaceEditor(), Qt::Key_Return);
    ASSERT_EQ(ui->errors.size(), 1);
    EXPECT_EQ(id->AsInteger(), 10);

    // A read-only grid opens no editor.
    table.Cancel();
    grid->setReadOnly(true);
    grid->setSelectedIndex(NameCol);
    grid->ShowEditor();
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
}

TEST_F(Topics, CellsTakeTheOwnersColourAndFontButTheSelectedCellIsHighlighted) {
    const QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    QList<QString> asked;
    grid->OnSetColor = [&](QObject* sender, TField* f, QColor& c) {
        EXPECT_EQ(sender, grid);
        asked << f->FieldName();
        if (f->FieldName() == "State" && f->AsInteger() == 2) c = tip;
    };
    grid->OnSetFont = [](QObject*, TField* f, QFont& font) {
        font.setBold(f->FieldName() == "State");
    };
    grid->setColor(Qt::lightGray);
    EXPECT_EQ(grid->CellStyle(1, StateCol).background, tip);
    EXPECT_EQ(grid->CellStyle(1, NameCol).background, QColor(Qt::lightGray));
    EXPECT_EQ(grid->CellStyle(3, StateCol).background, QColor(Qt::lightGray));
    EXPECT_TRUE(grid->CellStyle(1, StateCol).font.bold());
    EXPECT_FALSE(grid->CellStyle(1, NameCol).font.bold());
    EXPECT_EQ(grid->CellStyle(1, StateCol).text, "Test");

    // Whatever the owner says, the current cell is drawn highlighted.
    grid->OnSetColor = [](QObject*, TField*, QColor& c) { c = Qt::red; };
    table.Next();
    grid->setSelectedIndex(StateCol);
    const TGridCellStyle selected = grid->CellStyle(1, StateCol);
    EXPECT_TRUE(selected.selected);
    EXPECT_EQ(selected.background, grid->palette().color(QPalette::Highlight));
    EXPECT_EQ(grid->CellStyle(1, NameCol).background, QColor(Qt::red));
}

TEST_F(Topics, DigitsSetAListFieldAndTheOwnerSeesKeysFirst) {
    grid->setSelectedIndex(StateCol);
    EXPECT_EQ(grid->SelectedEditorKind(), TKivDbGrid::TEditorKind::List);
    press(grid, Qt::Key_3, Qt::NoModifier, "3");
    EXPECT_EQ(state->AsString(), "Ready");
    EXPECT_EQ(table.State(), TDataSetState::dsEdit);
    press(grid, Qt::Key_5, Qt::NoModifier, "5"); // above the last state: a beep
    EXPECT_EQ(state->AsInteger(), 3);
    press(grid, Qt::Key_0, Qt::NoModifier, "0");
    EXPECT_TRUE(state->IsNull());
    table.Cancel();

    QList<int> seen;
    grid->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        seen << key;
        if (key == Qt::Key_1) key = 0;
    };
    press(grid, Qt::Key_1, Qt::NoModifier, "1");
    EXPECT_EQ(seen, QList<int>({Qt::Key_1}));
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);

    // Ctrl+Z is swallowed: it opens no editor.
    grid->setSelectedIndex(NameCol);
    press(grid, Qt::Key_Z, Qt::ControlModifier, QString(QChar(26)));
    EXPECT_FALSE(grid->EditorMode());

    // A read-only grid changes nothing.
    grid->setReadOnly(true);
    grid->setSelectedIndex(StateCol);
    press(grid, Qt::Key_2, Qt::NoModifier, "2");
    EXPECT_EQ(state->AsInteger(), 0);
    EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
}

TEST_F(Topics, TabStopsSkipWhatCannotBeTypedIntoEnterMovesOnAndCtrlEnterOpensTheListCombo) {
    EXPECT_TRUE(grid->IsTabStop(NameCol));
    name->setReadOnly(true);
    EXPECT_FALSE(grid->IsTabStop(NameCol));
    EXPECT_FALSE(grid->IsTabStop(3));
    name->setReadOnly(false);
    grid->Column(NameCol).ReadOnly = true;
    EXPECT_FALSE(grid->IsTabStop(NameCol));
    grid->setSelectedIndex(0);
    press(grid, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->SelectedIndex(), StateCol);
    press(grid, Qt::Key_Return); // on to the next record
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->SelectedIndex(), 0);
    EXPECT_EQ(id->AsInteger(), 20);
    table.Last();
    grid->setSelectedIndex(StateCol);
    press(grid, Qt::Key_Tab); // the last cell stays
    QCoreApplication::processEvents();
    EXPECT_EQ(id->AsInteger(), 40);
    EXPECT_EQ(grid->SelectedIndex(), StateCol);

    press(grid, Qt::Key_Return, Qt::ControlModifier);
    TKivDBCombo* combo = grid->ListCombo();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isVisible());
    EXPECT_TRUE(combo->view()->isVisible());
    EXPECT_EQ(combo->currentText(), "Ready");
    combo->hidePopup();
    emit combo->activated(1);
    EXPECT_EQ(state->AsString(), "Write");
    EXPECT_FALSE(combo->isVisible()); // the record changed under it

    source.setDataSet(nullptr);
    EXPECT_EQ(grid->ColumnCount(), 0);
    EXPECT_EQ(grid->model()->rowCount(), 0);
}

TEST(KivTitle, LinesBreakAtBlanksAndTheLastShowsWhatIsLeftOver) {
    const QFontMetrics fm(QApplication::font());
    const int width = fm.horizontalAdvance("Browse seq");
    EXPECT_EQ(KivTitleLines("Browse sequence", width, fm, 3), QStringList({"Browse", "sequence"}));
    const QStringList two = KivTitleLines("Browse sequence of topics", width, fm, 2);
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0], "Browse");
    EXPECT_TRUE(two[1].endsWith("..."));
    EXPECT_LE(fm.horizontalAdvance(two[1]), width);
    // A word longer than the line is cut where it no longer fits.
    const QStringList cut = KivTitleLines("Contextnumber", fm.horizontalAdvance("Context"), fm, 2);
    EXPECT_EQ(cut.first(), "Context");
}

TEST_F(Topics, TitlesWrapOverTitleRowsWithTheirAlignment) {
    name->setDisplayLabel("Title of the topic as shown");
    grid->horizontalHeader()->resizeSection(NameCol,
                                            grid->fontMetrics().horizontalAdvance("Title of") + 6);
    EXPECT_EQ(grid->TitleLines(NameCol).size(), 1);
    grid->setTitleRows(2);
    const QStringList lines = grid->TitleLines(NameCol);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith("..."));
    EXPECT_EQ(grid->TitleLines(0), QStringList({"ID"}));
    EXPECT_EQ(grid->TitleRowHeight(), (grid->DefaultRowHeight() - 3) * 2 + 4);
    EXPECT_EQ(grid->horizontalHeader()->height(), grid->TitleRowHeight());

    grid->setTitleAlignment(TAlignment::taCenter);
    grid->Column(0).TitleAlignment = TAlignment::taRightJustify;
    EXPECT_EQ(grid->TitleAlignmentOf(0), TAlignment::taRightJustify);
    EXPECT_EQ(grid->TitleAlignmentOf(NameCol), TAlignment::taCenter);
}

namespace {

// Totals supplied by a subclass.
class CountingGrid : public TKivDbGrid {
protected:
    bool GetTotalText(int column, QString& text) override {
        if (column != 0) return false;
        text = QStringLiteral("%1 rows").arg(DataSet()->RecordCount());
        return true;
    }
};

} // namespace

TEST_F(Topics, TheTotalsLineTakesARowUnderTheRows) {
    auto* counting = new CountingGrid;
    counting->setParent(&form);
    counting->setDataSource(&source);
    counting->resize(400, 200);
    counting->show();
    const int before = counting->viewport()->height();
    counting->setTotal(true);
    EXPECT_EQ(before - counting->viewport()->height(), counting->DefaultRowHeight() + 1);
    EXPECT_EQ(counting->TotalText(0), "4 rows");
    EXPECT_EQ(counting->TotalText(NameCol), "");
    (void)counting->grab();

    // Once a totals list exists its texts are the ones shown.
    counting->ListTotal().setTotal("name", "4 topics");
    EXPECT_EQ(counting->TotalText(NameCol), "4 topics");
    EXPECT_EQ(counting->TotalText(0), "");
    counting->setTotal(false);
    EXPECT_EQ(counting->viewport()->height(), before);
}

TEST_F(Topics, FieldsVisibilityDialogListsAndReordersTheFields) {
    const auto dlg = grid->CreateFieldsDialog();
    EXPECT_EQ(dlg->windowTitle(), "Fields visibility");
    EXPECT_EQ(dlg->SrcTitle(), "Visible fields");
    EXPECT_EQ(dlg->DstTitle(), "Invisible fields");
    ASSERT_EQ(dlg->SrcList->count(), 3); // no memo, no tag ending in 8
    EXPECT_EQ(dlg->SrcList->item(1)->text(), "Title");
    EXPECT_EQ(dlg->DstList->count(), 0);

    dlg->SrcList->item(1)->setSelected(true);
    TKivDualListDlg::MoveSelected(dlg->SrcList, dlg->DstList);
    QListWidgetItem* last = dlg->SrcList->takeItem(1); // State before ID
    dlg->SrcList->insertItem(0, last);
    dlg->ApplyFields(&table);
    EXPECT_FALSE(name->Visible());
    EXPECT_EQ(state->Index(), 0);
    EXPECT_EQ(id->Index(), 1);
    EXPECT_EQ(name->Index(), 2);
    ASSERT_EQ(grid->ColumnCount(), 2);
    EXPECT_EQ(grid->Column(0).Field, state);

    TKivDualListDlg::MoveAll(dlg->DstList, dlg->SrcList);
    dlg->ApplyFields(&table);
    EXPECT_EQ(grid->ColumnCount(), 3);
}

// A grid column that looks topics up by number in a kit table.
class LookupColumn : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = table();
        topics->Open();
        code = addField<TIntegerField>(links, "CODE");
        look = lookupField(&links, "TOPIC", topics, "CODE", "ID", "NAME");
        look->LookupAddFields = "ID";
        look->setDataSet(&links);
        links.addFieldDefsFrom({code});
        links.Open();
        links.Append();
        code->setAsInteger(10);
        links.Post();
        source.setDataSet(&links);
        grid.setDataSource(&source);
        grid.setSelectedIndex(1);
    }
    RecordingUI::Scope ui;
    TKivTable* topics = nullptr;
    TMemTable links;
    TIntegerField* code = nullptr;
    TKivLookField* look = nullptr;
    TDataSource source;
    TKivDbGrid grid;
};

TEST_F(LookupColumn, AltF1OpensTheLookupsWindowAndStoresTheChosenKey) {
    EXPECT_EQ(grid.SelectedEditorKind(), TKivDbGrid::TEditorKind::Lookup);
    EXPECT_TRUE(grid.IsTabStop(1));
    int tagDuring = -1;
    bool choose = true;
    topics->OnEditData = [&](QObject* sender, TTypeShow show, TFieldReturn* ret) {
        EXPECT_EQ(sender, &grid);
        EXPECT_EQ(show, 2);
        EXPECT_EQ(ret->FieldName(), "ID");
        tagDuring = links.Tag();
        ret->setValue(40);
        KivValueReturned() = choose;
    };
    press(&grid, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(tagDuring, 0); // not mid-edit
    EXPECT_EQ(code->AsInteger(), 40);
    EXPECT_EQ(links.State(), TDataSetState::dsEdit);
    EXPECT_EQ(look->Value(), "Install");

    // Mid-edit the dataset is marked for the window; nothing chosen, nothing stored.
    choose = false;
    code->setAsInteger(20);
    press(&grid, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(tagDuring, 80);
    EXPECT_EQ(links.Tag(), 0);
    EXPECT_EQ(code->AsInteger(), 20);

    // Ctrl+Z walks the result fields.
    press(&grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(look->ListFieldIndex(), 1);
    press(&grid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(look->ListFieldIndex(), 0);

    // A read-only key or grid takes no chosen value.
    links.Post();
    choose = true;
    grid.setReadOnly(true);
    press(&grid, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(code->AsInteger(), 20);
    code->setReadOnly(true);
    EXPECT_FALSE(grid.IsTabStop(1));
}

TEST_F(LookupColumn, CtrlEnterOpensALookupComboOverTheCellThatStoresTheKey) {
    grid.resize(400, 200);
    press(&grid, Qt::Key_Return, Qt::ControlModifier);
    TKivInplaceLookupCombo* combo = grid.LookupCombo();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isVisibleTo(&grid));
    EXPECT_EQ(combo->KeyValue(), 10);
    EXPECT_EQ(combo->currentText(), "intro");
    combo->hidePopup();
    combo->ChooseKey(30);
    EXPECT_EQ(code->AsInteger(), 30);
    EXPECT_EQ(look->Value(), "Menus");
    // Esc goes back to the grid.
    press(combo, Qt::Key_Escape);
    EXPECT_FALSE(combo->isVisibleTo(&grid));
}
