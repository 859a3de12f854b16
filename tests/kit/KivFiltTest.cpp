#include "KivFilt.h"
#include "FilterClauses.h"
#include "KitFolder.h"
#include "KivError.h"
#include "KivFiltStream.h"
#include "RecordingUI.h"

#include <QBuffer>
#include <QDate>

class KivFiltTest : public KitFolder {
protected:
    void SetUp() override {
        KitFolder::SetUp();
        topics = topicsOn(source, false);
        filter.setDataSource(&source);
        topics->Open();
    }
    // One filter made of `clauses`, current.
    void use(const QList<TConditionItem>& clauses) {
        filter.Filters().clear();
        filter.AddFilter();
        filter.CurrentFilter()->Conditions = clauses;
    }
    TDataSet* shown() const { return source.DataSet(); }

    RecordingUI::Scope ui;
    TDataSource source;
    TKivFilter filter;
    TKivTable* topics = nullptr;
};

TEST_F(KivFiltTest, TableNamesAreQuotedAsAsked) {
    EXPECT_EQ(filter.QuoteTableName("book.dbf"), "book.dbf");
    filter.setTableNameKind(tnQuotes);
    EXPECT_EQ(filter.QuoteTableName("book.dbf"), "\"book.dbf\"");
    filter.setTableNameKind(tnQuotesCreator);
    EXPECT_EQ(filter.QuoteTableName("a.b.c"), "\"a\".\"b.c\"");
    EXPECT_EQ(filter.QuoteTableName("topics"), "\"topics\"");
    EXPECT_EQ(filter.QuoteTableName(""), "");
}

TEST_F(KivFiltTest, ClausesForTheRecordFilterAndForSql) {
    use({clause("NAME", "=", "Intro"), clause("ID", ">=", 10), clause("NAME", "=", QVariant()),
         clause("ID", "<>", QVariant()), clause("NAME", "=", "it's"), clause("MISSING", "=", 1),
         clause("ID", "=", "x1")});
    const QStringList record = {"(NAME='Intro')", "(ID>=10)", "(NAME=Null)", "(ID<>Null)",
                                "(NAME='it's')",  QString(),  "(ID='x1')"};
    const QStringList sql = {"(NAME='Intro')", "(ID>=10)", "(NAME is Null)", "(ID is not Null)",
                             "(NAME='it's')",  QString(),  "(ID='x1')"};
    for (int k = 0; k < record.size(); ++k) {
        EXPECT_EQ(filter.ConditionText(k, nullptr, false), record[k]) << k;
        EXPECT_EQ(filter.ConditionText(k, nullptr, true), sql[k]) << k;
    }
    // No current filter, or a clause out of range: nothing.
    EXPECT_EQ(filter.ConditionText(99, nullptr, true), "");
    filter.Filters().clear();
    filter.SelectFilter(0);
    EXPECT_EQ(filter.ConditionText(0, nullptr, true), "");
}

TEST_F(KivFiltTest, FloatAndDateLiteralsReadBackAsTheirValues) {
    topics->Close();
    sql("create table \"dated.dbf\" (ID numeric(8), PRICE numeric(10,2), DAY date)");
    sql("insert into \"dated.dbf\" values (1, 2.5, '2026-01-05'), (2, 7.25, '2026-03-01')");
    TKivTable* dated = table("dated.dbf");
    source.setDataSet(dated);
    dated->Open();
    use({clause("PRICE", ">", 2.5), clause("DAY", "=", QDate(2026, 3, 1))});
    EXPECT_EQ(filter.ConditionText(0, nullptr, false), "(PRICE>2.5)");
    // The year in full, whatever the locale's short form: it must not read back a century off.
    EXPECT_TRUE(filter.ConditionText(1, nullptr, false).contains("2026"));
    filter.SetFilter(true);
    EXPECT_EQ(ids(*dated), QList<int>({2}));
}

