#pragma once

#include "platform/objfactory/com_dispids.h"
#include "standin_com.h"

#include <QStringList>

#include <memory>

namespace standin {

// The connection object made from the ProgID: its members by dispatch id, as the program calls them,
// each passed on to veldor-server through the wire client, run in place.
class FactoryDispatch final : public DispatchBase
{
public:
    // The table's ids, as the program calls them.
    using enum objfactory::com::FactoryMember;

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* badArgument) override;

private:
    objfactory::Factory m_wire{objfactory::Transport::Wire};
};

// A server object: every name is bound late and passed on; the server says which exist.
class ObjectDispatch final : public DispatchBase
{
public:
    explicit ObjectDispatch(objfactory::ServerObject object) : m_object(std::move(object)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* badArgument) override;

private:
    static constexpr DISPID FirstNameId = 1000;

    objfactory::ServerObject m_object;
    QStringList m_names; // dispatch id FirstNameId + index
};

} // namespace standin
