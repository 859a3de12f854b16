#include "DBNavigator.h"

#include "KivError.h"
#include "UIServices.h"

#include <QHBoxLayout>
#include <QStyle>

// Every change of the dataset's state or position updates the buttons.
class TDBNavigator::Link : public TDataLink {
public:
    explicit Link(TDBNavigator& nav) : nav_(nav) {}

protected:
    void ActiveChanged() override { nav_.UpdateButtons(); }
    void EditingChanged() override { nav_.UpdateButtons(); }
    void DataSetChanged() override { nav_.UpdateButtons(); }

private:
    TDBNavigator& nav_;
};

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), link_(std::make_unique<Link>(*this)) {
    struct Button {
        const char* hint;
        QStyle::StandardPixmap glyph;
    };
    const Button looks[nbCount] = {{"First record", QStyle::SP_MediaSkipBackward},
                                   {"Prior record", QStyle::SP_MediaSeekBackward},
                                   {"Next record", QStyle::SP_MediaSeekForward},
                                   {"Last record", QStyle::SP_MediaSkipForward},
                                   {"Insert record", QStyle::SP_FileIcon},
                                   {"Delete record", QStyle::SP_TrashIcon},
                                   {"Edit record", QStyle::SP_FileDialogContentsView},
                                   {"Post edit", QStyle::SP_DialogApplyButton},
                                   {"Cancel edit", QStyle::SP_DialogCancelButton},
                                   {"Refresh data", QStyle::SP_BrowserReload}};
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < nbCount; ++i) {
        auto* b = new QToolButton(this);
        b->setToolTip(QLatin1String(looks[i].hint));
        b->setIcon(style()->standardIcon(looks[i].glyph));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { BtnClick(TNavigateBtn(i)); });
        layout->addWidget(b);
        buttons_[i] = b;
    }
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
    link_->setDataSource(nullptr);
}

TDataSource* TDBNavigator::DataSource() const {
    return link_->DataSource();
}

void TDBNavigator::setDataSource(TDataSource* source) {
    link_->setDataSource(source);
    UpdateButtons();
}

void TDBNavigator::setVisibleButtons(int buttons) {
    visible_ = buttons;
    for (int i = 0; i < nbCount; ++i)
        buttons_[i]->setVisible(visible_ & (1 << i));
}

void TDBNavigator::UpdateButtons() {
    TDataSet* ds = link_->Active() ? link_->DataSet() : nullptr;
    const bool browsing = ds && ds->State() == TDataSetState::dsBrowse;
    const bool editing =
        ds && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert);
    const bool canModify = ds && ds->CanModify();
    const bool enabled[nbCount] = {browsing && !ds->Bof(),
                                   browsing && !ds->Bof(),
                                   browsing && !ds->Eof(),
                                   browsing && !ds->Eof(),
                                   canModify,
                                   canModify && browsing && !ds->IsEmpty(),
                                   canModify && browsing && !ds->IsEmpty(),
                                   editing,
                                   editing,
                                   browsing};
    for (int i = 0; i < nbCount; ++i)
        buttons_[i]->setEnabled(enabled[i] && isEnabled());
}

void TDBNavigator::BtnClick(TNavigateBtn which) {
    TDataSet* ds = link_->Active() ? link_->DataSet() : nullptr;
    if (!ds) return;
    try {
        switch (which) {
        case nbFirst:
            ds->First();
            break;
        case nbPrior:
            ds->Prior();
            break;
        case nbNext:
            ds->Next();
            break;
        case nbLast:
            ds->Last();
            break;
        case nbInsert:
            ds->Insert();
            break;
        case nbDelete: {
            using A = UIServices::Answer;
            if (ConfirmDelete &&
                UIServices::instance().ask(QStringLiteral("Delete record?"), QString(),
                                           UIServices::Icon::Question, {A::Ok, A::Cancel}) != A::Ok)
                return;
            ds->Delete();
            break;
        }
        case nbEdit:
            ds->Edit();
            break;
        case nbPost:
            ds->Post();
            break;
        case nbCancel:
            ds->Cancel();
            break;
        case nbRefresh:
            ds->Refresh();
            break;
        case nbCount:
            break;
        }
    } catch (const EKivError& e) {
        if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
    }
    UpdateButtons();
}
