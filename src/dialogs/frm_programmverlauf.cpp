#include "dialogs/frm_programmverlauf.h"

#include "dialogs/pictures.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QPointer>
#include <QStringList>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <array>
#include <memory>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

// The list's stored column widths. They are in the list's own unit, so they are only kept as
// proportions of the list's width.
constexpr std::array<int, 3> StoredColumnWidths{175, 275, 595};

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
    m_verlauf->setColumnCount(static_cast<int>(StoredColumnWidths.size()));
    m_verlauf->setHeaderLabels({u"Programmteil"_s, u"Text"_s, u"Parameter"_s});
    m_verlauf->setRootIsDecorated(false);
    m_verlauf->setUniformRowHeights(true);
    m_verlauf->setAllColumnsShowFocus(true);
    m_verlauf->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_verlauf->setSelectionMode(QAbstractItemView::SingleSelection);

    const int total = std::accumulate(StoredColumnWidths.begin(), StoredColumnWidths.end(), 0);
    const int available = m_verlauf->width() - 2 * m_verlauf->frameWidth();
    for (int column = 0; column + 1 < static_cast<int>(StoredColumnWidths.size()); ++column)
        m_verlauf->setColumnWidth(column,
                                  available * StoredColumnWidths[static_cast<std::size_t>(column)] / total);
    m_verlauf->header()->setStretchLastSection(true);
    m_verlauf->setFocus();
    forms::registerWindow(this);
}

void frmProgrammverlauf::StatusText(const QString& Programmteil, const QString& Text,
                                    const QString& Parameter)
{
    // The list splits a row at ";" into its columns.
    const QString row = Programmteil + u';' + Text + u';' + Parameter;
    m_verlauf->insertTopLevelItem(0, std::make_unique<QTreeWidgetItem>(row.split(u';')).release());
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
