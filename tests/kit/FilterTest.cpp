#include "Filter.h"
#include "FilterClauses.h"
#include "KitFolder.h"
#include "KivDB.h"
#include "KivLook.h"
#include "LookupField.h"
#include "RecordingUI.h"
#include "TMemTable.h"

#include <QApplication>
#include <QTimer>

class FilterFormTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = topicsOn(source, false);
        topics->setCaption("Topics");
        engine.setObjectName("EHMain");
        engine.setDataSource(&source);
        topics->Open();
    }
    void addFilter(const QString& name, const QList<TConditionItem>& clauses) {
        engine.AddFilter();
        engine.CurrentFilter()->Name = name;
        engine.CurrentFilter()->Conditions = clauses;
    }
    QString text(int row, int column) const {
        const auto& r = *form.Rows()[size_t(row)];
        switch (column) {
        case 0:
            return r.Number->text();
        case 1:
            return r.Field->currentText();
        case 2:
            return r.Operation->currentText();
        default:
            return r.Value ? r.Value->property("text").toString() : QString();
        }
    }

    RecordingUI::Scope ui;
    TDataSource source;
    TKivFilter engine;
    TKivTable* topics = nullptr;
    TFormFilter form;
};

TEST_F(FilterFormTest, ShowsTheCurrentFilterAndItsPlaceInTheList) {
    addFilter("First", {});
    addFilter("Second", {clause("NAME", "~", "intro"), clause("ID", ">=", 20)});
    addFilter("Third", {});
    engine.SelectFilter(1);
    form.setFilter(&engine);
    EXPECT_EQ(form.windowTitle(), "Edit filters");
    EXPECT_EQ(form.LNumberFilter->text(), "2/3");
    EXPECT_EQ(form.EditFilterName->text(), "Second");
    EXPECT_TRUE(form.SBPred->isEnabled() && form.SBNext->isEnabled() && form.SBDelete->isEnabled());
    ASSERT_EQ(form.Rows().size(), 2u);
    EXPECT_EQ(QStringList({text(0, 0), text(0, 1), text(0, 2), text(0, 3)}),
              QStringList({"1", "NAME", "~", "intro"}));
    EXPECT_EQ(QStringList({text(1, 0), text(1, 1), text(1, 2), text(1, 3)}),
              QStringList({"2", "ID", ">=", "20"}));
    EXPECT_TRUE(form.CheckBoxAutoTotal->isChecked());
    EXPECT_FALSE(form.LinkEdits[0]->isEnabled());

    form.SBNext->click();
    EXPECT_EQ(form.LNumberFilter->text(), "3/3");
    EXPECT_FALSE(form.SBNext->isEnabled());
    EXPECT_TRUE(form.Rows().empty());
    EXPECT_FALSE(form.SBDeleteCond->isEnabled());

    engine.setOneFilter(true);
    form.ShowCurrent();
    EXPECT_EQ(form.LNumberFilter->text(), "");
    EXPECT_FALSE(form.SBAdd->isEnabled());
    EXPECT_FALSE(form.SBDelete->isEnabled());

    engine.Filters().clear();
    engine.SelectFilter(0);
    form.ShowCurrent();
    EXPECT_FALSE(form.EditFilterName->isEnabled());
    EXPECT_EQ(form.EditFilterName->text(), "");
    EXPECT_FALSE(form.CheckBoxAutoTotal->isEnabled());
    EXPECT_FALSE(form.SBAddCond->isEnabled());
}

TEST_F(FilterFormTest, RowsEditTheClausesInPlace) {
    addFilter("F", {});
    form.setFilter(&engine);
    form.SBAddCond->click();
    ASSERT_EQ(form.Rows().size(), 1u);
    EXPECT_EQ(form.Rows()[0]->Field->count(), 3); // ID, NAME, TEXT
    form.ChooseField(0, "NAME");
    TConditionItem& c = engine.CurrentFilter()->Conditions[0];
    EXPECT_EQ(c.FieldName, "NAME");
    EXPECT_EQ(form.Rows()[0]->Operation->count(), 7); // with "~"
    auto* value = qobject_cast<QLineEdit*>(form.Rows()[0]->Value);
    ASSERT_NE(value, nullptr);
    value->setText("Menus");
    emit value->textEdited("Menus");
    form.ChooseOperation(0, "<>");
    EXPECT_EQ(c.Operation, "<>");
    EXPECT_EQ(c.Value, "Menus");
    form.ChooseOperation(0, "?");
    EXPECT_EQ(c.Operation, "<>");

    form.SBAddCond->click();
    form.ChooseField(1, "ID");
    auto* id = qobject_cast<QLineEdit*>(form.Rows()[1]->Value);
    id->setText("12");
    emit id->textEdited("12");
    EXPECT_EQ(engine.CurrentFilter()->Conditions[1].Value.toDouble(), 12.0);
    id->setText("");
    emit id->textEdited("");
    EXPECT_TRUE(engine.CurrentFilter()->Conditions[1].Value.isNull());

    // The second of three goes: the third becomes number 2.
    form.SBAddCond->click();
    form.ChooseField(2, "TEXT");
    form.DeleteConditionOf(form.Rows()[1]->Operation);
    ASSERT_EQ(form.Rows().size(), 2u);
    EXPECT_EQ(form.Rows()[1]->Number->text(), "2");
    EXPECT_EQ(engine.CurrentFilter()->Conditions[1].FieldName, "TEXT");

    // Without the extract query "~" is not offered.
    engine.setFilterSetAs(fsFilter);
    form.ShowCurrent();
    EXPECT_EQ(form.Rows()[0]->Operation->count(), 6);
}

