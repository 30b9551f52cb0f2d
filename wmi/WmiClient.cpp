// The management client: COM set-up, the connection to the local namespace, and reading text properties.
#include "wmi/WmiClient.h"

namespace {

const char* const kNamespace = "\\\\.\\root\\cimv2";

// Every control character but the tab (C0, DEL, and the C1 controls with NEL), and the line and paragraph
// separators, ends a line for some reader or commands some terminal, and no code page tells them apart once
// converted. They become blanks here, before anyone trims, so that trimming removes those at either end.
// Returns the length of the text, which ends at its first null.
int BlankLineBreaks(BSTR bstr)
{
    WCHAR* pch = bstr;
    for (; *pch != 0; ++pch)
        if ((*pch < 0x20 && *pch != '\t') || (*pch >= 0x7F && *pch <= 0x9F) || *pch == 0x2028 || *pch == 0x2029)
            *pch = ' ';
    return (int)(pch - bstr);
}

// Null and empty values read as empty text; other types are converted, and fail only where they cannot be.
int VariantToText(VARIANT* pVar, CString* pValue)
{
    if (V_VT(pVar) == VT_NULL || V_VT(pVar) == VT_EMPTY)
    {
        *pValue = CString();
        return 0;
    }
    if (V_VT(pVar) != VT_BSTR && FAILED(::VariantChangeType(pVar, pVar, 0, VT_BSTR)))
        return -1;
    *pValue = V_BSTR(pVar) != NULL ? CString(V_BSTR(pVar), BlankLineBreaks(V_BSTR(pVar))) : CString();
    return 0;
}

// The levels the process-wide call asks for, given to one proxy: where another module in the process set COM's
// security first, the process-wide call comes too late, and only each proxy can still be given them. An object
// that is no proxy, as an in-process service's, takes none and needs none.
void SetProxySecurity(IUnknown* pProxy)
{
    ::CoSetProxyBlanket(pProxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                        RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE, COLE_DEFAULT_AUTHINFO, EOAC_DEFAULT);
}

} // namespace

CWmiClient::CWmiClient()
    : m_bConnected(false), m_pServices(NULL), m_bDeadline(false), m_dwDeadline(0)
{
}

CWmiClient::~CWmiClient()
{
    if (m_pServices != NULL)
        m_pServices->Release();
}

bool CWmiClient::Open()
{
    m_bConnected = false;
    if (!AfxOleInit())
        return false;
    if (!InitSecurity())
        return false;
    if (Connect() == 0)
        m_bConnected = true;
    return m_bConnected;
}

// Process-wide, where this process has not set its security yet; where it has (COM sets it at the first call
// it marshals, whoever makes it), each proxy is given the same levels instead.
bool CWmiClient::InitSecurity()
{
    HRESULT hr = ::CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_SECURE_REFS, NULL);
    return SUCCEEDED(hr) || hr == RPC_E_TOO_LATE;
}

void CWmiClient::SetDeadline(DWORD dwDeadline)
{
    m_bDeadline = true;
    m_dwDeadline = dwDeadline;
}

// Milliseconds, none once the deadline has passed.
LONG CWmiClient::TimeLeft() const
{
    if (!m_bDeadline)
        return (LONG)WBEM_INFINITE;
    LONG nLeft = (LONG)(m_dwDeadline - ::GetTickCount());
    return nLeft > 0 ? nLeft : 0;
}

int CWmiClient::Connect()
{
    IWbemLocator* pLocator = NULL;
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, NULL, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(&pLocator));
    if (FAILED(hr) || pLocator == NULL)
        return -1;

    BSTR bstrNamespace = CString(kNamespace).AllocSysString();
    if (bstrNamespace == NULL)
    {
        pLocator->Release();
        return -1;
    }
    if (m_pServices != NULL)
    {
        m_pServices->Release();
        m_pServices = NULL;
    }

    // The service's own limit on the wait for the connection, where it keeps one.
    hr = pLocator->ConnectServer(bstrNamespace, NULL, NULL, NULL, WBEM_FLAG_CONNECT_USE_MAX_WAIT, NULL, NULL,
                                 &m_pServices);
    ::SysFreeString(bstrNamespace);
    pLocator->Release();
    if (FAILED(hr) || m_pServices == NULL)
    {
        m_pServices = NULL;
        return -1;
    }
    SetProxySecurity(m_pServices);
    return 0;
}

