#include "platform/ado/ado_recordset.h"

#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_odbc.h"
#include "platform/ado/ado_result_fetch.h"
#include "platform/ado/ado_row_sort.h"
#include "platform/ado/ado_text_search.h"

#include <algorithm>
#include <compare>
#include <limits>
#include <new>
#include <numeric>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ado {
namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;
constexpr qint64 kMsecsPerDay = 86400000;

} // namespace

std::unique_ptr<detail::ResultSet> Recordset::fetch(const Connection& connection, const QString& source,
                                                    TextTransfer transfer)
{
    // Shared with the read, which may outlive this call when the wait for it is given up.
    auto result = std::make_shared<std::unique_ptr<detail::ResultSet>>();
    connection.runOnHandle([result, source, transfer,
                            timeout = connection.commandTimeout()](const detail::ConnectionHandle& handle) {
        try {
            *result = std::make_unique<detail::ResultSet>(
                detail::fetchResult(handle.get(), source, transfer, timeout));
        } catch (const std::bad_alloc&) {
            throw Error(adErrOutOfMemory, u"There is not enough memory to hold the query result."_s);
        }
    });
    return std::move(*result);
}

Recordset::Recordset(QObject* parent) : QObject(parent), transfer_(defaultTextTransfer()) {}

// Signals nothing, unlike close(): whoever shows the rows holds the recordset through a QPointer, and a
// handler run from here may reach for things its connection outlived.
Recordset::~Recordset() = default;

void Recordset::open(const QString& source, std::shared_ptr<Connection> connection)
{
    if (isOpen())
        throw Error::objectOpen();
    if (!connection)
        throw Error::invalidConnection();
    auto rows = fetch(*connection, source, transfer_);
    source_ = source;
    connection_ = std::move(connection);
    sortField_ = -1;
    install(std::move(rows));
    moveTo(0, adRsnMove);
}

void Recordset::requery()
{
    if (!isOpen())
        throw Error::objectClosed();
    install(fetch(*connection_, source_, transfer_));
    moveTo(0, adRsnRequery);
}

void Recordset::close() noexcept
{
    if (!result_)
        return;
    Q_EMIT rowsAboutToBeReplaced();
    result_.reset();
    order_.clear();
    sortField_ = -1;
    current_ = 0;
    Q_EMIT rowsReplaced();
}

void Recordset::install(std::unique_ptr<detail::ResultSet> rows)
{
    Q_EMIT rowsAboutToBeReplaced();
    result_ = std::move(rows);
    current_ = 0;
    // The same query gives the same fields, so a requery keeps the order; a field it lost drops it.
    if (sortField_ >= static_cast<int>(result_->fields.size()))
        sortField_ = -1;
    try {
        applyOrder();
    } catch (const std::bad_alloc&) {
        order_.clear();
        sortField_ = -1;
    }
    Q_EMIT rowsReplaced();
}

namespace {

// -1, 0, 1 as row a's value comes before, with or after row b's, ascending; rows with a value only.
int compareValues(const detail::ColumnStore& store, std::size_t a, std::size_t b) noexcept
{
    const auto threeWay = [](auto x, auto y) { return (x > y) - (x < y); };
    switch (store.kind()) {
    case FieldType::Text:
        // Text as the search compares it, so the order agrees with what a user reads as equal.
        return compareSearchFolded(store.text(a), store.text(b));
    case FieldType::Integer:
    case FieldType::Decimal:
    case FieldType::DateTime:
        return threeWay(store.integer(a), store.integer(b));
    case FieldType::Double: {
        // A total order even with NaNs, which the sort needs to stay inside the index.
        const std::weak_ordering byValue = std::weak_order(store.real(a), store.real(b));
        return std::is_lt(byValue) ? -1 : std::is_gt(byValue) ? 1 : 0;
    }
    case FieldType::Date:
        return threeWay(store.days(a), store.days(b));
    }
    return 0;
}

bool isEmpty(const detail::ColumnStore& store, std::size_t row) noexcept
{
    return store.isNull(row) || (store.kind() == FieldType::Text && store.text(row).empty());
}

} // namespace

void Recordset::applyOrder()
{
    order_.clear();
    if (sortField_ < 0)
        return;
    const detail::ColumnStore& store = result_->columns[static_cast<std::size_t>(sortField_)];
    // The index is all the memory a sort takes. Rows without a value go last in the query's order, the
    // others are sorted made stable by comparing the rows last.
    const std::size_t count = result_->rows;
    std::size_t empties = 0;
    for (std::size_t row = 0; row < count; ++row)
        empties += isEmpty(store, row) ? 1 : 0;
    std::vector<quint32> order(count);
    std::size_t filled = 0;
    std::size_t empty = count - empties;
    for (std::size_t row = 0; row < count; ++row)
        order[isEmpty(store, row) ? empty++ : filled++] = static_cast<quint32>(row);
    const bool descending = sortDescending_;
    detail::sortRows(
        order.data(), order.data() + filled,
        [&store, descending](quint32 a, quint32 b) {
            const int c = compareValues(store, a, b);
            if (c != 0)
                return descending ? c > 0 : c < 0;
            return a < b;
        },
        [&store](quint32 row, bool ahead) { store.prefetch(row, ahead); });
    order_ = std::move(order);
}