TEST_F(FilterFormTest, ListAndLookupFieldsGetTheirOwnValueEditors) {
    TMemTable units;
    units.addFieldDef("CODE", TFieldType::ftString, 5);
    units.Open();
    TMemTable table;
    addField<TKivListField>(table, "State")->setValues({"", "Write", "Test"});
    addField<TStringField>(table, "CODE");
    auto* unit = lookupField(&table, "UNIT", &units, "CODE", "CODE", "CODE");
    unit->setOptions(unit->Options() | foOnlyEqualinFilter);
    unit->setDataSet(&table);
    table.addFieldDef("State", TFieldType::ftSmallint);
    table.addFieldDef("CODE", TFieldType::ftString, 5);
    table.Open();
    TDataSource tableSource;
    tableSource.setDataSet(&table);
    engine.setDataSource(&tableSource);
    addFilter("F", {clause("State", "=", 2)});
    form.setFilter(&engine);

    auto* combo = qobject_cast<QComboBox*>(form.Rows()[0]->Value);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "Test");
    combo->setCurrentIndex(0); // the empty state
    emit combo->activated(0);
    EXPECT_TRUE(engine.CurrentFilter()->Conditions[0].Value.isNull());

    form.SBAddCond->click();
    form.ChooseField(1, "UNIT");
    const TConditionItem& c = engine.CurrentFilter()->Conditions[1];
    EXPECT_EQ(c.FieldName, "CODE");
    EXPECT_EQ(c.DisplayFieldName, "UNIT");
    EXPECT_EQ(form.Rows()[1]->Operation->count(), 2); // "=" and "<>" only
    EXPECT_TRUE(qobject_cast<TKivCustomDBLookupCombo*>(form.Rows()[1]->Value));
}

TEST_F(FilterFormTest, DetailDatasetsGetLinkLinesAndMissingOnesAreReported) {
    sql("create table \"links.dbf\" (TOPIC numeric(8), WORD char(20))");
    TKivTable* links = table("links.dbf");
    links->setCaption("Links");
    links->Open();
    engine.setSubDataSets({links});
    addFilter("F", {clause("WORD", "=", "red", "links.dbf"), clause("X", "=", 1, "gone.dbf")});
    form.setFilter(&engine);
    ASSERT_EQ(form.LinkEdits.size(), 2);
    ASSERT_EQ(form.ForAllBoxes.size(), 1);
    EXPECT_EQ(form.LinkLabels[1]->text(), "Links");
    EXPECT_EQ(form.LabelSubTotalHint->text(), " Symbol ' | ' - separator of groups of clauses");
    EXPECT_EQ(form.Rows()[0]->DataSet->currentText(), "Links");
    EXPECT_EQ(ui->messages,
              QStringList({"Component EHMain\nDetail table gone.dbf is absent in SubDataSets"}));
    EXPECT_EQ(engine.CurrentFilter()->Conditions[1].DataSetName, "");

    form.CheckBoxAutoTotal->click();
    EXPECT_TRUE(form.LinkEdits[1]->isEnabled());
    form.LinkEdits[1]->setText("#1 | #1");
    form.ForAllBoxes[0]->click();
    const TFilterItem& f = *engine.CurrentFilter();
    EXPECT_FALSE(f.AndForAll);
    const TDataSetItem& item = engine.CurrentFilter()->DataSetItem("links.dbf");
    EXPECT_EQ(item.LinkText, "#1 | #1");
    EXPECT_TRUE(item.ForAll);

    // Choosing the main dataset starts the clause over.
    form.ChooseDataSet(0, 0);
    EXPECT_EQ(engine.CurrentFilter()->Conditions[0].DataSetName, "");
    EXPECT_EQ(engine.CurrentFilter()->Conditions[0].FieldName, "");
    EXPECT_EQ(form.Rows()[0]->Value, nullptr);
}

TEST_F(FilterFormTest, TheWindowsButtonsStoreAndApplyOrReload) {
    int saves = 0, loads = 0;
    TKivFilter::SaveFiltersHook() = [&](TKivFilter*) { ++saves; };
    TKivFilter::LoadFiltersHook() = [&](TKivFilter*) { ++loads; };
    engine.setFilterSetAs(fsFilter);
    addFilter("F", {clause("ID", ">", 20)});
    QTimer::singleShot(0, [] {
        auto* f = qobject_cast<TFormFilter*>(QApplication::activeModalWidget());
        ASSERT_NE(f, nullptr);
        f->EditFilterName->setText("Above 20");
        f->BitBtnSet->click();
    });
    engine.EditFilters();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(engine.CurrentFilter()->Name, "Above 20");
    EXPECT_TRUE(engine.FilterIsSet());
    EXPECT_EQ(ids(*topics), QList<int>({30, 40}));

    QTimer::singleShot(0, [] {
        qobject_cast<TFormFilter*>(QApplication::activeModalWidget())->BitBtnNone->click();
    });
    engine.EditFilters();
    EXPECT_EQ(saves, 2);
    EXPECT_FALSE(engine.FilterIsSet());

    QTimer::singleShot(0, [] {
        qobject_cast<TFormFilter*>(QApplication::activeModalWidget())->BitBtnCancel->click();
    });
    engine.EditFilters();
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(loads, 1);
    TKivFilter::SaveFiltersHook() = nullptr;
    TKivFilter::LoadFiltersHook() = nullptr;
}