TEST_F(KivFiltTest, LikeClausesAreWidenedAndWrittenForTheServer) {
    use({clause("NAME", "~", "ab1"), clause("NAME", "~", "a%"), clause("NAME", "~", "")});
    for (const auto& [k, text] :
         {std::pair{0, "(NAME Like '%ab1%')"}, {1, "(NAME Like 'a%')"}, {2, "(NAME Like '%')"}})
        EXPECT_EQ(filter.ConditionText(k, nullptr, true), text);
    filter.setLikeKind(lkToUpper);
    EXPECT_EQ(filter.ConditionText(0, nullptr, true), "(Upper(NAME) Like Upper('%ab1%'))");
    filter.setLikeKind(lkAsAaBbCc);
    EXPECT_EQ(filter.ConditionText(0, nullptr, true), "(NAME Like '%[Aa][Bb]1%')");
}

TEST_F(KivFiltTest, ConstructConditionMayRewriteAClause) {
    use({clause("NAME", "=", "x"), clause("ID", "=", 1)});
    filter.OnConstructCondition = [](QObject*, QString& text, TField* field, const QString&,
                                     const QVariant&) {
        if (field->FieldName() == "NAME") text = "NAME>'a'";
    };
    EXPECT_EQ(filter.ConditionText(0, nullptr, true), "(NAME>'a')");
    EXPECT_EQ(filter.ConditionText(1, nullptr, true), "(ID=1)");
}

TEST_F(KivFiltTest, LinkExpressionsCombineClausesByNumber) {
    use({clause("ID", ">", 10), clause("NAME", "=", "OR"), clause("ID", "<", 40)});
    TFilterItem& f = *filter.CurrentFilter();
    EXPECT_EQ(filter.FilterText(nullptr, false), "(ID>10) and (NAME='OR') and (ID<40)");
    f.DataSetItem("").LinkText = "#1 OR NOT(#2)AND #3 OR #9 'AND'";
    // Joined with "and" while AndForAll holds, whatever the expression says.
    EXPECT_EQ(filter.FilterText(nullptr, false), "(ID>10) and (NAME='OR') and (ID<40)");
    f.AndForAll = false;
    EXPECT_EQ(filter.FilterText(nullptr, false),
              "(ID>10) or not((NAME='OR'))and (ID<40) or  'AND'");
    f.DataSetItem("").LinkText = "#1OR#3";
    EXPECT_EQ(filter.FilterText(nullptr, false), "(ID>10)or(ID<40)");

    filter.ExtraConditions() << "ID<>20";
    EXPECT_EQ(filter.FilterText(nullptr, false), "(ID<>20) and ((ID>10)or(ID<40))");
    filter.Filters().clear();
    filter.SelectFilter(0);
    EXPECT_EQ(filter.FilterText(nullptr, false), "ID<>20");
}

TEST_F(KivFiltTest, TheListNamesWrapsAndClampsItsFilters) {
    EXPECT_TRUE(filter.AddFilter());
    EXPECT_TRUE(filter.AddFilter());
    EXPECT_EQ(filter.Filters()[0].Name, "Filter #0");
    EXPECT_EQ(filter.Filters()[1].Name, "Filter #1");
    filter.Filters()[0].Name = "filter #2"; // taken, in another case
    EXPECT_TRUE(filter.AddFilter());
    EXPECT_EQ(filter.Filters()[2].Name, "Filter #3");
    EXPECT_EQ(filter.CurrentIndex(), 2);
    EXPECT_EQ(filter.FindFilter("FILTER #3"), 2);
    EXPECT_EQ(filter.FindFilter("none"), -1);

    filter.NextFilter();
    EXPECT_EQ(filter.CurrentIndex(), 0);
    filter.PriorFilter();
    EXPECT_EQ(filter.CurrentIndex(), 2);
    filter.SelectFilter(99);
    EXPECT_EQ(filter.CurrentIndex(), 2);
    filter.SelectFilter(-5);
    EXPECT_EQ(filter.CurrentIndex(), 0);
    filter.SelectFilter(2);
    filter.DeleteFilter();
    EXPECT_EQ(filter.CurrentIndex(), 1);

    filter.setOneFilter(true);
    EXPECT_EQ(filter.Filters().size(), 1);
    EXPECT_EQ(filter.Filters()[0].Name, "filter #2");
    EXPECT_FALSE(filter.AddFilter());
    filter.DeleteFilter();
    EXPECT_EQ(filter.CurrentIndex(), -1);
    filter.setOneFilter(true);
    EXPECT_EQ(filter.Filters().size(), 1);

    filter.AddCondition();
    filter.AddCondition();
    filter.DeleteCondition(0);
    EXPECT_EQ(filter.CurrentFilter()->Conditions.size(), 1);
    EXPECT_EQ(filter.CurrentFilter()->Conditions[0].Operation, "=");
}