void Recordset::sort(int field, bool descending)
{
    if (field != -1)
        checkField(field);
    if (recordCount() > static_cast<qsizetype>(std::numeric_limits<quint32>::max()))
        throw Error(adErrOutOfMemory, u"There are too many rows to sort."_s);
    const qsizetype count = recordCount();
    const bool onRecord = current_ >= 0 && current_ < count;
    const std::size_t record = onRecord ? stored(current_) : 0;
    const int oldField = sortField_;
    const bool oldDescending = sortDescending_;
    sortField_ = field;
    sortDescending_ = descending;
    Q_EMIT rowsAboutToBeReplaced();
    try {
        applyOrder();
    } catch (const std::bad_alloc&) {
        sortField_ = oldField;
        sortDescending_ = oldDescending;
        applyOrder(); // the old order, which fitted before
        Q_EMIT rowsReplaced();
        throw Error(adErrOutOfMemory, u"There is not enough memory to sort the rows."_s);
    }
    Q_EMIT rowsReplaced();
    if (!onRecord) {
        moveTo(current_, adRsnMove);
        return;
    }
    qsizetype position = static_cast<qsizetype>(record);
    if (!order_.empty())
        position = std::find(order_.begin(), order_.end(), static_cast<quint32>(record)) - order_.begin();
    moveTo(position, adRsnMove);
}

void Recordset::moveTo(qsizetype index, EventReason reason)
{
    current_ = index;
    Q_EMIT moveComplete(reason);
}

const detail::ResultSet& Recordset::result() const
{
    if (!result_)
        throw Error::objectClosed();
    return *result_;
}

void Recordset::moveFirst()
{
    if (recordCount() == 0)
        throw Error::noCurrentRecord();
    moveTo(0, adRsnMoveFirst);
}

void Recordset::moveLast()
{
    const qsizetype count = recordCount();
    if (count == 0)
        throw Error::noCurrentRecord();
    moveTo(count - 1, adRsnMoveLast);
}

void Recordset::moveNext()
{
    if (eof())
        throw Error::noCurrentRecord();
    moveTo(current_ + 1, adRsnMoveNext);
}

void Recordset::movePrevious()
{
    if (bof())
        throw Error::noCurrentRecord();
    moveTo(current_ - 1, adRsnMovePrevious);
}

bool Recordset::bof() const
{
    return recordCount() == 0 || current_ < 0;
}

bool Recordset::eof() const
{
    const qsizetype count = recordCount();
    return count == 0 || current_ >= count;
}

qsizetype Recordset::recordCount() const
{
    return static_cast<qsizetype>(result().rows);
}

qsizetype Recordset::absolutePosition() const
{
    const qsizetype count = recordCount();
    if (count == 0)
        return adPosUnknown;
    if (current_ < 0)
        return adPosBOF;
    if (current_ >= count)
        return adPosEOF;
    return current_ + 1;
}

void Recordset::setAbsolutePosition(qsizetype position)
{
    if (position < 1 || position > recordCount())
        throw Error::invalidArgument();
    moveTo(position - 1, adRsnMove);
}

int Recordset::fieldCount() const
{
    return static_cast<int>(result().fields.size());
}

void Recordset::checkField(int field) const
{
    if (field < 0 || field >= fieldCount())
        throw Error::itemNotFound();
}

const QString& Recordset::fieldName(int field) const
{
    checkField(field);
    return result_->fields[static_cast<std::size_t>(field)].name;
}

FieldType Recordset::fieldType(int field) const
{
    checkField(field);
    return result_->columns[static_cast<std::size_t>(field)].kind();
}

int Recordset::fieldScale(int field) const
{
    checkField(field);
    return result_->columns[static_cast<std::size_t>(field)].scale();
}

