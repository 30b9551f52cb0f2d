// The management service in process: locator, namespace, enumerator and class objects over the provider table.
#include <windows.h>
#include <wbemcli.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "compat/wbem_probe.h"
#include "internal.h"
#include "provider.h"

namespace compat_wbem {

namespace {

std::atomic<long> g_nLive(0);
std::string g_strRoot = "/";

// Where the ASCII name `pszName` begins `psz`, ignoring case as the service does, what follows it; else NULL.
LPCWSTR AfterName(LPCWSTR psz, const char* pszName)
{
    for (; *pszName != 0; ++psz, ++pszName)
    {
        WCHAR chLower = (WCHAR)(*pszName | 0x20);
        if (*psz != (WCHAR)(unsigned char)*pszName && ((*psz | 0x20) != chLower || chLower < 'a' || chLower > 'z'))
            return NULL;
    }
    return psz;
}

// Names of classes, properties and namespaces are ASCII and compare without regard to case.
bool SameName(LPCWSTR psz, const char* pszName)
{
    LPCWSTR pszRest = AfterName(psz, pszName);
    return pszRest != NULL && *pszRest == 0;
}

// Keeps another object alive for as long as this one refers into it.
class Hold
{
public:
    explicit Hold(IUnknown* pUnknown) : m_pUnknown(pUnknown) { m_pUnknown->AddRef(); }
    ~Hold() { m_pUnknown->Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    IUnknown* m_pUnknown;
};

#define COMPAT_UNSUPPORTED(name, args) \
    STDMETHODIMP name args override { return WBEM_E_NOT_SUPPORTED; }

// Reference counting, and the live count that shows whether every object was released.
template <class I>
class Object : public I
{
public:
    explicit Object(REFIID iid) : m_iid(iid) { ++g_nLive; }
    virtual ~Object() { --g_nLive; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, m_iid))
            return E_NOINTERFACE;
        *ppv = static_cast<I*>(this);
        this->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRefs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_nRefs;
        if (n == 0)
            delete this;
        return n;
    }

private:
    std::atomic<ULONG> m_nRefs{ 1 };
    IID m_iid;
};

// The provider's text lives in the library's strings, which throw when memory runs out; a COM method must
// answer with an error instead.
template <typename Body>
HRESULT OrOutOfMemory(Body body)
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return WBEM_E_OUT_OF_MEMORY;
    }
}

HRESULT FillVariant(const Value& value, VARIANT* pVal)
{
    if (value.bNull)
    {
        pVal->vt = VT_NULL;
        return WBEM_S_NO_ERROR;
    }
    int nChars = value.text.empty() ? 0
        : MultiByteToWideChar(CP_UTF8, 0, value.text.data(), (int)value.text.size(), NULL, 0);
    BSTR bstr = SysAllocStringLen(NULL, (UINT)nChars);
    if (bstr == NULL)
        return WBEM_E_OUT_OF_MEMORY;
    if (nChars > 0)
        MultiByteToWideChar(CP_UTF8, 0, value.text.data(), (int)value.text.size(), bstr, nChars);
    pVal->vt = VT_BSTR;
    pVal->bstrVal = bstr;
    return WBEM_S_NO_ERROR;
}

class ClassObject : public Object<IWbemClassObject>
{
public:
    ClassObject(IUnknown* pOwner, const ClassDef& def, const Row& row)
        : Object(IID_IWbemClassObject), m_owner(pOwner), m_def(def), m_row(row) {}

    STDMETHODIMP Get(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor) override
    {
        return OrOutOfMemory([&] { return GetProperty(wszName, lFlags, pVal, pType, plFlavor); });
    }

    HRESULT GetProperty(LPCWSTR wszName, LONG, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor)
    {
        if (wszName == NULL)
            return WBEM_E_INVALID_PARAMETER;
        for (const char* pszColumn : m_def.columns)
        {
            if (!SameName(wszName, pszColumn))
                continue;
            if (pType != NULL)
                *pType = CIM_STRING;
            if (plFlavor != NULL)
                *plFlavor = 0;
            if (pVal == NULL)
                return WBEM_S_NO_ERROR;
            VariantInit(pVal);
            Row::const_iterator it = m_row.find(pszColumn);
            return FillVariant(it != m_row.end() ? it->second : Value::Null(), pVal);
        }
        return WBEM_E_NOT_FOUND;
    }

