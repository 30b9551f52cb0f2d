// COM start-up per thread, process-wide security, and making objects from registered or built-in classes.
#include <windows.h>
#include <ole2.h>
#include <wbemcli.h>

#include <atomic>
#include <vector>

#include "internal.h"

namespace {

struct ThreadState
{
    int nComInits = 0;
    DWORD dwModel = COINIT_APARTMENTTHREADED;
    int nOleInits = 0;
};

thread_local ThreadState t_state;
std::atomic<bool> g_bSecuritySet(false);

struct Registration
{
    DWORD dwCookie;
    CLSID clsid;
    IUnknown* pUnk;
};

std::vector<Registration> g_registrations;
DWORD g_dwNextCookie = 1;

// The most recent registration wins, as a class object registered in the process comes before any other.
IUnknown* RegisteredObject(REFCLSID rclsid)
{
    for (auto it = g_registrations.rbegin(); it != g_registrations.rend(); ++it)
        if (IsEqualCLSID(it->clsid, rclsid))
            return it->pUnk;
    return NULL;
}

HRESULT CreateFromFactory(IUnknown* pObject, LPUNKNOWN pUnkOuter, REFIID riid, LPVOID* ppv)
{
    IClassFactory* pFactory = NULL;
    HRESULT hr = pObject->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
    if (FAILED(hr) || pFactory == NULL)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    hr = pFactory->CreateInstance(pUnkOuter, riid, ppv);
    pFactory->Release();
    return hr;
}

} // namespace

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    DWORD dwModel = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_state.nComInits > 0 && t_state.dwModel != dwModel)
        return RPC_E_CHANGED_MODE;
    t_state.dwModel = dwModel;
    return t_state.nComInits++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize()
{
    if (t_state.nComInits > 0)
        --t_state.nComInits;
}

// OLE needs a single-threaded apartment: a thread already in the multithreaded one cannot have it.
HRESULT WINAPI OleInitialize(LPVOID)
{
    HRESULT hr = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        return hr;
    if (t_state.nOleInits++ > 0)
    {
        CoUninitialize();
        return S_FALSE;
    }
    return hr;
}

void WINAPI OleUninitialize()
{
    if (t_state.nOleInits > 0 && --t_state.nOleInits == 0)
        CoUninitialize();
}

HRESULT WINAPI CoInitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                                    DWORD, void*, DWORD, void*)
{
    if (t_state.nComInits == 0)
        return CO_E_NOTINITIALIZED;
    bool bExpected = false;
    return g_bSecuritySet.compare_exchange_strong(bExpected, true) ? S_OK : RPC_E_TOO_LATE;
}

HRESULT WINAPI CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                                 DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthInfo, DWORD dwCapabilities)
{
    IClientSecurity* pSecurity = NULL;
    if (pProxy == NULL)
        return E_INVALIDARG;
    HRESULT hr = pProxy->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(&pSecurity));
    if (FAILED(hr))
        return hr;
    hr = pSecurity->SetBlanket(pProxy, dwAuthnSvc, dwAuthzSvc, pServerPrincName, dwAuthnLevel, dwImpLevel, pAuthInfo,
                               dwCapabilities);
    pSecurity->Release();
    return hr;
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    if (t_state.nComInits == 0)
        return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (IUnknown* pObject = RegisteredObject(rclsid))
        return CreateFromFactory(pObject, pUnkOuter, riid, ppv);
    if (!IsEqualCLSID(rclsid, CLSID_WbemLocator))
        return REGDB_E_CLASSNOTREG;
    if (pUnkOuter != NULL)
        return CLASS_E_NOAGGREGATION;
    return compat__create_wbem_locator(riid, ppv);
}

HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD, DWORD, LPDWORD lpdwRegister)
{
    if (pUnk == NULL || lpdwRegister == NULL)
        return E_INVALIDARG;
    if (t_state.nComInits == 0)
        return CO_E_NOTINITIALIZED;
    pUnk->AddRef();
    *lpdwRegister = g_dwNextCookie++;
    g_registrations.push_back(Registration{ *lpdwRegister, rclsid, pUnk });
    return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister)
{
    for (auto it = g_registrations.begin(); it != g_registrations.end(); ++it)
    {
        if (it->dwCookie != dwRegister)
            continue;
        IUnknown* pUnk = it->pUnk;
        g_registrations.erase(it);
        pUnk->Release();
        return S_OK;
    }
    return CO_E_OBJNOTREG;
}
