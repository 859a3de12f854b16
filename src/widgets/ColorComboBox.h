// A drop-down list of colour swatches without names. A colour set that the
// list lacks is added to it, so any text colour can be shown.
#pragma once

#include <QColor>
#include <QComboBox>

class TColorComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QColor SelectedColor READ SelectedColor WRITE setSelectedColor)
public:
    explicit TColorComboBox(QWidget* parent = nullptr);

    QColor SelectedColor() const;
    void setSelectedColor(const QColor& color);

private:
    void addColor(const QColor& color);
};