    COMPAT_UNSUPPORTED(GetQualifierSet, (IWbemQualifierSet **))
    COMPAT_UNSUPPORTED(Put, (LPCWSTR, LONG, VARIANT *, CIMTYPE))
    COMPAT_UNSUPPORTED(Delete, (LPCWSTR))
    COMPAT_UNSUPPORTED(GetNames, (LPCWSTR, LONG, VARIANT *, SAFEARRAY **))
    COMPAT_UNSUPPORTED(BeginEnumeration, (LONG))
    COMPAT_UNSUPPORTED(Next, (LONG, BSTR *, VARIANT *, CIMTYPE *, LONG *))
    COMPAT_UNSUPPORTED(EndEnumeration, ())
    COMPAT_UNSUPPORTED(GetPropertyQualifierSet, (LPCWSTR, IWbemQualifierSet **))
    COMPAT_UNSUPPORTED(Clone, (IWbemClassObject **))
    COMPAT_UNSUPPORTED(GetObjectText, (LONG, BSTR *))
    COMPAT_UNSUPPORTED(SpawnDerivedClass, (LONG, IWbemClassObject **))
    COMPAT_UNSUPPORTED(SpawnInstance, (LONG, IWbemClassObject **))
    COMPAT_UNSUPPORTED(CompareTo, (LONG, IWbemClassObject *))
    COMPAT_UNSUPPORTED(GetPropertyOrigin, (LPCWSTR, BSTR *))
    COMPAT_UNSUPPORTED(InheritsFrom, (LPCWSTR))
    COMPAT_UNSUPPORTED(GetMethod, (LPCWSTR, LONG, IWbemClassObject **, IWbemClassObject **))
    COMPAT_UNSUPPORTED(PutMethod, (LPCWSTR, LONG, IWbemClassObject *, IWbemClassObject *))
    COMPAT_UNSUPPORTED(DeleteMethod, (LPCWSTR))
    COMPAT_UNSUPPORTED(BeginMethodEnumeration, (LONG))
    COMPAT_UNSUPPORTED(NextMethod, (LONG, BSTR *, IWbemClassObject **, IWbemClassObject **))
    COMPAT_UNSUPPORTED(EndMethodEnumeration, ())
    COMPAT_UNSUPPORTED(GetMethodQualifierSet, (LPCWSTR, IWbemQualifierSet **))
    COMPAT_UNSUPPORTED(GetMethodOrigin, (LPCWSTR, BSTR *))

private:
    Hold m_owner;  // the connection, whose rows these are
    const ClassDef& m_def;
    const Row& m_row;
};

// Enumerates the rows its connection read; the objects it hands out refer to them too.
class Enumerator : public Object<IEnumWbemClassObject>
{
public:
    Enumerator(IUnknown* pOwner, const ClassDef& def, const std::vector<Row>& rows)
        : Object(IID_IEnumWbemClassObject), m_pOwner(pOwner), m_owner(pOwner), m_def(def), m_rows(rows) {}

    STDMETHODIMP Reset() override
    {
        m_nNext = 0;
        return WBEM_S_NO_ERROR;
    }

