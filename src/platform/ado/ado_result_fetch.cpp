#include "platform/ado/ado_result_fetch.h"

#include "platform/ado/ado_sql_escapes.h"
#include "platform/ado/ado_utf8.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace ado::detail {
namespace {

constexpr std::size_t kMaxRowsPerBlock = 1000;
constexpr std::size_t kMinRowsPerBlock = 32;
// Bound slots: drivers may pad every slot to its full length (the SQLite driver copies with strncpy), so a
// slot costs its size on every row. Text gets what the driver declares, within these limits; a longer value
// makes the whole result be read again value by value.
constexpr std::size_t kBlockBufferBudget = std::size_t{4} << 20;
constexpr std::size_t kMinTextUnits = 64;
constexpr std::size_t kMaxTextUnits = 255;
constexpr std::size_t kMinValueUnits = 48;
constexpr std::size_t kGetDataChunkUnits = 8192;

bool isWide(TextTransfer transfer)
{
    return transfer == TextTransfer::Utf16;
}

SQLSMALLINT cTypeFor(TextTransfer transfer)
{
    return isWide(transfer) ? SQL_C_WCHAR : SQL_C_CHAR;
}

// Characters (UTF-8 bytes or UTF-16 units) per bound slot, terminator included.
std::size_t slotUnits(const FieldInfo& field, TextTransfer transfer)
{
    const std::size_t declared =
        field.columnSize == 0 ? kMaxTextUnits : std::min<SQLULEN>(field.columnSize, kMaxTextUnits);
    if (field.type == FieldType::Text) {
        // A declared character can take up to three UTF-8 bytes.
        const std::size_t units = isWide(transfer) ? declared : declared * 3;
        return std::clamp(units, kMinTextUnits, kMaxTextUnits) + 1;
    }
    // Sign, point and exponent on top of the digits; SQLite may hold any text in a typed column, which the
    // generous minimum mostly absorbs.
    return std::clamp(declared + 3, kMinValueUnits, kMaxTextUnits) + 1;
}

Error noRowsError()
{
    return Error(adErrObjectClosed,
                 u"Operation is not allowed when the object is closed. The command did not "
                 u"return any rows."_s);
}

// Executes and describes the result's columns; false when the statement returns no result set.
bool execute(const StatementHandle& statement, const QString& sql, ResultSet& result, int timeoutSeconds)
{
    // A driver without query timeouts refuses the attribute; its statement then waits as it always did.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(timeoutSeconds, 0))), 0);
    const SQLRETURN rc = SQLExecDirectW(statement.get(), sqlText(sql), SQL_NTS);
    if (rc == SQL_NO_DATA)
        return false;
    statement.check(rc, u"Executing the query");
    SQLSMALLINT count = 0;
    statement.check(SQLNumResultCols(statement.get(), &count), u"Reading the result's columns");
    if (count <= 0)
        return false;
    std::vector<SQLWCHAR> name(256);
    result.fields.reserve(static_cast<std::size_t>(count));
    result.columns.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        FieldInfo field;
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT nullable = 0;
        auto describe = [&] {
            return SQLDescribeColW(statement.get(), column, name.data(),
                                   static_cast<SQLSMALLINT>(name.size()), &nameLength, &field.sqlType,
                                   &field.columnSize, &field.decimalDigits, &nullable);
        };
        SQLRETURN described = describe();
        if (SQL_SUCCEEDED(described) && nameLength >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(static_cast<std::size_t>(nameLength) + 1);
            described = describe();
        }
        statement.check(described, u"Describing the result's columns");
        field.name = fromSqlText(name.data(), std::min<qsizetype>(nameLength, name.size() - 1));
        field.type = fieldTypeFor(field.sqlType);
        const int scale = field.type == FieldType::Decimal ? std::clamp<int>(field.decimalDigits, 0, 18) : 0;
        result.columns.emplace_back(field.type, scale);
        result.fields.push_back(std::move(field));
    }
    return true;
}

