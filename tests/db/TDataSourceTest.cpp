#include "TDataSource.h"
#include "MemFixture.h"

#include <gtest/gtest.h>

namespace {

// A link that logs every notification it receives.
class LogLink : public TDataLink {
public:
    QStringList log;

protected:
    void ActiveChanged() override { log << (Active() ? "active" : "inactive"); }
    void EditingChanged() override { log << (Editing() ? "editing" : "not editing"); }
    void DataSetChanged() override { log << "dataset"; }
    void DataSetScrolled(int distance) override {
        log << QStringLiteral("scrolled %1").arg(distance);
    }
    void LayoutChanged() override { log << "layout"; }
    void RecordChanged(TField* field) override {
        log << (field ? "record " + field->FieldName() : "record");
    }
    void UpdateData() override { log << "update"; }
    void CheckBrowseMode() override { log << "check"; }
};

// The sample topics behind a source with a logging link on it.
class Linked : public ::testing::Test {
protected:
    void SetUp() override {
        link.setDataSource(&source);
        source.setDataSet(t.get());
        EXPECT_EQ(take(link.log), QStringList({"active"}));
    }
    std::unique_ptr<TMemTable> t = sampleTopics();
    TDataSource source;
    LogLink link;
};

} // namespace

TEST_F(Linked, LinksFollowTheDatasetInOrder) {

    t->Next();
    EXPECT_EQ(take(link.log), QStringList({"check", "scrolled 1"}));

    t->Edit();
    EXPECT_EQ(take(link.log), QStringList({"check", "editing", "record"}));
    t->FieldByName("NAME")->setAsString("Changed");
    EXPECT_EQ(take(link.log), QStringList({"record NAME"}));
    t->Post();
    EXPECT_EQ(take(link.log), QStringList({"update", "check", "not editing", "dataset"}));

    t->Close();
    EXPECT_EQ(take(link.log), QStringList({"inactive"}));
    t->Open();
    EXPECT_EQ(take(link.log), QStringList({"active"}));

    source.setEnabled(false);
    t->Next();
    EXPECT_EQ(take(link.log), QStringList({"inactive"}));
}

TEST_F(Linked, RepointingRebindsTheLinks) {
    auto b = makeTopics({{1, "Other", 0}});
    int stateChanges = 0;
    source.OnStateChange = [&stateChanges](QObject*) { ++stateChanges; };
    source.setDataSet(b.get());
    EXPECT_EQ(take(link.log), QStringList({"inactive", "active"}));
    EXPECT_EQ(stateChanges, 2);
    t->Next(); // the old dataset no longer reaches the link
    EXPECT_TRUE(link.log.isEmpty());
    b->Last();
    EXPECT_EQ(take(link.log), QStringList({"check", "dataset"}));
}

TEST(TDataSource, DestroyedPartnersAreForgotten) {
    auto t = sampleTopics();
    LogLink link;
    {
        TDataSource source;
        source.setDataSet(t.get());
        link.setDataSource(&source);
        take(link.log);
    }
    EXPECT_EQ(link.DataSource(), nullptr);
    EXPECT_EQ(take(link.log), QStringList({"inactive"}));

    TDataSource source;
    source.setDataSet(t.get());
    link.setDataSource(&source);
    t.reset();
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
}

TEST_F(Linked, DisableControlsNestsAndRefreshesOnce) {
    t->DisableControls();
    t->DisableControls();
    t->Next();
    t->Edit();
    t->FieldByName("NAME")->setAsString("Quiet");
    t->Post();
    t->EnableControls();
    EXPECT_TRUE(link.log.isEmpty());
    EXPECT_TRUE(t->ControlsDisabled());
    t->EnableControls();
    EXPECT_FALSE(t->ControlsDisabled());
    EXPECT_EQ(take(link.log), QStringList({"dataset"}));

    // A state that changed while disabled is reported when enabled again.
    t->DisableControls();
    t->Edit();
    t->EnableControls();
    EXPECT_EQ(take(link.log), QStringList({"editing", "dataset"}));
    t->EnableControls(); // an extra enable does nothing
    EXPECT_TRUE(link.log.isEmpty());
    t->Cancel();
    take(link.log);

    // Reopened while disabled: the controls look their fields up again.
    t->DisableControls();
    t->Close();
    t->Open();
    t->EnableControls();
    EXPECT_EQ(take(link.log), QStringList({"layout"}));
}

TEST(TFieldDataLink, BindsOneFieldAndWritesTheControlsEdit) {
    auto t = sampleTopics();
    TDataSource source;
    source.setDataSet(t.get());
    TFieldDataLink link;
    QString shown;
    QString typed;
    int dataChanges = 0;
    link.OnDataChange = [&] {
        ++dataChanges;
        shown = link.Field() ? link.Field()->AsString() : QString();
    };
    link.OnUpdateData = [&] { link.Field()->setAsString(typed); };
    link.setFieldName("NAME");
    link.setDataSource(&source);
    EXPECT_EQ(shown, "Intro");
    EXPECT_TRUE(link.CanModify());

    t->Next();
    EXPECT_EQ(shown, "Install");
    const int before = dataChanges;
    EXPECT_TRUE(link.Edit());
    t->FieldByName("ID")->setAsInteger(21); // another field: this control does not redraw
    EXPECT_EQ(dataChanges, before + 1);     // only the record change on entering edit

    typed = "Installing";
    link.setModified();
    t->Post();
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Installing");
    EXPECT_FALSE(link.Modified());

    // Reset drops the control's edit and shows the field again.
    link.Edit();
    typed = "dropped";
    link.setModified();
    link.Reset();
    EXPECT_FALSE(link.Modified());
    t->Post();
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Installing");

    // Neither a read-only field nor a read-only link puts the dataset into edit.
    t->FieldByName("NAME")->setReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
    t->FieldByName("NAME")->setReadOnly(false);
    link.setReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(t->State(), TDataSetState::dsBrowse);

    // Reopened with the controls disabled, the link finds the new field.
    t->DisableControls();
    t->Close();
    t->Open();
    t->EnableControls();
    EXPECT_EQ(link.Field(), t->FieldByName("NAME"));
    t->Close();
    EXPECT_EQ(link.Field(), nullptr);
}
