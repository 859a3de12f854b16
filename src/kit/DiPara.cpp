#include "DiPara.h"

#include "KivRich.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

QSpinBox* unbounded(QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(-32768, 32767); // no bounds of its own: the rich edit decides
    return spin;
}

QToolButton* toggle(QWidget* parent, const QString& caption, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setToolTip(hint);
    b->setCheckable(true);
    return b;
}

} // namespace

TDialParagraph::TDialParagraph(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Paragraph"));
    auto* form = new QFormLayout(this);
    SpinEditFirst = unbounded(this);
    SpinEditLeft = unbounded(this);
    SpinEditRight = unbounded(this);
    form->addRow(QStringLiteral("First line"), SpinEditFirst);
    form->addRow(QStringLiteral("Left indent"), SpinEditLeft);
    form->addRow(QStringLiteral("Right indent"), SpinEditRight);
    auto* buttons = new QHBoxLayout;
    SpeedButtonLeft = toggle(this, QStringLiteral("L"), QStringLiteral("Left"));
    SpeedButtonCenter = toggle(this, QStringLiteral("C"), QStringLiteral("Center"));
    SpeedButtonRight = toggle(this, QStringLiteral("R"), QStringLiteral("Right"));
    auto* group = new QButtonGroup(this);
    for (QToolButton* b : {SpeedButtonLeft, SpeedButtonCenter, SpeedButtonRight}) {
        group->addButton(b);
        buttons->addWidget(b);
    }
    SpeedButtonLeft->setChecked(true);
    SpeedButtonBullets = toggle(this, QStringLiteral("\u2022"), QStringLiteral("Bullet"));
    buttons->addWidget(SpeedButtonBullets);
    form->addRow(buttons);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Ok)->setDefault(true);
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(box);
    setFixedSize(sizeHint());
}

QToolButton* AlignmentButton(TParaAlignment alignment, QToolButton* left, QToolButton* center,
                             QToolButton* right) {
    switch (alignment) {
    case TParaAlignment::Right:
        return right;
    case TParaAlignment::Center:
        return center;
    default:
        return left;
    }
}

void TDialParagraph::Fill(TRichEdit& edit) {
    TParaAttributes& p = edit.Paragraph();
    SpinEditFirst->setValue(p.FirstIndent());
    SpinEditLeft->setValue(p.LeftIndent());
    SpinEditRight->setValue(p.RightIndent());
    AlignmentButton(p.Alignment(), SpeedButtonLeft, SpeedButtonCenter, SpeedButtonRight)
        ->setChecked(true);
    bullets_ = p.Numbering() == TNumberingStyle::nsBullet;
    SpeedButtonBullets->setChecked(bullets_);
}

void TDialParagraph::Apply(TRichEdit& edit) {
    if (auto* db = qobject_cast<TKivDBRichEdit*>(&edit)) db->BeginEditing();
    TParaAttributes& p = edit.Paragraph();
    p.setFirstIndent(SpinEditFirst->value());
    p.setLeftIndent(SpinEditLeft->value());
    p.setRightIndent(SpinEditRight->value());
    p.setAlignment(SpeedButtonLeft->isChecked()    ? TParaAlignment::Left
                   : SpeedButtonRight->isChecked() ? TParaAlignment::Right
                                                   : TParaAlignment::Center);
    // Bullets move the left indent: only a changed bullet setting may, or
    // the indent just entered would be lost.
    const bool bullets = SpeedButtonBullets->isChecked();
    if (bullets != bullets_)
        p.setNumbering(bullets ? TNumberingStyle::nsBullet : TNumberingStyle::nsNone);
}

bool TDialParagraph::Execute(TRichEdit& edit) {
    Fill(edit);
    if (exec() != QDialog::Accepted) return false;
    Apply(edit);
    return true;
}