int CWmiClient::GetProperty(CString strClass, CString strProperty, CString* pValue)
{
    if (!m_bConnected || m_pServices == NULL)
        return -1;

    BSTR bstrClass = strClass.AllocSysString();
    BSTR bstrProperty = strProperty.AllocSysString();
    if (bstrClass == NULL || bstrProperty == NULL)
    {
        ::SysFreeString(bstrClass);
        ::SysFreeString(bstrProperty);
        return -1;
    }

    // Answered at once, and read as it comes, so that only Next waits, and no longer than the time left.
    IEnumWbemClassObject* pEnum = NULL;
    HRESULT hr = m_pServices->CreateInstanceEnum(bstrClass, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                                                 NULL, &pEnum);
    if (FAILED(hr) || pEnum == NULL)
    {
        ::SysFreeString(bstrClass);
        ::SysFreeString(bstrProperty);
        return -1;
    }

    // The call's own result is not examined: the count of returned objects says all, and an answer that did not
    // come in time (WBEM_S_TIMEDOUT) returns none.
    SetProxySecurity(pEnum);
    IWbemClassObject* pObject = NULL;
    ULONG uReturned = 0;
    pEnum->Next(TimeLeft(), 1, &pObject, &uReturned);

    int nResult = -1;
    if (uReturned == 1 && pObject != NULL)
    {
        VARIANT var;
        ::VariantInit(&var);
        if (SUCCEEDED(pObject->Get(bstrProperty, 0, &var, NULL, NULL)))
            nResult = VariantToText(&var, pValue);
        ::VariantClear(&var);
    }
    if (pObject != NULL)
        pObject->Release();

    pEnum->Release();
    ::SysFreeString(bstrClass);
    ::SysFreeString(bstrProperty);
    return nResult;
}

int CWmiClient::GetFixedProperty(LPCSTR pszClass, LPCSTR pszProperty, CString& value)
{
    CString strValue;
    if (GetProperty(CString(pszClass), CString(pszProperty), &strValue) != 0)
        return -1;
    value = strValue;
    return 0;
}

int CWmiClient::GetModel(CString& value)
{
    return GetFixedProperty("Win32_ComputerSystem", "Model", value);
}

int CWmiClient::GetProductVersion(CString& value)
{
    return GetFixedProperty("Win32_ComputerSystemProduct", "Version", value);
}

int CWmiClient::GetSerialNumber(CString& value)
{
    return GetFixedProperty("Win32_BIOS", "SerialNumber", value);
}

int CWmiClient::GetBiosVersion(CString& value)
{
    return GetFixedProperty("Win32_BIOS", "SMBIOSBIOSVersion", value);
}

int CWmiClient::GetOsCaption(CString& value)
{
    return GetFixedProperty("Win32_OperatingSystem", "Caption", value);
}

int CWmiClient::GetOsVersion(CString& value)
{
    return GetFixedProperty("Win32_OperatingSystem", "Version", value);
}

int CWmiClient::GetOsServicePack(CString& value)
{
    return GetFixedProperty("Win32_OperatingSystem", "CSDVersion", value);
}

int CWmiClient::GetOsDescription(CString& value)
{
    const CString strSeparator("   ");
    CString strCaption, strVersion, strServicePack;
    GetOsCaption(strCaption);
    GetOsVersion(strVersion);
    GetOsServicePack(strServicePack);
    if (strCaption.IsEmpty() || strVersion.IsEmpty())
        return -1;

    value = strCaption + strSeparator + strVersion;
    if (!strServicePack.IsEmpty())
        value += strSeparator + strServicePack;
    return 0;
}
