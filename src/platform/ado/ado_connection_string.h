#pragma once

#include <QString>
#include <QStringView>

namespace ado::detail {

// What an ADO connection string for the ODBC provider turns into on the ODBC side.
struct DriverConnection
{
    QString odbcString; // attributes for SQLDriverConnect
    QString database;   // database to select once connected; empty when none is asked for
};

// Splits an ADO connection string ("PROVIDER=MSDASQL;dsn=...;uid=;pwd=;database=...;") into what the driver
// gets and what is done after connecting. The provider attribute only selects ODBC; empty uid/pwd mean "not
// given" so that the data source's stored credentials apply; a non-empty userId / password argument wins.
// Throws ado::Error on a malformed string or a provider other than MSDASQL.
DriverConnection toDriverConnection(QStringView adoString, const QString& userId = {},
                                    const QString& password = {});

// The ODBC string with a DATABASE attribute, for drivers that only choose their database at connect time.
QString withDatabaseAttribute(const QString& odbcString, const QString& database);

} // namespace ado::detail
