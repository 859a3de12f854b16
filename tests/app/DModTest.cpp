// The data module: creating, opening and closing projects with their files,
// the link lists and the computing cursor following stored rows, new rows,
// the ID rules, and the build's view of the topics.
#include "DMod.h"
#include "CalcTopicSource.h"
#include "KivError.h"
#include "KivTable.h"
#include "RecordingUI.h"
#include "TestFiles.h"

#include <QPlainTextEdit>

namespace {

class DModTest : public ::testing::Test, protected TempFolder {
protected:
    void addTopic(int id, const QString& name, const QVariant& ctx = {}) {
        dm.TbMain->Append();
        dm.TbMain->FieldByName("ID")->setAsInteger(id);
        dm.TbMain->FieldByName("NAME")->setAsString(name);
        dm.TbMain->FieldByName("CTX")->setValue(ctx);
        dm.TbMain->Post();
    }

    // A column of every row, in the dataset's order.
    static QStringList column(TDataSet& ds, const char* field) {
        QStringList list;
        for (ds.First(); !ds.Eof(); ds.Next())
            list << ds.FieldByName(field)->AsString();
        return list;
    }
    static QStringList ids(TDataSet& ds) { return column(ds, "ID"); }
    static QStringList names(TDataSet& ds) { return column(ds, "NAME"); }

    bool anyDataSetOpen() const {
        for (TDataSet* ds : {(TDataSet*)dm.TbMain, (TDataSet*)dm.TbCalc, (TDataSet*)dm.Qid,
                             (TDataSet*)dm.QName, (TDataSet*)dm.QMain})
            if (ds->Active()) return true;
        return false;
    }

    // Gives the module the main window's pages.
    void withPages() { dm.setMainWindowPages(&contents, &errorLog); }

