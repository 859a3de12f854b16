// kivhelp --import-unit from outside: the window's choices the options make,
// the topics generated, and a project left as it was by every refusal.
#include "Main.h"
#include "ProjectFixture.h"
#include "fUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QProcess>
#include <QSpinBox>

namespace {

const QString kUnits = QStringLiteral(KIV_TEST_DATA "/units/");

class ImportUnitCommandTest : public ProjectFixture {
protected:
    void SetUp() override {
        program = QString::fromLocal8Bit(qgetenv("KIVHELP"));
        ASSERT_FALSE(program.isEmpty()) << "KIVHELP is not set";
        ASSERT_EQ(run({"--new", hpj}, "").status, 0);
    }

    ProgramRun run(const QStringList& args, const char* command = "--import-unit") const {
        return runProgram(program, *command ? QStringList{command} + args : args, tmp.d);
    }
    ProgramRun import(const QString& unit, const QStringList& options = {}) const {
        return run(QStringList{kUnits + unit, hpj} + options);
    }

    // Every stored row of the project in `dir`, all fields, by ID.
    QStringList rows(const QString& dir) {
        dm.OpenProject(dir + "book.hpj");
        QStringList out;
        for (dm.TbCalc->First(); !dm.TbCalc->Eof(); dm.TbCalc->Next()) {
            QStringList fields;
            for (const char* f : {"ID", "NAME", "KEYS", "AKEYS", "BSEQ", "CTX", "WINDOW", "TEXT",
                                  "UNIT", "CLASS", "DECLAR"})
                fields << dm.TbCalc->FieldByName(f)->AsString();
            out << fields.join('|');
        }
        dm.CloseProject(false);
        return out;
    }
    QStringList ids() {
        QStringList out;
        for (const QString& row : rows(d))
            out << row.section('|', 0, 0);
        return out;
    }
    QString text(int id) {
        for (const QString& row : rows(d))
            if (row.section('|', 0, 0) == QString::number(id)) return row.section('|', 7, 7);
        return "<none>";
    }
    void defineWindows() {
        QByteArray project = readFile(hpj);
        project.replace("[WINDOWS]\r\n", "[WINDOWS]\r\nmain=\"Main\",,,,\r\nproc=\"Proc\",,,,\r\n");
        writeFile(hpj, project);
    }

    QString program;
    const QString hpj = d + "book.hpj";
};

TEST_F(ImportUnitCommandTest, TheListsStartAsTheWindowLeavesThemOrAsSelected) {
    // Types and routines checked, constants and variables not: 1 + 7 + 5.
    ProgramRun r = import("Sections.pas");
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, "Generated 13 topics\n");
    EXPECT_EQ(ids().mid(0, 3), QStringList({"0", "10", "20"})); // empty table: from 0 by 10
    EXPECT_TRUE(readFile(d + "book.toc").startsWith("1 Units\r\n2 Sections unit=0\r\n"));

    // The next run numbers from the proposal above the largest ID (120).
    r = import("Sections.pas", {"--select", " constants , variables"});
    EXPECT_EQ(r.out, "Generated 12 topics\n") << r.err.constData();
    EXPECT_TRUE(text(130).contains("Sections unit")) << text(130).toStdString();

    r = import("Sections.pas", {"--select", "", "--first-id", "1000", "--increment", "1000"});
    EXPECT_EQ(r.out, "Generated 1 topics\n") << r.err.constData();
    EXPECT_EQ(ids().last(), "1000");
    // Nothing checked: the unit's lists name the elements without links.
    EXPECT_FALSE(text(1000).contains("HRef"));

    r = import("Sections.pas", {"--select", "routines", "--first-id", "2000", "--increment", "1"});
    EXPECT_EQ(r.out, "Generated 6 topics\n") << r.err.constData();
    EXPECT_EQ(ids().mid(ids().indexOf("2000")),
              QStringList({"2000", "2001", "2002", "2003", "2004", "2005"}));
    EXPECT_EQ(ids().size(), 13 + 12 + 1 + 6);
}

TEST_F(ImportUnitCommandTest, WindowsAndVisibilityChooseWhatTheMembersGet) {
    defineWindows();
    // The first window for links to members, the second for the member lists.
    ProgramRun r = import("Classes.pas", {"--select", "classes"});
    EXPECT_EQ(r.out, "Generated 29 topics\n") << r.err.constData(); // not its routine
    const QString comp = text(130); // TComp, its lists shown in proc
    EXPECT_TRUE(comp.contains("\\{HRef=140>proc\\}")) << comp.toStdString();
    EXPECT_TRUE(text(140).contains("\\{HRef=150>main\\}"));
    EXPECT_TRUE(text(210).contains("Public")); // Create, with its visibility
    EXPECT_TRUE(text(210).contains("constructor Create(AOwner: TComponent); override;"));
    EXPECT_FALSE(text(210).contains("Protected"));
    EXPECT_TRUE(text(200).contains("Protected"));

    // No window for the lists: pop-ups; links to members in proc; no
    // protected members, private ones, no visibility words.
    r = import("Classes.pas",
               {"--select", "classes", "--first-id", "1000", "--prop-window", "", "--main-window",
                "PROC", "--no-protected", "--private", "--no-visibility"});
    EXPECT_EQ(r.out, "Generated 29 topics\n") << r.err.constData(); // +GetItem -Changed
    const QStringList all = rows(d);
    const QString joined = all.join('\n');
    EXPECT_FALSE(joined.contains("|TComp.Changed|1")) << "protected member generated";
    EXPECT_TRUE(joined.contains("TComp.GetItem"));
    EXPECT_TRUE(text(1130).contains("\\{HRef=1140\\}")) << text(1130).toStdString();
    EXPECT_TRUE(text(1140).contains("\\{HRef=1150>proc\\}"));
    for (const QString& row : all)
        if (row.startsWith("1") && row.section('|', 0, 0).toInt() >= 1000) {
            EXPECT_FALSE(row.contains("Public")) << row.toStdString();
            EXPECT_FALSE(row.section('|', 7, 7).contains("Private"));
        }
}

