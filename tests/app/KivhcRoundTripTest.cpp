// Projects made by kivhelp, built with --build --no-compile, compiled by kivhc
// and read back with kivhc --dump: every title, context string, keyword,
// browse neighbour, window, map number and topic text comes back. Also the
// command line's contracts: switches, exit statuses, the dump of a damaged
// file, and kivhelp --build using the kivhc installed beside it.
#include "DbfTable.h"
#include "KivRich.h"
#include "Main.h"
#include "ProjectFixture.h"
#include "TestBitmap.h"
#include "TopicCodes.h"
#include "fUnit.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSpinBox>

namespace {

// runProgram's minute is too short for the 5,000 topics on a slow machine.
ProgramRun run(const QString& program, const QStringList& args, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(300000)) << program.toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& s : v.toArray())
        out << s.toString();
    return out;
}

class KivhcRoundTripTest : public ProjectFixture {
protected:
    void SetUp() override {
        kivhelp = QString::fromLocal8Bit(qgetenv("KIVHELP"));
        kivhc = QString::fromLocal8Bit(qgetenv("KIVHC"));
        ASSERT_FALSE(kivhelp.isEmpty() || kivhc.isEmpty()) << "KIVHELP and KIVHC must be set";
    }

    // --build --no-compile, then kivhc; the dump of the help file.
    QJsonObject buildAndDump() {
        const ProgramRun build = run(kivhelp, {"--build", d + "book.hpj", "--no-compile"}, d);
        EXPECT_EQ(build.status, 0) << build.err.constData();
        compiled = run(kivhc, {"/a", "/C/e", d + "book.hpj"}, d);
        EXPECT_EQ(compiled.status, 0) << compiled.out.constData();
        const ProgramRun dump = run(kivhc, {"--dump", d + "book.hlp"}, d);
        EXPECT_EQ(dump.status, 0) << dump.err.constData();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(dump.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << dump.out.left(400).constData();
        return doc.object();
    }

    // The index and the topic of the dump with context `id`.
    static int indexOf(const QJsonObject& dump, const QString& id) {
        const QJsonArray topics = dump["topics"].toArray();
        for (int i = 0; i < topics.size(); ++i)
            if (strings(topics[i]["contexts"]).contains(id)) return i;
        ADD_FAILURE() << "no topic " << id.toStdString();
        return -1;
    }
    static QJsonObject topic(const QJsonObject& dump, const QString& id) {
        return dump["topics"].toArray().at(indexOf(dump, id)).toObject();
    }

    QString kivhelp, kivhc;
    ProgramRun compiled;
};

} // namespace

