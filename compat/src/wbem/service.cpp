// The management service in process: locator, namespace, enumerator and class objects over the provider table.
#include <windows.h>
#include <wbemcli.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "compat/com/wbem_object.h"
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

    IUnknown* Get() const { return m_pUnknown; }

private:
    IUnknown* m_pUnknown;
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

class ClassObject : public compat_com::ClassObjectBase<g_nLive>
{
public:
    ClassObject(IUnknown* pOwner, const ClassDef& def, const Row& row)
        : m_owner(pOwner), m_def(def), m_row(row) {}

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

private:
    Hold m_owner;  // the connection, whose rows these are
    const ClassDef& m_def;
    const Row& m_row;
};

// Enumerates the rows its connection read; the objects it hands out refer to them too.
class Enumerator : public compat_com::EnumBase<g_nLive>
{
public:
    Enumerator(IUnknown* pOwner, const ClassDef& def, const std::vector<Row>& rows)
        : m_owner(pOwner), m_def(def), m_rows(rows) {}

    STDMETHODIMP Next(LONG, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) override
    {
        if (apObjects == NULL || puReturned == NULL)
            return WBEM_E_INVALID_PARAMETER;
        *puReturned = 0;
        HRESULT hr = OrOutOfMemory([&] {
            while (*puReturned < uCount && m_nNext < m_rows.size())
            {
                apObjects[*puReturned] = new ClassObject(m_owner.Get(), m_def, m_rows[m_nNext]);
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

private:
    Hold m_owner;  // the connection, whose rows these are
    const ClassDef& m_def;
    const std::vector<Row>& m_rows;
    size_t m_nNext = 0;
};

// A connection reads each class from the host once, at its first enumeration; a new connection reads anew.
class Services : public compat_com::ServicesBase<g_nLive>
{
public:
    Services() : m_rows(Classes().size()), m_bRead(Classes().size(), false) {}

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

class Locator : public compat_com::Object<IWbemLocator, g_nLive>
{
public:
    Locator() : compat_com::Object<IWbemLocator, g_nLive>(IID_IWbemLocator) {}

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