TEST_F(KivFiltTest, RecordFilterJoinsTheDatasetsOwnAndGivesItBack) {
    bool ownHandlerRan = false;
    topics->OnFilterRecord = [&](TDataSet*, bool& accept) {
        ownHandlerRan = true;
        accept = true;
    };
    topics->setFilter("ID<40");
    topics->setFiltered(true);
    ASSERT_TRUE(topics->Locate("ID", 20));

    use({clause("NAME", "<>", "Menus")});
    filter.setFilterSetAs(fsFilter);
    filter.SetFilter(true);
    EXPECT_TRUE(filter.FilterIsSet());
    EXPECT_EQ(topics->Filter(), "(ID<40) and ((NAME<>'Menus'))");
    EXPECT_EQ(ids(*topics), QList<int>({10, 20}));
    EXPECT_TRUE(ownHandlerRan);

    // The set filter's way cannot change under it.
    filter.setFilterSetAs(fsQuery);
    EXPECT_EQ(filter.FilterSetAs(), fsFilter);
    EXPECT_EQ(ui->messages, QStringList({"Can't change when filter used"}));

    ASSERT_TRUE(topics->Locate("ID", 20));
    filter.SetFilter(false);
    EXPECT_FALSE(filter.FilterIsSet());
    EXPECT_EQ(topics->Filter(), "ID<40");
    EXPECT_TRUE(topics->Filtered());
    EXPECT_TRUE(bool(topics->OnFilterRecord));
    EXPECT_EQ(id(*topics), 20);
}

TEST_F(KivFiltTest, AFilterTheDatasetCannotReadLeavesItAsItWas) {
    use({clause("NAME", "~", "x")});
    filter.setFilterSetAs(fsFilter); // a like clause the record filter has no word for
    filter.SetFilter(true);
    EXPECT_FALSE(filter.FilterIsSet());
    EXPECT_FALSE(topics->Filtered());
    EXPECT_EQ(topics->Filter(), "");
    EXPECT_EQ(ui->messages, QStringList({"Incorrect filter"}));
    EXPECT_EQ(ids(*topics).size(), 4);
}

TEST_F(KivFiltTest, ALikeClauseRunsAnExtractThatStandsInForTheTable) {
    filter.setTableNameKind(tnQuotes);
    topics->setFilter("ID>0"); // the table's own filter stays its own
    topics->setFiltered(true);
    ASSERT_TRUE(topics->Locate("ID", 30));
    use({clause("NAME", "~", "n")});
    EXPECT_TRUE(filter.NeedsExtract());
    filter.SetFilter(true);
    ASSERT_TRUE(filter.FilterIsSet());
    auto* extract = qobject_cast<TKivQuery*>(shown());
    ASSERT_NE(extract, nullptr);
    EXPECT_EQ(filter.QExtracts(), extract);
    EXPECT_EQ(filter.MainDataSet(), topics);
    EXPECT_EQ(
        extract->SQL().join(' '),
        "Select ID,NAME,TEXT from \"demo.dbf\" EFilter Where ((NAME Like '%n%')) Order by ID");
    EXPECT_EQ(ids(*extract), QList<int>({10, 30, 40}));
    ASSERT_TRUE(extract->Locate("ID", 40));

    // Set again with another clause: the extract stays on its record.
    filter.CurrentFilter()->Conditions[0].Value = "t";
    filter.SetFilter(true);
    EXPECT_EQ(shown(), extract);
    EXPECT_EQ(id(*extract), 40);

    filter.SetFilter(false);
    EXPECT_EQ(shown(), topics);
    EXPECT_EQ(id(*topics), 40);
    EXPECT_EQ(topics->Filter(), "ID>0");
    EXPECT_TRUE(topics->Filtered());
}

