// The data module: the topic table of the open help project (an editing
// cursor and a computing cursor), the two ordered ID/title lists of the link
// combos, the free query of the topic filter, the state of the open project
// and the help compiler's path. Creating, opening and closing a project and
// the rules for new rows and new IDs live here; the main window and the build
// reach the topics only through this module.
#pragma once

#include "KivStartUp.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class TDataSet;
class TDataSource;
class TField;
class TKivQuery;
class TKivTable;

class TDM : public TDataModule {
    Q_OBJECT

public:
    // The first module created becomes the global DM; the kit knows every one.
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // Components, in creation order (opening a project re-binds the datasets
    // in this order).
    TKivTable* TbMain;
    TDataSource* DSMain;
    TKivTable* TbCalc;
    TDataSource* DSCalc;
    TKivQuery* Qid;
    TKivQuery* QName;
    TDataSource* DSQid;
    TDataSource* DSQName;
    TKivQuery* QMain;

    // Project state: a project is open exactly while ProjectName is not empty.
    QString ProjectDir;  // folder of the project file, with its trailing "/"
    QString ProjectName; // the stem S of the project's files
    QString CompilerPath;
    QStringList WindowNames;
    // The settings file LoadSettings and SaveSettings use; the one beside the
    // program unless set otherwise.
    QString SettingsFile;

    bool ProjectOpen() const { return !ProjectName.isEmpty(); }
    // Who writes the topic table when another program keeps it, so that this
    // module opened it read-only ("kivhelp (process 12)"); empty otherwise.
    // It stays so until the project is opened again.
    QString WrittenBy() const;
    // D + S + ext, e.g. ProjectFile(".toc").
    QString ProjectFile(const QString& ext) const { return ProjectDir + ProjectName + ext; }

    // Failures are shown through the message service and never raised.
    void OpenProject(const QString& projectFile);
    void CloseProject(bool saveContents);
    void CreateProject(const QString& projectFile);
    // The engine's text of the last failure of OpenProject or CreateProject,
    // for the windowless commands to print after the message; empty when the
    // last one succeeded.
    QString LastFailure() const { return lastFailure_; }

    // The main window's Contents and Error log pages; until the main window
    // sets them (it exists), the module leaves both alone.
    void setMainWindowPages(QPlainTextEdit* contents, QPlainTextEdit* errorLog);
    bool MainWindowExists() const { return contentsPage_ && errorLogPage_; }

    void LoadSettings();
    void SaveSettings(); // raises EInOutError when the file cannot be written
    void LoadWindowNames();
    void LoadContents(); // raises EInOutError when S.toc cannot be read
    void SaveContents();
    // The Error log page: `before` (the link check's findings of a build),
    // then the lines of S.err.
    void LoadErrorLog(const QStringList& before = {});

    // The first ID above the current topic's that no stored row uses.
    int FreeIdAfterCurrent();
    // The import's first ID: the largest stored ID rounded down to tens, plus
    // ten; none for an empty table.
    std::optional<int> ProposedFirstId();

    // Hooks of the editing cursor.
    void TbMainNewRecord(TDataSet* dataSet);
    void TbMainAfterPost(TDataSet* dataSet);
    void TbMainAfterDelete(TDataSet* dataSet);
    void TbMainAfterScroll(TDataSet* dataSet);

    // The document a new topic starts with: font and colour tables, no body.
    static QString NewTopicDocument();

private:
    void DMCreate();
    void bindDataSets();
    void refreshLists();

    QString lastFailure_;
    QPointer<QPlainTextEdit> contentsPage_;
    QPointer<QPlainTextEdit> errorLogPage_;
};

extern TDM* DM;
