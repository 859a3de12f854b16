#include "KivFieldLayout.h"

#include "KivEditors.h"
#include "KivForms.h"

#include <QLabel>

namespace {

bool included(const TField* field, bool visibleOnly) {
    return field->Tag() % 10 != 8 && (!visibleOnly || field->Visible());
}

} // namespace

void KivLayoutFieldEditors(QWidget* container, TDataSource* source, const QFont* font,
                           bool visibleOnly, bool alignedLabels, const QColor& color) {
    TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!container || !ds) return;
    const QFont labelFont = font ? *font : container->font();
    const int charWidth = KivMeasureFont(labelFont).width();
    int alignedWidth = 0;
    if (alignedLabels) {
        QString longest;
        for (const TField* f : ds->Fields())
            if (included(f, visibleOnly) && f->DisplayLabel().size() > longest.size())
                longest = f->DisplayLabel();
        alignedWidth = KivMeasureFont(labelFont, longest).width();
    }
    int top = 3, x = 5, rowHeight = 0;
    for (TField* f : ds->Fields()) {
        if (!included(f, visibleOnly)) continue;
        QWidget* editor = KivCreateDBEditor(container, f, source, charWidth);
        if (!editor) continue;
        if (color.isValid()) {
            QPalette p = editor->palette();
            p.setColor(QPalette::Base, color);
            p.setColor(QPalette::Window, color);
            editor->setPalette(p);
        }
        auto* label = new QLabel(f->DisplayLabel(), container);
        label->setFont(labelFont);
        label->adjustSize();
        if (alignedLabels || label->width() + x + 4 + editor->width() > container->width()) {
            top += rowHeight;
            x = 5;
            rowHeight = 0;
        }
        label->move(x, top + 3);
        const bool labelLike = qobject_cast<QLabel*>(editor) != nullptr;
        const int left = alignedLabels ? x + alignedWidth + 8 : x + label->width() + 4;
        editor->move(left, top + (labelLike ? 3 : 0));
        // Combos and memos take their field once laid out.
        if (KivFindProperty(editor, QStringLiteral("DataField")).isValid())
            KivSetStringProperty(editor, QStringLiteral("DataField"), f->FieldName());
        if (!labelLike) label->setBuddy(editor);
        editor->show();
        label->show();
        rowHeight = std::max(rowHeight, editor->height() + 5);
        x = editor->geometry().right() + 5;
    }
    container->setMinimumSize(
        container->childrenRect().united(QRect(0, 0, 1, top + rowHeight)).size());
}
