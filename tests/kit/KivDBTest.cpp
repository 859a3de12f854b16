#include "KivDB.h"
#include "AddField.h"
#include "KivError.h"
#include "LookupField.h"
#include "RecordingUI.h"
#include "StateField.h"
#include "TDataSource.h"
#include "TMemTable.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A link that counts the layout changes its controls would redraw for.
class LayoutLink : public TDataLink {
public:
    int layouts = 0;

protected:
    void LayoutChanged() override { ++layouts; }
};

class StateField : public ::testing::Test {
protected:
    void SetUp() override {
        state = addStateField(table);
        state->setDisplayLabel("Work state");
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        table.Append();
    }
    TMemTable table;
    TKivListField* state = nullptr;
};

} // namespace

TEST_F(StateField, StoredNumbersReadAsTheirLinesAndAreWrittenAsTheListHasThem) {
    EXPECT_EQ(state->MinValue(), 0);
    EXPECT_EQ(state->MaxValue(), 3);
    EXPECT_EQ(state->Alignment(), TAlignment::taLeftJustify);
    state->setValue(2);
    EXPECT_EQ(state->AsString(), "Test");
    EXPECT_EQ(state->DisplayText(), "Test");
    EXPECT_EQ(state->AsInteger(), 2);
    state->setValue(7); // stored by another program
    EXPECT_EQ(state->AsString(), "");
    state->Clear();
    EXPECT_EQ(state->AsString(), "");

    // Texts and numbers are written as the list has them.
    state->setAsString("ready");
    EXPECT_EQ(state->Value(), 3);
    state->setAsString("");
    EXPECT_TRUE(state->IsNull());
    state->setAsInteger(1);
    EXPECT_EQ(state->AsString(), "Write");
    // Line 0 is empty: writing 0 stores null, as writing the empty text does.
    state->setAsInteger(0);
    EXPECT_TRUE(state->IsNull());

    state->setAsInteger(2);
    try {
        state->setAsString("Done");
        ADD_FAILURE() << "a text off the list was stored";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.message(), "Invalid value for field 'Work state'");
    }
    EXPECT_THROW(state->setAsInteger(5), EDatabaseError);
    EXPECT_THROW(state->setAsInteger(-1), EDatabaseError);
    EXPECT_EQ(state->AsString(), "Test");
}

TEST_F(StateField, NewTextsMoveTheLimitAndRedrawTheControls) {
    TDataSource source;
    source.setDataSet(&table);
    LayoutLink link;
    link.setDataSource(&source);
    state->setValues({"", "Write", "Test", "Ready", "Published", "Gone"});
    EXPECT_EQ(state->MaxValue(), 5);
    EXPECT_GE(link.layouts, 1);
    state->setAsInteger(5);
    EXPECT_EQ(state->AsString(), "Gone");

    // A copy of the field (a twin query's) keeps its texts and its limit.
    std::unique_ptr<TField> copy(state->clone(nullptr));
    auto* list = qobject_cast<TKivListField*>(copy.get());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Values().size(), 6);
    EXPECT_EQ(list->MaxValue(), 5);
}

namespace {

// Topics whose CODE is looked up in a table of units with a name and an owner.
class LookField : public ::testing::Test {
protected:
    void SetUp() override {
        units.setObjectName("units");
        units.addFieldDef("CODE", TFieldType::ftString, 5);
        units.addFieldDef("NAME", TFieldType::ftString, 20);
        units.addFieldDef("OWNER", TFieldType::ftString, 10);
        units.Open();
        for (const auto& [code, name, owner] :
             {std::tuple{"sys", "System", "rtl"}, {"cls", "Classes", "rtl"}}) {
            units.Append();
            units.FieldByName("CODE")->setAsString(code);
            units.FieldByName("NAME")->setAsString(name);
            units.FieldByName("OWNER")->setAsString(owner);
            units.Post();
        }
        topics.addFieldDef("CODE", TFieldType::ftString, 5);
        topics.addFieldDef("TITLE", TFieldType::ftString, 20);
        look = lookupField(&topics, "UNITNAME", &units, "CODE", "CODE", "NAME");
        look->LookupAddFields = "OWNER;name";
        look->setDisplayWidth(10);
    }
    // Adds every field of the table, then the lookup field, and opens.
    void open() {
        for (const char* name : {"CODE", "TITLE"})
            addField<TStringField>(topics, name);
        look->setDataSet(&topics);
        topics.Open();
    }
    void add(const QString& code) {
        topics.Append();
        topics.FieldByName("CODE")->setAsString(code);
        topics.Post();
    }
    RecordingUI::Scope ui;
    TMemTable units, topics;
    TKivLookField* look = nullptr;
};

} // namespace

TEST_F(LookField, BringsBackEveryResultOfTheRowAtOnce) {
    open();
    EXPECT_EQ(look->ResultFieldNames(), QStringList({"NAME", "OWNER"}));
    add("cls");
    EXPECT_EQ(look->Value(), "Classes");
    EXPECT_EQ(look->AsString(), "Classes");
    look->setLookupResultIndex(1);
    EXPECT_EQ(look->Value(), "rtl");
    look->setLookupResultIndex(-1);
    EXPECT_EQ(look->AsString(), "Classes rtl");
    look->setLookupResultIndex(0);
    EXPECT_EQ(look->DisplayText(), "Classes             "); // the result field's width
    look->setAsString("ignored");
    EXPECT_EQ(look->AsString(), "Classes");

    add("none"); // no such unit
    EXPECT_TRUE(look->IsNull());
    look->setOptions(look->Options() | foValueNotInLookup);
    EXPECT_FALSE(look->IsNull());       // the key is there, the row is not
    look->setLookupResultField("CODE"); // the key itself: the topic's own text shows
    EXPECT_EQ(look->AsString(), "none");
}

TEST_F(LookField, IncompleteLevelsAndOversizedResultsAreReported) {
    TMemTable regions;
    regions.addFieldDef("REGION", TFieldType::ftString, 10);
    look->setLookupLevels({{&regions, "", "REGION", ""}});
    EXPECT_THROW(open(), EDatabaseError);
    look->setLookupLevels({{&regions, "", "REGION", "REGION"}});
    topics.Open();
    EXPECT_TRUE(regions.Active());
    EXPECT_TRUE(ui->messages.isEmpty());
    topics.Close();

    units.Close();
    units.clearFieldDefs();
    units.addFieldDef("CODE", TFieldType::ftString, 5);
    units.addFieldDef("NAME", TFieldType::ftString, 9000);
    units.addFieldDef("OWNER", TFieldType::ftString, 10);
    topics.Open();
    EXPECT_EQ(ui->messages, QStringList({"Out Limit"}));
}

TEST_F(LookField, WithoutTheLookupKindItIsAPlainTextField) {
    look->setFieldKind(TFieldKind::fkData);
    topics.addFieldDef("UNITNAME", TFieldType::ftString, 20);
    open();
    topics.Append();
    look->setAsString("typed");
    EXPECT_EQ(look->Value(), "typed");
    EXPECT_EQ(look->AsString(), "typed");
    std::unique_ptr<TField> copy(look->clone(nullptr));
    auto* twin = qobject_cast<TKivLookField*>(copy.get());
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->LookupAddFields, "OWNER;name");
    EXPECT_EQ(twin->Options(), look->Options());
}