void setAttribute(const StatementHandle& statement, SQLINTEGER attribute, void* pointer)
{
    statement.check(SQLSetStmtAttr(statement.get(), attribute, pointer, 0), u"Setting up the block fetch");
}

struct Binding
{
    PodBuffer<char> data;
    PodBuffer<SQLLEN> indicators;
    std::size_t slotBytes = 0;
};

enum class BlockFetch
{
    Complete,
    Truncated,   // a value did not fit its slot: the result is incomplete and must be read again
    Unsupported, // the driver has no block cursor; nothing was read yet
};

// The fast path: blocks of rows into column-wise bound arrays, copied straight into the store.
BlockFetch fetchBlocks(const StatementHandle& statement, ResultSet& result, TextTransfer transfer)
{
    const bool wide = isWide(transfer);
    const std::size_t unitBytes = wide ? sizeof(SQLWCHAR) : 1;
    std::vector<Binding> bindings(result.fields.size());
    std::size_t rowBytes = 0;
    for (std::size_t c = 0; c < bindings.size(); ++c) {
        bindings[c].slotBytes = slotUnits(result.fields[c], transfer) * unitBytes;
        rowBytes += bindings[c].slotBytes + sizeof(SQLLEN);
    }
    std::size_t rows = std::clamp(kBlockBufferBudget / rowBytes, kMinRowsPerBlock, kMaxRowsPerBlock);

    // A driver may lower the block size (01S02); the arrays must match what it uses.
    SQLULEN granted = 0;
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQLULEN{SQL_BIND_BY_COLUMN}), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(statement.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                      reinterpret_cast<SQLPOINTER>(rows), 0)) ||
        !SQL_SUCCEEDED(SQLGetStmtAttr(statement.get(), SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) ||
        granted == 0 || granted > rows)
        return BlockFetch::Unsupported;
    rows = granted;

    SQLULEN fetched = 0;
    PodBuffer<SQLUSMALLINT> status;
    status.extend(rows);
    setAttribute(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched);
    setAttribute(statement, SQL_ATTR_ROW_STATUS_PTR, status.data());
    for (std::size_t c = 0; c < bindings.size(); ++c) {
        Binding& binding = bindings[c];
        binding.data.extend(rows * binding.slotBytes);
        binding.indicators.extend(rows);
        statement.check(SQLBindCol(statement.get(), static_cast<SQLUSMALLINT>(c + 1), cTypeFor(transfer),
                                   binding.data.data(), static_cast<SQLLEN>(binding.slotBytes),
                                   binding.indicators.data()),
                        u"Binding the result's columns");
    }

    PodBuffer<char> utf8;
    for (;;) {
        const SQLRETURN rc = SQLFetch(statement.get());
        if (rc == SQL_NO_DATA)
            break;
        statement.check(rc, u"Fetching rows");
        if (rc == SQL_SUCCESS_WITH_INFO) {
            for (std::size_t r = 0; r < fetched; ++r) {
                if (status[r] == SQL_ROW_ERROR)
                    throw driverError(SQL_HANDLE_STMT, statement.get(), SQL_ERROR, u"Fetching a row");
            }
        }
        for (std::size_t c = 0; c < bindings.size(); ++c) {
            const Binding& binding = bindings[c];
            ColumnStore& column = result.columns[c];
            for (std::size_t r = 0; r < fetched; ++r) {
                const SQLLEN length = binding.indicators[r];
                if (length == SQL_NULL_DATA) {
                    column.appendNull();
                    continue;
                }
                if (length < 0 || static_cast<std::size_t>(length) > binding.slotBytes - unitBytes)
                    return BlockFetch::Truncated;
                const char* slot = binding.data.data() + r * binding.slotBytes;
                if (wide) {
                    utf8.clear();
                    appendUtf8(utf8, reinterpret_cast<const char16_t*>(slot),
                               static_cast<std::size_t>(length) / sizeof(char16_t));
                    column.append({utf8.data(), utf8.size()});
                } else {
                    column.append({slot, static_cast<std::size_t>(length)});
                }
            }
        }
        result.rows += fetched;
    }
    return BlockFetch::Complete;
}

