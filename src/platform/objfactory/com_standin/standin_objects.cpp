#include "standin_objects.h"

using namespace Qt::Literals::StringLiterals;

namespace standin {
namespace {

struct Member
{
    const wchar_t* name;
    DISPID id;
};

constexpr Member FactoryMembers[] = {
    {L"Connect", FactoryDispatch::IdConnect},         {L"Disconnect", FactoryDispatch::IdDisconnect},
    {L"OpenId", FactoryDispatch::IdOpenId},           {L"ClassObject", FactoryDispatch::IdClassObject},
    {L"IsConnected", FactoryDispatch::IdIsConnected},
};

// The arguments in call order (the component model hands them last first).
class Arguments final
{
public:
    explicit Arguments(DISPPARAMS* params) : m_params(params) {}
    UINT count() const { return m_params ? m_params->cArgs : 0; }
    bool named() const { return m_params && m_params->cNamedArgs > 0; }
    VARIANT& operator[](UINT index) const { return m_params->rgvarg[m_params->cArgs - 1 - index]; }
    HRESULT text(UINT index, std::optional<QString>& text, UINT* badArgument) const
    {
        const HRESULT hr = argumentText((*this)[index], text);
        if (FAILED(hr) && badArgument)
            *badArgument = m_params->cArgs - 1 - index;
        return hr;
    }

private:
    DISPPARAMS* m_params;
};

bool reads(WORD flags)
{
    return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
}

// Runs a member, turning a server error into the component model's exception; nothing else escapes.
template <typename F> HRESULT guarded(EXCEPINFO* info, F&& member)
{
    try {
        return member();
    } catch (const objfactory::Error& e) {
        return raise(info, e);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

HRESULT FactoryDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (const Member& member : FactoryMembers) {
        if (names[0] && _wcsicmp(names[0], member.name) == 0)
            ids[0] = member.id;
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) // no named arguments on these members
        hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT FactoryDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* info, UINT* badArgument)
{
    const Arguments args(params);
    if (args.named())
        return DISP_E_NONAMEDARGS;
    if (!reads(flags))
        return DISP_E_MEMBERNOTFOUND;
    const auto expect = [&](UINT count) { return args.count() == count ? S_OK : DISP_E_BADPARAMCOUNT; };
    return guarded(info, [&]() -> HRESULT {
        std::optional<QString> first;
        std::optional<QString> second;
        switch (id) {
        case IdConnect: {
            if (FAILED(expect(1)))
                return DISP_E_BADPARAMCOUNT;
            if (const HRESULT hr = args.text(0, first, badArgument); FAILED(hr))
                return hr;
            QString text = first.value_or(QString());
            const bool connected = m_wire.Connect(text);
            returnByReference(args[0], text);
            setResult(result, connected);
            return S_OK;
        }
        case IdDisconnect:
            if (FAILED(expect(0)))
                return DISP_E_BADPARAMCOUNT;
            m_wire.Disconnect();
            return S_OK;
        case IdOpenId: {
            if (FAILED(expect(2)))
                return DISP_E_BADPARAMCOUNT;
            if (const HRESULT hr = args.text(0, first, badArgument); FAILED(hr))
                return hr;
            if (const HRESULT hr = args.text(1, second, badArgument); FAILED(hr))
                return hr;
            objfactory::ServerObject object =
                m_wire.OpenId(first.value_or(QString()), second.value_or(QString()));
            setResult(result, static_cast<IDispatch*>(new ObjectDispatch(std::move(object))));
            return S_OK;
        }
        case IdClassObject: {
            if (FAILED(expect(1)))
                return DISP_E_BADPARAMCOUNT;
            if (const HRESULT hr = args.text(0, first, badArgument); FAILED(hr))
                return hr;
            objfactory::ServerObject object = m_wire.ClassObject(first.value_or(QString()));
            setResult(result, static_cast<IDispatch*>(new ObjectDispatch(std::move(object))));
            return S_OK;
        }
        case IdIsConnected:
            if (FAILED(expect(0)))
                return DISP_E_BADPARAMCOUNT;
            setResult(result, m_wire.IsConnected());
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    });
}

HRESULT ObjectDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0 || !names[0])
        return E_INVALIDARG;
    for (UINT i = 1; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return guarded(nullptr, [&]() -> HRESULT {
        const QString name = QString::fromWCharArray(names[0]);
        qsizetype index = m_names.indexOf(name, 0);
        if (index < 0) {
            index = m_names.size();
            m_names.append(name);
        }
        ids[0] = FirstNameId + static_cast<DISPID>(index);
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    });
}

HRESULT ObjectDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* info, UINT* badArgument)
{
    const Arguments args(params);
    if (args.named())
        return DISP_E_NONAMEDARGS;
    if (!reads(flags) || id < FirstNameId || id - FirstNameId >= m_names.size())
        return DISP_E_MEMBERNOTFOUND;
    const QString name = m_names.at(id - FirstNameId);
    return guarded(info, [&]() -> HRESULT {
        if (name.compare(u"SYS_Close"_s, Qt::CaseInsensitive) == 0 && args.count() == 0) {
            // The object stays alive for its other references; the server forgets it.
            objfactory::ServerObject closing = m_object;
            closing.SYS_Close();
            setResult(result, objfactory::Value());
            return S_OK;
        }
        if (args.count() == 0) {
            setResult(result, m_object.property(name));
            return S_OK;
        }
        if (args.count() != 1 || !(flags & DISPATCH_METHOD))
            return DISP_E_BADPARAMCOUNT;
        std::optional<QString> argument;
        if (const HRESULT hr = args.text(0, argument, badArgument); FAILED(hr))
            return hr;
        VARIANT& passed = args[0];
        const bool byReference = (V_VT(&passed) & VT_BYREF) != 0;
        if (byReference && argument) {
            QString text = *argument;
            const objfactory::Value value = m_object.call(name, text);
            returnByReference(passed, text);
            setResult(result, value);
        } else {
            setResult(result, m_object.call(name, argument));
        }
        return S_OK;
    });
}

} // namespace standin
