// A source unit imported into the project: the window's choices, the topics
// generated with their IDs, texts and links, and the contents lines.
#include "UnitTopics.h"
#include "EParser.h"
#include "KivRich.h"
#include "Main.h"
#include "ProjectFixture.h"
#include "fUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>

namespace {

const char kUnit[] = "unit Shapes;\n"
                     "interface\n"
                     "const\n"
                     "  MaxSize = 10;\n"
                     "type\n"
                     "  TKind = (kA, kB);\n"
                     "  TShape = class(TObject)\n"
                     "  private\n"
                     "    procedure Hidden;\n"
                     "  public\n"
                     "    procedure Draw;\n"
                     "    property Size: Integer read FSize;\n"
                     "    property OnDraw: TNotifyEvent read FOnDraw;\n"
                     "  end;\n"
                     "var\n"
                     "  Count: Integer;\n"
                     "procedure Reset(A: Integer);\n"
                     "implementation\n"
                     "end.\n";

class UnitTopicsTest : public ProjectFixture {
protected:
    void SetUp() override {
        createProject();
        dm.CloseProject(false);
        window = std::make_unique<TFormMain>(d + "book.hpj");
        writeFile(d + "Shapes.pas", kUnit);
    }
    // Imports the unit, numbering from `first`.
    void import(int first) {
        ui->fileNames << d + "Shapes.pas";
        QTimer::singleShot(0, [first] {
            auto* form = qobject_cast<TFormDelphiUnit*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->SpinEditFirst->setValue(first);
            form->accept();
        });
        window->SpeedButton6Click();
    }
    QString name(int id) {
        return dm.TbCalc->Locate("ID", id) ? dm.TbCalc->FieldByName("NAME")->AsString() : "<none>";
    }
    QString text(int id) {
        EXPECT_TRUE(dm.TbMain->Locate("ID", id));
        return window->DBRichText->Text();
    }
    std::unique_ptr<TFormMain> window;
};

} // namespace

TEST_F(UnitTopicsTest, EveryChosenElementGetsALinkedTopic) {
    import(40);
    const QList<std::pair<int, QString>> expected = {
        {40, "Shapes unit"},       {50, "TKind type"},     {60, "TShape"},
        {70, "TShape properties"}, {80, "TShape.Size"},    {90, "TShape methods"},
        {100, "TShape.Draw"},      {110, "TShape events"}, {120, "TShape.OnDraw"},
        {130, "Reset procedure"}};
    for (const auto& [id, title] : expected)
        EXPECT_EQ(name(id), title) << id;
    EXPECT_EQ(dm.TbCalc->RecordCount(), expected.size()); // private Hidden left out
    // The unit topic is current again.
    EXPECT_EQ(dm.TbMain->FieldByName("ID")->AsInteger(), 40);

    EXPECT_EQ(window->MemoContents->toPlainText().split('\n'),
              QStringList({"1 Units", "2 Shapes unit=40", "1 TShape", "2 TShape reference=60",
                           "2 properties", "3 Size=80", "2 methods", "3 Draw=100", "2 events",
                           "3 OnDraw=120"}));
    EXPECT_EQ(readFile(d + "book.toc").count("\r\n"), 10); // saved

    const QString unit = text(40);
    EXPECT_TRUE(unit.contains("Constants\r\nMaxSize\r\n\r\n")) << unit.toStdString();
    EXPECT_TRUE(unit.contains("Types\r\nTKind{HRef=50}\r\n"));
    EXPECT_TRUE(unit.contains("Classes\r\nTShape{HRef=60}\r\n"));
    EXPECT_TRUE(unit.contains("Variables\r\nCount\r\n"));
    EXPECT_TRUE(unit.contains("Routines\r\nReset{HRef=130}\r\n"));

    EXPECT_TRUE(text(60).startsWith(
        "TShape\r\n\r\nproperties{HRef=70}\tmethods{HRef=90}\tevents{HRef=110}\t{keepn}"))
        << text(60).toStdString();
    const QString member = text(80);
    EXPECT_TRUE(member.startsWith("TShape.Size\r\n\r\nTShape{HRef=60}\t{keepn}"));
    EXPECT_TRUE(member.contains("Declaration\r\nPublic  property Size: Integer;"));
    EXPECT_TRUE(member.contains("Description"));
    EXPECT_TRUE(text(90).contains("Draw{HRef=100}\r\n"));
    EXPECT_TRUE(text(130).contains("Declaration\r\nprocedure Reset(A: Integer);"));
    ASSERT_TRUE(dm.TbMain->Locate("ID", 80));
    EXPECT_EQ(dm.TbMain->FieldByName("KEYS")->AsString(), "TShape,Size;Size,TShape");
    EXPECT_EQ(dm.TbMain->FieldByName("BSEQ")->AsString(), "Shapes:000080");
    EXPECT_EQ(dm.TbMain->FieldByName("UNIT")->AsString(), "Shapes");
}

