#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <string_view>

class QIODevice;

namespace ado {

class Recordset;

// Rows as text to paste elsewhere: a line of headings (the field names), then one line per row, fields
// separated by tabs, each value as the grid shows it. A tab or line break inside a value becomes a blank,
// so every row stays one line with its fields in their columns.
QString rowsAsText(const Recordset& recordset, const QList<qsizetype>& rows);

// The whole list, in its current order, as CSV that German spreadsheet programs open directly: UTF-8 with a
// byte order mark, semicolons between fields, CR LF between lines, values as the grid shows them (decimal
// commas, dd.MM.yyyy). A field is quoted when it holds a semicolon, a quote or a line break. A text that a
// spreadsheet would take for a formula (starting with =, +, -, @) is kept as text by a leading apostrophe.
class CsvWriter final
{
public:
    // Called after each block of rows with the number of rows written so far; false stops the writing.
    using Progress = std::function<bool(qsizetype rowsWritten)>;

    explicit CsvWriter(const Recordset& recordset);

    // False when the device refused a write (its errorString() says why) or progress asked to stop.
    bool write(QIODevice& device, const Progress& progress = {}) const;

    // One UTF-8 value as a field, quoted where needed (the formula guard depends on the type: not here).
    static void appendField(QByteArray& out, std::string_view value);

private:
    void appendRow(QByteArray& out, qsizetype row) const;

    const Recordset& recordset_;
};

} // namespace ado