TEST_F(KivhcRoundTripTest, HandMadeAndImportedTopicsComeBackWhole) {
    createProject();
    QByteArray hpj = readFile(d + "book.hpj");
    hpj.replace("[WINDOWS]\r\n",
                "[WINDOWS]\r\nproc=\"Procedures\",(100,120,600,400),0,(255,255,226),"
                "(192,192,192),0\r\n");
    writeFile(d + "book.hpj", hpj);
    writeFile(d + "logo.bmp", Bmp24(2, 1));
    dm.LoadWindowNames();
    addTopic(5, "Parser", {}, "1005");
    addTopic(12, QString::fromUtf8("Café target"), {}, "1012");
    addTopic(13, QString::fromUtf8("Über"));
    dm.TbMain->Locate("ID", 12);
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("KEYS")->setAsString(QString::fromUtf8("café;target word"));
    dm.TbMain->FieldByName("AKEYS")->setAsString("tgt");
    dm.TbMain->FieldByName("BSEQ")->setAsString("a:020");
    dm.TbMain->FieldByName("WINDOW")->setAsString("proc");
    dm.TbMain->Post();
    dm.TbMain->Locate("ID", 5);
    dm.TbMain->Edit();
    dm.TbMain->FieldByName("BSEQ")->setAsString("a:010");
    dm.TbMain->Post();
    dm.CloseProject(false);

    {
        TFormMain window(d + "book.hpj");
        TKivDBRichEdit& edit = *window.DBRichText;
        ASSERT_TRUE(dm.TbMain->Locate("ID", 5));
        WriteTopicTitle(edit, "Parser", false, true);
        const auto type = [&edit](const QString& s) {
            edit.setSelStart(edit.GetTextLen());
            edit.ReplaceSelection(s);
        };
        window.ComboBoxWindows->setCurrentIndex(window.ComboBoxWindows->findText("proc"));
        type("See ");
        edit.setSelStart(edit.GetTextLen());
        InsertTopicLink(edit, dm, 12, "the target", false, window.ComboBoxWindows);
        type(", ");
        edit.setSelStart(edit.GetTextLen());
        InsertTopicLink(edit, dm, 12, "a note", true, nullptr);
        type(" and ");
        edit.setSelStart(edit.GetTextLen());
        InsertTopicLink(edit, dm, 13, {}, false, nullptr);
        type(".\r\n");
        edit.setSelStart(edit.GetTextLen());
        InsertMacroLink(edit, "Print()", "Print it");
        type(" ");
        edit.setSelStart(edit.GetTextLen());
        InsertCode(edit, "{button Back,Back()}");
        type(" ");
        edit.setSelStart(edit.GetTextLen());
        InsertCode(edit, "{bmc logo.bmp}");
        dm.TbMain->Post();

        // An imported unit's topics, cross-linked and in the contents.
        writeFile(d + "Shapes.pas", "unit Shapes;\ninterface\ntype\n  TShape = class(TObject)\n"
                                    "  public\n    procedure Draw;\n  end;\n"
                                    "procedure Reset(A: Integer);\nimplementation\nend.\n");
        ui->fileNames << d + "Shapes.pas";
        QTimer::singleShot(0, [] {
            auto* form = qobject_cast<TFormDelphiUnit*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->SpinEditFirst->setValue(40);
            form->accept();
        });
        window.SpeedButton6Click();
    }
    dm.OpenProject(d + "book.hpj");
    std::map<QString, QString> titles;
    for (dm.TbCalc->First(); !dm.TbCalc->Eof(); dm.TbCalc->Next())
        titles[dm.TbCalc->FieldByName("ID")->AsString()] =
            dm.TbCalc->FieldByName("NAME")->AsString();
    dm.CloseProject(false);
    ASSERT_GT(titles.size(), 5u);

    const QJsonObject dump = buildAndDump();
    EXPECT_TRUE(compiled.out.contains(" 0 warnings")) << compiled.out.constData();
    // How each [OPTIONS] and [WINDOWS] line is read and stored is the
    // parser's and the writer's to test; here: the project's own lines arrive.
    const QJsonObject system = dump["system"].toObject();
    EXPECT_EQ(system["contents"].toString(), "book.cnt");
    EXPECT_EQ(system["windows"].toArray().at(0)["caption"].toString(), "Procedures");

    // Every row is a topic with its title under its ID.
    const QJsonArray topics = dump["topics"].toArray();
    EXPECT_EQ(topics.size(), qsizetype(titles.size()));
    for (const auto& [id, title] : titles)
        EXPECT_EQ(topic(dump, id)["title"].toString(), title) << id.toStdString();

    const QJsonObject target = topic(dump, "12");
    EXPECT_EQ(strings(target["keywords"]), QStringList({QString::fromUtf8("café"), "target word"}));
    EXPECT_EQ(strings(target["akeywords"]), QStringList{"tgt"});
    EXPECT_EQ(target["window"].toString(), "proc");
    const QJsonObject parser = topic(dump, "5");
    EXPECT_EQ(target["browsePrev"], QJsonValue(indexOf(dump, "5")));
    EXPECT_EQ(parser["browseNext"], QJsonValue(indexOf(dump, "12")));

    EXPECT_EQ(parser["nonScroll"].toString(), "Parser\n\n\n");
    const QString text = parser["text"].toString();
    EXPECT_TRUE(text.contains("See [jump 12>proc]the target[/jump], [popup 12]a note[/popup] and "
                              "[jump 13]" +
                              QString::fromUtf8("Über") + "[/jump]."))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[macro Print()]Print it[/macro] [macro Back()]Back[/macro] [bmc 0]"))
        << text.toStdString();
    EXPECT_EQ(dump["bitmaps"].toArray().size(), 1);

    // Map numbers point at their topics.
    std::map<int, QString> map;
    for (const QJsonValue& m : dump["map"].toArray())
        map[m["number"].toInt()] = strings(topics[m["topic"].toInt()]["contexts"]).value(0);
    EXPECT_EQ(map, (std::map<int, QString>{{1005, "5"}, {1012, "12"}}));

    // The unit's topics link to each other: no jump is left unresolved.
    for (const QJsonValue& t : topics)
        EXPECT_FALSE(t["text"].toString().contains("0x")) << t["text"].toString().toStdString();
    EXPECT_TRUE(topic(dump, "40")["text"].toString().contains("[jump 50]"))
        << topic(dump, "40")["text"].toString().toStdString();
}