    STDMETHODIMP Next(LONG, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) override
    {
        if (apObjects == NULL || puReturned == NULL)
            return WBEM_E_INVALID_PARAMETER;
        *puReturned = 0;
        HRESULT hr = OrOutOfMemory([&] {
            while (*puReturned < uCount && m_nNext < m_rows.size())
            {
                apObjects[*puReturned] = new ClassObject(m_pOwner, m_def, m_rows[m_nNext]);
                ++*puReturned, ++m_nNext;
            }
            return WBEM_S_NO_ERROR;
        });
        if (FAILED(hr))
        {
            for (m_nNext -= *puReturned; *puReturned > 0;)
                apObjects[--*puReturned]->Release();
            return hr;
        }
        return *puReturned == uCount ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

    STDMETHODIMP Skip(LONG, ULONG nCount) override
    {
        size_t nLeft = m_rows.size() - m_nNext;
        m_nNext += nCount < nLeft ? nCount : nLeft;
        return nCount <= nLeft ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

    COMPAT_UNSUPPORTED(NextAsync, (ULONG, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(Clone, (IEnumWbemClassObject **))

private:
    IUnknown* m_pOwner;
    Hold m_owner;
    const ClassDef& m_def;
    const std::vector<Row>& m_rows;
    size_t m_nNext = 0;
};

// A connection reads each class from the host once, at its first enumeration; a new connection reads anew.
class Services : public Object<IWbemServices>
{
public:
    Services() : Object(IID_IWbemServices), m_rows(Classes().size()), m_bRead(Classes().size(), false) {}

    STDMETHODIMP CreateInstanceEnum(const BSTR strFilter, LONG, IWbemContext*, IEnumWbemClassObject** ppEnum) override
    {
        if (ppEnum == NULL || strFilter == NULL)
            return WBEM_E_INVALID_PARAMETER;
        *ppEnum = NULL;
        return OrOutOfMemory([&] {
            for (size_t i = 0; i < Classes().size(); i++)
            {
                const ClassDef& def = Classes()[i];
                if (!SameName(strFilter, def.pszName))
                    continue;
                if (!m_bRead[i])
                {
                    std::vector<Row> rows;
                    def.pfnFill(g_strRoot, rows);
                    m_rows[i].swap(rows);
                    m_bRead[i] = true;
                }
                *ppEnum = new Enumerator(this, def, m_rows[i]);
                return WBEM_S_NO_ERROR;
            }
            return WBEM_E_INVALID_CLASS;
        });
    }

    COMPAT_UNSUPPORTED(OpenNamespace, (const BSTR, LONG, IWbemContext *, IWbemServices **, IWbemCallResult **))
    COMPAT_UNSUPPORTED(CancelAsyncCall, (IWbemObjectSink *))
    COMPAT_UNSUPPORTED(QueryObjectSink, (LONG, IWbemObjectSink **))
    COMPAT_UNSUPPORTED(GetObject, (const BSTR, LONG, IWbemContext *, IWbemClassObject **, IWbemCallResult **))
    COMPAT_UNSUPPORTED(GetObjectAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(PutClass, (IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_UNSUPPORTED(PutClassAsync, (IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(DeleteClass, (const BSTR, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_UNSUPPORTED(DeleteClassAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(CreateClassEnum, (const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_UNSUPPORTED(CreateClassEnumAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(PutInstance, (IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_UNSUPPORTED(PutInstanceAsync, (IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(DeleteInstance, (const BSTR, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_UNSUPPORTED(DeleteInstanceAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(CreateInstanceEnumAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(ExecQuery, (const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_UNSUPPORTED(ExecQueryAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(ExecNotificationQuery, (const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_UNSUPPORTED(ExecNotificationQueryAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_UNSUPPORTED(ExecMethod, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemClassObject **, IWbemCallResult **))
    COMPAT_UNSUPPORTED(ExecMethodAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemObjectSink *))

private:
    std::vector<std::vector<Row>> m_rows;
    std::vector<bool> m_bRead;
};

// The local machine's root\cimv2, by any of the names Windows accepts for it here.
bool IsLocalCimv2(LPCWSTR pszNamespace)
{
    for (const char* pszHost : { "\\\\.\\", "\\\\localhost\\", "//./", "//localhost/", "" })
    {
        LPCWSTR pszPath = AfterName(pszNamespace, pszHost);
        if (pszPath != NULL && (SameName(pszPath, "root\\cimv2") || SameName(pszPath, "root/cimv2")))
            return true;
    }
    return false;
}

class Locator : public Object<IWbemLocator>
{
public:
    Locator() : Object(IID_IWbemLocator) {}

    STDMETHODIMP ConnectServer(const BSTR strNetworkResource, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                               IWbemContext*, IWbemServices** ppNamespace) override
    {
        if (ppNamespace == NULL || strNetworkResource == NULL)
            return WBEM_E_INVALID_PARAMETER;
        *ppNamespace = NULL;
        return OrOutOfMemory([&] {
            if (!IsLocalCimv2(strNetworkResource))
                return WBEM_E_INVALID_NAMESPACE;
            *ppNamespace = new Services();
            return WBEM_S_NO_ERROR;
        });
    }
};

} // namespace

} // namespace compat_wbem

HRESULT compat__create_wbem_locator(REFIID riid, void** ppv)
{
    compat_wbem::Locator* pLocator = new (std::nothrow) compat_wbem::Locator();
    if (pLocator == NULL)
        return E_OUTOFMEMORY;
    HRESULT hr = pLocator->QueryInterface(riid, ppv);
    pLocator->Release();
    return hr;
}

void compat_wbem_set_root(const char* pszRoot)
{
    compat_wbem::g_strRoot = pszRoot != NULL && pszRoot[0] != 0 ? pszRoot : "/";
}

long compat_wbem_live_objects()
{
    return compat_wbem::g_nLive;
}
