#pragma once

#include "platform/objfactory/server_error.h"

#include <QDate>
#include <QString>

namespace objtest {

// Today as the server's globals name it (yyMMdd).
inline QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyMMdd"));
}

// The error a call raises, or number 0 when it raised none.
template <typename F> objfactory::Error errorOf(F&& f)
{
    try {
        f();
    } catch (const objfactory::Error& e) {
        return e;
    }
    return objfactory::Error(0, {});
}

} // namespace objtest
