#include "DMod.h"

#include "HelpCompiler.h"
#include "KivDB.h"
#include "KivError.h"
#include "KivFilt.h"
#include "KivForms.h"
#include "KivTable.h"
#include "ProjectFiles.h"
#include "TDataSource.h"

#include <QFileInfo>
#include <QPlainTextEdit>

TDM* DM = nullptr;

namespace {

struct FieldDef {
    const char* name;
    TFieldType type;
    const char* label;          // empty: the field name shows
    int width;                  // 0: the type's default
    const char* list = nullptr; // ";"-separated texts of a list field
};

// The topic table as the editing cursor declares it; this order is the grid's.
const FieldDef kTopicFields[] = {
    {"ID", TFieldType::ftFloat, "", 5},
    {"NAME", TFieldType::ftString, "Name", 25},
    {"KEYS", TFieldType::ftString, "Keys", 60},
    {"AKEYS", TFieldType::ftString, "AKeys", 60},
    {"BSEQ", TFieldType::ftString, "Browse sequence", 0},
    {"CTX", TFieldType::ftString, "Context", 0},
    {"WINDOW", TFieldType::ftString, "Window", 0},
    {"TEXT", TFieldType::ftMemo, "Description", 40},
    {"UNIT", TFieldType::ftString, "Unit", 0},
    {"CLASS", TFieldType::ftString, "Class", 0},
    {"DECLAR", TFieldType::ftMemo, "Declaration", 0},
    {"State", TFieldType::ftSmallint, "", 8, ";Write;Test;Ready"},
};
const int kCalcFieldCount = 11; // the computing cursor leaves State off

const char* const kCreateTable =
    "Create Table \"%0:s.dbf\" (Id numeric(8),Name char(60),Keys char(254),AKeys char(254),"
    "BSeq char(20),CTX char(20),Window char(20),State numeric(1),Text blob(10),Unit char(20),"
    "Class char(40),Declar blob(10))";
const char* const kCreateIndex = "Create %2:s Index I_%1:s on \"%0:s.dbf\" (%1:s)";
const char* const kIndexes[][2] = {{"Id", "unique"}, {"Name", ""}, {"BSeq", ""}, {"State", ""}};

QString format(const char* pattern, const QString& a0, const QString& a1 = {},
               const QString& a2 = {}) {
    return QString::fromLatin1(pattern)
        .replace(QLatin1String("%0:s"), a0)
        .replace(QLatin1String("%1:s"), a1)
        .replace(QLatin1String("%2:s"), a2);
}

TField* addField(TDataSet* dataSet, const FieldDef& def, bool withLabels) {
    TField* field = nullptr;
    if (def.list) {
        auto* list = new TKivListField(dataSet);
        list->setValues(QString::fromLatin1(def.list).split(QLatin1Char(';')));
        field = list;
    } else {
        field = createField(def.type, dataSet);
    }
    field->setFieldName(QString::fromLatin1(def.name));
    if (withLabels) {
        if (*def.label) field->setDisplayLabel(QString::fromLatin1(def.label));
        if (def.width > 0) field->setDisplayWidth(def.width);
    }
    field->setDataSet(dataSet);
    return field;
}

TKivQuery* linkList(QObject* owner, const char* name, const char* order) {
    auto* q = new TKivQuery(owner);
    q->setObjectName(QLatin1String(name));
    q->setSQL({QStringLiteral("select ID,NAME from :TableName"), QLatin1String(order)});
    q->ParamByName(QStringLiteral("TableName"))->setDataType(TFieldType::ftString);
    addField(q, kTopicFields[0], false);
    addField(q, kTopicFields[1], false);
    return q;
}

TDataSource* dataSource(QObject* owner, const char* name, TDataSet* dataSet) {
    auto* ds = new TDataSource(owner);
    ds->setObjectName(QLatin1String(name));
    ds->setDataSet(dataSet);
    return ds;
}

// A memo's lines as the page shows them; an empty page has none.
QStringList pageLines(const QPlainTextEdit* page) {
    const QString text = page->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void setPageLines(QPlainTextEdit* page, const QStringList& lines) {
    page->setPlainText(lines.join(QLatin1Char('\n')));
}

} // namespace

TDM::TDM(QObject* parent) : TDataModule(parent), SettingsFile(SettingsFilePath()) {
    setObjectName(QStringLiteral("DM"));

    TbMain = new TKivTable(this);
    TbMain->setObjectName(QStringLiteral("TbMain"));
    TbMain->setIndexFieldNames(QStringLiteral("ID"));
    for (const FieldDef& def : kTopicFields)
        addField(TbMain, def, true);
    TbMain->FieldByName(QStringLiteral("DECLAR"))->setTag(8);
    // The grid shows the short fields; the texts have their own pages.
    for (const char* hidden : {"TEXT", "UNIT", "CLASS", "DECLAR"})
        TbMain->FieldByName(QLatin1String(hidden))->setVisible(false);
    TbMain->OnNewRecord = [this](TDataSet* ds) { TbMainNewRecord(ds); };
    TbMain->AfterPost = [this](TDataSet* ds) { TbMainAfterPost(ds); };
    TbMain->AfterDelete = [this](TDataSet* ds) { TbMainAfterDelete(ds); };
    TbMain->AfterScroll = [this](TDataSet* ds) { TbMainAfterScroll(ds); };
    DSMain = dataSource(this, "DSMain", TbMain);

    TbCalc = new TKivTable(this);
    TbCalc->setObjectName(QStringLiteral("TbCalc"));
    TbCalc->setIndexFieldNames(QStringLiteral("ID"));
    for (int i = 0; i < kCalcFieldCount; ++i)
        addField(TbCalc, kTopicFields[i], false);
    DSCalc = dataSource(this, "DSCalc", TbCalc);

    Qid = linkList(this, "Qid", "order by 1");
    QName = linkList(this, "QName", "order by 2");
    DSQid = dataSource(this, "DSQid", Qid);
    DSQName = dataSource(this, "DSQName", QName);

    QMain = new TKivQuery(this);
    QMain->setObjectName(QStringLiteral("QMain"));
    QMain->setRequestLive(true);
    QMain->setTag(8);

    if (!DM) DM = this;
    DMCreate();
}

TDM::~TDM() {
    // The kit's handlers (posting pending edits) see the whole module.
    BeforeDestruction();
    if (DM == this) DM = nullptr;
}

void TDM::DMCreate() {
    WindowNames.clear();
    CompilerPath.clear();
    // The free query takes the editing cursor's fields and hooks; its own tag stays.
    const int tag = QMain->Tag();
    TwinDataSet(TbMain, QMain);
    QMain->setTag(tag);
    // Stored filters lie beside the program, one file per filter component.
    TKivFilter::LoadFiltersHook() = [](TKivFilter* filter) {
        LoadFilterFile(*filter, FilterFilePath(filter->objectName()));
    };
    TKivFilter::SaveFiltersHook() = [](TKivFilter* filter) {
        SaveFilterFile(*filter, FilterFilePath(filter->objectName()));
    };
    LoadSettings();
}

void TDM::setMainWindowPages(QPlainTextEdit* contents, QPlainTextEdit* errorLog) {
    contentsPage_ = contents;
    errorLogPage_ = errorLog;
}

// ---------------------------------------------------------------- project

void TDM::OpenProject(const QString& projectFile) {
    ProjectDir = ProjectDirOf(projectFile);
    ProjectName = ProjectStemOf(projectFile);
    lastFailure_.clear();
    try {
        // Without a stem the module would hold open datasets with no project.
        if (ProjectName.isEmpty())
            throw EInOutError(QStringLiteral("No project name in \"%1\"").arg(projectFile));
        LoadWindowNames();
        if (MainWindowExists()) {
            LoadErrorLog();
            LoadContents();
        }
        bindDataSets();
    } catch (const std::exception& e) {
        lastFailure_ = QString::fromStdString(e.what());
        KivShowMessage(QStringLiteral("Error. Project not open"));
        CloseProject(false);
    }
}

// Every database dataset the module owns, in creation order, re-bound to the
// project's table and opened (the free query stays closed until a filter needs it).
void TDM::bindDataSets() {
    const QString table = ProjectName + QStringLiteral(".dbf");
    for (QObject* child : children()) {
        auto* ds = qobject_cast<TDBDataSet*>(child);
        if (!ds) continue;
        ds->Close();
        ds->setDatabaseName(ProjectDir);
        if (auto* t = qobject_cast<TTable*>(ds)) {
            t->setTableName(table);
        } else if (auto* q = qobject_cast<TKivQuery*>(ds)) {
            q->setTableName(table);
            if (q != QMain) {
                QStringList sql = q->SQL();
                const QString first = QStringLiteral("select ID,Name from \"%1\"").arg(table);
                if (sql.isEmpty())
                    sql << first;
                else
                    sql[0] = first;
                q->setSQL(sql);
            }
        } else {
            KivShowMessage(QStringLiteral("Bad DataSet"));
        }
        if (ds != QMain) ds->Open();
    }
}

QString TDM::WrittenBy() const {
    return TbMain->Active() ? TbMain->WrittenBy() : QString();
}

void TDM::CloseProject(bool saveContents) {
    // A failed save raises before anything is closed, so the page is not lost.
    if (saveContents) SaveContents();
    for (QObject* child : children())
        if (auto* ds = qobject_cast<TDBDataSet*>(child)) ds->Close();
    ProjectDir.clear();
    ProjectName.clear();
    WindowNames.clear();
    if (MainWindowExists()) {
        contentsPage_->clear();
        errorLogPage_->clear();
    }
}

void TDM::CreateProject(const QString& projectFile) {
    const QString dir = ProjectDirOf(projectFile);
    const QString stem = ProjectStemOf(projectFile);
    if (stem.isEmpty()) return;
    lastFailure_.clear();
    try {
        // Another project under this stem (or a left-over memo file that the
        // new table would need) is never overwritten: refuse before writing.
        QStringList existing = ExistingProjectFiles(dir, stem);
        if (QFileInfo::exists(dir + stem + QStringLiteral(".dbt")))
            existing << stem + QStringLiteral(".dbt");
        if (!existing.isEmpty())
            throw EInOutError(QStringLiteral("Files of the project exist already: %1")
                                  .arg(existing.join(QStringLiteral(", "))));
        WriteProjectFiles(dir, stem);
        ExecSQL(dir, format(kCreateTable, stem), false);
        for (const auto& index : kIndexes)
            ExecSQL(dir,
                    format(kCreateIndex, stem, QLatin1String(index[0]), QLatin1String(index[1])),
                    false);
    } catch (const std::exception& e) {
        lastFailure_ = QString::fromStdString(e.what());
        KivShowMessage(QStringLiteral("Error. Project not created"));
        CloseProject(false);
        return;
    }
    OpenProject(projectFile);
}

// ---------------------------------------------------------------- files

void TDM::LoadSettings() {
    CompilerPath = ::LoadSettings(SettingsFile);
}

void TDM::SaveSettings() {
    ::SaveSettings(SettingsFile, CompilerPath);
}

void TDM::LoadWindowNames() {
    WindowNames = ::LoadWindowNames(ProjectFile(QStringLiteral(".hpj")));
}

// Without a project there is no contents file to read or write (a path made
// of the extension alone would land in the working folder).
void TDM::LoadContents() {
    if (MainWindowExists() && ProjectOpen())
        setPageLines(contentsPage_, ::LoadContents(ProjectFile(QStringLiteral(".toc"))));
}

// A project open read-only leaves the contents file to the program that
// writes the project: this page may be older than the file.
void TDM::SaveContents() {
    if (MainWindowExists() && ProjectOpen() && WrittenBy().isEmpty())
        ::SaveContents(ProjectFile(QStringLiteral(".toc")), pageLines(contentsPage_));
}

void TDM::LoadErrorLog(const QStringList& before) {
    if (MainWindowExists() && ProjectOpen())
        setPageLines(errorLogPage_, before + ReadErrorLog(ProjectFile(QStringLiteral(".err"))));
}

// ---------------------------------------------------------------- IDs

int TDM::FreeIdAfterCurrent() {
    int id = int(TbMain->FieldByName(QStringLiteral("ID"))->AsInteger()) + 1;
    while (TbCalc->Locate(QStringLiteral("ID"), id))
        ++id;
    return id;
}

std::optional<int> TDM::ProposedFirstId() {
    const QVariant largest =
        SelectValue(ProjectDir, QStringLiteral("select Max(ID) from \"%1.dbf\"").arg(ProjectName));
    if (largest.isNull()) return std::nullopt;
    return int(largest.toLongLong()) / 10 * 10 + 10;
}

// ---------------------------------------------------------------- hooks

QString TDM::NewTopicDocument() {
    return QStringLiteral(
        "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
        "{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fswiss\\fcharset1 Arial;}"
        "{\\f3\\fswiss\\fcharset1 Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green255\\blue255;"
        "\\red0\\green255\\blue0;\r\r"
        "\\red255\\green0\\blue255;\\red255\\green0\\blue0;\\red255\\green255\\blue0;"
        "\\red255\\green255\\blue255;\r\r"
        "\\red0\\green0\\blue127;\\red0\\green127\\blue127;\\red0\\green127\\blue0;"
        "\\red127\\green0\\blue127;\r\r"
        "\\red127\\green0\\blue0;\\red127\\green127\\blue0;\\red127\\green127\\blue127;"
        "\\red192\\green192\\blue192;}\r\r}");
}

void TDM::TbMainNewRecord(TDataSet* dataSet) {
    dataSet->FieldByName(QStringLiteral("Text"))->setAsString(NewTopicDocument());
    dataSet->FieldByName(QStringLiteral("State"))->setAsInteger(1);
}

// The lists and the computing cursor show stored rows only, so they follow
// every post and delete.
void TDM::refreshLists() {
    TbCalc->Refresh();
    Qid->Close();
    Qid->Open();
    QName->Close();
    QName->Open();
}

void TDM::TbMainAfterPost(TDataSet*) {
    refreshLists();
}

void TDM::TbMainAfterDelete(TDataSet* dataSet) {
    refreshLists();
    TbMainAfterScroll(dataSet);
}

void TDM::TbMainAfterScroll(TDataSet*) {}
