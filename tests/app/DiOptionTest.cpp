#include "DiOption.h"
#include "FilenameEdit.h"
#include "ProjectFiles.h"
#include "QtPrinters.h"
#include "RecordingUI.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

TEST(TDialOptions, BrowseFillsTheEditUnlessCancelled) {
    RecordingUI::Scope ui;
    TDialOptions dialog;
    dialog.SetCompilerPath("/old/hcw.exe");
    ui->fileNames.enqueue("/opt/help tools/HCW.EXE");
    dialog.FilenameEdit->button()->click();
    EXPECT_EQ(dialog.CompilerPath(), "/opt/help tools/HCW.EXE");
    ASSERT_EQ(ui->fileDialogs.size(), 1);
    EXPECT_TRUE(ui->fileDialogs[0].endsWith("|Executable files|*.exe|All files|*|exe"));
    dialog.FilenameEdit->button()->click(); // cancelled: nothing changes
    EXPECT_EQ(dialog.CompilerPath(), "/opt/help tools/HCW.EXE");
}

TEST(TDialOptions, ConfirmTakesTheEditAndCancelChangesNothing) {
    TDialOptions dialog;
    dialog.SetCompilerPath("/opt/hcw.exe");
    EXPECT_EQ(dialog.FilenameEdit->edit()->text(), "/opt/hcw.exe");
    dialog.ButtonCancelClick();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.ButtonOKClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Driven modally, as the Options command shows it: only OK stores the path.
    QTemporaryDir dir;
    const QString ini = dir.filePath("kivhelp.ini");
    const auto answer = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* d = qobject_cast<TDialOptions*>(QApplication::activeModalWidget());
            ASSERT_TRUE(d);
            d->FilenameEdit->edit()->setText(""); // an empty path is a valid answer
            (ok ? d->ButtonOK : d->ButtonCancel)->click();
        });
    };
    QString path = "/opt/hcw.exe";
    answer(false);
    EXPECT_FALSE(TDialOptions::ExecuteAndSave(path, ini));
    EXPECT_EQ(path, "/opt/hcw.exe");
    EXPECT_FALSE(QFile::exists(ini));
    answer(true);
    EXPECT_TRUE(TDialOptions::ExecuteAndSave(path, ini));
    EXPECT_EQ(path, "");
    EXPECT_TRUE(QFile::exists(ini));
    EXPECT_EQ(LoadSettings(ini), "");
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void open(const QUrl& url) { urls << url.toString(); }
};

TEST(TDialOptions, LinksOpenTheirAddresses) {
    UrlRecorder recorder;
    for (const char* scheme : {"mailto", "https"})
        QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    TDialOptions dialog;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.LabelMail, &press);
    QApplication::sendEvent(dialog.LabelMail, &release);
    dialog.LabelWebClick();
    for (const char* scheme : {"mailto", "https"})
        QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(recorder.urls, (QStringList{"mailto:" + dialog.LabelMail->text(),
                                          "https://" + dialog.LabelWeb->text()}));
}

#include "DiOptionTest.moc"
