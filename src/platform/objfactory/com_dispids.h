#pragma once

#include <windows.h>

namespace objfactory::com {

// The members of the "CacheObject.Factory" connection object the program calls by dispatch id. The
// vendor's component fixes them; the stand-in honours the same table.
enum FactoryMember : DISPID
{
    IdConnect = 1,
    IdDisconnect = 2,
    IdOpenId = 7,
    IdClassObject = 8,
    IdIsConnected = 10,
};

} // namespace objfactory::com
