// The data module: creating, opening and closing projects, the lists and the
// computing cursor following stored rows, new rows, the ID rules, and the
// build's view of the topics.
#include "CalcTopicSource.h"
#include "KivError.h"
#include "ProjectFixture.h"

namespace {

class DModTest : public ProjectFixture {
protected:
    // A column of every row, in the dataset's order.
    static QStringList column(TDataSet& ds, const char* field = "ID") {
        QStringList list;
        for (ds.First(); !ds.Eof(); ds.Next())
            list << ds.FieldByName(field)->AsString();
        return list;
    }

    bool anyDataSetOpen() const {
        for (TDataSet* ds : {(TDataSet*)dm.TbMain, (TDataSet*)dm.TbCalc, (TDataSet*)dm.Qid,
                             (TDataSet*)dm.QName, (TDataSet*)dm.QMain})
            if (ds->Active()) return true;
        return false;
    }
};

TEST_F(DModTest, CreatesTheProjectWithItsTableAndOpensIt) {
    EXPECT_EQ(dm.TbMain->FieldNames(),
              QStringList({"ID", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW", "TEXT", "UNIT",
                           "CLASS", "DECLAR", "State"}));
    QStringList visible;
    for (const TField* f : dm.TbMain->Fields())
        if (f->Visible()) visible << f->DisplayName();
    EXPECT_EQ(visible, QStringList({"ID", "Name", "Keys", "AKeys", "Browse sequence", "Context",
                                    "Window", "State"}));
    createProject();
    for (const auto& [name, bytes] : folderFiles(d))
        EXPECT_TRUE(name.startsWith("book.")) << name.toStdString();

    TTable table; // a cursor of its own
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

    EXPECT_TRUE(dm.TbMain->Active() && dm.TbMain->IsEmpty());
    EXPECT_TRUE(dm.TbCalc->Active() && dm.Qid->Active() && dm.QName->Active());
    EXPECT_FALSE(dm.QMain->Active());
}

TEST_F(DModTest, FailedCreateChangesNoFileAndClosesTheOpenProject) {
    createProject();
    dm.CreateProject(d + ".hpj"); // no stem: nothing at all
    EXPECT_TRUE(ui->messages.isEmpty() && dm.ProjectOpen());
    addTopic(10, "Intro");
    // An existing project, a table alone, a folder that is not there.
    for (const QString name : {"book.hpj", "book.x.hpj", "missing/new.hpj"}) {
        if (name == "book.x.hpj")
            for (const char* ext : {".hpj", ".cnt", ".toc", ".lst", ".map"})
                QFile::remove(d + "book" + ext);
        dm.CloseProject(false);
        const auto before = folderFiles(d);
        dm.OpenProject(d + "book.hpj");
        ASSERT_TRUE(dm.ProjectOpen());
        ui->messages.clear();
        dm.CreateProject(d + name);
        EXPECT_EQ(ui->messages, QStringList({"Error. Project not created"})) << name.toStdString();
        EXPECT_FALSE(dm.ProjectOpen() || anyDataSetOpen());
        EXPECT_NE(dm.LastFailure(), "");
        EXPECT_EQ(folderFiles(d), before);
    }
    EXPECT_FALSE(QFileInfo::exists(d + "missing"));
}

TEST_F(DModTest, DottedProjectNameBindsTheStem) {
    createProject("my.proj");
    EXPECT_EQ(dm.ProjectName, "my");
    EXPECT_TRUE(QFileInfo::exists(d + "my.dbf"));
    EXPECT_FALSE(QFileInfo::exists(d + "my.proj.hpj"));
    dm.CloseProject(false);
    QFile::remove(d + "my.hpj"); // a missing project file only means no window names
    dm.OpenProject(d + "my.proj.hpj");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(dm.TbCalc->TableName(), "my.dbf");
}

TEST_F(DModTest, FailedOpenShowsTheMessageAndLeavesNoProjectOpen) {
    withPages();
    createProject();
    contents.setPlainText("unsaved");
    QFile::remove(d + "book.toc");
    // A missing contents file, a missing table, a name without a stem.
    for (const char* name : {"book.hpj", "nothing.hpj", ".hpj"}) {
        ui->messages.clear();
        dm.OpenProject(d + name);
        EXPECT_EQ(ui->messages, QStringList({"Error. Project not open"})) << name;
        EXPECT_FALSE(dm.ProjectOpen() || anyDataSetOpen()) << name;
        EXPECT_TRUE(dm.ProjectDir.isEmpty());
    }
    EXPECT_TRUE(contents.toPlainText().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(d + "book.toc")); // the failed open saved nothing
}

TEST_F(DModTest, ForeignDataSetIsReportedAndStillBound) {
    const QString file = madeProject();
    auto* foreign = new TQuery(&dm);
    foreign->setSQL({"select ID from \"book.dbf\""});
    dm.OpenProject(file);
    EXPECT_EQ(ui->messages, QStringList({"Bad DataSet"}));
    EXPECT_TRUE(dm.ProjectOpen() && foreign->Active());
    EXPECT_EQ(foreign->DatabaseName(), d);
}

TEST_F(DModTest, ClosingClearsThePagesAndSavesContentsWhenAsked) {
    withPages();
    const QString file = madeProject();
    writeFile(d + "book.err", "HC1002: Warning\r\nbook_10.rtf\r\n");
    writeFile(d + "book.toc", "1 Intro\r\n2 About=20\r\n");
    for (const bool save : {false, true}) {
        dm.OpenProject(file);
        EXPECT_EQ(errorLog.toPlainText(), "HC1002: Warning\nbook_10.rtf");
        EXPECT_EQ(contents.toPlainText(), "1 Intro\n2 About=20");
        contents.setPlainText("1 Intro\n2 Menus=30\n");
        dm.CloseProject(save);
        EXPECT_EQ(readFile(d + "book.toc"), save ? QByteArray("1 Intro\r\n2 Menus=30\r\n\r\n")
                                                 : QByteArray("1 Intro\r\n2 About=20\r\n"));
        EXPECT_TRUE(contents.toPlainText().isEmpty() && errorLog.toPlainText().isEmpty()) << save;
        EXPECT_FALSE(dm.ProjectOpen() || anyDataSetOpen() || !dm.WindowNames.isEmpty()) << save;
    }

    // A page that cannot be saved keeps the project open.
    dm.OpenProject(file);
    contents.setPlainText("typed");
    QFile::remove(d + "book.toc");
    ASSERT_TRUE(QDir(d).mkdir("book.toc")); // a folder in the file's place
    EXPECT_THROW(dm.CloseProject(true), EInOutError);
    EXPECT_TRUE(dm.ProjectOpen());
    EXPECT_EQ(contents.toPlainText(), "typed");
    dm.CloseProject(false);

    // Without a project nothing is written, not even in the working folder.
    contents.setPlainText("typed before any project");
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(d));
    dm.CloseProject(true);
    QDir::setCurrent(cwd);
    EXPECT_FALSE(QFileInfo::exists(d + ".toc"));
    EXPECT_TRUE(contents.toPlainText().isEmpty());
}