TEST_F(KivFiltTest, AClosedOrRefusedExtractGivesTheDataSourceItsTableBack) {
    use({clause("NAME", "~", "n")});
    filter.SetFilter(true);
    ASSERT_NE(shown(), topics);
    topics->Close(); // the project closes: every dataset does
    filter.QExtracts()->Close();
    EXPECT_EQ(shown(), topics);
    EXPECT_FALSE(filter.FilterIsSet());
    topics->Open();
    EXPECT_EQ(ids(*shown()).size(), 4);

    // An extract the server refuses takes the filter off.
    filter.setFilterSetAs(fsQuery);
    filter.ExtraConditions() << "NOSUCH>1"; // a column the table lacks
    use({clause("ID", ">", 10)});
    filter.SetFilter(true);
    EXPECT_EQ(ui->messages, QStringList({"Incorrect filter"}));
    EXPECT_FALSE(filter.FilterIsSet());
    EXPECT_EQ(shown(), topics);
}

TEST_F(KivFiltTest, DetailClausesBecomeExistsOverTheDetailTable) {
    sql("create table \"links.dbf\" (TOPIC numeric(8), WORD char(20))");
    sql("insert into \"links.dbf\" values (10, 'red'), (10, 'blue'), (30, 'red'), (40, 'green')");
    TKivTable* links = table("links.dbf");
    links->setIndexFieldNames("TOPIC");
    links->setMasterFields("ID");
    links->Open();
    filter.setSubDataSets({links});
    filter.setTableNameKind(tnQuotes);
    use({clause("WORD", "=", "red", "links.dbf"), clause("WORD", "=", "blue", "links.dbf")});
    TFilterItem& f = *filter.CurrentFilter();
    f.AndForAll = false;
    f.DataSetItem("LINKS.DBF").LinkText = "#1 | #2";
    EXPECT_EQ(filter.FilterText(nullptr, true), "");
    EXPECT_EQ(filter.WhereClause(),
              "Exists(select * from \"links.dbf\" where (EFilter.ID=TOPIC) and ((WORD='red'))) and "
              "Exists(select * from \"links.dbf\" where (EFilter.ID=TOPIC) and ((WORD='blue')))");
    filter.SetFilter(true);
    EXPECT_EQ(ids(*shown()), QList<int>({10}));

    // For all: every detail row must hold, and there must be one.
    f.DataSetItem("links.dbf").LinkText = "#1";
    f.DataSetItem("links.dbf").ForAll = true;
    EXPECT_EQ(filter.WhereClause(),
              "Exists(select * from \"links.dbf\" where (EFilter.ID=TOPIC)) and(Not Exists(select "
              "* from \"links.dbf\" where (EFilter.ID=TOPIC) and (not ((WORD='red')))))");
    filter.SetFilter(true);
    EXPECT_EQ(ids(*shown()), QList<int>({30}));

    // Without a link between the tables the detail clauses go.
    links->setIndexFieldNames("");
    EXPECT_EQ(filter.WhereClause(), "");
}

TEST_F(KivFiltTest, FilterFilesKeepEveryKindOfValue) {
    use({clause("NAME", "=", "Größe €"), clause("ID", ">", 12), clause("ID", "<", qint64(1) << 40),
         clause("PRICE", "<=", 2.75), clause("DAY", "=", QDate(2026, 12, 6)),
         clause("ON", "=", true), clause("NAME", "<>", QVariant())});
    TFilterItem& f = *filter.CurrentFilter();
    f.AndForAll = false;
    f.Spare = "spare";
    f.Conditions[0].Flag = 7;
    f.DataSetItem("links.dbf") = {"links.dbf", "#1 or #2", true, "s"};
    const QList<TConditionItem> written = f.Conditions;
    filter.Filters().append(TFilterItem{"Filter #1", true, {}, {}, {}});

    QBuffer file;
    file.open(QIODevice::ReadWrite);
    filter.WriteFilters(file, "/help/demo_dbf.flt");
    file.seek(0);
    const TFilterList back = ReadFilterList(file);
    EXPECT_EQ(back.FileName, "/help/demo_dbf.flt");
    EXPECT_EQ(back.Current, 0);
    ASSERT_EQ(back.Filters.size(), 2);
    const TFilterItem& g = back.Filters[0];
    EXPECT_EQ(g.AndForAll, false);
    EXPECT_EQ(g.Spare, "spare");
    ASSERT_EQ(g.DataSetItems.size(), 1);
    EXPECT_EQ(g.DataSetItems[0].LinkText, "#1 or #2");
    EXPECT_TRUE(g.DataSetItems[0].ForAll);
    ASSERT_EQ(g.Conditions.size(), written.size());
    for (int k = 0; k < g.Conditions.size(); ++k) {
        EXPECT_EQ(g.Conditions[k].FieldName, written[k].FieldName) << k;
        EXPECT_EQ(g.Conditions[k].Operation, written[k].Operation) << k;
        EXPECT_EQ(g.Conditions[k].Value, written[k].Value) << k;
    }
    EXPECT_EQ(g.Conditions[0].Flag, 7);
    EXPECT_EQ(back.Filters[1].Name, "Filter #1");
}

