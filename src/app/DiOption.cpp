#include "DiOption.h"

#include "FilenameEdit.h"
#include "ProjectFiles.h"
#include "Shell.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString kMail = QStringLiteral("kivhelp@example.org");
const QString kWeb = QStringLiteral("www.example.org/kivhelp");

QLabel* linkLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// A label that reports clicks to the dialog.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick)
        : QObject(parent), onClick_(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            onClick_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onClick_;
};

} // namespace

TDialOptions::TDialOptions(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("KivHelp options"));
    setFixedSize(313, 214);

    Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::Box);
    Bevel->setFrameShadow(QFrame::Sunken);
    auto* title = new QLabel(QStringLiteral("KivHelp"), Bevel);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    auto* credits = new QLabel(
        QStringLiteral(
            "Help authoring for help compiler projects.\nBuilt on the Kiv data-aware components."),
        Bevel);
    LabelMail = linkLabel(kMail, Bevel);
    LabelWeb = linkLabel(kWeb, Bevel);
    LabelMail->installEventFilter(new ClickFilter(LabelMail, [this] { LabelMailClick(); }));
    LabelWeb->installEventFilter(new ClickFilter(LabelWeb, [this] { LabelWebClick(); }));

    LabelCompiler = new QLabel(QStringLiteral("Help compiler (hcw.exe or other)"), Bevel);
    FilenameEdit = new TFilenameEdit(Bevel);
    // A help compiler on Linux may be a native program without the extension.
    FilenameEdit->setFilter(QStringLiteral("Executable files|*.exe|All files|*"));
    FilenameEdit->setDefaultExt(QStringLiteral("exe"));
    LabelCompiler->setBuddy(FilenameEdit);

    auto* inner = new QVBoxLayout(Bevel);
    inner->addWidget(title);
    inner->addWidget(credits);
    inner->addWidget(LabelMail);
    inner->addWidget(LabelWeb);
    inner->addStretch();
    inner->addWidget(LabelCompiler);
    inner->addWidget(FilenameEdit);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(ButtonOK, &QPushButton::clicked, this, &TDialOptions::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TDialOptions::ButtonCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Bevel, 1);
    outer->addLayout(buttons);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
}

void TDialOptions::SetCompilerPath(const QString& path) {
    FilenameEdit->setFileName(path);
}

QString TDialOptions::CompilerPath() const {
    return FilenameEdit->fileName();
}

bool TDialOptions::Execute(QString& compilerPath, QWidget* parent) {
    TDialOptions dialog(parent);
    dialog.SetCompilerPath(compilerPath);
    if (dialog.exec() != QDialog::Accepted) return false;
    compilerPath = dialog.CompilerPath();
    return true;
}

bool TDialOptions::ExecuteAndSave(QString& compilerPath, const QString& settingsFile,
                                  QWidget* parent) {
    if (!Execute(compilerPath, parent)) return false;
    SaveSettings(settingsFile, compilerPath);
    return true;
}

QString TDialOptions::MailAddress() const {
    return QStringLiteral("mailto:") + LabelMail->text();
}

QString TDialOptions::WebAddress() const {
    const QString caption = LabelWeb->text();
    return caption.contains(QStringLiteral("://")) ? caption : QStringLiteral("https://") + caption;
}

void TDialOptions::ButtonOKClick() {
    accept();
}

void TDialOptions::ButtonCancelClick() {
    reject();
}

void TDialOptions::LabelMailClick() {
    Shell::Open(MailAddress());
}

void TDialOptions::LabelWebClick() {
    Shell::Open(WebAddress());
}
