// Rules applied to text on its way to and from the driver: the connection string, escape clauses, and the
// conversions of delivered values into the column store.

#include "platform/ado/ado_connection_string.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_result_store.h"
#include "platform/ado/ado_sql_escapes.h"
#include "platform/ado/ado_types.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace Qt::Literals::StringLiterals;
using ado::detail::canonicalEscapes;
using ado::detail::ColumnStore;
using ado::detail::toDriverConnection;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

// --- connection string ---------------------------------------------------------------------------------

TEST(ConnectionString, ProgramStringKeepsOnlyTheDataSource)
{
    const auto target = toDriverConnection(u"PROVIDER=MSDASQL;dsn=tovi_net;uid=;pwd=;database=tovi;");
    EXPECT_EQ(s(target.odbcString), "dsn=tovi_net;");
    EXPECT_EQ(s(target.database), "tovi");
}

TEST(ConnectionString, GivenCredentialsArePassedAndArgumentsWin)
{
    EXPECT_EQ(s(toDriverConnection(u"DSN=x;UID=anna;PWD=geheim").odbcString), "DSN=x;UID=anna;PWD=geheim;");
    EXPECT_EQ(s(toDriverConnection(u"DSN=x;UID=anna;PWD=alt", u"bernd"_s, u"neu"_s).odbcString),
              "DSN=x;UID=bernd;PWD=neu;");
    // OLE DB spellings of the same attributes.
    EXPECT_EQ(
        s(toDriverConnection(u"Provider=MSDASQL.1;Data Source=x;User ID=;Initial Catalog=db").odbcString),
        "DSN=x;");
}

TEST(ConnectionString, BracedValuesSurviveTheRoundTrip)
{
    const auto target = toDriverConnection(u"dsn = tovi_net ; pwd={a;b}}c} ; Driver={SQLite3 ODBC}");
    EXPECT_EQ(s(target.odbcString), "dsn=tovi_net;PWD={a;b}}c};Driver=SQLite3 ODBC;");
    EXPECT_EQ(s(ado::detail::withDatabaseAttribute(target.odbcString, u"x;y"_s)),
              "dsn=tovi_net;PWD={a;b}}c};Driver=SQLite3 ODBC;DATABASE={x;y};");
}

TEST(ConnectionString, BadInputIsRejectedClearly)
{
    try {
        toDriverConnection(u"PROVIDER=SQLOLEDB;dsn=x");
        FAIL() << "foreign provider accepted";
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::adErrProviderNotFound);
        EXPECT_EQ(s(e.description()), "Provider cannot be found. It may not be properly installed.");
    }
    for (const char16_t* bad : {u"dsn", u"=x", u"dsn=x;pwd={open", u"pwd={a}b"}) {
        try {
            toDriverConnection(bad);
            ADD_FAILURE() << "accepted " << s(QString::fromUtf16(bad));
        } catch (const ado::Error& e) {
            EXPECT_EQ(e.number(), ado::adErrInvalidArgument);
            EXPECT_TRUE(e.description().contains(u"malformed")) << s(e.description());
        }
    }
}

// --- escape clauses ------------------------------------------------------------------------------------

TEST(EscapeClauses, LiteralEscapesGetTheirBlank)
{
    EXPECT_EQ(s(canonicalEscapes(u"a <= {d'2026-03-11'} AND b >= {d'2026-03-11'}"_s)),
              "a <= {d '2026-03-11'} AND b >= {d '2026-03-11'}");
    EXPECT_EQ(s(canonicalEscapes(u"{ts'2026-03-11 10:00:00'}{T'10:00:00'}{ D'2026-01-01'}"_s)),
              "{ts '2026-03-11 10:00:00'}{T '10:00:00'}{ D '2026-01-01'}");
    EXPECT_EQ(s(canonicalEscapes(u"x LIKE 'a\\_%' {escape'\\'}"_s)), "x LIKE 'a\\_%' {escape '\\'}");
}

TEST(EscapeClauses, EverythingElseIsLeftAlone)
{
    for (const QString& text :
         {u"select {fn UCASE(x)} from t where d = {d '2026-03-11'}"_s, u"select '{d''x''}' from t"_s,
          u"select \"{d'x'}\" from t"_s, u"select 1 -- {d'x'}\nfrom t"_s, u"select /* {d'x'} */ 1"_s,
          u"select {dx'1'}"_s, u"unterminated 'literal {d'x'}"_s, u"{"_s}) {
        EXPECT_EQ(s(canonicalEscapes(text)), s(text));
    }
    // A literal that merely contains "{d'" is passed on; the escape after it is not.
    EXPECT_EQ(s(canonicalEscapes(u"where a = 'x{d''' and b = {d'2026-01-01'}"_s)),
              "where a = 'x{d''' and b = {d '2026-01-01'}");
}

// --- value conversions ---------------------------------------------------------------------------------

