#include "DiFind.h"

#include "KivEditors.h"
#include "KivForms.h"
#include "KivLook.h"
#include "UIServices.h"

#include <QAbstractItemView>
#include <QHBoxLayout>

namespace {

// The designed layout: the bevel sits 10 in from the left and the top, rows
// are 28 apart, and the bottom panel takes the buttons and the options.
constexpr int kMargin = 10;
constexpr int kRowHeight = 28;
constexpr int kRowTop = 8;
constexpr int kLabelLeft = 4;
constexpr int kPanelHeight = 41;
constexpr int kMinBevelWidth = 300;

} // namespace

TDialFind::TDialFind(QWidget* parent) : QDialog(parent) {
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setBold(true);
    setFont(font);
    setWindowTitle(BaseCaption());

    Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::Box);
    Bevel->setFrameShadow(QFrame::Sunken);

    PanelBottom = new QWidget(this);
    CheckBoxCase = new QCheckBox(QStringLiteral("Case sensitive"), PanelBottom);
    CheckBoxFull = new QCheckBox(QStringLiteral("Full coincidence"), PanelBottom);
    ButtonFind = new QPushButton(QStringLiteral("Find"), PanelBottom);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), PanelBottom);
    auto* row = new QHBoxLayout(PanelBottom);
    row->setContentsMargins(kMargin, 4, kMargin, 4);
    row->addWidget(CheckBoxCase);
    row->addWidget(CheckBoxFull);
    row->addStretch();
    row->addWidget(ButtonFind);
    row->addWidget(ButtonCancel);
    connect(ButtonFind, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    DataSourceFind = new TDataSource(this);

    baseBevelWidth_ = qMax(kMinBevelWidth, PanelBottom->sizeHint().width() - 2 * kMargin);
    BuildRows({}, 0, 0);
}

// The editors unlink from the data source before it goes with the dialog.
TDialFind::~TDialFind() {
    clearRows();
}

QString TDialFind::BaseCaption() {
    return QStringLiteral("Search by sorting fields");
}

void TDialFind::clearRows() {
    for (const TRow& r : std::as_const(rows_)) {
        delete r.Editor;
        delete r.Label;
    }
    rows_.clear();
}

void TDialFind::BuildRows(const QList<TField*>& fields, int maxLabelWidth, int maxEditWidth) {
    clearRows();
    int labelChars = 0;
    int editChars = 0;
    for (const TField* f : fields) {
        labelChars = qMax(labelChars, int(f->DisplayLabel().size()));
        editChars = qMax(editChars, f->DisplayWidth());
    }
    if (maxLabelWidth >= 1 && maxLabelWidth < labelChars) labelChars = maxLabelWidth;
    if (maxEditWidth >= 1 && maxEditWidth < editChars) editChars = maxEditWidth;
    labelColumn_ = labelChars * 10;
    editColumn_ = editChars * 10;

    int bevelWidth = baseBevelWidth_;
    if (labelColumn_ + editColumn_ + 8 > bevelWidth) bevelWidth = labelColumn_ + editColumn_ + 8;
    const int bevelHeight = kRowHeight * int(fields.size()) + 8;
    Bevel->setGeometry(kMargin, kMargin, bevelWidth, bevelHeight);
    setFixedSize(bevelWidth + 2 * kMargin, bevelHeight + 40 + kPanelHeight);
    placePanel();

    const int charWidth = KivMeasureFont(font()).width();
    int top = kRowTop;
    for (TField* f : fields) {
        QWidget* editor = KivCreateDBEditor(Bevel, f, DataSourceFind, charWidth);
        if (!editor) continue;
        // Combos fill their lists only once they have a parent, so they are
        // bound here rather than by the factory.
        KivSetStringProperty(editor, QStringLiteral("DataField"), f->FieldName());
        editor->move(kLabelLeft + labelColumn_, top);
        editor->show();
        auto* label = new QLabel(f->DisplayLabel(), Bevel);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(kLabelLeft, top, labelColumn_, editor->height());
        label->setBuddy(editor);
        label->show();
        rows_.append({label, editor});
        top += kRowHeight;
    }
    if (!rows_.isEmpty()) rows_.first().Editor->setFocus();
}

void TDialFind::placePanel() {
    PanelBottom->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
}

bool TDialFind::CommitEdits() {
    QWidget* focused = focusWidget();
    for (QWidget* w = focused; w && w != this; w = w->parentWidget()) {
        auto* combo = qobject_cast<TKivCustomDBLookupCombo*>(w);
        if (!combo) continue;
        if (combo->ListVisible()) {
            const int row = combo->view()->currentIndex().row();
            combo->hidePopup();
            if (row >= 0) combo->ChooseKey(combo->model()->index(row, 0).data(Qt::UserRole));
        }
        // A code being typed over the combo is looked up when its edit is left.
        auto* lookup = qobject_cast<TKivDBLookupCombo*>(combo);
        if (lookup && lookup->CodeEdit() && lookup->CodeEdit()->isVisible())
            lookup->CodeEdit()->clearFocus();
        break;
    }
    TDataSet* record = DataSourceFind->DataSet();
    if (!record ||
        (record->State() != TDataSetState::dsEdit && record->State() != TDataSetState::dsInsert))
        return true;
    try {
        record->UpdateRecord();
    } catch (const EKivError& e) {
        if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
        return false;
    }
    return true;
}

void TDialFind::done(int result) {
    if (result == QDialog::Accepted && !CommitEdits()) return;
    QDialog::done(result);
}
