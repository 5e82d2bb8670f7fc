#pragma once

#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QModelIndex;
class QTableView;

namespace ado {

class Recordset;
class RecordsetModel;

// Read-only data grid bound to a recordset. The grid selects whole rows; its current row and the recordset's
// current record follow each other: selecting a row moves the recordset, a move of the recordset selects the
// row (and no row while the recordset is at BOF or EOF); nothing the user does removes the highlight while
// the record stays. Tab leaves the grid instead of moving from cell to cell. Rows have one fixed height, so a
// grid over a million rows scrolls as fast as one over ten. Shift+click selects the rows up to the clicked
// one, for copying. A click on a column heading sorts the recordset by that column, ascending, a second click
// descending (Recordset::sort).
class DataGrid final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DataGrid)

public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // Binds the grid to the recordset: its columns and rows are built anew, here and after every requery.
    // nullptr detaches it, leaving the grid empty. The grid does not own the recordset.
    void setDataSource(Recordset* recordset);
    Recordset* dataSource() const noexcept { return source_.data(); }

    // Names the field whose text selectedText() reports for any cell of a row (any case); empty: the
    // current cell's own text.
    void setSelectedTextField(const QString& fieldName);
    // The current row's text of the selected-text field, or the current cell's text when no such field is
    // set or the recordset has none. Empty when there is no current row.
    QString selectedText() const;

    // The rows the user selected (at least the current one), in the order shown; Strg+C puts them on the
    // clipboard with their headings (rowsAsText).
    QList<qsizetype> selectedRows() const;
    void copySelectedRows() const;

    QTableView* view() const noexcept { return view_; }

Q_SIGNALS:
    // The user clicked into the grid's data area: a cell, or the empty space beside or below the rows.
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCurrentRecord();
    void followView(const QModelIndex& current);
    void fitColumns();
    void sortBy(int column, Qt::SortOrder order);
    void showSortOrder();

    QTableView* view_;
    RecordsetModel* model_;
    QPointer<Recordset> source_;
    QString selectedTextField_;
    QMetaObject::Connection moved_;
    QMetaObject::Connection replaced_;
    bool syncing_ = false;
    bool fitting_ = false;
    // Widths set from outside the fitting, by field name in lower case.
    QHash<QString, int> chosenWidths_;
};

} // namespace ado
