// The dialog of the dataset find component: one labelled editor per sorting
// field inside a bevel, bound to the scratch record the user types the values
// into, and a bottom panel with "Find", "Cancel" and the two search options.
// The component builds the rows for each search; the dialog only lays them
// out and makes sure the typed values are in the record when Find closes it.
#pragma once

#include "TDataSource.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QList>
#include <QPushButton>

class TDialFind : public QDialog {
    Q_OBJECT
public:
    explicit TDialFind(QWidget* parent = nullptr);
    ~TDialFind() override;

    // The caption the field labels are appended to.
    static QString BaseCaption();

    QFrame* Bevel;
    QWidget* PanelBottom;
    QPushButton* ButtonFind;   // closes with Accepted
    QPushButton* ButtonCancel; // closes with Rejected
    QCheckBox* CheckBoxCase;
    QCheckBox* CheckBoxFull;
    TDataSource* DataSourceFind; // the generated editors are bound to it

    struct TRow {
        QLabel* Label = nullptr;
        QWidget* Editor = nullptr;
    };
    const QList<TRow>& Rows() const { return rows_; }

    // Replaces the rows with one per field of DataSourceFind's dataset. The
    // label column is as wide as the longest display label, the editor column
    // as the widest display width (in characters, capped by the maxima when
    // they are positive and smaller), 10 pixels a character; the bevel and the
    // dialog grow to hold them.
    void BuildRows(const QList<TField*>& fields, int maxLabelWidth, int maxEditWidth);
    int LabelColumn() const { return labelColumn_; }
    int EditColumn() const { return editColumn_; }

    // Writes what the editor being used still holds into the record: an open
    // lookup list takes its current entry, a pending edit is stored. A value
    // the field refuses is reported and false returned.
    bool CommitEdits();

    // Find closes only once the typed values are in the record.
    void done(int result) override;

private:
    void clearRows();
    void placePanel();

    QList<TRow> rows_;
    int labelColumn_ = 0;
    int editColumn_ = 0;
    int baseBevelWidth_ = 0;
};
