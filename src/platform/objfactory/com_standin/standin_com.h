#pragma once

// What the stand-in's objects share: the reference count they all keep, the live-object count a leak
// check reads, and turning arguments, results and errors into the component model's forms.

#include "platform/objfactory/com_raii_win32.h"
#include "platform/objfactory/factory.h"

#include <atomic>
#include <optional>

namespace standin {

// Objects of this component alive now (factories and server objects).
std::atomic<long>& liveObjects();

// COM interfaces have no virtual destructor by design: objects delete themselves in Release.
#define STANDIN_COM_CLASS_BEGIN                                                                              \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wnon-virtual-dtor\"")
#define STANDIN_COM_CLASS_END _Pragma("GCC diagnostic pop")

STANDIN_COM_CLASS_BEGIN
// IUnknown and the empty type information of a late-bound object; Derived adds its members.
class DispatchBase : public IDispatch
{
public:
    DispatchBase() { ++liveObjects(); }
    virtual ~DispatchBase() { --liveObjects(); }
    DispatchBase(const DispatchBase&) = delete;
    DispatchBase& operator=(const DispatchBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;

private:
    std::atomic<ULONG> m_references{1};
};
STANDIN_COM_CLASS_END

// The text of an argument (by value or by reference); no value for null. E_INVALIDARG style HRESULT on
// a value that is no text.
HRESULT argumentText(const VARIANT& argument, std::optional<QString>& text);
// Writes text back into an argument passed by reference, if it changed.
void returnByReference(VARIANT& argument, const QString& text);

// A result: text, or null for no value.
void setResult(VARIANT* result, const objfactory::Value& value);
void setResult(VARIANT* result, bool value);
void setResult(VARIANT* result, IDispatch* object);

// A server error raised to the caller: DISP_E_EXCEPTION with its number and text in EXCEPINFO.
HRESULT raise(EXCEPINFO* info, const objfactory::Error& error);

} // namespace standin
