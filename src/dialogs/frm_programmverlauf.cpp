#include "dialogs/frm_programmverlauf.h"

#include "dialogs/pictures.h"
#include "dialogs/wrapping_delegate.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/twips.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QStringList>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

// The list's stored column widths. They are in the list's own unit, so they are only kept as
// proportions of the list's width.
constexpr std::array<int, 3> StoredColumnWidths{175, 275, 595};

// A tooltip shows the text as it is, even when it looks like markup, and wraps a long one.
QString plainToolTip(const QString& text)
{
    return text.isEmpty() ? QString()
                          : u"<p style=\"white-space:pre-wrap\">"_s + text.toHtmlEscaped() + u"</p>"_s;
}

// A cell as spreadsheets read it from the clipboard: quoted when a tab or line break inside would
// otherwise split it, or when it starts with a quote.
QString clipboardCell(const QString& text)
{
    const bool quote =
        text.startsWith(u'"') || text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r');
    return quote ? u'"' + QString(text).replace(u"\""_s, u"\"\""_s) + u'"' : text;
}

} // namespace

frmProgrammverlauf::frmProgrammverlauf()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_verlauf(new QTreeWidget(this))
{
    setObjectName(u"frmProgrammverlauf"_s);
    setWindowTitle(u"Programmverlauf"_s);
    setWindowIcon(pictures::programIcon());
    // Unloading the window (program end) deletes it.
    setAttribute(Qt::WA_DeleteOnClose);
    resize(forms::twipsToPixelsX(8550), forms::twipsToPixelsY(4320));

    m_verlauf->setObjectName(u"Verlauf"_s);
    // No layout: the list keeps its laid-out size when the window is resized.
    m_verlauf->setGeometry(forms::twipsRect(0, 0, 8535, 4335));
    m_verlauf->setColumnCount(ColumnCount);
    m_verlauf->setHeaderLabels({u"Zeit"_s, u"Programmteil"_s, u"Text"_s, u"Parameter"_s});
    m_verlauf->setRootIsDecorated(false);
    // Each row as high as its texts, wrapped and never elided.
    m_verlauf->setUniformRowHeights(false);
    m_verlauf->setItemDelegate(new dialogs::WrappingDelegate(m_verlauf));
    m_verlauf->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_verlauf->setAlternatingRowColors(true); // tells the rows of several lines apart
    m_verlauf->setAllColumnsShowFocus(true);
    m_verlauf->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_verlauf->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_verlauf->setSelectionBehavior(QAbstractItemView::SelectRows);

    // The time takes what it needs, with room to spare; the other columns share the rest as stored, each at
    // least as wide as its heading.
    QHeaderView* const header = m_verlauf->header();
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_verlauf) + 1);
    const int timeWidth = std::max(header->sectionSizeHint(TimeColumn),
                                   m_verlauf->fontMetrics().horizontalAdvance(u"00:00:00"_s) + 2 * margins);
    m_verlauf->setColumnWidth(TimeColumn, timeWidth);
    const int total = std::accumulate(StoredColumnWidths.begin(), StoredColumnWidths.end(), 0);
    const int available = m_verlauf->width() - 2 * m_verlauf->frameWidth() - timeWidth;
    for (int column = PartColumn; column < ParameterColumn; ++column) {
        const int share =
            available * StoredColumnWidths[static_cast<std::size_t>(column - PartColumn)] / total;
        m_verlauf->setColumnWidth(column, std::max(share, header->sectionSizeHint(column)));
    }
    header->setStretchLastSection(true);
    // The view keeps the row heights it measured: a column of another width needs them measured again.
    connect(header, &QHeaderView::sectionResized, m_verlauf, [this] { m_verlauf->doItemsLayout(); });

    // Ctrl+C and the context menu copy whole rows; the list's own Ctrl+C would copy one cell.
    auto* copy = new QAction(u"Kopieren"_s, m_verlauf);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    copy->setShortcutVisibleInContextMenu(true);
    connect(copy, &QAction::triggered, this, &frmProgrammverlauf::copySelectedRows);
    m_verlauf->addAction(copy);
    m_verlauf->setContextMenuPolicy(Qt::ActionsContextMenu);

    m_verlauf->setFocus();
    forms::registerWindow(this);
}

void frmProgrammverlauf::StatusText(const QString& Programmteil, const QString& Text,
                                    const QString& Parameter)
{
    const QDateTime now = QDateTime::currentDateTime();
    // The list splits a row at ";" into its columns.
    const QString row = Programmteil + u';' + Text + u';' + Parameter;
    auto item = std::make_unique<QTreeWidgetItem>(QStringList{now.toString(u"hh:mm:ss"_s)} + row.split(u';'));
    item->setToolTip(TimeColumn, now.toString(u"dd.MM.yyyy hh:mm:ss"_s));
    for (int column = PartColumn; column < ColumnCount; ++column)
        item->setToolTip(column, plainToolTip(item->text(column)));
    m_verlauf->insertTopLevelItem(0, item.release());
    // Drops the 101st row; while there are fewer rows there is nothing to take.
    const std::unique_ptr<QTreeWidgetItem> dropped(m_verlauf->takeTopLevelItem(MaxRows));
}

void frmProgrammverlauf::showOwnedBy(QWidget* owner)
{
    QWidget* const ownerWindow = owner != nullptr ? owner->window() : nullptr;
    if (parentWidget() != ownerWindow)
        setParent(ownerWindow, windowFlags()); // stays a window of its own, now kept above the owner
    show();
    raise();
    activateWindow();
}

void frmProgrammverlauf::copySelectedRows()
{
    QString text;
    for (int row = 0; row < m_verlauf->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_verlauf->topLevelItem(row);
        if (!item->isSelected())
            continue;
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << clipboardCell(item->text(column));
        text += cells.join(u'\t') + u'\n';
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void frmProgrammverlauf::closeEvent(QCloseEvent* event)
{
    // The user's close command (close box, system menu, Alt+F4) comes from the window system and only
    // hides the log; a close the program asks for unloads the window.
    if (event->spontaneous()) {
        event->ignore();
        hide();
        return;
    }
    QWidget::closeEvent(event);
}