TEST_F(UnitTopicsTest, ASecondImportTakesNewIdsAndGoesAfterTheFirstUnit) {
    import(40);
    addTopic(150, "Taken");
    import(140); // 150 is used: skipped
    EXPECT_EQ(name(140), "Shapes unit");
    EXPECT_EQ(name(160), "TKind type");
    const QStringList lines = window->MemoContents->toPlainText().split('\n');
    EXPECT_EQ(lines.mid(0, 3), QStringList({"1 Units", "2 Shapes unit=40", "2 Shapes unit=140"}));
}

TEST_F(UnitTopicsTest, NothingFoundOrCancelledGeneratesNothing) {
    writeFile(d + "Empty.pas", "unit Empty;\ninterface\nimplementation\nend.\n");
    ui->fileNames << d + "Empty.pas";
    window->SpeedButton6Click();
    EXPECT_EQ(ui->messages, QStringList({"Nothing found"}));
    ui->fileNames << d + "Shapes.pas";
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    window->SpeedButton6Click();
    EXPECT_EQ(dm.TbCalc->RecordCount(), 0);
    EXPECT_TRUE(window->MemoContents->toPlainText().isEmpty());
}

TEST(SplitMember, NameAndDeclarationWithOrWithoutTheVisibility) {
    QString name, declaration;
    SplitMember("PUBLISHED | property OnChange: TNotifyEvent;  ", true, name, declaration);
    EXPECT_EQ(name, "OnChange");
    EXPECT_EQ(declaration, "Published  property OnChange: TNotifyEvent;");
    SplitMember("PUBLIC | constructor Create(AOwner: TComponent);", false, name, declaration);
    EXPECT_EQ(name, "Create");
    EXPECT_EQ(declaration, "constructor Create(AOwner: TComponent);");
}

TEST(UnitWindow, ListsKeepTheirMarksAndTheClassesTheirMemberEdits) {
    TParser parser;
    parser.Classes = {
        {"TOne", {"PUBLIC | property A: Integer;", "PUBLIC | property OnlyOne: Boolean;"}},
        {"TTwo", {"PUBLIC | procedure Go;"}}};
    parser.Routines = {"procedure A;", "procedure B;"};
    TFormDelphiUnit form;
    form.Fill(parser);
    EXPECT_FALSE(form.PageShown(TFormDelphiUnit::PageConstants));
    EXPECT_TRUE(form.PageShown(TFormDelphiUnit::PageRoutines));

    form.CheckListBoxClasses->setCurrentRow(0);
    EXPECT_EQ(form.ListBoxEvents->count(), 1); // OnlyOne begins with On
    form.ListBoxEvents->setCurrentRow(0);
    form.SpeedButton5Click(); // back to the properties
    EXPECT_EQ(form.ListBoxProperties->count(), 2);
    form.CheckListBoxClasses->setCurrentRow(1);
    EXPECT_EQ(form.ClassItems(0)->Properties.size(), 2);
    EXPECT_TRUE(form.ClassItems(0)->Events.isEmpty());

    form.CheckListBoxRoutines->item(0)->setCheckState(Qt::Unchecked);
    form.CheckListBoxRoutines->setCurrentRow(1);
    form.MoveElement(form.CheckListBoxRoutines, -1);
    EXPECT_EQ(form.CheckListBoxRoutines->item(0)->text(), "procedure B;");
    EXPECT_EQ(form.CheckListBoxRoutines->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(form.CheckListBoxRoutines->item(1)->checkState(), Qt::Unchecked);

    form.CheckListBoxClasses->setCurrentRow(0);
    form.DeleteElement(form.CheckListBoxClasses);
    EXPECT_EQ(form.CheckListBoxClasses->count(), 1);
    EXPECT_EQ(form.ListBoxMethods->item(0)->text(), "PUBLIC | procedure Go;");
}
