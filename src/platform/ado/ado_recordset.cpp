#include "platform/ado/ado_recordset.h"

#include "platform/ado/ado_connection.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_odbc.h"
#include "platform/ado/ado_result_fetch.h"

#include <new>

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

Recordset::~Recordset()
{
    close();
}

void Recordset::open(const QString& source, std::shared_ptr<Connection> connection)
{
    if (isOpen())
        throw Error::objectOpen();
    if (!connection)
        throw Error::invalidConnection();
    auto rows = fetch(*connection, source, transfer_, connection->handle());
    source_ = source;
    connection_ = std::move(connection);
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
    current_ = 0;
    Q_EMIT rowsReplaced();
}

void Recordset::install(std::unique_ptr<detail::ResultSet> rows)
{
    Q_EMIT rowsAboutToBeReplaced();
    result_ = std::move(rows);
    current_ = 0;
    Q_EMIT rowsReplaced();
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
    return result_->columns[static_cast<std::size_t>(field)].isNull(static_cast<std::size_t>(row));
}

QString Recordset::text(qsizetype row, int field) const
{
    const std::string_view bytes = column(row, field, FieldType::Text).text(static_cast<std::size_t>(row));
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

qint64 Recordset::integer(qsizetype row, int field) const
{
    return column(row, field, FieldType::Integer).integer(static_cast<std::size_t>(row));
}

Decimal Recordset::decimal(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::Decimal);
    return Decimal{store.integer(static_cast<std::size_t>(row)), store.scale()};
}

double Recordset::real(qsizetype row, int field) const
{
    return column(row, field, FieldType::Double).real(static_cast<std::size_t>(row));
}

QDate Recordset::date(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::Date);
    if (store.isNull(static_cast<std::size_t>(row)))
        return {};
    return QDate::fromJulianDay(store.days(static_cast<std::size_t>(row)) + kUnixEpochJulianDay);
}

QDateTime Recordset::dateTime(qsizetype row, int field) const
{
    const detail::ColumnStore& store = column(row, field, FieldType::DateTime);
    if (store.isNull(static_cast<std::size_t>(row)))
        return {};
    const qint64 msecs = store.integer(static_cast<std::size_t>(row));
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

} // namespace ado