    RecordingUI::Scope ui;
    TDM dm;
    QPlainTextEdit contents;
    QPlainTextEdit errorLog;
};

// ---------------------------------------------------------------- creating

TEST_F(DModTest, CreatesTheBookProjectInAnEmptyFolderAndOpensIt) {
    withPages();
    dm.CreateProject(d + "book.hpj");
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join('|').toStdString();
    ASSERT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(dm.ProjectDir, d);
    EXPECT_EQ(dm.ProjectName, "book");
    EXPECT_TRUE(dm.WindowNames.isEmpty());
    // The text files (their bytes are ProjectFiles' concern), the table and
    // its own companions, nothing else.
    for (const auto& [name, bytes] : folderFiles(d))
        EXPECT_TRUE(name.startsWith("book.")) << name.toStdString();
    for (const char* ext : {".hpj", ".cnt", ".toc", ".lst", ".map"})
        EXPECT_TRUE(QFileInfo::exists(d + "book" + ext)) << ext;

    // The table, read by a cursor of its own.
    TTable table;
    table.setDatabaseName(d);
    table.setTableName("book.dbf");
    table.Open();
    EXPECT_EQ(table.FieldNames(),
              QStringList({"ID", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW", "STATE", "TEXT",
                           "UNIT", "CLASS", "DECLAR"}));
    QStringList indexes;
    for (const DbfIndexDef& ix : table.IndexDefs())
        indexes << ix.name + "(" + ix.fieldList() + ")" + (ix.unique ? " unique" : "");
    EXPECT_EQ(indexes,
              QStringList({"I_Id(ID) unique", "I_Name(NAME)", "I_BSeq(BSEQ)", "I_State(STATE)"}));

    // The module ends with an empty topic list, the lists bound to the table.
    EXPECT_TRUE(dm.TbMain->Active() && dm.TbMain->IsEmpty());
    EXPECT_TRUE(dm.TbCalc->Active() && dm.Qid->Active() && dm.QName->Active());
    EXPECT_FALSE(dm.QMain->Active());
    EXPECT_EQ(dm.Qid->SQL(), QStringList({"select ID,Name from \"book.dbf\"", "order by 1"}));
    EXPECT_EQ(dm.QName->SQL(), QStringList({"select ID,Name from \"book.dbf\"", "order by 2"}));
    EXPECT_EQ(dm.QMain->TableName(), "book.dbf");
    EXPECT_TRUE(dm.QMain->SQL().isEmpty());
    EXPECT_TRUE(contents.toPlainText().isEmpty());
}

TEST_F(DModTest, EditingCursorDeclaresItsFieldsInGridOrder) {
    EXPECT_EQ(dm.TbMain->FieldNames(),
              QStringList({"ID", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW", "TEXT", "UNIT",
                           "CLASS", "DECLAR", "State"}));
    // The grid's column titles and the widths given (0: the type's own).
    const std::pair<const char*, int> shown[] = {
        {"ID", 5},     {"Name", 25},   {"Keys", 60},        {"AKeys", 60},
        {"Browse sequence", 0},        {"Context", 0},      {"Window", 0},
        {"Description", 40},           {"Unit", 0},         {"Class", 0},
        {"Declaration", 0},            {"State", 8}};
    for (int i = 0; i < 12; ++i) {
        const TField* field = dm.TbMain->Fields()[i];
        EXPECT_EQ(field->DisplayLabel(), shown[i].first);
        if (shown[i].second) {
            EXPECT_EQ(field->DisplayWidth(), shown[i].second) << shown[i].first;
        }
    }
    EXPECT_EQ(dm.TbCalc->FindField("State"), nullptr);
    EXPECT_EQ(DM, &dm);
    EXPECT_TRUE(KivDataModules().contains(&dm));
}

TEST_F(DModTest, ExistingProjectIsRefusedAndKeptWhole) {
    dm.CreateProject(d + "book.hpj");
    addTopic(10, "Intro");
    writeFile(d + "book.toc", "1 Intro=10\r\n");
    dm.CloseProject(false);
    const auto before = folderFiles(d);

    dm.CreateProject(d + "book.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Error. Project not created"}));
    EXPECT_FALSE(dm.ProjectOpen());
    EXPECT_FALSE(anyDataSetOpen());
    EXPECT_EQ(folderFiles(d), before);
    EXPECT_NE(dm.LastFailure(), "");

    // A table without its text files is not overwritten either, and no text
    // file appears beside it.
    for (const char* ext : {".hpj", ".cnt", ".toc", ".lst", ".map"})
        QFile::remove(d + "book" + ext);
    const auto tableOnly = folderFiles(d);
    ui->messages.clear();
    dm.CreateProject(d + "book.x.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Error. Project not created"}));
    EXPECT_EQ(folderFiles(d), tableOnly);
    dm.OpenProject(d + "book.hpj"); // no S.toc needed without the main window
    ASSERT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(ids(*dm.TbMain), QStringList({"10"}));
}

TEST_F(DModTest, CreateFailuresLeaveNoProjectOpen) {
    dm.CreateProject(d + "book.hpj");
    ASSERT_TRUE(dm.ProjectOpen());

    // A file name without a stem does nothing at all.
    dm.CreateProject(d + ".hpj");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_FALSE(QFileInfo::exists(d + ".hpj"));

    // A folder that does not exist cannot take the files; the open project is closed.
    dm.CreateProject(d + "missing/new.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Error. Project not created"}));
    EXPECT_FALSE(dm.ProjectOpen());
    EXPECT_FALSE(anyDataSetOpen());
    EXPECT_FALSE(QFileInfo::exists(d + "missing"));
}

// ---------------------------------------------------------------- opening

