#include "KivDB.h"
#include "KivError.h"
#include "TDataSource.h"
#include "TMemTable.h"

#include <gtest/gtest.h>

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
        state = new TKivListField(&table);
        state->setFieldName("State");
        state->setDisplayLabel("Work state");
        state->setValues({"", "Write", "Test", "Ready"});
        state->setDataSet(&table);
        table.addFieldDefsFrom(table.Fields());
        table.Open();
        table.Append();
    }
    TMemTable table;
    TKivListField* state = nullptr;
};

} // namespace

TEST_F(StateField, StoredNumbersReadAsTheirLines) {
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
}

TEST_F(StateField, TextsAndNumbersAreWrittenAsTheListHasThem) {
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
