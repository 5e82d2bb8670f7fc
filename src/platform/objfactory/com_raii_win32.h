#pragma once

// Owners for what the component model hands out: every BSTR freed, every VARIANT cleared, every
// interface released, also when an error unwinds.

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <QString>

#include <cstring>
#include <utility>

namespace objfactory::com {

inline QString toQString(const BSTR text)
{
    return text ? QString::fromWCharArray(text, static_cast<qsizetype>(SysStringLen(text))) : QString();
}

class Bstr final
{
public:
    Bstr() = default;
    explicit Bstr(const QString& text)
        : m_bstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()),
                                   static_cast<UINT>(text.size())))
    {}
    ~Bstr() { SysFreeString(m_bstr); }
    Bstr(Bstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) {
            SysFreeString(m_bstr);
            m_bstr = std::exchange(other.m_bstr, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_bstr; }
    // For a callee that may free and replace the text (by reference).
    BSTR* slot() { return &m_bstr; }
    BSTR release() { return std::exchange(m_bstr, nullptr); }
    QString text() const { return toQString(m_bstr); }

private:
    BSTR m_bstr = nullptr;
};

class Variant final
{
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(Variant&& other) noexcept : m_value(other.m_value) { VariantInit(&other.m_value); }
    Variant& operator=(Variant&& other) noexcept
    {
        if (this != &other) {
            VariantClear(&m_value);
            m_value = other.m_value;
            VariantInit(&other.m_value);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }
    // Cleared, for a callee to fill.
    VARIANT* out()
    {
        VariantClear(&m_value);
        return &m_value;
    }

private:
    VARIANT m_value;
};

// One counted reference to an interface.
template <typename T> class ComRef final
{
public:
    ComRef() = default;
    // Takes over a reference the caller already holds.
    explicit ComRef(T* adopted) : m_pointer(adopted) {}
    ~ComRef() { reset(); }
    ComRef(const ComRef& other) : m_pointer(other.m_pointer)
    {
        if (m_pointer)
            m_pointer->AddRef();
    }
    ComRef& operator=(const ComRef& other)
    {
        ComRef copy(other);
        std::swap(m_pointer, copy.m_pointer);
        return *this;
    }
    ComRef(ComRef&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept
    {
        ComRef moved(std::move(other));
        std::swap(m_pointer, moved.m_pointer);
        return *this;
    }

    T* get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    void** out()
    {
        reset();
        return reinterpret_cast<void**>(&m_pointer);
    }
    T* release() { return std::exchange(m_pointer, nullptr); }
    void reset()
    {
        if (T* p = std::exchange(m_pointer, nullptr))
            p->Release();
    }

private:
    T* m_pointer = nullptr;
};

// What a failed Invoke reports; its texts are freed with it.
class ExcepInfo final
{
public:
    ExcepInfo() { std::memset(&m_info, 0, sizeof m_info); }
    ~ExcepInfo()
    {
        SysFreeString(m_info.bstrSource);
        SysFreeString(m_info.bstrDescription);
        SysFreeString(m_info.bstrHelpFile);
    }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;

    EXCEPINFO* get() { return &m_info; }
    void fillIn()
    {
        if (m_info.pfnDeferredFillIn)
            m_info.pfnDeferredFillIn(&m_info);
        m_info.pfnDeferredFillIn = nullptr;
    }
    // The error number as a program reads it: the HRESULT, or the plain code where there is none.
    std::int32_t number() const
    {
        return m_info.scode != 0 ? static_cast<std::int32_t>(m_info.scode) : m_info.wCode;
    }
    QString description() const { return toQString(m_info.bstrDescription); }

private:
    EXCEPINFO m_info;
};

} // namespace objfactory::com