TEST_F(DModTest, DottedProjectNameBindsTheStem) {
    dm.CreateProject(d + "my.proj.hpj");
    ASSERT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(dm.ProjectName, "my");
    EXPECT_TRUE(QFileInfo::exists(d + "my.dbf"));
    EXPECT_FALSE(QFileInfo::exists(d + "my.proj.hpj"));
    dm.CloseProject(false);

    writeFile(d + "my.hpj", "[OPTIONS]\r\nTITLE=my\r\n[windows]\r\nmain=\"Main\",,,,(r1)\r\n"
                           "popup=\"Pop\",(1,2,3,4)\r\n[CONFIG]\r\nx=1\r\n");
    dm.OpenProject(d + "my.proj.hpj");
    EXPECT_TRUE(ui->messages.isEmpty());
    ASSERT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(dm.ProjectDir, d);
    EXPECT_EQ(dm.TbMain->TableName(), "my.dbf");
    EXPECT_EQ(dm.TbCalc->TableName(), "my.dbf");
    EXPECT_EQ(dm.WindowNames, QStringList({"main", "popup"}));

    // A missing project file only means no window names.
    QFile::remove(d + "my.hpj");
    dm.OpenProject(d + "my.proj.hpj");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_TRUE(dm.WindowNames.isEmpty());
}

TEST_F(DModTest, FailedOpenShowsTheMessageAndLeavesNoProjectOpen) {
    withPages();
    dm.CreateProject(d + "book.hpj");
    ASSERT_TRUE(dm.ProjectOpen());
    contents.setPlainText("unsaved");
    writeFile(d + "book.toc", "stored\r\n");

    QFile::remove(d + "book.toc");
    dm.OpenProject(d + "book.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Error. Project not open"}));
    EXPECT_FALSE(dm.ProjectOpen());
    EXPECT_TRUE(dm.ProjectDir.isEmpty());
    EXPECT_FALSE(anyDataSetOpen());
    EXPECT_TRUE(contents.toPlainText().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(d + "book.toc")); // the failed open saved nothing

    // A missing table fails the same way, and so does a name without a stem,
    // which would bind no project.
    for (const char* name : {"nothing.hpj", ".hpj"}) {
        ui->messages.clear();
        dm.OpenProject(d + name);
        EXPECT_EQ(ui->messages, QStringList({"Error. Project not open"})) << name;
        EXPECT_FALSE(dm.ProjectOpen() || anyDataSetOpen()) << name;
    }
}

TEST_F(DModTest, ForeignDataSetIsReportedAndStillBound) {
    dm.CreateProject(d + "book.hpj");
    dm.CloseProject(false);
    auto* foreign = new TQuery(&dm);
    foreign->setSQL({"select ID from \"book.dbf\""});
    dm.OpenProject(d + "book.hpj");
    EXPECT_EQ(ui->messages, QStringList({"Bad DataSet"}));
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_TRUE(foreign->Active());
    EXPECT_EQ(foreign->DatabaseName(), d);
}

TEST_F(DModTest, ClosingClearsThePagesAndSavesContentsWhenAsked) {
    withPages();
    dm.CreateProject(d + "book.hpj");
    writeFile(d + "book.err", "HC1002: Warning\r\nbook_10.rtf\r\n");
    writeFile(d + "book.toc", "1 Intro\r\n2 About=20\r\n");
    for (const bool save : {false, true}) {
        dm.OpenProject(d + "book.hpj");
        EXPECT_EQ(errorLog.toPlainText(), "HC1002: Warning\nbook_10.rtf");
        EXPECT_EQ(contents.toPlainText(), "1 Intro\n2 About=20");
        contents.setPlainText("1 Intro\n2 Menus=30\n");
        dm.CloseProject(save);
        EXPECT_EQ(readFile(d + "book.toc"), save ? QByteArray("1 Intro\r\n2 Menus=30\r\n\r\n")
                                                : QByteArray("1 Intro\r\n2 About=20\r\n"));
        EXPECT_TRUE(contents.toPlainText().isEmpty() && errorLog.toPlainText().isEmpty()) << save;
        EXPECT_FALSE(dm.ProjectOpen() || anyDataSetOpen() || !dm.WindowNames.isEmpty()) << save;
    }
    // The saved page reads back as it was typed.
    dm.OpenProject(d + "book.hpj");
    EXPECT_EQ(contents.toPlainText(), "1 Intro\n2 Menus=30\n");
}

