#include "ColorComboBox.h"

#include <QPainter>
#include <QPixmap>

namespace {

// The sixteen colours of the classic palette.
const QRgb kColors[] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                        0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

} // namespace

TColorComboBox::TColorComboBox(QWidget* parent) : QComboBox(parent) {
    setIconSize(QSize(28, 12));
    for (QRgb rgb : kColors)
        addColor(QColor(rgb));
}

void TColorComboBox::addColor(const QColor& color) {
    QPixmap swatch(iconSize());
    swatch.fill(color);
    QPainter(&swatch).drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    addItem(QIcon(swatch), QString(), color);
}

QColor TColorComboBox::SelectedColor() const {
    return currentData().value<QColor>();
}

void TColorComboBox::setSelectedColor(const QColor& color) {
    int at = findData(color);
    if (at < 0 && color.isValid()) {
        addColor(color);
        at = count() - 1;
    }
    setCurrentIndex(at);
}
