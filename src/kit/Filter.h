// The window in which the user edits the stored filters of a filter
// component: browses, adds, deletes and names filters, edits their clauses
// row by row (dataset, field, operation, value) and writes the link
// expressions that combine clauses. It edits the component's filters in
// place; the component decides on the result what to store and apply.
#pragma once

#include "KivFilt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <memory>
#include <vector>

class TFormFilter : public QDialog {
    Q_OBJECT
public:
    // What the three buttons at the bottom end the window with.
    enum Result {
        ResultCancel = QDialog::Rejected,
        ResultSet = QDialog::Accepted,
        ResultTakeOff = 2
    };

    explicit TFormFilter(QWidget* parent = nullptr);
    ~TFormFilter() override;

    // Lays out the link area for the component's datasets and shows its
    // current filter.
    void setFilter(TKivFilter* filter);
    TKivFilter* filter() const { return filter_; }

    int WidthDataSetName = 175;
    int WidthFieldName = 150;

    // One clause of the current filter.
    struct TViewItem {
        QLabel* Number = nullptr;
        QComboBox* DataSet = nullptr; // only with detail datasets
        QComboBox* Field = nullptr;
        QComboBox* Operation = nullptr;
        QWidget* Value = nullptr; // a lookup value brings its own data source
        ~TViewItem();
    };
    const std::vector<std::unique_ptr<TViewItem>>& Rows() const { return rows_; }

    QToolButton *SBPred, *SBNext, *SBAdd, *SBDelete, *SBRestore, *SBAddCond, *SBDeleteCond;
    QLineEdit* EditFilterName;
    QLabel* LNumberFilter;
    QCheckBox* CheckBoxAutoTotal;
    QScrollArea* Scroll;
    QPushButton *BitBtnSet, *BitBtnNone, *BitBtnCancel;
    QLabel *LabelTotalHint, *LabelSubTotalHint;
    QList<QLineEdit*> LinkEdits;   // main dataset first, then each detail
    QList<QLabel*> LinkLabels;     // with detail datasets only
    QList<QCheckBox*> ForAllBoxes; // one per detail dataset

    // Fills every control from the current filter.
    void ShowCurrent();
    // Takes the name, the "and" box and the link area into the current filter.
    void ReadBack();

    // Row edits, as the controls make them.
    void ChooseDataSet(int row, int index);
    void ChooseField(int row, const QString& displayName);
    void ChooseOperation(int row, const QString& operation);
    void ValueChanged(int row);
    // Deletes the clause of the row holding `control` (its number excluded).
    void DeleteConditionOf(QWidget* control);

    // The fields of a dataset a clause may use, and the operations for one.
    static QList<TField*> FilterableFields(TDataSet* dataSet);
    QStringList Operations(const TField* field) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLinkArea();
    void addRow();
    void placeRow(int row);
    void fillRow(int row);
    void makeValueEditor(int row, TField* field);
    void checkDetails();
    TDataSet* clauseDataSet(const TConditionItem& clause) const;
    TField* clauseField(const TConditionItem& clause) const;
    QList<TDataSet*> dataSets() const; // the main one, then the details
    QString captionOf(TDataSet* dataSet) const;
    TConditionItem* clause(int row);
    int rowOf(const QWidget* control) const;
    void enableLinkArea(bool on);

    QPointer<TKivFilter> filter_;
    QWidget* rowsHost_;
    std::vector<std::unique_ptr<TViewItem>> rows_;
    bool updating_ = false;
};