TEST_F(DModTest, ClosingWithoutAProjectWritesNothing) {
    withPages();
    contents.setPlainText("typed before any project");
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(d));
    dm.CloseProject(true);
    QDir::setCurrent(cwd);
    EXPECT_FALSE(QFileInfo::exists(d + ".toc"));
    EXPECT_TRUE(contents.toPlainText().isEmpty());
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(DModTest, FailedContentsSaveKeepsTheProjectOpen) {
    withPages();
    dm.CreateProject(d + "book.hpj");
    contents.setPlainText("typed");
    QFile::remove(d + "book.toc");
    ASSERT_TRUE(QDir(d).mkdir("book.toc")); // a folder in the file's place
    EXPECT_THROW(dm.CloseProject(true), EInOutError);
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(contents.toPlainText(), "typed");
}

// ---------------------------------------------------------------- rows

TEST_F(DModTest, ListsAndComputingCursorFollowStoredRows) {
    dm.CreateProject(d + "book.hpj");
    addTopic(30, "Menus");
    EXPECT_EQ(ids(*dm.TbCalc), QStringList({"30"}));
    addTopic(10, "Intro");
    addTopic(20, "About");
    EXPECT_EQ(ids(*dm.Qid), QStringList({"10", "20", "30"}));
    EXPECT_EQ(names(*dm.QName), QStringList({"About", "Intro", "Menus"}));
    EXPECT_EQ(ids(*dm.TbCalc), QStringList({"10", "20", "30"}));

    // An edit stays invisible to them until it is stored.
    ASSERT_TRUE(dm.TbMain->Locate("ID", 20));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("NAME")->setAsString("Zeta");
    EXPECT_EQ(names(*dm.QName), QStringList({"About", "Intro", "Menus"}));
    dm.TbMain->Post();
    EXPECT_EQ(names(*dm.QName), QStringList({"Intro", "Menus", "Zeta"}));
    EXPECT_EQ(dm.TbCalc->Lookup("ID", 20, "NAME").toString(), "Zeta");

    ASSERT_TRUE(dm.TbMain->Locate("ID", 10));
    dm.TbMain->Delete();
    EXPECT_EQ(ids(*dm.Qid), QStringList({"20", "30"}));
    EXPECT_EQ(names(*dm.QName), QStringList({"Menus", "Zeta"}));
    EXPECT_EQ(ids(*dm.TbCalc), QStringList({"20", "30"}));
}

TEST_F(DModTest, NewRowStartsAsWriteWithTheNewTopicDocument) {
    // Tables and no body, CR LF after the font table and bare CR CR in the colours.
    const QByteArray document = rtfSeed("newtopic.rtf");
    dm.CreateProject(d + "book.hpj");
    dm.TbMain->Append();
    EXPECT_EQ(dm.TbMain->FieldByName("State")->AsInteger(), 1);
    EXPECT_EQ(dm.TbMain->FieldByName("Text")->AsString().toLatin1(), document);
    EXPECT_TRUE(dm.TbMain->FieldByName("ID")->IsNull());
    dm.TbMain->FieldByName("ID")->setAsInteger(5);
    dm.TbMain->Post();
    // Stored and read back byte for byte, bare carriage returns included.
    ASSERT_TRUE(dm.TbCalc->Locate("ID", 5));
    EXPECT_EQ(dm.TbCalc->FieldByName("TEXT")->AsString().toLatin1(), document);
}

TEST_F(DModTest, FreeQueryIsTheTwinOfTheEditingCursor) {
    EXPECT_EQ(dm.QMain->FieldNames(), dm.TbMain->FieldNames());
    EXPECT_EQ(dm.QMain->FieldByName("NAME")->DisplayLabel(), "Name");
    dm.CreateProject(d + "book.hpj");
    addTopic(10, "Intro");
    // The filter's select through the free query: its rows get the same
    // defaults, and what it stores reaches the lists.
    dm.QMain->setSQL({"Select ID,NAME,KEYS,AKEYS,BSEQ,CTX,WINDOW,TEXT,UNIT,CLASS,DECLAR,State "
                      "from \"book.dbf\" EFilter"});
    dm.QMain->Open();
    dm.QMain->Append();
    EXPECT_EQ(dm.QMain->FieldByName("State")->AsInteger(), 1);
    EXPECT_EQ(dm.QMain->FieldByName("TEXT")->AsString().toLatin1(), rtfSeed("newtopic.rtf"));
    dm.QMain->FieldByName("ID")->setAsInteger(20);
    dm.QMain->FieldByName("NAME")->setAsString("About");
    dm.QMain->Post();
    EXPECT_EQ(names(*dm.QName), QStringList({"About", "Intro"}));
    EXPECT_EQ(ids(*dm.TbCalc), QStringList({"10", "20"}));
}

