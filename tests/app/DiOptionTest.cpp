// The options dialog: browsing for the compiler, storing only on OK, and the
// author's addresses.
#include "ProjectFiles.h"
#include "ProjectFixture.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QUrl>

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

TEST(TDialOptions, OnlyOkStoresThePath) {
    TempFolder t;
    const QString ini = t.d + "kivhelp.ini";
    QString path = "/opt/hcw.exe";
    answerOptions(false, "/other/hcw.exe");
    EXPECT_FALSE(TDialOptions::ExecuteAndSave(path, ini));
    EXPECT_EQ(path, "/opt/hcw.exe");
    EXPECT_FALSE(QFile::exists(ini));
    answerOptions(true, ""); // an empty path is a valid answer
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