TEST_F(KivhcRoundTripTest, NoTopicsAndFiveThousandTopics) {
    createProject();
    dm.CloseProject(false);
    QJsonObject dump = buildAndDump();
    EXPECT_TRUE(dump["topics"].toArray().isEmpty());
    EXPECT_TRUE(compiled.out.contains("0 Topics, 0 Jumps, 0 Keywords, 0 Bitmaps"));

    {
        const auto table = DbfTable::open(d + "book.dbf");
        const auto column = [&](const char* name) {
            return table->fieldIndex(QLatin1String(name));
        };
        DbfBatch batch;
        for (int i = 1; i <= 5000; ++i) {
            DbfRecord row(table->fields().size());
            row[column("ID")] = i;
            row[column("NAME")] = QString::fromUtf8("Thème %1").arg(i);
            row[column("KEYS")] = QStringLiteral("all;key %1").arg(i);
            row[column("BSEQ")] = QStringLiteral("s:%1").arg(5000 - i, 5, 10, QLatin1Char('0'));
            if (i % 7 == 0) row[column("CTX")] = QString::number(70000 + i);
            row[column("State")] = 1;
            row[column("TEXT")] = topicText(
                QStringLiteral("Body %1 \\strike next\\strike0{\\v %2}").arg(i).arg(i % 5000 + 1));
            batch.appends.push_back(std::move(row));
        }
        table->applyBatch(batch);
    }
    dump = buildAndDump();
    EXPECT_TRUE(compiled.out.contains("5000 Topics, 5000 Jumps, 5001 Keywords, 0 Bitmaps"))
        << compiled.out.constData();
    const QJsonArray topics = dump["topics"].toArray();
    ASSERT_EQ(topics.size(), 5000);
    for (int i = 0; i < 5000; ++i) {
        const QJsonValue t = topics[i];
        ASSERT_EQ(t["title"].toString(), QString::fromUtf8("Thème %1").arg(i + 1));
        ASSERT_EQ(strings(t["contexts"]), QStringList{QString::number(i + 1)});
        ASSERT_EQ(strings(t["keywords"]), QStringList({"all", QString("key %1").arg(i + 1)}));
        ASSERT_EQ(t["text"].toString(),
                  QString("Body %1 [jump %2]next[/jump]\n").arg(i + 1).arg((i + 1) % 5000 + 1));
        // The browse sequence runs backwards through the file.
        ASSERT_EQ(t["browseNext"], i == 0 ? QJsonValue() : QJsonValue(i - 1)) << i;
        ASSERT_EQ(t["browsePrev"], i == 4999 ? QJsonValue() : QJsonValue(i + 1)) << i;
    }
    EXPECT_EQ(dump["map"].toArray().size(), 5000 / 7);
}

TEST_F(KivhcRoundTripTest, CommandLineContracts) {
    createProject();
    addTopic(1, "One", topicText("One"));
    dm.CloseProject(false);

    // kivhelp --build with no compiler set uses the kivhc beside it.
    ASSERT_TRUE(QDir().mkpath(tmp.d + "tools"));
    ASSERT_TRUE(QFile::copy(kivhelp, tmp.d + "tools/kivhelp"));
    ASSERT_TRUE(QFile::copy(kivhc, tmp.d + "tools/kivhc"));
    ProgramRun r = run(tmp.d + "tools/kivhelp", {"--build", d + "book.hpj"}, tmp.d);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Compiling book.hpj\n1 Topic, 0 Jumps, 0 Keywords, 0 Bitmaps\n"))
        << r.out.constData();
    EXPECT_FALSE(QFile::exists(tmp.d + "tools/kivhelp.ini")); // not stored
    const QByteArray good = readFile(d + "book.hlp");
    EXPECT_TRUE(good.startsWith("\x3F\x5F\x03\x00"));

    // A topic file that cannot be read: status 1, the old help file kept.
    QFile::remove(d + "book_1.rtf");
    r = run(kivhc, {"/A/C/E/M", "book.hpj"}, d);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains("HC2001: Error: book_1.rtf : Cannot read the topic file"))
        << r.out.constData();
    EXPECT_EQ(readFile(d + "book.hlp"), good);
    EXPECT_EQ(run(kivhc, {d + "none.hpj"}, d).status, 1);

    // Wrong arguments and damaged help files.
    for (const QStringList& args :
         {QStringList{}, QStringList{"a.hpj", "b.hpj"}, QStringList{"--fast", "a.hpj"}}) {
        r = run(kivhc, args, d);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("Usage: kivhc")) << r.err.constData();
    }
    writeFile(d + "cut.hlp", good.left(good.size() / 2));
    for (const QString& bad : {d + "cut.hlp", d + "book.hpj", d + "missing.hlp"}) {
        r = run(kivhc, {"--dump", bad}, d);
        EXPECT_EQ(r.status, 1) << bad.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}
