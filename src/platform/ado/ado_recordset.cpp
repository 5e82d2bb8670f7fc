#include "platform/ado/ado_recordset.h"

#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_odbc.h"
#include "platform/ado/ado_result_fetch.h"
#include "platform/ado/ado_text_search.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ado {
namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;
constexpr qint64 kMsecsPerDay = 86400000;

std::unique_ptr<detail::ResultSet> fetch(const Connection& connection, const QString& source,
                                         TextTransfer transfer, const detail::ConnectionHandle* handle)
{
    if (handle == nullptr || !connection.isOpen())
        throw Error::invalidConnection();
    try {
        return std::make_unique<detail::ResultSet>(detail::fetchResult(handle->get(), source, transfer));
    } catch (const std::bad_alloc&) {
        throw Error(adErrOutOfMemory, u"There is not enough memory to hold the query result."_s);
    }
}

} // namespace

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
    auto rows = fetch(*connection, source, transfer_, connection->handle());
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
    install(fetch(*connection_, source_, transfer_, connection_->handle()));
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

void Recordset::applyOrder()
{
    order_.clear();
    if (sortField_ < 0)
        return;
    const detail::ColumnStore& store = result_->columns[static_cast<std::size_t>(sortField_)];
    const std::size_t count = result_->rows;
    std::vector<quint32> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<quint32>(i);
    const bool descending = sortDescending_;
    const auto empty = [&store](std::size_t row) {
        return store.isNull(row) || (store.kind() == FieldType::Text && store.text(row).empty());
    };
    // Text as the search compares it, so the order agrees with what a user reads as equal.
    std::string foldedA;
    std::string foldedB;
    // -1, 0, 1 as a before, equal to, after b, ascending.
    const auto compare = [&](std::size_t a, std::size_t b) -> int {
        switch (store.kind()) {
        case FieldType::Text: {
            foldedA.clear();
            foldedB.clear();
            appendSearchFolded(store.text(a), foldedA);
            appendSearchFolded(store.text(b), foldedB);
            const int folded = foldedA.compare(foldedB);
            const int byText = folded != 0 ? folded : store.text(a).compare(store.text(b));
            return (byText > 0) - (byText < 0);
        }
        case FieldType::Integer:
        case FieldType::Decimal:
        case FieldType::DateTime:
            return (store.integer(a) > store.integer(b)) - (store.integer(a) < store.integer(b));
        case FieldType::Double:
            return (store.real(a) > store.real(b)) - (store.real(a) < store.real(b));
        case FieldType::Date:
            return (store.days(a) > store.days(b)) - (store.days(a) < store.days(b));
        }
        return 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const bool emptyA = empty(a);
        const bool emptyB = empty(b);
        if (emptyA || emptyB)
            return !emptyA && emptyB;
        const int c = compare(a, b);
        return descending ? c > 0 : c < 0;
    });
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
    const auto hasText = [&](qsizetype row) {
        const std::size_t index = stored(row);
        for (const detail::ColumnStore* store : stores) {
            if (!store->isNull(index) && matcher.matches(store->text(index)))
                return true;
        }
        return false;
    };
    for (qsizetype row = after + 1; row < count; ++row) {
        if (hasText(row))
            return row;
    }
    for (qsizetype row = 0; row <= after; ++row) {
        if (hasText(row))
            return row;
    }
    return -1;
}

} // namespace ado
