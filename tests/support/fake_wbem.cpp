// A stand-in for the management service: scripted classes and failures, with every object counted.
#include "fake_wbem.h"

#include "test_util.h"

#include "compat/com/wbem_object.h"

namespace fake_wbem {

namespace {

Service* g_pService = NULL;
std::atomic<long> g_nLive(0);
// The factory and the spy live for the whole process, so they are not among the objects the client must release.
std::atomic<long> g_nStatic(0);
DWORD g_dwRegister = 0;

std::string Narrow(LPCWSTR psz)
{
    return psz != NULL ? tavlen_test::Utf16ToUtf8(tavlen_test::WString(psz)) : std::string();
}

HRESULT FillVariant(const Value& value, VARIANT* pVal)
{
    ::VariantInit(pVal);
    V_VT(pVal) = value.vt;
    if (value.vt == VT_BSTR)
        V_BSTR(pVal) = ::SysAllocString(tavlen_test::Utf8ToUtf16(value.text).c_str());
    else if (value.vt == VT_I4)
        V_I4(pVal) = value.number;
    else if (value.vt == (VT_ARRAY | VT_I4))
        V_ARRAY(pVal) = ::SafeArrayCreateVector(VT_I4, 0, 2);
    return value.vt != VT_BSTR || V_BSTR(pVal) != NULL ? S_OK : E_OUTOFMEMORY;
}

// Records the levels CoSetProxyBlanket gives the proxy it was asked of, as a proxy's own IClientSecurity would
// take them. One for the process, like the factory.
class BlanketRecorder : public compat_com::Object<IClientSecurity, g_nStatic>
{
public:
    BlanketRecorder() : Object(IID_IClientSecurity) {}

    STDMETHODIMP QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**, DWORD*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetBlanket(IUnknown* pProxy, DWORD, DWORD, OLECHAR*, DWORD dwAuthnLevel, DWORD dwImpLevel, void*,
                            DWORD) override
    {
        IWbemServices* pServices = NULL;
        bool bServices = SUCCEEDED(pProxy->QueryInterface(IID_IWbemServices, reinterpret_cast<void**>(&pServices)));
        if (pServices != NULL)
            pServices->Release();
        g_pService->blankets.push_back(std::string(bServices ? "services " : "enumerator ") +
                                       std::to_string(dwAuthnLevel) + " " + std::to_string(dwImpLevel));
        return S_OK;
    }
    STDMETHODIMP CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }
};

BlanketRecorder g_recorder;

// A proxy answers for its security too.
template <class Base>
class Proxy : public Base
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL || !IsEqualIID(riid, IID_IClientSecurity))
            return Base::QueryInterface(riid, ppv);
        g_recorder.AddRef();
        *ppv = static_cast<IClientSecurity*>(&g_recorder);
        return S_OK;
    }
};

DWORD DelayOf(const std::map<std::string, DWORD>& delays, const std::string& cls)
{
    std::map<std::string, DWORD>::const_iterator it = delays.find(cls);
    return it != delays.end() ? it->second : 0;
}

class FakeObject : public compat_com::ClassObjectBase<g_nLive>
{
public:
    explicit FakeObject(const Instance& instance) : m_instance(instance) {}

    STDMETHODIMP Get(LPCWSTR wszName, LONG, VARIANT* pVal, CIMTYPE*, LONG*) override
    {
        std::string name = Narrow(wszName);
        g_pService->propertiesRead.push_back(name);
        Instance::const_iterator it = m_instance.find(name);
        if (it == m_instance.end())
            return WBEM_E_NOT_FOUND;
        return FillVariant(it->second, pVal);
    }

private:
    Instance m_instance;
};

class FakeEnum : public Proxy<compat_com::EnumBase<g_nLive> >
{
public:
    FakeEnum(const std::vector<Instance>& instances, DWORD nDelay) : m_instances(instances), m_nDelay(nDelay) {}

    STDMETHODIMP Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) override
    {
        g_pService->nextTimeouts.push_back(lTimeout);
        *puReturned = 0;
        if (m_nDelay > (DWORD)lTimeout)
        {
            ::Sleep((DWORD)lTimeout);
            return WBEM_S_TIMEDOUT;
        }
        ::Sleep(m_nDelay);
        if (uCount == 0 || m_nNext >= m_instances.size())
            return WBEM_S_FALSE;
        apObjects[0] = new FakeObject(m_instances[m_nNext++]);
        *puReturned = 1;
        return WBEM_S_NO_ERROR;
    }

private:
    std::vector<Instance> m_instances;
    DWORD m_nDelay;
    size_t m_nNext = 0;
};

class FakeServices : public Proxy<compat_com::ServicesBase<g_nLive> >
{
public:
    STDMETHODIMP CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext*,
                                    IEnumWbemClassObject** ppEnum) override
    {
        std::string cls = Narrow(strFilter);
        g_pService->enumerated.push_back(cls);
        g_pService->enumerateFlags.push_back(lFlags);
        ::Sleep(DelayOf(g_pService->enumerateDelay, cls));
        *ppEnum = NULL;
        std::map<std::string, HRESULT>::const_iterator failure = g_pService->hrEnumerate.find(cls);
        if (failure != g_pService->hrEnumerate.end())
            return failure->second;
        std::map<std::string, std::vector<Instance> >::const_iterator it = g_pService->classes.find(cls);
        if (it == g_pService->classes.end())
            return WBEM_E_INVALID_CLASS;
        *ppEnum = new FakeEnum(it->second, DelayOf(g_pService->nextDelay, cls));
        return WBEM_S_NO_ERROR;
    }
};

