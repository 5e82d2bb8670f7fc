#pragma once

// Late-bound calls through IDispatch, with failures raised as the program's server errors.

#include "platform/objfactory/backend.h"
#include "platform/objfactory/com_raii_win32.h"

#include <QString>

namespace objfactory::com {

// Makes the calling thread an apartment-threaded one, once; the threads that call never end, so
// nothing undoes it.
void enterApartment();

// Calls member id of object. args are in the component model's order, the last argument first. A
// failure raises objfactory::Error: the callee's EXCEPINFO (code and description), or the HRESULT with
// a German text naming what.
Variant invoke(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, const QString& what);

// The dispatch id of a member by name; raises when the object knows no such name.
DISPID dispatchId(IDispatch* object, const QString& name);

// A value as text; null and empty are no value.
Value valueOf(const VARIANT& value);
bool truthOf(const VARIANT& value, const QString& what);

// The object a call returned, with its reference taken over; raises when it returned none.
ComRef<IDispatch> takeObject(Variant& result, const QString& what);

// The error for an HRESULT that came without EXCEPINFO.
[[noreturn]] void raise(HRESULT result, const QString& what);

} // namespace objfactory::com
