#include "platform/ado/ado_data_grid.h"

#include "platform/ado/ado_error.h"
#include "platform/ado/ado_list_text.h"
#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace ado {
namespace {

// Rows measured for the initial column widths: about a screen, so that binding costs the same for any length.
constexpr int kColumnFitRows = 32;

// The current row is the recordset's current record, so only a click on another row changes the selection:
// a click beside the rows or a Ctrl+click on the selected row leaves the highlight where it is.
class RecordView final : public QTableView
{
public:
    using QTableView::QTableView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        if (!index.isValid())
            return QItemSelectionModel::NoUpdate;
        const QItemSelectionModel::SelectionFlags command = QTableView::selectionCommand(index, event);
        if (command.testFlag(QItemSelectionModel::Deselect) || command.testFlag(QItemSelectionModel::Toggle))
            return QItemSelectionModel::NoUpdate;
        return command;
    }
};

} // namespace

DataGrid::DataGrid(QWidget* parent)
    : QWidget(parent), view_(new RecordView(this)), model_(new RecordsetModel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    view_->setCornerButtonEnabled(false);
    view_->setTabKeyNavigation(false);
    // The grid takes the focus through its view, and the tab order treats the two as one control.
    setFocusProxy(view_);
    view_->setSortingEnabled(false);
    // Fixed row heights: the view then maps scroll positions to rows arithmetically.
    QHeaderView* rows = view_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    rows->setMinimumSectionSize(1);
    rows->hide();
    QHeaderView* columns = view_->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    view_->setModel(model_);
    // A width the user (or a remembered layout) gave a column stays through re-reads and sorts.
    connect(columns, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!fitting_)
            chosenWidths_.insert(model_->headerData(column, Qt::Horizontal).toString().toLower(), width);
    });
    // The heading flips its indicator on a click (ascending first, then each way in turn); the rows follow
    // it.
    connect(columns, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) { sortBy(column, order); });

    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { followView(current); });
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event)
{
    // The view's own Strg+C copies the current cell only.
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelectedRows();
        return true;
    }
    // After the view's own handling of the press has moved the current row.
    if (watched == view_->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        view_->viewport()->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
        Q_EMIT clicked();
    return QWidget::eventFilter(watched, event);
}

void DataGrid::setSelectedTextField(const QString& fieldName)
{
    selectedTextField_ = fieldName;
}

DataGrid::~DataGrid() = default;

void DataGrid::setDataSource(Recordset* recordset)
{
    disconnect(moved_);
    disconnect(replaced_);
    source_ = recordset;
    model_->setRecordset(recordset);
    if (recordset) {
        moved_ = connect(recordset, &Recordset::moveComplete, this, [this] { showCurrentRecord(); });
        // The model resets itself first (it connected before), then the grid fits its columns.
        replaced_ = connect(recordset, &Recordset::rowsReplaced, this, [this] {
            fitColumns();
            showSortOrder();
        });
    }
    fitColumns();
    showSortOrder();
    showCurrentRecord();
}

void DataGrid::sortBy(int column, Qt::SortOrder order)
{
    Recordset* recordset = source_.data();
    if (!recordset || !recordset->isOpen())
        return showSortOrder();
    try {
        recordset->sort(column, order == Qt::DescendingOrder);
    } catch (const Error&) {
        // Left in the order it had; the heading says which.
    }
    showSortOrder();
}

void DataGrid::showSortOrder()
{
    const Recordset* recordset = source_.data();
    const bool sorted = recordset && recordset->isOpen() && recordset->sortField() >= 0;
    const QSignalBlocker quiet(view_->horizontalHeader());
    view_->horizontalHeader()->setSortIndicator(sorted ? recordset->sortField() : -1,
                                                sorted && recordset->sortDescending() ? Qt::DescendingOrder
                                                                                      : Qt::AscendingOrder);
}

void DataGrid::fitColumns()
{
    // Measured here from the texts instead of the delegate's size hints, which lay out every sampled cell.
    const QFontMetrics metrics(view_->font());
    const int margin =
        2 * (view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1) + 4;
    QHeaderView* header = view_->horizontalHeader();
    const QScopedValueRollback guard(fitting_, true);
    const int rows = qMin(model_->rowCount(), kColumnFitRows);
    for (int column = 0; column < model_->columnCount(); ++column) {
        const auto chosen =
            chosenWidths_.constFind(model_->headerData(column, Qt::Horizontal).toString().toLower());
        if (chosen != chosenWidths_.cend()) {
            header->resizeSection(column, *chosen);
            continue;
        }
        int width = header->sectionSizeHint(column);
        for (int row = 0; row < rows; ++row)
            width =
                qMax(width, metrics.horizontalAdvance(model_->index(row, column).data().toString()) + margin);
        header->resizeSection(column, width);
    }
}

void DataGrid::showCurrentRecord()
{
    if (syncing_)
        return;
    const QScopedValueRollback guard(syncing_, true);
    Recordset* recordset = source_.data();
    QItemSelectionModel* selection = view_->selectionModel();
    qsizetype position = -1;
    try {
        if (recordset && recordset->isOpen())
            position = recordset->absolutePosition();
    } catch (const Error&) {
        position = -1;
    }
    if (position < 1 || position > model_->rowCount()) {
        selection->clearSelection();
        selection->clearCurrentIndex();
        return;
    }
    const int row = static_cast<int>(position - 1);
    const int column = qMax(0, selection->currentIndex().column());
    const QModelIndex index = model_->index(row, column);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void DataGrid::followView(const QModelIndex& current)
{
    Recordset* recordset = source_.data();
    if (syncing_ || !current.isValid() || !recordset || !recordset->isOpen())
        return;
    const QScopedValueRollback guard(syncing_, true);
    try {
        if (recordset->absolutePosition() != current.row() + 1)
            recordset->setAbsolutePosition(current.row() + 1);
    } catch (const Error&) {
        // The row is gone (the recordset changed underneath); the next move resynchronises.
    }
}

QString DataGrid::selectedText() const
{
    const Recordset* recordset = source_.data();
    if (!recordset || !recordset->isOpen())
        return {};
    try {
        const qsizetype position = recordset->absolutePosition();
        if (position < 1)
            return {};
        int field = selectedTextField_.isEmpty() ? -1 : recordset->fieldIndex(selectedTextField_);
        if (field < 0)
            field = view_->selectionModel()->currentIndex().column();
        if (field < 0)
            return {};
        return displayText(*recordset, position - 1, field);
    } catch (const Error&) {
        return {};
    }
}

QList<qsizetype> DataGrid::selectedRows() const
{
    QList<qsizetype> rows;
    const Recordset* recordset = source_.data();
    if (!recordset || !recordset->isOpen())
        return rows;
    for (const QModelIndex& index : view_->selectionModel()->selectedRows())
        rows.append(index.row());
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (rows.isEmpty() && current.isValid())
        rows.append(current.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DataGrid::copySelectedRows() const
{
    const QList<qsizetype> rows = selectedRows();
    if (rows.isEmpty())
        return;
    try {
        QGuiApplication::clipboard()->setText(rowsAsText(*source_, rows));
    } catch (const Error&) {
        // A row that cannot be read leaves the clipboard as it was.
    }
}

} // namespace ado