TEST(ValueConversion, NumbersAcceptOnlyTheirOwnNotation)
{
    using namespace ado::detail;
    qint64 v = 0;
    int f = 0;
    double d = 0;
    EXPECT_TRUE(parseInteger("-9223372036854775808", v) && v == std::numeric_limits<qint64>::min());
    EXPECT_TRUE(parseInteger("+42", v) && v == 42);
    for (const char* bad : {"", "+", "+-1", "1.0", "12a", " 1", "9223372036854775808"})
        EXPECT_FALSE(parseInteger(bad, v)) << bad;
    EXPECT_TRUE(parseDecimal("12.50", v, f) && v == 1250 && f == 2);
    EXPECT_TRUE(parseDecimal("-.5", v, f) && v == -5 && f == 1);
    for (const char* bad : {"", ".", "1.2.3", "1e5", "99999999999999999999", "0.0000000000000000001"})
        EXPECT_FALSE(parseDecimal(bad, v, f)) << bad;
    // Doubles report the decimals their text shows, which the grid then gives the whole column.
    EXPECT_TRUE(parseDouble("12.5", d, f) && d == 12.5 && f == 1);
    EXPECT_TRUE(parseDouble("1.5e-05", d, f) && f == 6);
    EXPECT_TRUE(parseDouble("1.23456789012346e+23", d, f) && f == 0);
    EXPECT_FALSE(parseDouble("1,5", d, f));
}

TEST(ValueConversion, DatesAndTimestampsAreStrictIso)
{
    using namespace ado::detail;
    qint32 days = 0;
    qint64 ms = 0;
    EXPECT_TRUE(parseDate("1970-01-02", days) && days == 1);
    EXPECT_TRUE(parseDate("1969-12-31", days) && days == -1);
    for (const char* bad : {"2026-02-30", "2026-3-11", "11.03.2026", "2026-03-11 00:00:00", "garbage"})
        EXPECT_FALSE(parseDate(bad, days)) << bad;
    EXPECT_TRUE(parseDateTime("1970-01-01 00:00:01.5", ms) && ms == 1500);
    EXPECT_TRUE(parseDateTime("1970-01-02T00:00:00.000000", ms) && ms == 86400000);
    EXPECT_FALSE(parseDateTime("1970-01-01 00:00:00.0001", ms)); // would lose the tail
    EXPECT_FALSE(parseDateTime("1970-01-01 24:00:00", ms));
}

TEST(DecimalText, ExactDigitsWithTheGivenPoint)
{
    EXPECT_EQ(s(ado::Decimal{1250, 2}.toString(u',')), "12,50");
    EXPECT_EQ(s(ado::Decimal{-5, 2}.toString()), "-0.05");
    EXPECT_EQ(s(ado::Decimal{7, 0}.toString()), "7");
    EXPECT_EQ(s(ado::Decimal{std::numeric_limits<qint64>::min(), 18}.toString()), "-9.223372036854775808");
}

// --- column store --------------------------------------------------------------------------------------

TEST(ColumnStore, TextColumnKeepsValuesAndNullsApart)
{
    ColumnStore column(ado::FieldType::Text, 0);
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 0)
            column.appendNull();
        else
            column.append(std::to_string(i));
    }
    column.append(""); // empty is not NULL
    ASSERT_EQ(column.size(), 201u);
    for (std::size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(column.isNull(i), i % 3 == 0) << i;
        if (i % 3 != 0) {
            EXPECT_EQ(column.text(i), std::to_string(i));
        }
    }
    EXPECT_FALSE(column.isNull(200));
    EXPECT_EQ(column.text(200), "");
}

TEST(ColumnStore, DecimalScaleGrowsToTheLongestFraction)
{
    ColumnStore column(ado::FieldType::Decimal, 0);
    column.append("12.5");
    column.appendNull();
    column.append("3.999");
    column.append("7");
    EXPECT_EQ(column.kind(), ado::FieldType::Decimal);
    EXPECT_EQ(column.scale(), 3);
    EXPECT_EQ(column.integer(0), 12500);
    EXPECT_TRUE(column.isNull(1));
    EXPECT_EQ(column.integer(2), 3999);
    EXPECT_EQ(column.integer(3), 7000);
}

TEST(ColumnStore, ValueOfAnotherKindTurnsTheColumnIntoText)
{
    ColumnStore dates(ado::FieldType::Date, 0);
    dates.append("2026-03-11");
    dates.appendNull();
    dates.append("bald");
    ASSERT_EQ(dates.kind(), ado::FieldType::Text);
    EXPECT_EQ(dates.text(0), "2026-03-11");
    EXPECT_TRUE(dates.isNull(1));
    EXPECT_EQ(dates.text(2), "bald");

    ColumnStore decimals(ado::FieldType::Decimal, 2);
    decimals.append("-1.25");
    decimals.append("92233720368547758.07"); // fits alone, not at a wider scale
    decimals.append("0.001");
    ASSERT_EQ(decimals.kind(), ado::FieldType::Text);
    EXPECT_EQ(decimals.text(0), "-1.25");
    EXPECT_EQ(decimals.text(1), "92233720368547758.07");
    EXPECT_EQ(decimals.text(2), "0.001");

    ColumnStore numbers(ado::FieldType::Double, 0);
    numbers.append("0.1");
    numbers.append("n/a");
    EXPECT_EQ(numbers.text(0), "0.1");
    EXPECT_EQ(numbers.text(1), "n/a");
}

} // namespace
