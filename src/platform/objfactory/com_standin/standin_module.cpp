// The DLL's entry points: the class object COM asks for, its per-user registration, and the live-object
// count a leak check reads.

#include "standin_objects.h"

#include <olectl.h>

#include <string>

namespace standin {
namespace {

// {5B0E7C2A-93D1-4F6E-A8B4-2C61D0F9E347}
constexpr CLSID StandinClsid = {0x5b0e7c2a, 0x93d1, 0x4f6e, {0xa8, 0xb4, 0x2c, 0x61, 0xd0, 0xf9, 0xe3, 0x47}};

HMODULE g_module = nullptr; // set once when the DLL is loaded
std::atomic<long> g_locks{0};

STANDIN_COM_CLASS_BEGIN
class ClassFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        FactoryDispatch* factory = new (std::nothrow) FactoryDispatch;
        if (!factory)
            return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(iid, object);
        factory->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
};
STANDIN_COM_CLASS_END

std::wstring clsidText()
{
    wchar_t text[40] = {};
    StringFromGUID2(StandinClsid, text, 40);
    return text;
}

LSTATUS setValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

const std::wstring ProgId = L"CacheObject.Factory";

// Writes the registration below root + classes (the per-user "Software\Classes\", or the merged
// classes root itself).
bool registerBelow(HKEY root, const std::wstring& classes, const std::wstring& path)
{
    const std::wstring clsid = clsidText();
    const std::wstring clsidKey = classes + L"CLSID\\" + clsid;
    return setValue(root, classes + ProgId, nullptr, ProgId) == ERROR_SUCCESS &&
           setValue(root, classes + ProgId + L"\\CLSID", nullptr, clsid) == ERROR_SUCCESS &&
           setValue(root, clsidKey, nullptr, ProgId) == ERROR_SUCCESS &&
           setValue(root, clsidKey + L"\\ProgID", nullptr, ProgId) == ERROR_SUCCESS &&
           setValue(root, clsidKey + L"\\InprocServer32", nullptr, path) == ERROR_SUCCESS &&
           setValue(root, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") == ERROR_SUCCESS;
}

// Whether the ProgID, as COM looks it up, names this component.
bool visibleToCom()
{
    wchar_t value[64] = {};
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CLASSES_ROOT, (ProgId + L"\\CLSID").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                        value, &size) == ERROR_SUCCESS &&
           clsidText() == value;
}

bool gone(LSTATUS status)
{
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace
} // namespace standin

using namespace standin;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, StandinClsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory;
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return liveObjects() == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Per user: no administrator rights needed, regsvr32 works as well. Where COM does not read the
// per-user classes (Wine), the classes root itself is written as well.
STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return SELFREG_E_CLASS;
    if (!registerBelow(HKEY_CURRENT_USER, L"Software\\Classes\\", path))
        return SELFREG_E_CLASS;
    if (!visibleToCom() && !registerBelow(HKEY_CLASSES_ROOT, L"", path))
        return SELFREG_E_CLASS;
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    bool ok = gone(RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + ProgId).c_str())) &&
              gone(RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\CLSID\\" + clsidText()).c_str()));
    // Another component's registration of the ProgID is not ours to remove.
    if (visibleToCom())
        ok = gone(RegDeleteTreeW(HKEY_CLASSES_ROOT, ProgId.c_str())) && ok;
    return gone(RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str())) && ok
               ? S_OK
               : SELFREG_E_CLASS;
}

// For a leak check: the stand-in's objects alive in this process.
__declspec(dllexport) long StandinLiveObjects()
{
    return liveObjects().load();
}

} // extern "C"