TEST_F(DModTest, ListsAndComputingCursorFollowStoredRows) {
    createProject();
    addTopic(30, "Menus");
    addTopic(10, "Intro");
    addTopic(20, "About");
    EXPECT_EQ(column(*dm.Qid), QStringList({"10", "20", "30"}));

    // An edit stays invisible to them until it is stored.
    ASSERT_TRUE(dm.TbMain->Locate("ID", 20));
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("NAME")->setAsString("Zeta");
    EXPECT_EQ(column(*dm.QName, "NAME"), QStringList({"About", "Intro", "Menus"}));
    dm.TbMain->Post();
    EXPECT_EQ(column(*dm.QName, "NAME"), QStringList({"Intro", "Menus", "Zeta"}));
    EXPECT_EQ(dm.TbCalc->Lookup("ID", 20, "NAME").toString(), "Zeta");

    ASSERT_TRUE(dm.TbMain->Locate("ID", 10));
    dm.TbMain->Delete();
    EXPECT_EQ(column(*dm.Qid), QStringList({"20", "30"}));
    EXPECT_EQ(column(*dm.QName, "NAME"), QStringList({"Menus", "Zeta"}));
    EXPECT_EQ(column(*dm.TbCalc), QStringList({"20", "30"}));
}

// The editing cursor and the filter's free query alike.
TEST_F(DModTest, NewRowStartsAsWriteWithTheNewTopicDocument) {
    // Tables and no body, CR LF after the font table and bare CR CR in the colours.
    const QByteArray document = rtfSeed("newtopic.rtf");
    createProject();
    dm.QMain->setSQL({"Select ID,NAME,KEYS,AKEYS,BSEQ,CTX,WINDOW,TEXT,UNIT,CLASS,DECLAR,State "
                      "from \"book.dbf\" EFilter"});
    dm.QMain->Open();
    int id = 0;
    for (TDataSet* ds : {(TDataSet*)dm.TbMain, (TDataSet*)dm.QMain}) {
        ds->Append();
        EXPECT_EQ(ds->FieldByName("State")->AsString(), "Write"); // the twin query's too
        EXPECT_EQ(ds->FieldByName("TEXT")->AsString().toLatin1(), document);
        EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
        ds->FieldByName("ID")->setAsInteger(++id);
        ds->FieldByName("NAME")->setAsString(QString::number(id));
        ds->Post();
    }
    EXPECT_EQ(column(*dm.QName, "NAME"), QStringList({"1", "2"}));
    // Stored and read back byte for byte, bare carriage returns included.
    ASSERT_TRUE(dm.TbCalc->Locate("ID", 2));
    EXPECT_EQ(dm.TbCalc->FieldByName("TEXT")->AsString().toLatin1(), document);
}

