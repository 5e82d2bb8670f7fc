#pragma once

#include "platform/ado/ado_types.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <string_view>
#include <vector>

namespace ado {

class Connection;
class FoldedMatcher;

namespace detail {
class ColumnStore;
struct ResultSet;
} // namespace detail

// A static, read-only recordset with a client-side cursor: open() reads every row of the query to the client,
// after which RecordCount is exact and AbsolutePosition a 1-based ordinal. The current record is either a
// row or one of the two ends: BOF before the first row, EOF after the last; an empty recordset is at both.
// Every operation that fails throws ado::Error and leaves the recordset as it was.
class Recordset final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Recordset)

public:
    explicit Recordset(QObject* parent = nullptr);
    ~Recordset() override;

    // Runs the query over the connection, which the recordset keeps alive as its active connection, and
    // positions on the first row (if any). The query text is passed on as it is, its ODBC escape clauses
    // spelt canonically.
    void open(const QString& source, std::shared_ptr<Connection> connection);
    // The same query again; the rows read before stay when it fails.
    void requery();
    void close() noexcept;
    bool isOpen() const noexcept { return result_ != nullptr; }
    const QString& source() const noexcept { return source_; }
    const std::shared_ptr<Connection>& activeConnection() const noexcept { return connection_; }

    // How text crosses the ODBC boundary on the next open / requery; the platform's default fits its drivers.
    void setTextTransfer(TextTransfer transfer) noexcept { transfer_ = transfer; }
    TextTransfer textTransfer() const noexcept { return transfer_; }

    // Moving off the ends (MoveNext at EOF, MovePrevious at BOF) and MoveFirst / MoveLast on an empty
    // recordset fail with adErrNoCurrentRecord.
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    bool bof() const;
    bool eof() const;
    qsizetype recordCount() const;
    // 1-based position of the current record, or adPosUnknown (empty), adPosBOF, adPosEOF.
    qsizetype absolutePosition() const;
    void setAbsolutePosition(qsizetype position);

    int fieldCount() const;
    const QString& fieldName(int field) const;
    FieldType fieldType(int field) const;
    // Decimals of a Decimal or Double field: the most any of its values has, at least the declared scale.
    int fieldScale(int field) const;
    // Case-insensitive; -1 when there is no such field.
    int fieldIndex(QStringView name) const noexcept;

    // Value of the current record; fails without one. NULL is an invalid QVariant; Decimal values are
    // ado::Decimal, dates QDate, date-times QDateTime (local, as stored).
    QVariant value(int field) const;
    // Values by 0-based row, in recordset order, regardless of the current record.
    QVariant value(qsizetype row, int field) const;
    bool isNull(qsizetype row, int field) const;
    // Typed access for a field of that type; a NULL gives the type's empty value.
    QString text(qsizetype row, int field) const;
    // The same text as stored, UTF-8, without a copy: valid until the rows are replaced (open, requery,
    // close). For writing a long list out.
    std::string_view textUtf8(qsizetype row, int field) const;
    // Starts loading a row's values from memory, for reading many rows in a sorted order: `ahead` (some rows
    // before they are read) for where its texts are, then without it for the values. Does nothing out of
    // range.
    void prefetchRow(qsizetype row, bool ahead) const noexcept;
    qint64 integer(qsizetype row, int field) const;
    Decimal decimal(qsizetype row, int field) const;
    double real(qsizetype row, int field) const;
    QDate date(qsizetype row, int field) const;
    QDateTime dateTime(qsizetype row, int field) const;

    // Puts the rows in the order of one field's values, numbers, dates and prices by value, text ignoring
    // case as in searching; NULLs (and empty texts) last in either direction, equal values in their query
    // order. The current record stays the same record, at its new position (a move). Open and close drop the
    // order, requery keeps it. -1 as field restores the query's order. Rows, positions and values are then
    // all in this order; the rows themselves stay where they are (an index of 4 bytes a row).
    void sort(int field, bool descending);
    int sortField() const noexcept { return sortField_; }
    bool sortDescending() const noexcept { return sortDescending_; }

    // The 0-based row of the first record after row `after` (-1: from the first) that has `text` in one of
    // the Text fields, ignoring case, umlauts and ß as German spells them (see ado_text_search.h), going on
    // from the first row after the last and ending with `after` itself; -1 when none has it. Fails on a
    // field that is not Text, on an empty text and on a row out of range. Moves nothing.
    qsizetype findText(QStringView text, const QList<int>& fields, qsizetype after) const;

Q_SIGNALS:
    // After every change of the current record, including the first positioning after open and requery.
    void moveComplete(ado::EventReason reason);
    // Around open, requery and close, when all rows are replaced at once.
    void rowsAboutToBeReplaced();
    void rowsReplaced();

private:
    static std::unique_ptr<detail::ResultSet> fetch(const Connection& connection, const QString& source,
                                                    TextTransfer transfer);
    const detail::ResultSet& result() const;
    const detail::ColumnStore& column(qsizetype row, int field, FieldType type) const;
    void checkField(int field) const;
    void install(std::unique_ptr<detail::ResultSet> result);
    void moveTo(qsizetype index, EventReason reason);
    void applyOrder();
    static std::size_t findInQueryOrder(FoldedMatcher& matcher,
                                        const std::vector<const detail::ColumnStore*>& stores,
                                        std::size_t first, std::size_t last);
    // A bit per stored row: whether one of the stores' texts there matches.
    static std::vector<quint64> rowsWith(FoldedMatcher& matcher,
                                         const std::vector<const detail::ColumnStore*>& stores);
    std::size_t stored(qsizetype row) const noexcept
    {
        return order_.empty() ? static_cast<std::size_t>(row) : order_[static_cast<std::size_t>(row)];
    }

    std::shared_ptr<Connection> connection_;
    QString source_;
    std::unique_ptr<detail::ResultSet> result_;
    qsizetype current_ = 0; // -1 is BOF, recordCount() is EOF
    TextTransfer transfer_;
    std::vector<quint32> order_; // row -> stored row; empty: the query's order
    int sortField_ = -1;
    bool sortDescending_ = false;
};

} // namespace ado