TEST_F(KivFiltTest, ADamagedFilterFileIsRefusedAndLosesNothing) {
    use({clause("ID", ">", 1)});
    QBuffer file;
    file.open(QIODevice::ReadWrite);
    filter.WriteFilters(file, "x.flt");
    const QByteArray good = file.data();

    const auto load = [&](const QByteArray& bytes) {
        QBuffer in;
        in.setData(bytes);
        in.open(QIODevice::ReadOnly);
        filter.ReadFilters(in);
    };
    const qsizetype countAt = 2 + 5 + 2; // name "x.flt", then the current index
    QByteArray tooMany = good;
    tooMany[countAt + 2] = 1; // 65,536 + 1 filters
    for (const QByteArray& bad : {good.left(good.size() - 1), tooMany, QByteArray("\x05")}) {
        try {
            load(bad);
            ADD_FAILURE() << "loaded " << bad.size() << " bytes";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.message(), "Error loading filter data");
        }
        ASSERT_EQ(filter.Filters().size(), 1);
        EXPECT_EQ(filter.CurrentFilter()->Conditions[0].Value, 1);
    }
    // A current index past the end is brought within the list.
    QByteArray past = good;
    past[countAt - 2] = 9;
    load(past);
    EXPECT_EQ(filter.CurrentIndex(), 0);
}

TEST_F(KivFiltTest, HooksLoadTheFiltersWhenTheDatasetOpensAndSaveThem) {
    QList<TKivFilter*> loaded, savedBy;
    TKivFilter::LoadFiltersHook() = [&](TKivFilter* f) {
        loaded << f;
        f->Filters().clear();
        f->AddFilter();
    };
    TKivFilter::SaveFiltersHook() = [&](TKivFilter* f) { savedBy << f; };
    topics->Close();
    topics->Open();
    filter.SaveFilters();
    TKivFilter::LoadFiltersHook() = nullptr;
    TKivFilter::SaveFiltersHook() = nullptr;
    EXPECT_EQ(loaded, QList<TKivFilter*>({&filter, &filter})); // closed, then opened
    EXPECT_EQ(savedBy, QList<TKivFilter*>({&filter}));
    EXPECT_EQ(filter.Filters().size(), 1);

    // A damaged file shown while opening does not stop the open.
    TKivFilter::LoadFiltersHook() = [](TKivFilter*) {
        throw EInOutError("Error loading filter data");
    };
    topics->Close();
    EXPECT_NO_THROW(topics->Open());
    TKivFilter::LoadFiltersHook() = nullptr;
    EXPECT_TRUE(topics->Active());
    EXPECT_TRUE(ui->messages.contains("Error loading filter data"));
}

TEST_F(KivFiltTest, AnEngineThatGoesGivesTheDataSourceAndDatasetBack) {
    topics->setFilter("ID<>20");
    topics->setFiltered(true);
    {
        TKivFilter engine;
        engine.setDataSource(&source);
        engine.AddFilter();
        engine.CurrentFilter()->Conditions = {clause("NAME", "<>", "Menus")};
        engine.setFilterSetAs(fsFilter);
        engine.SetFilter(true);
        EXPECT_EQ(ids(*topics), QList<int>({10, 40}));
    }
    EXPECT_EQ(topics->Filter(), "ID<>20");
    EXPECT_EQ(ids(*topics), QList<int>({10, 30, 40}));
    {
        TKivFilter engine;
        engine.setDataSource(&source);
        engine.AddFilter();
        engine.CurrentFilter()->Conditions = {clause("NAME", "~", "n")};
        engine.SetFilter(true);
        EXPECT_NE(shown(), topics);
    }
    EXPECT_EQ(shown(), topics);
}
