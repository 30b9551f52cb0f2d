// The management service's client interfaces, with the SDK's full method lists, flags and status codes.
#pragma once

#include "oleauto.h"

typedef LONG CIMTYPE;
#define CIM_STRING 8

enum WBEM_TIMEOUT_TYPE
{
    WBEM_NO_WAIT = 0,
    WBEM_INFINITE = 0xFFFFFFFF,
};

enum WBEM_GENERIC_FLAG_TYPE
{
    WBEM_FLAG_RETURN_IMMEDIATELY = 0x10,
    WBEM_FLAG_FORWARD_ONLY = 0x20,
};

enum WBEM_CONNECT_OPTIONS
{
    WBEM_FLAG_CONNECT_USE_MAX_WAIT = 0x80,
};

#define WBEM_S_NO_ERROR ((HRESULT)0)
#define WBEM_S_FALSE ((HRESULT)1)
#define WBEM_S_TIMEDOUT ((HRESULT)0x40004)
#define WBEM_E_FAILED ((HRESULT)0x80041001)
#define WBEM_E_NOT_FOUND ((HRESULT)0x80041002)
#define WBEM_E_ACCESS_DENIED ((HRESULT)0x80041003)
#define WBEM_E_OUT_OF_MEMORY ((HRESULT)0x80041006)
#define WBEM_E_INVALID_PARAMETER ((HRESULT)0x80041008)
#define WBEM_E_NOT_SUPPORTED ((HRESULT)0x8004100C)
#define WBEM_E_INVALID_NAMESPACE ((HRESULT)0x8004100E)
#define WBEM_E_INVALID_CLASS ((HRESULT)0x80041010)

extern const CLSID CLSID_WbemLocator;
extern const IID IID_IWbemLocator;
extern const IID IID_IWbemServices;
extern const IID IID_IEnumWbemClassObject;
extern const IID IID_IWbemClassObject;

struct IWbemContext;
struct IWbemQualifierSet;
struct IWbemCallResult;
struct IWbemObjectSink;

struct IWbemClassObject : public IUnknown
{
    STDMETHOD(GetQualifierSet)(IWbemQualifierSet** ppQualSet) PURE;
    STDMETHOD(Get)(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor) PURE;
    STDMETHOD(Put)(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE Type) PURE;
    STDMETHOD(Delete)(LPCWSTR wszName) PURE;
    STDMETHOD(GetNames)(LPCWSTR wszQualifierName, LONG lFlags, VARIANT* pQualifierVal, SAFEARRAY** pNames) PURE;
    STDMETHOD(BeginEnumeration)(LONG lEnumFlags) PURE;
    STDMETHOD(Next)(LONG lFlags, BSTR* strName, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor) PURE;
    STDMETHOD(EndEnumeration)() PURE;
    STDMETHOD(GetPropertyQualifierSet)(LPCWSTR wszProperty, IWbemQualifierSet** ppQualSet) PURE;
    STDMETHOD(Clone)(IWbemClassObject** ppCopy) PURE;
    STDMETHOD(GetObjectText)(LONG lFlags, BSTR* pstrObjectText) PURE;
    STDMETHOD(SpawnDerivedClass)(LONG lFlags, IWbemClassObject** ppNewClass) PURE;
    STDMETHOD(SpawnInstance)(LONG lFlags, IWbemClassObject** ppNewInstance) PURE;
    STDMETHOD(CompareTo)(LONG lFlags, IWbemClassObject* pCompareTo) PURE;
    STDMETHOD(GetPropertyOrigin)(LPCWSTR wszName, BSTR* pstrClassName) PURE;
    STDMETHOD(InheritsFrom)(LPCWSTR strAncestor) PURE;
    STDMETHOD(GetMethod)(LPCWSTR wszName, LONG lFlags, IWbemClassObject** ppInSignature,
                         IWbemClassObject** ppOutSignature) PURE;
    STDMETHOD(PutMethod)(LPCWSTR wszName, LONG lFlags, IWbemClassObject* pInSignature,
                         IWbemClassObject* pOutSignature) PURE;
    STDMETHOD(DeleteMethod)(LPCWSTR wszName) PURE;
    STDMETHOD(BeginMethodEnumeration)(LONG lEnumFlags) PURE;
    STDMETHOD(NextMethod)(LONG lFlags, BSTR* pstrName, IWbemClassObject** ppInSignature,
                          IWbemClassObject** ppOutSignature) PURE;
    STDMETHOD(EndMethodEnumeration)() PURE;
    STDMETHOD(GetMethodQualifierSet)(LPCWSTR wszMethod, IWbemQualifierSet** ppQualSet) PURE;
    STDMETHOD(GetMethodOrigin)(LPCWSTR wszMethodName, BSTR* pstrClassName) PURE;
};

struct IEnumWbemClassObject : public IUnknown
{
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Next)(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) PURE;
    STDMETHOD(NextAsync)(ULONG uCount, IWbemObjectSink* pSink) PURE;
    STDMETHOD(Clone)(IEnumWbemClassObject** ppEnum) PURE;
    STDMETHOD(Skip)(LONG lTimeout, ULONG nCount) PURE;
};

struct IWbemServices : public IUnknown
{
    STDMETHOD(OpenNamespace)(const BSTR strNamespace, LONG lFlags, IWbemContext* pCtx,
                             IWbemServices** ppWorkingNamespace, IWbemCallResult** ppResult) PURE;
    STDMETHOD(CancelAsyncCall)(IWbemObjectSink* pSink) PURE;
    STDMETHOD(QueryObjectSink)(LONG lFlags, IWbemObjectSink** ppResponseHandler) PURE;
    STDMETHOD(GetObject)(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx, IWbemClassObject** ppObject,
                         IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(GetObjectAsync)(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                              IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(PutClass)(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                        IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(PutClassAsync)(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                             IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(DeleteClass)(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                           IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(DeleteClassAsync)(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                                IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(CreateClassEnum)(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                               IEnumWbemClassObject** ppEnum) PURE;
    STDMETHOD(CreateClassEnumAsync)(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                                    IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(PutInstance)(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                           IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(PutInstanceAsync)(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                                IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(DeleteInstance)(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                              IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(DeleteInstanceAsync)(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                   IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(CreateInstanceEnum)(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                  IEnumWbemClassObject** ppEnum) PURE;
    STDMETHOD(CreateInstanceEnumAsync)(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                       IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(ExecQuery)(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext* pCtx,
                         IEnumWbemClassObject** ppEnum) PURE;
    STDMETHOD(ExecQueryAsync)(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext* pCtx,
                              IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(ExecNotificationQuery)(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                     IWbemContext* pCtx, IEnumWbemClassObject** ppEnum) PURE;
    STDMETHOD(ExecNotificationQueryAsync)(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                          IWbemContext* pCtx, IWbemObjectSink* pResponseHandler) PURE;
    STDMETHOD(ExecMethod)(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags, IWbemContext* pCtx,
                          IWbemClassObject* pInParams, IWbemClassObject** ppOutParams,
                          IWbemCallResult** ppCallResult) PURE;
    STDMETHOD(ExecMethodAsync)(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags,
                               IWbemContext* pCtx, IWbemClassObject* pInParams,
                               IWbemObjectSink* pResponseHandler) PURE;
};

struct IWbemLocator : public IUnknown
{
    STDMETHOD(ConnectServer)(const BSTR strNetworkResource, const BSTR strUser, const BSTR strPassword,
                             const BSTR strLocale, LONG lSecurityFlags, const BSTR strAuthority, IWbemContext* pCtx,
                             IWbemServices** ppNamespace) PURE;
};