TEST_F(DModTest, DuplicateIdIsRefusedAndTheRowStaysInEdit) {
    dm.CreateProject(d + "book.hpj");
    addTopic(10, "Intro");
    addTopic(20, "About");
    dm.TbMain->Append();
    dm.TbMain->FieldByName("ID")->setAsInteger(10);
    EXPECT_THROW(dm.TbMain->Post(), EDatabaseError);
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsInsert);
    dm.TbMain->Cancel();

    ASSERT_TRUE(dm.TbMain->Locate("ID", 20));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("ID")->setAsInteger(10);
    EXPECT_THROW(dm.TbMain->Post(), EDatabaseError);
    EXPECT_EQ(dm.TbMain->State(), TDataSetState::dsEdit);
    dm.TbMain->Cancel();
    EXPECT_EQ(ids(*dm.Qid), QStringList({"10", "20"}));
}

// A new page's topic takes the first free ID above the current one; the
// import proposes the next ten above the largest.
TEST_F(DModTest, IdsForNewRows) {
    dm.CreateProject(d + "book.hpj");
    EXPECT_EQ(dm.ProposedFirstId(), std::nullopt);
    for (int id : {10, 11, 12, 14, 37})
        addTopic(id, QString::number(id));
    for (const auto& [current, free] : {std::pair{10, 13}, {12, 13}, {14, 15}, {37, 38}}) {
        ASSERT_TRUE(dm.TbMain->Locate("ID", current));
        EXPECT_EQ(dm.FreeIdAfterCurrent(), free) << current;
    }
    EXPECT_EQ(dm.ProposedFirstId(), 40);
    addTopic(40, "c");
    EXPECT_EQ(dm.ProposedFirstId(), 50);
}

// ---------------------------------------------------------------- build source

TEST_F(DModTest, BuildReadsTheComputingCursor) {
    dm.CreateProject(d + "book.hpj");
    addTopic(10, "Ten");
    addTopic(1, "One");
    addTopic(2, "Two", "200");

    CalcTopicSource whole(dm, true);
    EXPECT_EQ(whole.count(), 3);
    EXPECT_EQ(BuildFiles(d, "book", whole), 3);
    EXPECT_EQ(readFile(d + "book.lst"), "book_1.rtf\r\nbook_2.rtf\r\nbook_10.rtf\r\n");
    EXPECT_EQ(readFile(d + "book.map"), "#define 2 200\r\n");
    EXPECT_TRUE(readFile(d + "book_10.rtf").contains("#{\\footnote # 10}"));

    TopicFields topic;
    QString ctx;
    ASSERT_TRUE(dm.TbMain->Locate("ID", 2));
    CalcTopicSource current(dm, false);
    EXPECT_EQ(current.count(), 1);
    ASSERT_TRUE(current.next(topic, ctx));
    EXPECT_EQ(topic.id, "2");
    EXPECT_EQ(topic.name, "Two");
    EXPECT_EQ(ctx, "200");
    EXPECT_TRUE(topic.keys.isEmpty());
    EXPECT_FALSE(current.next(topic, ctx));

    // A row not yet stored has no topic to build, whatever the cursor held before.
    dm.TbMain->Append();
    dm.TbMain->FieldByName("ID")->setAsInteger(99);
    CalcTopicSource unsaved(dm, false);
    EXPECT_EQ(unsaved.count(), 0);
    EXPECT_FALSE(unsaved.next(topic, ctx));
}

} // namespace
