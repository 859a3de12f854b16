// What the app tests share: a folder with a blank in its path (every path
// must reach a program whole), the data module with the recording message
// service and help viewer, topics stored through the editing cursor, and a
// stand-in help compiler.
#pragma once

#include "DMod.h"
#include "DiOption.h"
#include "FilenameEdit.h"
#include "KivTable.h"
#include "RecordingHelpViewer.h"
#include "RecordingUI.h"
#include "TestFiles.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

// A shell script standing in for the help compiler: it records its arguments,
// one a line, in args.txt beside itself and, like the real one, writes S.err
// and S.hlp beside the project file it gets last. `extra` runs afterwards;
// "$base" is that project file without its extension.
inline QString writeCompilerScript(const QString& path, const QByteArray& extra = {}) {
    return writeScript(path, "args=\"$(dirname \"$0\")/args.txt\"\n"
                             ": > \"$args\"\n"
                             "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$args\"; "
                             "last=\"$a\"; done\n"
                             "base=\"${last%.*}\"\n"
                             "printf 'Compiling %s\\r\\nWarning 4113: topic 3 has no title\\r\\n' "
                             "\"${base##*/}.hpj\" > \"$base.err\"\n"
                             "printf 'HLP' > \"$base.hlp\"\n" +
                                 extra);
}

// The arguments of the script's last run, or "<missing>" when it never ran.
inline QByteArray recordedArgs(const QString& scriptPath) {
    return readFile(QFileInfo(scriptPath).path() + "/args.txt");
}

// A stored topic document whose body is `words`.
inline QString topicText(const QString& words) {
    return "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;}\r\n\\pard " + words + "\\par}";
}

// Answers the next options dialog with `path` and OK, or with Cancel. A build
// repaints (and so runs timers) before the dialog shows: poll for it.
inline void answerOptions(bool ok, const QString& path = QString()) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, ok, path] {
        auto* dialog = qobject_cast<TDialOptions*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->stop();
        poll->deleteLater();
        dialog->FilenameEdit->edit()->setText(path);
        (ok ? dialog->ButtonOK : dialog->ButtonCancel)->click();
    });
    poll->start(5);
}

class ProjectFixture : public ::testing::Test {
protected:
    ProjectFixture() {
        QDir().mkpath(d);
        dm.SettingsFile = tmp.d + "kivhelp.ini";
    }

    // Creates and opens d/<stem>.hpj.
    void createProject(const QString& stem = "book") {
        dm.CreateProject(d + stem + ".hpj");
        ASSERT_TRUE(dm.ProjectOpen()) << ui->messages.join('|').toStdString();
    }

    // A project made and closed again, for a window to open.
    QString madeProject(const QString& stem = "book") {
        createProject(stem);
        dm.CloseProject(false);
        return d + stem + ".hpj";
    }

    // Stores a topic; an empty `text` keeps the new-topic document.
    void addTopic(int id, const QString& name, const QString& text = {}, const QVariant& ctx = {}) {
        dm.TbMain->Append();
        dm.TbMain->FieldByName("ID")->setAsInteger(id);
        dm.TbMain->FieldByName("NAME")->setAsString(name);
        if (!text.isEmpty()) dm.TbMain->FieldByName("TEXT")->setAsString(text);
        dm.TbMain->FieldByName("CTX")->setValue(ctx);
        dm.TbMain->Post();
    }

    // Gives the module pages standing in for the main window's.
    void withPages() { dm.setMainWindowPages(&contents, &errorLog); }

    TempFolder tmp;
    const QString d = tmp.d + "help files/";
    RecordingUI::Scope ui;
    RecordingHelpViewer::Scope viewer;
    TDM dm;
    QPlainTextEdit contents;
    QPlainTextEdit errorLog;
};
