// ole32: COM start-up per thread, process and proxy security, class objects, GUIDs and the allocator spy.
#pragma once

#include "unknwn.h"

typedef enum tagCOINIT
{
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
} COINIT;

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_ALL 0x17

#define REGCLS_SINGLEUSE 0
#define REGCLS_MULTIPLEUSE 1

#define RPC_C_AUTHN_LEVEL_DEFAULT 0
#define RPC_C_AUTHN_LEVEL_PKT_PRIVACY 6
#define RPC_C_IMP_LEVEL_DEFAULT 0
#define RPC_C_IMP_LEVEL_IDENTIFY 2
#define RPC_C_IMP_LEVEL_IMPERSONATE 3
#define RPC_C_AUTHN_DEFAULT 0xFFFFFFFFL
#define RPC_C_AUTHZ_DEFAULT 0xFFFFFFFFL
#define COLE_DEFAULT_PRINCIPAL ((OLECHAR*)(INT_PTR)-1)
#define COLE_DEFAULT_AUTHINFO ((void*)(INT_PTR)-1)

typedef enum tagEOLE_AUTHENTICATION_CAPABILITIES
{
    EOAC_NONE = 0x0,
    EOAC_MUTUAL_AUTH = 0x1,
    EOAC_SECURE_REFS = 0x2,
    EOAC_DEFAULT = 0x800,
} EOLE_AUTHENTICATION_CAPABILITIES;

typedef void* PSECURITY_DESCRIPTOR;
typedef struct tagSOLE_AUTHENTICATION_SERVICE SOLE_AUTHENTICATION_SERVICE;

extern const IID IID_IMallocSpy;
extern const IID IID_IClientSecurity;

// A proxy's own security, which CoSetProxyBlanket sets through it.
struct IClientSecurity : public IUnknown
{
    STDMETHOD(QueryBlanket)(IUnknown* pProxy, DWORD* pAuthnSvc, DWORD* pAuthzSvc, OLECHAR** pServerPrincName,
                            DWORD* pAuthnLevel, DWORD* pImpLevel, void** pAuthInfo, DWORD* pCapabilities) PURE;
    STDMETHOD(SetBlanket)(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                          DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthInfo, DWORD dwCapabilities) PURE;
    STDMETHOD(CopyProxy)(IUnknown* pProxy, IUnknown** ppCopy) PURE;
};

// Sees every task-allocator block: BSTRs are made and freed through it.
struct IMallocSpy : public IUnknown
{
    STDMETHOD_(SIZE_T, PreAlloc)(SIZE_T cbRequest) PURE;
    STDMETHOD_(void*, PostAlloc)(void* pActual) PURE;
    STDMETHOD_(void*, PreFree)(void* pRequest, BOOL fSpyed) PURE;
    STDMETHOD_(void, PostFree)(BOOL fSpyed) PURE;
    STDMETHOD_(SIZE_T, PreRealloc)(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL fSpyed) PURE;
    STDMETHOD_(void*, PostRealloc)(void* pActual, BOOL fSpyed) PURE;
    STDMETHOD_(void*, PreGetSize)(void* pRequest, BOOL fSpyed) PURE;
    STDMETHOD_(SIZE_T, PostGetSize)(SIZE_T cbActual, BOOL fSpyed) PURE;
    STDMETHOD_(void*, PreDidAlloc)(void* pRequest, BOOL fSpyed) PURE;
    STDMETHOD_(int, PostDidAlloc)(void* pRequest, BOOL fSpyed, int fActual) PURE;
    STDMETHOD_(void, PreHeapMinimize)() PURE;
    STDMETHOD_(void, PostHeapMinimize)() PURE;
};

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();
// Once per process, like Windows: a second call fails with RPC_E_TOO_LATE.
HRESULT WINAPI CoInitializeSecurity(PSECURITY_DESCRIPTOR pSecDesc, LONG cAuthSvc,
                                    SOLE_AUTHENTICATION_SERVICE* asAuthSvc, void* pReserved1,
                                    DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList,
                                    DWORD dwCapabilities, void* pReserved3);
// Through the proxy's IClientSecurity, as Windows does; an object that is no proxy has none.
HRESULT WINAPI CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                                 DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthInfo, DWORD dwCapabilities);
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                LPVOID* ppv);
HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                                     LPDWORD lpdwRegister);
HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister);
HRESULT WINAPI CoCreateGuid(GUID* pguid);
HRESULT WINAPI CoRegisterMallocSpy(IMallocSpy* pMallocSpy);
