// A row of buttons that moves through a data source's dataset and edits it:
// first, prior, next, last, insert, delete, edit, post, cancel, refresh. Each
// button is enabled only when its command can run now.
#pragma once

#include "TDataSource.h"

#include <QFlags>
#include <QToolButton>
#include <QWidget>
#include <memory>

enum TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh,
    nbCount
};

class TDBNavigator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(int VisibleButtons READ VisibleButtons WRITE setVisibleButtons)
    Q_PROPERTY(bool ConfirmDelete MEMBER ConfirmDelete)

public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    TDataSource* DataSource() const;
    void setDataSource(TDataSource* source);
    // One bit per button (1 << nbFirst ...); all by default.
    int VisibleButtons() const { return visible_; }
    void setVisibleButtons(int buttons);
    bool ConfirmDelete = true;

    QToolButton* Button(TNavigateBtn which) const { return buttons_[which]; }
    // Runs a button's command; dataset errors are shown.
    void BtnClick(TNavigateBtn which);
    void UpdateButtons();

private:
    class Link;
    std::unique_ptr<Link> link_;
    QToolButton* buttons_[nbCount];
    int visible_ = (1 << nbCount) - 1;
};
