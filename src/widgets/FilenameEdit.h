// A file-name edit with a browse button; the browse shows the open-file dialog
// of the UI services and puts the chosen path into the edit.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TFilenameEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    Q_PROPERTY(QString Filter READ filter WRITE setFilter)
    Q_PROPERTY(QString DefaultExt READ defaultExt WRITE setDefaultExt)
    Q_PROPERTY(QString DialogTitle READ dialogTitle WRITE setDialogTitle)

public:
    explicit TFilenameEdit(QWidget* parent = nullptr);

    QString fileName() const;
    void setFileName(const QString& fileName);
    // "Description|*.ext|Other|*.*", as the UI services take it.
    const QString& filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    const QString& defaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& ext) { defaultExt_ = ext; }
    const QString& dialogTitle() const { return dialogTitle_; }
    void setDialogTitle(const QString& title) { dialogTitle_ = title; }

    QLineEdit* edit() const { return edit_; }
    QToolButton* button() const { return button_; }

public slots:
    // Shows the open-file dialog starting at the current name; a cancelled
    // dialog leaves the name as it was.
    void browse();

signals:
    void fileNameChanged(const QString& fileName);

private:
    QLineEdit* edit_;
    QToolButton* button_;
    QString filter_;
    QString defaultExt_;
    QString dialogTitle_;
};
