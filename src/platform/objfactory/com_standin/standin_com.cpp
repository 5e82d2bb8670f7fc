#include "standin_com.h"

using namespace Qt::Literals::StringLiterals;

namespace standin {

std::atomic<long>& liveObjects()
{
    static std::atomic<long> count{0};
    return count;
}

HRESULT DispatchBase::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DispatchBase::Release()
{
    const ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DispatchBase::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT DispatchBase::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT argumentText(const VARIANT& argument, std::optional<QString>& text)
{
    const VARIANT* v = &argument;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    switch (V_VT(v)) {
    case VT_EMPTY:
    case VT_NULL:
        text.reset();
        return S_OK;
    case VT_BSTR:
        text = objfactory::com::toQString(V_BSTR(v));
        return S_OK;
    case VT_BYREF | VT_BSTR:
        text = objfactory::com::toQString(*V_BSTRREF(v));
        return S_OK;
    default:
        break;
    }
    objfactory::com::Variant converted;
    const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(v), 0, VT_BSTR);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    text = objfactory::com::toQString(V_BSTR(converted.get()));
    return S_OK;
}

void returnByReference(VARIANT& argument, const QString& text)
{
    VARIANT* v = &argument;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    if (V_VT(v) != (VT_BYREF | VT_BSTR) || objfactory::com::toQString(*V_BSTRREF(v)) == text)
        return;
    SysFreeString(*V_BSTRREF(v));
    *V_BSTRREF(v) = objfactory::com::Bstr(text).release();
}

void setResult(VARIANT* result, const objfactory::Value& value)
{
    if (!result)
        return;
    VariantInit(result);
    if (value) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = objfactory::com::Bstr(*value).release();
    } else {
        V_VT(result) = VT_NULL;
    }
}

void setResult(VARIANT* result, bool value)
{
    if (!result)
        return;
    VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void setResult(VARIANT* result, IDispatch* object)
{
    if (!result) {
        object->Release();
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
}

HRESULT raise(EXCEPINFO* info, const objfactory::Error& error)
{
    if (!info)
        return error.number() < 0 ? static_cast<HRESULT>(error.number()) : E_FAIL;
    *info = EXCEPINFO{};
    info->bstrSource = objfactory::com::Bstr(QString::fromLatin1(objfactory::Factory::ProgId)).release();
    info->bstrDescription = objfactory::com::Bstr(error.description()).release();
    info->scode = static_cast<SCODE>(error.number());
    return DISP_E_EXCEPTION;
}

} // namespace standin