class FakeLocator : public compat_com::Object<IWbemLocator, g_nLive>
{
public:
    FakeLocator() : compat_com::Object<IWbemLocator, g_nLive>(IID_IWbemLocator) {}

    STDMETHODIMP ConnectServer(const BSTR strNetworkResource, const BSTR strUser, const BSTR strPassword,
                               const BSTR strLocale, LONG lSecurityFlags, const BSTR strAuthority,
                               IWbemContext* pCtx, IWbemServices** ppNamespace) override
    {
        g_pService->namespaces.push_back(Narrow(strNetworkResource));
        g_pService->credentialsPassed = strUser != NULL || strPassword != NULL || strLocale != NULL ||
                                        strAuthority != NULL || pCtx != NULL;
        g_pService->connectFlags = lSecurityFlags;
        ::Sleep(g_pService->connectDelay);
        *ppNamespace = NULL;
        if (FAILED(g_pService->hrConnect))
            return g_pService->hrConnect;
        *ppNamespace = new FakeServices();
        return WBEM_S_NO_ERROR;
    }
};

class FakeFactory : public compat_com::Object<IClassFactory, g_nStatic>
{
public:
    FakeFactory() : Object(IID_IClassFactory) {}

    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        *ppv = NULL;
        if (pOuter != NULL)
            return CLASS_E_NOAGGREGATION;
        if (FAILED(g_pService->hrCreateLocator))
            return g_pService->hrCreateLocator;
        FakeLocator* pLocator = new FakeLocator();
        HRESULT hr = pLocator->QueryInterface(riid, ppv);
        pLocator->Release();
        if (g_pService->failAllocAfterLocator)
            AllocationSpy::FailNth(1);
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

FakeFactory g_factory;

// Passes every call through, counting blocks handed out and returned while it is installed.
class Spy : public compat_com::Object<IMallocSpy, g_nStatic>
{
public:
    Spy() : Object(IID_IMallocSpy) {}

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T cbRequest) override
    {
        if (m_nFailIn > 0 && --m_nFailIn == 0)
            return 0;
        return cbRequest;
    }
    STDMETHODIMP_(void*) PostAlloc(void* pActual) override
    {
        if (pActual != NULL)
            ++m_nLive;
        return pActual;
    }
    STDMETHODIMP_(void*) PreFree(void* pRequest, BOOL fSpyed) override
    {
        if (pRequest != NULL && fSpyed)
            --m_nLive;
        return pRequest;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    STDMETHODIMP_(void*) PostRealloc(void* pActual, BOOL) override { return pActual; }
    STDMETHODIMP_(void*) PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

    long m_nLive = 0;
    int m_nFailIn = 0;
};

Spy g_spy;
bool g_bSpyInstalled = false;

} // namespace

void Service::Set(const std::string& cls, const std::string& prop, const Value& value, size_t index)
{
    std::vector<Instance>& instances = classes[cls];
    if (instances.size() <= index)
        instances.resize(index + 1);
    instances[index][prop] = value;
}

Service& Install()
{
    static Service s_service;
    s_service = Service();
    g_pService = &s_service;
    ::OleInitialize(NULL);
    if (g_dwRegister == 0)
        ::CoRegisterClassObject(CLSID_WbemLocator, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                &g_dwRegister);
    return s_service;
}

void Uninstall()
{
    if (g_dwRegister != 0)
        ::CoRevokeClassObject(g_dwRegister);
    g_dwRegister = 0;
}

Service& Current()
{
    return *g_pService;
}

long LiveObjects()
{
    return g_nLive;
}

void FillTypicalMachine(Service& service)
{
    service.Set("Win32_ComputerSystem", "Model", Value::Text("Model 7"));
    service.Set("Win32_ComputerSystemProduct", "Version", Value::Text("Rev B"));
    service.Set("Win32_BIOS", "SerialNumber", Value::Text("SN-0042"));
    service.Set("Win32_BIOS", "SMBIOSBIOSVersion", Value::Text("BIOS 2.1"));
    service.Set("Win32_OperatingSystem", "Caption", Value::Text("Example OS"));
    service.Set("Win32_OperatingSystem", "Version", Value::Text("10.0.19045"));
    service.Set("Win32_OperatingSystem", "CSDVersion", Value::Null());
}

void AllocationSpy::Install()
{
    if (g_bSpyInstalled)
        return;
    // The BSTR cache would hand out strings without asking the allocator, hiding them from the spy.
    typedef void (WINAPI * SetOaNoCacheFn)();
    SetOaNoCacheFn pfnNoCache = reinterpret_cast<SetOaNoCacheFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("oleaut32.dll"), "SetOaNoCache")));
    if (pfnNoCache != NULL)
        pfnNoCache();
    g_bSpyInstalled = SUCCEEDED(::CoRegisterMallocSpy(&g_spy));
}

long AllocationSpy::Live()
{
    return g_spy.m_nLive;
}

void AllocationSpy::FailNth(int n)
{
    g_spy.m_nFailIn = n;
}

} // namespace fake_wbem
