#include "dialogs/wrapping_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QTreeView>

#include <algorithm>
#include <cmath>

namespace dialogs {
namespace {

QStyle& styleOf(const QStyleOptionViewItem& option)
{
    return option.widget != nullptr ? *option.widget->style() : *QApplication::style();
}

// The room the style gives a cell's text, less the margin it keeps on either side when it draws text.
QRect textArea(const QStyleOptionViewItem& option)
{
    QStyle& style = styleOf(option);
    const int margin = style.pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    return style.subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget)
        .adjusted(margin, 0, -margin, 0);
}

// What a one-line cell adds above and below its text.
int verticalPadding(const QStyleOptionViewItem& option)
{
    QStyleOptionViewItem oneLine = option;
    oneLine.text = QStringLiteral("X");
    const QSize size =
        styleOf(option).sizeFromContents(QStyle::CT_ItemViewItem, &oneLine, QSize(), option.widget);
    return std::max(0, size.height() - option.fontMetrics.height());
}

// Breaks the layout's text into lines of at most width pixels; returns the height of all lines.
qreal breakIntoLines(QTextLayout& layout, qreal width)
{
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

} // namespace

void WrappingDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QRect area = textArea(cell);
    QTextLayout layout(cell.text, cell.font);
    breakIntoLines(layout, area.width());

    // The style draws background, selection and focus; the text is drawn here, whole.
    cell.text.clear();
    styleOf(cell).drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    const bool selected = cell.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group = !cell.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
                                       : cell.state.testFlag(QStyle::State_Active) ? QPalette::Active
                                                                                   : QPalette::Inactive;
    painter->save();
    painter->setClipRect(cell.rect);
    painter->setPen(cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(area.left(), cell.rect.top() + verticalPadding(cell) / 2));
    painter->restore();
}

QSize WrappingDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QSize oneLine = QStyledItemDelegate::sizeHint(option, index);
    const auto* view = qobject_cast<const QTreeView*>(cell.widget);
    if (view == nullptr)
        return oneLine;
    // The lines the text needs at its column's present width.
    cell.rect = QRect(0, 0, view->columnWidth(index.column()), 1 << 16);
    QTextLayout layout(cell.text, cell.font);
    const qreal height = breakIntoLines(layout, textArea(cell).width());
    return {oneLine.width(),
            std::max(oneLine.height(), static_cast<int>(std::ceil(height)) + verticalPadding(cell))};
}

} // namespace dialogs
