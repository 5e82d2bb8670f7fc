#include "platform/ado/ado_error.h"

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace ado {

Error::Error(int number, QString description, QString sqlState, int nativeError)
    : RaisedError(number, description.toStdString()), description_(std::move(description)),
      sqlState_(std::move(sqlState)), nativeError_(nativeError)
{}

bool Error::waitedTooLong() const noexcept
{
    // HYT00/HYT01: ODBC's timeouts. SQLite's own busy wait ends in "database is locked" (SQLITE_BUSY 5,
    // SQLITE_LOCKED 6) under any SQLSTATE its driver chooses.
    return sqlState_ == u"HYT00"_s || sqlState_ == u"HYT01"_s ||
           description_.contains(u"database is locked"_s, Qt::CaseInsensitive) ||
           description_.contains(u"database table is locked"_s, Qt::CaseInsensitive);
}

Error Error::noCurrentRecord()
{
    return Error(adErrNoCurrentRecord, u"Either BOF or EOF is True, or the current record has been deleted. "
                                       u"Requested operation requires a current record."_s);
}

Error Error::objectClosed()
{
    return Error(adErrObjectClosed, u"Operation is not allowed when the object is closed."_s);
}

Error Error::objectOpen()
{
    return Error(adErrObjectOpen, u"Operation is not allowed when the object is open."_s);
}

Error Error::invalidArgument()
{
    return Error(adErrInvalidArgument,
                 u"Arguments are of the wrong type, are out of acceptable range, or are "
                 u"in conflict with one another."_s);
}

Error Error::itemNotFound()
{
    return Error(adErrItemNotFound, u"Item cannot be found in the collection corresponding to the requested "
                                    u"name or ordinal."_s);
}

Error Error::invalidConnection()
{
    return Error(adErrInvalidConnection, u"The connection cannot be used to perform this operation. It is "
                                         u"either closed or invalid in this context."_s);
}

Error Error::providerNotFound()
{
    return Error(adErrProviderNotFound, u"Provider cannot be found. It may not be properly installed."_s);
}

} // namespace ado
