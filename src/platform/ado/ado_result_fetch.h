#pragma once

#include "platform/ado/ado_odbc.h"
#include "platform/ado/ado_result_store.h"
#include "platform/ado/ado_types.h"

#include <QString>

#include <vector>

namespace ado::detail {

struct FieldInfo
{
    QString name;
    FieldType type = FieldType::Text;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
};

// The complete result of one query, held on the client.
struct ResultSet
{
    std::vector<FieldInfo> fields;
    std::vector<ColumnStore> columns;
    std::size_t rows = 0;
};

FieldType fieldTypeFor(SQLSMALLINT sqlType) noexcept;

// Runs the statement (escape clauses in canonical spelling) and reads every row: in blocks of bound,
// column-wise arrays; should a value be longer than the driver declared, the statement runs once more and is
// read value by value, so nothing is cut off. Throws ado::Error with the driver's text on failure, or when
// the statement returns no rows to read. timeoutSeconds bounds the statement's wait where the driver
// supports a query timeout (0: no bound).
ResultSet fetchResult(SQLHDBC connection, const QString& statement, TextTransfer transfer,
                      int timeoutSeconds = 0);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
void appendUtf8(PodBuffer<char>& out, const char16_t* text, std::size_t length);

} // namespace ado::detail