// A new page's topic takes the first free ID above the current one; the
// import proposes the next ten above the largest.
TEST_F(DModTest, IdsForNewRows) {
    createProject();
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

TEST_F(DModTest, BuildReadsTheComputingCursor) {
    createProject();
    addTopic(10, "Ten");
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("TEXT")->Clear();
    dm.TbMain->Post();
    addTopic(1, "One");
    dm.TbMain->Append();
    for (const char* field : {"ID", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW", "TEXT"})
        dm.TbMain->FieldByName(field)->setAsString(field == QByteArray("ID") ? "2" : field);
    dm.TbMain->FieldByName("TEXT")->setAsString(QStringLiteral("TEXT \u00e9\u20ac"));
    dm.TbMain->Post();

    TopicFields topic;
    QString ctx;
    QStringList read, texts;
    CalcTopicSource whole(dm, true);
    EXPECT_EQ(whole.count(), 3);
    while (whole.next(topic, ctx)) {
        read << topic.id;
        texts << TopicText(topic);
    }
    EXPECT_EQ(read, QStringList({"1", "2", "10"}));
    // A blank text after a full one is blank, not the one before.
    EXPECT_EQ(texts.mid(1), QStringList({QStringLiteral("TEXT \u00e9\u20ac"), QString()}));
    EXPECT_TRUE(texts[0].startsWith("{\\rtf"));

    // Only the current topic, every field from its own column.
    CalcTopicSource current(dm, false);
    EXPECT_EQ(current.count(), 1);
    ASSERT_TRUE(current.next(topic, ctx));
    EXPECT_EQ(QStringList({topic.id, topic.name, topic.keys, topic.akeys, topic.bseq, ctx,
                           topic.window, TopicText(topic)}),
              QStringList({"2", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW",
                           QStringLiteral("TEXT \u00e9\u20ac")}));
    EXPECT_FALSE(current.next(topic, ctx));

    // A row not yet stored has no topic to build, whatever the cursor held before.
    dm.TbMain->Append();
    dm.TbMain->FieldByName("ID")->setAsInteger(99);
    CalcTopicSource unsaved(dm, false);
    EXPECT_EQ(unsaved.count(), 0);
    EXPECT_FALSE(unsaved.next(topic, ctx));
}

} // namespace
