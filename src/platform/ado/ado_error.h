#pragma once

#include "platform/error/raised_error.h"

#include <QString>

namespace ado {

// Values of ErrorValueEnum for the failures this layer detects itself. Failures reported by the ODBC driver
// carry adErrProviderFailed, the number ADO gives them, and the driver's own text.
enum ErrorValue : int
{
    adErrInvalidArgument = 3001,
    adErrNoCurrentRecord = 3021,
    adErrItemNotFound = 3265,
    adErrObjectClosed = 3704,
    adErrObjectOpen = 3705,
    adErrProviderNotFound = 3706,
    adErrInvalidConnection = 3709,
    adErrOperationCancelled = 3712,
    adErrProviderFailed = -2147467259, // E_FAIL
    adErrOutOfMemory = -2147024882,    // E_OUTOFMEMORY
};

// What every failing operation of the layer throws: a number and a description for the user.
class Error final : public plenvaro::RaisedError
{
public:
    Error(int number, QString description, QString sqlState = {}, int nativeError = 0);

    const QString& description() const noexcept { return description_; }
    // SQLSTATE and native error of the driver's first diagnostic record; empty / 0 for the layer's own
    // errors.
    const QString& sqlState() const noexcept { return sqlState_; }
    int nativeError() const noexcept { return nativeError_; }
    // The driver gave up waiting: a query timeout, or a database locked by someone else.
    bool waitedTooLong() const noexcept;

    // ADO's own errors, with ADO's texts.
    static Error noCurrentRecord();
    static Error objectClosed();
    static Error objectOpen();
    static Error invalidArgument();
    static Error itemNotFound();
    static Error invalidConnection();
    static Error providerNotFound();

private:
    QString description_; // the base's text as callers read it, so they get a reference
    QString sqlState_;
    int nativeError_;
};

} // namespace ado
