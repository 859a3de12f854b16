#include "KivEditors.h"
#include "AddField.h"
#include "KivContr.h"
#include "KivDB.h"
#include "KivLook.h"
#include "LookupField.h"
#include "TMemTable.h"

#include <QDateEdit>
#include <gtest/gtest.h>

// One field of each kind on an open table, and the control each gets.
class KivEditorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        lookup.addFieldDef("CODE", TFieldType::ftString, 5);
        lookup.addFieldDef("NAME", TFieldType::ftString, 20);
        lookup.Open();
        addField<TStringField>(table, "NAME")->setDisplayWidth(10);
        addField<TMemoField>(table, "MEMO");
        addField<TDateField>(table, "DAY");
        addField<TKivListField>(table, "STATE")->setValues({"", "Write"});
        addField<TStringField>(table, "CODE");
        addField<TStringField>(table, "FIXED")->setReadOnly(true);
        lookupField(&table, "UNIT", &lookup, "CODE", "CODE", "NAME")->setDataSet(&table);
        addField<TStringField>(table, "CALC", TFieldKind::fkCalculated);
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        source.setDataSet(&table);
    }
    QWidget* dbEditor(const char* field, int charWidth = 7) {
        return KivCreateDBEditor(&form, table.FieldByName(field), &source, charWidth);
    }
    TMemTable lookup, table;
    TDataSource source;
    QWidget form;
};

TEST_F(KivEditorsTest, EachKindOfFieldGetsItsDataAwareControl) {
    QWidget* name = dbEditor("NAME", 0);
    ASSERT_TRUE(qobject_cast<TKivDBEdit*>(name));
    EXPECT_EQ(name->width(), 72); // (10 + 2) x 6
    EXPECT_EQ(name->property("DataField").toString(), "NAME");
    EXPECT_EQ(name->property("DataSource").value<TDataSource*>(), &source);
    EXPECT_FALSE(name->isVisibleTo(&form));

    // Combos and memos take their field from the caller once laid out.
    QWidget* state = dbEditor("STATE");
    ASSERT_TRUE(qobject_cast<TKivDBCombo*>(state));
    EXPECT_EQ(state->property("DataField").toString(), "");
    EXPECT_TRUE(qobject_cast<TDBMemo*>(dbEditor("MEMO")));
    EXPECT_TRUE(qobject_cast<TKivDBEdit*>(dbEditor("DAY")));
    EXPECT_TRUE(qobject_cast<TKivDBText*>(dbEditor("FIXED")));
    EXPECT_TRUE(qobject_cast<TKivDBText*>(dbEditor("CALC")));
    auto* unit = qobject_cast<TKivDBLookupCombo*>(dbEditor("UNIT"));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->ListField(), "NAME");
    // With its lookup closed a lookup field only shows its value.
    lookup.Close();
    auto* shown = qobject_cast<TKivDBText*>(dbEditor("UNIT"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->LookField(), "NAME");
}

TEST_F(KivEditorsTest, PlainEditorsAndHooks) {
    EXPECT_TRUE(qobject_cast<QDateEdit*>(KivCreateEditor(&form, table.FieldByName("DAY"), 7)));
    auto* state = qobject_cast<QComboBox*>(KivCreateEditor(&form, table.FieldByName("STATE"), 7));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->count(), 2);
    EXPECT_TRUE(qobject_cast<TKivCustomDBLookupCombo*>(
        KivCreateEditor(&form, table.FieldByName("UNIT"), 7)));
    EXPECT_TRUE(qobject_cast<QLabel*>(KivCreateEditor(&form, table.FieldByName("CALC"), 7)));

    int made = 0;
    KivEditorFactoryHooks().Edit = [&](QWidget* owner) {
        ++made;
        return new QLineEdit(owner);
    };
    QWidget* w = KivCreateEditor(&form, table.FieldByName("NAME"), 7, 5);
    KivEditorFactoryHooks().Edit = nullptr;
    EXPECT_EQ(made, 1);
    EXPECT_EQ(w->parentWidget(), &form);
    EXPECT_EQ(w->width(), 12 * 7 + 5);
}
