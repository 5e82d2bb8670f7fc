#include "platform/ado/ado_list_text.h"

#include "platform/ado/ado_recordset.h"
#include "platform/ado/ado_recordset_model.h"

#include <QDate>
#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace ado {
namespace {

// Rows per write: large enough that a million rows take a few hundred writes and progress calls.
constexpr qsizetype kBlockRows = 4096;

QString oneLine(QString value)
{
    for (QChar& c : value)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return value;
}

// dd.MM.yyyy as displayText() writes it, from the day number: the calendar's own lookups cost more than
// the rest of a row.
void appendDate(QByteArray& out, QDate date)
{
    // Civil date from days since 1970-01-01 (H. Hinnant's algorithm), proleptic Gregorian as QDate's.
    const qint64 z = date.toJulianDay() - 2440588 + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1 || year > 9999) {
        out += date.toString(u"dd.MM.yyyy").toLatin1();
        return;
    }
    const int y = static_cast<int>(year);
    const char text[10] = {static_cast<char>('0' + day / 10),
                           static_cast<char>('0' + day % 10),
                           '.',
                           static_cast<char>('0' + month / 10),
                           static_cast<char>('0' + month % 10),
                           '.',
                           static_cast<char>('0' + y / 1000),
                           static_cast<char>('0' + y / 100 % 10),
                           static_cast<char>('0' + y / 10 % 10),
                           static_cast<char>('0' + y % 10)};
    out.append(text, 10);
}

} // namespace

QString rowsAsText(const Recordset& recordset, const QList<qsizetype>& rows)
{
    QStringList headings;
    for (int field = 0; field < recordset.fieldCount(); ++field)
        headings << oneLine(recordset.fieldName(field));
    QString text = headings.join(u'\t') + u'\n';
    for (const qsizetype row : rows) {
        QStringList values;
        for (int field = 0; field < recordset.fieldCount(); ++field)
            values << oneLine(displayText(recordset, row, field));
        text += values.join(u'\t') + u'\n';
    }
    return text;
}

CsvWriter::CsvWriter(const Recordset& recordset) : recordset_(recordset) {}

void CsvWriter::appendField(QByteArray& out, std::string_view value)
{
    // One pass over the bytes (find_first_of scans once per character sought).
    const bool plain = std::none_of(value.begin(), value.end(),
                                    [](char c) { return c == ';' || c == '"' || c == '\n' || c == '\r'; });
    if (plain) {
        out.append(value.data(), static_cast<qsizetype>(value.size()));
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Each value exactly as displayText() shows it, written straight as UTF-8: a million rows through QString
// and back would take most of the time.
void CsvWriter::appendRow(QByteArray& out, qsizetype row) const
{
    const int fields = recordset_.fieldCount();
    char buffer[64];
    for (int field = 0; field < fields; ++field) {
        if (field > 0)
            out += ';';
        if (recordset_.isNull(row, field))
            continue;
        switch (recordset_.fieldType(field)) {
        case FieldType::Text: {
            const std::string_view text = recordset_.textUtf8(row, field);
            // Only texts: a negative number of a numeric field is a number to the spreadsheet, and is one.
            if (!text.empty() &&
                (text.front() == '=' || text.front() == '+' || text.front() == '-' || text.front() == '@')) {
                std::string guarded;
                guarded.reserve(text.size() + 1);
                guarded += '\'';
                guarded += text;
                appendField(out, guarded);
            } else {
                appendField(out, text);
            }
            break;
        }
        case FieldType::Integer: {
            const auto end =
                std::to_chars(buffer, buffer + sizeof buffer, recordset_.integer(row, field)).ptr;
            out.append(buffer, end - buffer);
            break;
        }
        case FieldType::Decimal: {
            const Decimal value = recordset_.decimal(row, field);
            quint64 magnitude = value.mantissa < 0 ? 0 - static_cast<quint64>(value.mantissa)
                                                   : static_cast<quint64>(value.mantissa);
            char* pos = buffer + sizeof buffer;
            int digits = 0;
            do {
                if (digits == value.scale && value.scale > 0)
                    *--pos = ',';
                *--pos = static_cast<char>('0' + magnitude % 10);
                magnitude /= 10;
                ++digits;
            } while ((magnitude != 0 || digits <= value.scale) && pos > buffer + 1);
            if (value.mantissa < 0)
                *--pos = '-';
            out.append(pos, buffer + sizeof buffer - pos);
            break;
        }
        case FieldType::Double: {
            const double value = recordset_.real(row, field);
            const auto result = std::isfinite(value)
                                    ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                    std::chars_format::fixed, recordset_.fieldScale(field))
                                    : std::to_chars_result{buffer, std::errc::value_too_large};
            if (result.ec != std::errc()) {
                out +=
                    displayText(recordset_, row, field).toUtf8(); // too long for the buffer, or not a number
                break;
            }
            std::replace(buffer, result.ptr, '.', ',');
            out.append(buffer, result.ptr - buffer);
            break;
        }
        case FieldType::Date:
            appendDate(out, recordset_.date(row, field));
            break;
        case FieldType::DateTime:
            out += displayText(recordset_, row, field).toLatin1(); // digits, dots, colons and a blank
            break;
        }
    }
    out += "\r\n";
}

bool CsvWriter::write(QIODevice& device, const Progress& progress) const
{
    QByteArray block("\xEF\xBB\xBF");
    for (int field = 0; field < recordset_.fieldCount(); ++field) {
        if (field > 0)
            block += ';';
        const QByteArray name = recordset_.fieldName(field).toUtf8();
        appendField(block, std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    }
    block += "\r\n";
    const qsizetype rows = recordset_.recordCount();
    for (qsizetype first = 0;; first += kBlockRows) {
        const qsizetype last = qMin(rows, first + kBlockRows);
        for (qsizetype row = first; row < last; ++row) {
            // In a sorted list the rows lie all over memory: their loads are started a few rows ahead.
            recordset_.prefetchRow(row + 32, true);
            recordset_.prefetchRow(row + 16, false);
            appendRow(block, row);
        }
        // A short write (the disk filled up) is tried again, so that the device says why it failed.
        for (qsizetype done = 0; done < block.size();) {
            const qint64 written = device.write(block.constData() + done, block.size() - done);
            if (written <= 0)
                return false;
            done += written;
        }
        block.resize(0); // keeps its capacity for the next block
        if (progress && !progress(last))
            return false;
        if (last >= rows)
            return true;
    }
}

} // namespace ado
