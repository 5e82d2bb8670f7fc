#pragma once

#include <QStyledItemDelegate>

namespace dialogs {

// Draws a cell's whole text over as many lines as its column's width needs: at word boundaries where it
// can, inside a word where it must, so no text is ever cut off or elided. For a QTreeView with
// uniformRowHeights off; the view has to lay its rows out again when a column changes its width.
class WrappingDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WrappingDelegate)

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace dialogs