int Recordset::fieldIndex(QStringView name) const noexcept
{
    if (!result_)
        return -1;
    for (std::size_t i = 0; i < result_->fields.size(); ++i) {
        if (result_->fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const detail::ColumnStore& Recordset::column(qsizetype row, int field, FieldType type) const
{
    checkField(field);
    if (row < 0 || row >= recordCount())
        throw Error::invalidArgument();
    const detail::ColumnStore& store = result_->columns[static_cast<std::size_t>(field)];
    if (store.kind() != type)
        throw Error::invalidArgument();
    return store;
}

bool Recordset::isNull(qsizetype row, int field) const
{
    checkField(field);
    if (row < 0 || row >= recordCount())
        throw Error::invalidArgument();
    return result_->columns[static_cast<std::size_t>(field)].isNull(stored(row));
}

QString Recordset::text(qsizetype row, int field) const
{
    const std::string_view bytes = column(row, field, FieldType::Text).text(stored(row));
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string_view Recordset::textUtf8(qsizetype row, int field) const
{
    return column(row, field, FieldType::Text).text(stored(row));
}

void Recordset::prefetchRow(qsizetype row, bool ahead) const noexcept
{
    if (!result_ || row < 0 || row >= recordCount())
        return;
    for (const detail::ColumnStore& store : result_->columns)
        store.prefetch(stored(row), ahead);
}

qint64 Recordset::integer(qsizetype row, int field) const
{
    return column(row, field, FieldType::Integer).integer(stored(row));
}

Decimal Recordset::decimal(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::Decimal);
    return Decimal{store.integer(stored(row)), store.scale()};
}

double Recordset::real(qsizetype row, int field) const
{
    return column(row, field, FieldType::Double).real(stored(row));
}

QDate Recordset::date(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::Date);
    if (store.isNull(stored(row)))
        return {};
    return QDate::fromJulianDay(store.days(stored(row)) + kUnixEpochJulianDay);
}

QDateTime Recordset::dateTime(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::DateTime);
    if (store.isNull(stored(row)))
        return {};
    const qint64 msecs = store.integer(stored(row));
    const qint64 day = msecs >= 0 ? msecs / kMsecsPerDay : (msecs + 1) / kMsecsPerDay - 1;
    return QDateTime(QDate::fromJulianDay(day + kUnixEpochJulianDay),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs - day * kMsecsPerDay)));
}

QVariant Recordset::value(int field) const
{
    if (bof() || eof())
        throw Error::noCurrentRecord();
    return value(current_, field);
}

QVariant Recordset::value(qsizetype row, int field) const
{
    if (isNull(row, field))
        return {};
    switch (fieldType(field)) {
    case FieldType::Text:
        return text(row, field);
    case FieldType::Integer:
        return integer(row, field);
    case FieldType::Decimal:
        return QVariant::fromValue(decimal(row, field));
    case FieldType::Double:
        return real(row, field);
    case FieldType::Date:
        return date(row, field);
    case FieldType::DateTime:
        return dateTime(row, field);
    }
    return {};
}

qsizetype Recordset::findText(QStringView text, const QList<int>& fields, qsizetype after) const
{
    const qsizetype count = recordCount();
    std::vector<const detail::ColumnStore*> stores;
    for (const int field : fields) {
        checkField(field);
        const detail::ColumnStore& store = result_->columns[static_cast<std::size_t>(field)];
        if (store.kind() != FieldType::Text)
            throw Error::invalidArgument();
        stores.push_back(&store);
    }
    FoldedMatcher matcher(text);
    if (matcher.empty() || after < -1 || after >= count)
        throw Error::invalidArgument();
    const auto from = static_cast<std::size_t>(after + 1);
    const auto end = static_cast<std::size_t>(count);
    if (order_.empty()) {
        if (const std::size_t found = findInQueryOrder(matcher, stores, from, end); found != end)
            return static_cast<qsizetype>(found);
        if (const std::size_t found = findInQueryOrder(matcher, stores, 0, from); found != from)
            return static_cast<qsizetype>(found);
        return -1;
    }
    // Rows in this order lie anywhere in memory, so the texts are searched in the order they lie in and the
    // rows that have the text marked, to be read in this order.
    const std::vector<quint64> marked = rowsWith(matcher, stores);
    const auto isMarked = [&](std::size_t row) {
        const std::size_t stored = order_[row];
        return (marked[stored / 64] >> (stored % 64) & 1U) != 0;
    };
    for (std::size_t row = from; row < end; ++row) {
        if (isMarked(row))
            return static_cast<qsizetype>(row);
    }
    for (std::size_t row = 0; row < from; ++row) {
        if (isMarked(row))
            return static_cast<qsizetype>(row);
    }
    return -1;
}

std::size_t Recordset::findInQueryOrder(FoldedMatcher& matcher,
                                        const std::vector<const detail::ColumnStore*>& stores,
                                        std::size_t first, std::size_t last)
{
    // A block of rows at a time, so that a match early in one field is not passed over for a whole
    // column's scan of the next.
    constexpr std::size_t kBlock = 4096;
    for (std::size_t block = first; block < last; block += kBlock) {
        const std::size_t end = std::min(last, block + kBlock);
        std::size_t found = end;
        for (const detail::ColumnStore* store : stores)
            found = std::min(found, matcher.firstMatch(store->texts(), store->textEnds(), block, found));
        if (found < end)
            return found;
    }
    return last;
}

std::vector<quint64> Recordset::rowsWith(FoldedMatcher& matcher,
                                         const std::vector<const detail::ColumnStore*>& stores)
{
    const std::size_t count = stores.empty() ? 0 : stores.front()->size();
    std::vector<quint64> marked((count + 63) / 64);
    for (const detail::ColumnStore* store : stores) {
        for (std::size_t row = matcher.firstMatch(store->texts(), store->textEnds(), 0, count); row < count;
             row = matcher.firstMatch(store->texts(), store->textEnds(), row + 1, count))
            marked[row / 64] |= quint64{1} << (row % 64);
    }
    return marked;
}

} // namespace ado