TEST_F(ImportUnitCommandTest, RefusalsLeaveTheProjectAsItWas) {
    defineWindows();
    ASSERT_EQ(import("Sections.pas").status, 0);
    writeFile(d + "Empty.pas", "unit Empty;\ninterface\nimplementation\nend.\n");
    const auto before = folderFiles(d);
    // Arguments, what standard error says.
    const std::pair<QStringList, QString> cases[] = {
        {{d + "Empty.pas", hpj}, "Nothing found\n"},
        {{kUnits + "Sections.pas", hpj, "--select", "types,fields"}, "Unknown list \"fields\""},
        {{kUnits + "Sections.pas", hpj, "--select", "types,"}, "Unknown list \"\""},
        {{kUnits + "Sections.pas", hpj, "--increment", "0"}, "--increment must lie in 1 to 1000"},
        {{kUnits + "Sections.pas", hpj, "--increment", "1001"}, "must lie in 1 to 1000"},
        {{kUnits + "Sections.pas", hpj, "--first-id", "ten"}, "--first-id needs a whole number"},
        {{kUnits + "Sections.pas", hpj, "--main-window", "popup"}, "no window \"popup\""},
        {{kUnits + "Sections.pas", hpj, "--prop-window"}, "--prop-window needs a value"},
        {{kUnits + "Sections.pas", hpj, "--private", "--private"}, "--private is given twice"},
        {{kUnits + "Sections.pas", hpj, "--fast"}, "Unknown option \"--fast\""},
        {{kUnits + "Sections.pas"}, "No project file given"},
        {{kUnits + "Sections.pas", d + "none.hpj"}, "Error. Project not open\n"},
        {{d + "none.pas", hpj}, "none.pas"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun r = run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(message.toUtf8())) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    }
    EXPECT_EQ(folderFiles(d), before);
}

// A write that fails halfway (the file size limit stops the memo file from
// growing) takes back the rows appended so far.
TEST_F(ImportUnitCommandTest, AFailureHalfwayRemovesTheTopicsItGenerated) {
    ASSERT_EQ(import("Sections.pas", {"--select", "types"}).status, 0);
    const QByteArray toc = readFile(d + "book.toc");
    const QStringList stored = rows(d);
    const QString limit = QString::number(QFileInfo(d + "book.dbt").size() / 512 + 6);
    QProcess p;
    p.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f " + limit + "; exec \"$0\" \"$@\"", program,
                        "--import-unit", kUnits + "Classes.pas", hpj});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1) << err.constData();
    EXPECT_TRUE(err.contains("removed again")) << err.constData();
    EXPECT_EQ(rows(d), stored);
    EXPECT_EQ(readFile(d + "book.toc"), toc);
}

// The command's topics and contents are those the window's OK makes in the
// program for the same choices.
TEST_F(ImportUnitCommandTest, GeneratesWhatTheWindowsOkGenerates) {
    defineWindows();
    const QString copy = tmp.d + "copy/";
    QDir().mkpath(copy);
    for (const auto& [name, bytes] : folderFiles(d))
        writeFile(copy + name, bytes);
    const QStringList options = {
        "--select", "classes,constants", "--first-id", "300", "--increment", "7", "--prop-window",
        "main",     "--no-visibility"};
    ASSERT_EQ(import("Classes.pas", options).status, 0);
    ASSERT_EQ(run({kUnits + "Sections.pas", hpj, "--select", "constants", "--no-protected"}).status,
              0);

    {
        TFormMain window(copy + "book.hpj");
        const auto choose = [](auto&& set) {
            QTimer::singleShot(0, [set] {
                auto* form = qobject_cast<TFormDelphiUnit*>(QApplication::activeModalWidget());
                ASSERT_NE(form, nullptr);
                set(*form);
                form->BitBtn1->click();
            });
        };
        ui->fileNames << kUnits + "Classes.pas";
        choose([](TFormDelphiUnit& form) {
            form.CheckListBoxRoutines->item(0)->setCheckState(Qt::Unchecked);
            form.SpinEditFirst->setValue(300);
            form.SpinEditInc->setValue(7);
            form.ComboBoxPropWindows->setCurrentIndex(1);
            form.CheckBoxVisibility->setChecked(false);
        });
        window.SpeedButton6Click();
        ui->fileNames << kUnits + "Sections.pas";
        choose([](TFormDelphiUnit& form) {
            for (QListWidget* list : {form.CheckListBoxTypes, form.CheckListBoxRoutines})
                for (int i = 0; i < list->count(); ++i)
                    list->item(i)->setCheckState(Qt::Unchecked);
            for (int i = 0; i < form.CheckListBoxConst->count(); ++i)
                form.CheckListBoxConst->item(i)->setCheckState(Qt::Checked);
            form.CheckBoxProtected->setChecked(false);
        });
        window.SpeedButton6Click();
    }
    const QStringList made = rows(d);
    EXPECT_EQ(made.size(), 29 + 6);
    EXPECT_EQ(made, rows(copy));
    EXPECT_EQ(readFile(d + "book.toc"), readFile(copy + "book.toc"));
}

} // namespace
