#pragma once

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
// row (and no row while the recordset is at BOF or EOF). Rows have one fixed height, so a grid over a
// million rows scrolls as fast as one over ten.
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

    // The current row's num_artikel text (the field of that name, any case; the current cell's text when the
    // recordset has no such field), so that a click into any column of a row names that row's article.
    // Empty when there is no current row.
    QString selectedText() const;

    QTableView* view() const noexcept { return view_; }

Q_SIGNALS:
    // The user clicked into a cell of the grid.
    void clicked();

private:
    void showCurrentRecord();
    void followView(const QModelIndex& current);
    void fitColumns();

    QTableView* view_;
    RecordsetModel* model_;
    QPointer<Recordset> source_;
    QMetaObject::Connection moved_;
    QMetaObject::Connection replaced_;
    bool syncing_ = false;
};

} // namespace ado
