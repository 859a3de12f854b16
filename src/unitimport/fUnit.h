// The unit import window's model of one class: its member items sorted into
// properties, methods and events. Usable without the window.
#pragma once

#include <QStringList>

class TClassItems {
public:
    // Sorts every member item (visibility, " | ", declaration) into exactly one
    // list, keeping their order. The member list itself is not kept.
    explicit TClassItems(const QStringList& members);

    QStringList Properties;
    QStringList Methods;
    QStringList Events;
};

#include <QDialog>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TParser;

// The unit import window: what the scan found, page by page; the author
// chooses the elements that get a topic of their own, reorders and corrects
// the lists, and sets the ID numbering and the windows.
class TFormDelphiUnit : public QDialog {
    Q_OBJECT
public:
    enum Page { PageClasses, PageConstants, PageTypes, PageVariables, PageRoutines };

    explicit TFormDelphiUnit(QWidget* parent = nullptr);
    ~TFormDelphiUnit() override;

    // Fills the pages from a scan: every class, type and routine checked,
    // constants and variables not; a page with nothing on it is hidden.
    void Fill(const TParser& parser);
    bool PageShown(Page page) const;
    // The member lists of the class at `row` of the class list.
    TClassItems* ClassItems(int row) const;

    // Stores the shown class's member lists and shows the selected class's.
    void CheckListBoxClassesClick();
    // The list the Delete and Move buttons work on, or nullptr.
    QListWidget* CurrentElementList() const;
    void DeleteElement(QListWidget* list);
    void MoveElement(QListWidget* list, int by);
    void SpeedButton1Click(); // Delete
    void SpeedButton2Click(); // MoveUp
    void SpeedButton3Click(); // MoveDn
    void SpeedButton4Click(); // Property to Events
    void SpeedButton5Click(); // Event to Properties
    // Stores the shown class's edits before the window goes.
    void FormClose();

    QTabWidget* PageControl;
    QListWidget *CheckListBoxClasses, *ListBoxProperties, *ListBoxMethods, *ListBoxEvents;
    QListWidget *CheckListBoxConst, *CheckListBoxTypes, *CheckListBoxVar, *CheckListBoxRoutines;
    QPushButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4, *SpeedButton5;
    QComboBox *ComboBoxPropWindows, *ComboBoxMainWindows;
    QCheckBox *CheckBoxVisibility, *CheckBoxPrivate, *CheckBoxProtected;
    QSpinBox *SpinEditFirst, *SpinEditInc;
    QPushButton *BitBtn1, *BitBtn2;
    int LastClassIndex = -1;

    void done(int result) override;

private:
    void moveMember(QListWidget* from, QListWidget* to);
    std::vector<std::unique_ptr<TClassItems>> classItems_;
};