// One value by SQLGetData, in pieces of any length, as UTF-8. False for NULL.
template <typename Unit>
bool getValue(const StatementHandle& statement, SQLUSMALLINT column, SQLSMALLINT cType, PodBuffer<Unit>& out)
{
    out.clear();
    for (;;) {
        const std::size_t before = out.size();
        Unit* piece = out.extend(kGetDataChunkUnits);
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(statement.get(), column, cType, piece,
                                        static_cast<SQLLEN>(kGetDataChunkUnits * sizeof(Unit)), &length);
        if (rc == SQL_NO_DATA) {
            out.shrink(before);
            return true;
        }
        statement.check(rc, u"Reading a value");
        if (length == SQL_NULL_DATA)
            return false;
        const bool partial = rc == SQL_SUCCESS_WITH_INFO &&
                             (length == SQL_NO_TOTAL ||
                              static_cast<std::size_t>(length) > (kGetDataChunkUnits - 1) * sizeof(Unit));
        if (!partial) {
            out.shrink(before + static_cast<std::size_t>(std::max<SQLLEN>(length, 0)) / sizeof(Unit));
            return true;
        }
        out.shrink(before + kGetDataChunkUnits - 1); // the terminator
    }
}

// The exact path: one row at a time, every value read whole by SQLGetData.
void fetchRows(const StatementHandle& statement, ResultSet& result, TextTransfer transfer)
{
    PodBuffer<char> utf8;
    PodBuffer<char16_t> utf16;
    for (;;) {
        const SQLRETURN rc = SQLFetch(statement.get());
        if (rc == SQL_NO_DATA)
            break;
        statement.check(rc, u"Fetching rows");
        for (std::size_t c = 0; c < result.columns.size(); ++c) {
            const auto column = static_cast<SQLUSMALLINT>(c + 1);
            bool present = false;
            if (isWide(transfer)) {
                present = getValue(statement, column, SQL_C_WCHAR, utf16);
                utf8.clear();
                if (present)
                    appendUtf8(utf8, utf16.data(), utf16.size());
            } else {
                present = getValue(statement, column, SQL_C_CHAR, utf8);
            }
            if (present)
                result.columns[c].append({utf8.data(), utf8.size()});
            else
                result.columns[c].appendNull();
        }
        ++result.rows;
    }
}

} // namespace

FieldType fieldTypeFor(SQLSMALLINT sqlType) noexcept
{
    switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_BIT:
        return FieldType::Integer;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return FieldType::Decimal;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return FieldType::Double;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return FieldType::Date;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return FieldType::DateTime;
    default:
        return FieldType::Text;
    }
}

void appendUtf8(PodBuffer<char>& out, const char16_t* text, std::size_t length)
{
    char* dst = out.extend(length * 3); // at most three bytes per UTF-16 unit
    char* const start = dst;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *dst++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        dst += encodeUtf8(c, dst);
    }
    out.shrink(out.size() - length * 3 + static_cast<std::size_t>(dst - start));
}

ResultSet fetchResult(SQLHDBC connection, const QString& statement, TextTransfer transfer, int timeoutSeconds)
{
    const QString sql = canonicalEscapes(statement);
    {
        const StatementHandle handle(connection);
        ResultSet result;
        if (!execute(handle, sql, result, timeoutSeconds))
            throw noRowsError();
        switch (fetchBlocks(handle, result, transfer)) {
        case BlockFetch::Complete:
            return result;
        case BlockFetch::Unsupported:
            fetchRows(handle, result, transfer);
            return result;
        case BlockFetch::Truncated:
            break;
        }
    }
    // A value was longer than its column's declared size (SQLite does not enforce sizes): read the whole
    // result again, value by value. The first statement is gone by now, for drivers that allow only one.
    const StatementHandle handle(connection);
    ResultSet result;
    if (!execute(handle, sql, result, timeoutSeconds))
        throw noRowsError();
    fetchRows(handle, result, transfer);
    return result;
}

} // namespace ado::detail
