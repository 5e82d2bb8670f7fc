#include "platform/objfactory/com_dispatch_win32.h"

#include "platform/objfactory/server_error.h"

using namespace Qt::Literals::StringLiterals;

namespace objfactory::com {

void enterApartment()
{
    thread_local bool entered = false;
    if (entered)
        return;
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A thread already in the multi-threaded apartment can still call: the component gets a proxy.
    if (FAILED(result) && result != RPC_E_CHANGED_MODE)
        raise(result, u"Initialisierung von COM"_s);
    entered = true;
}

void raise(HRESULT result, const QString& what)
{
    QString why;
    switch (result) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        why = u"Das Objekt unterstützt diese Eigenschaft oder Methode nicht"_s;
        break;
    case DISP_E_BADPARAMCOUNT:
        why = u"Falsche Anzahl an Argumenten"_s;
        break;
    case DISP_E_TYPEMISMATCH:
        why = u"Typen unverträglich"_s;
        break;
    case E_OUTOFMEMORY:
        why = u"Nicht genügend Speicher"_s;
        break;
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
        why = u"Die Komponente antwortet nicht mehr"_s;
        break;
    default:
        why = u"Automatisierungsfehler"_s;
        break;
    }
    throw Error(static_cast<std::int32_t>(result),
                u"%1 (%2, HRESULT 0x%3)"_s.arg(why, what).arg(
                    static_cast<qulonglong>(static_cast<quint32>(result)), 8, 16, QChar(u'0')));
}

Variant invoke(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, const QString& what)
{
    if (!object)
        throw Error(static_cast<std::int32_t>(E_POINTER), u"Objektvariable nicht festgelegt"_s);
    DISPPARAMS params{args, nullptr, count, 0};
    Variant result;
    ExcepInfo info;
    UINT badArgument = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.out(),
                                      info.get(), &badArgument);
    if (hr == DISP_E_EXCEPTION) {
        info.fillIn();
        throw Error(info.number(), info.description());
    }
    if (FAILED(hr))
        raise(hr, what);
    return result;
}

DISPID dispatchId(IDispatch* object, const QString& name)
{
    if (!object)
        throw Error(static_cast<std::int32_t>(E_POINTER), u"Objektvariable nicht festgelegt"_s);
    Bstr text(name);
    LPOLESTR names[] = {text.get()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        raise(hr, name);
    return id;
}

Value valueOf(const VARIANT& value)
{
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL)
        return std::nullopt;
    if (V_VT(v) == VT_BSTR)
        return toQString(V_BSTR(v));
    Variant text;
    const HRESULT hr =
        VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(v), LOCALE_USER_DEFAULT, 0, VT_BSTR);
    if (FAILED(hr))
        raise(hr, u"Wert als Text"_s);
    return toQString(V_BSTR(text.get()));
}

bool truthOf(const VARIANT& value, const QString& what)
{
    if (V_VT(&value) == VT_BOOL)
        return V_BOOL(&value) != VARIANT_FALSE;
    Variant truth;
    const HRESULT hr = VariantChangeType(truth.get(), const_cast<VARIANT*>(&value), 0, VT_BOOL);
    if (FAILED(hr))
        raise(hr, what);
    return V_BOOL(truth.get()) != VARIANT_FALSE;
}

ComRef<IDispatch> takeObject(Variant& result, const QString& what)
{
    VARIANT* v = result.get();
    ComRef<IDispatch> object;
    if (V_VT(v) == VT_DISPATCH && V_DISPATCH(v)) {
        object = ComRef<IDispatch>(V_DISPATCH(v));
        V_VT(v) = VT_EMPTY; // the reference is ours now
    } else if (V_VT(v) == VT_UNKNOWN && V_UNKNOWN(v)) {
        const HRESULT hr = V_UNKNOWN(v)->QueryInterface(IID_IDispatch, object.out());
        if (FAILED(hr))
            raise(hr, what);
    } else {
        throw Error(static_cast<std::int32_t>(E_POINTER), u"%1 hat kein Objekt geliefert"_s.arg(what));
    }
    return object;
}

} // namespace objfactory::com
