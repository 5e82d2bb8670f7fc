#pragma once

#include <QAbstractTableModel>
#include <QMetaObject>
#include <QPointer>

namespace ado {

class Recordset;

// A cell as a German user reads it: dates dd.MM.yyyy, decimals with a comma and the column's decimals,
// numbers without grouping, NULL as empty text.
QString displayText(const Recordset& recordset, qsizetype row, int field);

// Read-only table over a recordset: one column per field headed by its name, rows in recordset order. Cells
// are formatted only when a view asks for them.
class RecordsetModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordsetModel)

public:
    explicit RecordsetModel(QObject* parent = nullptr);
    ~RecordsetModel() override;

    // nullptr detaches: the model is then empty.
    void setRecordset(Recordset* recordset);
    Recordset* recordset() const noexcept { return recordset_.data(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const Recordset* openRecordset() const noexcept;

    QPointer<Recordset> recordset_;
    QMetaObject::Connection aboutToReplace_;
    QMetaObject::Connection replaced_;
    QMetaObject::Connection destroyed_;
};

} // namespace ado
