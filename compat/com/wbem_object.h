// COM objects for both stand-ins of the management service, compat's and the tests': counted references, a
// live count that shows whether every object was released, and every method a stand-in does not serve.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <atomic>

namespace compat_com {

// Deleted at its last Release. nLive counts the live objects of one stand-in, whatever their interface.
template <class I, std::atomic<long>& nLive>
class Object : public I
{
public:
    explicit Object(REFIID iid) : m_iid(iid) { ++nLive; }
    virtual ~Object() { --nLive; }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

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

#define COMPAT_COM_UNSUPPORTED(name, args) \
    STDMETHODIMP name args override { return WBEM_E_NOT_SUPPORTED; }

// The bases below serve nothing; a stand-in overrides the methods it serves.
template <std::atomic<long>& nLive>
class ClassObjectBase : public Object<IWbemClassObject, nLive>
{
public:
    ClassObjectBase() : Object<IWbemClassObject, nLive>(IID_IWbemClassObject) {}

    COMPAT_COM_UNSUPPORTED(Get, (LPCWSTR, LONG, VARIANT *, CIMTYPE *, LONG *))
    COMPAT_COM_UNSUPPORTED(GetQualifierSet, (IWbemQualifierSet **))
    COMPAT_COM_UNSUPPORTED(Put, (LPCWSTR, LONG, VARIANT *, CIMTYPE))
    COMPAT_COM_UNSUPPORTED(Delete, (LPCWSTR))
    COMPAT_COM_UNSUPPORTED(GetNames, (LPCWSTR, LONG, VARIANT *, SAFEARRAY **))
    COMPAT_COM_UNSUPPORTED(BeginEnumeration, (LONG))
    COMPAT_COM_UNSUPPORTED(Next, (LONG, BSTR *, VARIANT *, CIMTYPE *, LONG *))
    COMPAT_COM_UNSUPPORTED(EndEnumeration, ())
    COMPAT_COM_UNSUPPORTED(GetPropertyQualifierSet, (LPCWSTR, IWbemQualifierSet **))
    COMPAT_COM_UNSUPPORTED(Clone, (IWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(GetObjectText, (LONG, BSTR *))
    COMPAT_COM_UNSUPPORTED(SpawnDerivedClass, (LONG, IWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(SpawnInstance, (LONG, IWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(CompareTo, (LONG, IWbemClassObject *))
    COMPAT_COM_UNSUPPORTED(GetPropertyOrigin, (LPCWSTR, BSTR *))
    COMPAT_COM_UNSUPPORTED(InheritsFrom, (LPCWSTR))
    COMPAT_COM_UNSUPPORTED(GetMethod, (LPCWSTR, LONG, IWbemClassObject **, IWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(PutMethod, (LPCWSTR, LONG, IWbemClassObject *, IWbemClassObject *))
    COMPAT_COM_UNSUPPORTED(DeleteMethod, (LPCWSTR))
    COMPAT_COM_UNSUPPORTED(BeginMethodEnumeration, (LONG))
    COMPAT_COM_UNSUPPORTED(NextMethod, (LONG, BSTR *, IWbemClassObject **, IWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(EndMethodEnumeration, ())
    COMPAT_COM_UNSUPPORTED(GetMethodQualifierSet, (LPCWSTR, IWbemQualifierSet **))
    COMPAT_COM_UNSUPPORTED(GetMethodOrigin, (LPCWSTR, BSTR *))
};

template <std::atomic<long>& nLive>
class EnumBase : public Object<IEnumWbemClassObject, nLive>
{
public:
    EnumBase() : Object<IEnumWbemClassObject, nLive>(IID_IEnumWbemClassObject) {}

    COMPAT_COM_UNSUPPORTED(Reset, ())
    COMPAT_COM_UNSUPPORTED(Next, (LONG, ULONG, IWbemClassObject **, ULONG *))
    COMPAT_COM_UNSUPPORTED(NextAsync, (ULONG, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(Clone, (IEnumWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(Skip, (LONG, ULONG))
};

template <std::atomic<long>& nLive>
class ServicesBase : public Object<IWbemServices, nLive>
{
public:
    ServicesBase() : Object<IWbemServices, nLive>(IID_IWbemServices) {}

    COMPAT_COM_UNSUPPORTED(OpenNamespace, (const BSTR, LONG, IWbemContext *, IWbemServices **, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(CancelAsyncCall, (IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(QueryObjectSink, (LONG, IWbemObjectSink **))
    COMPAT_COM_UNSUPPORTED(GetObject, (const BSTR, LONG, IWbemContext *, IWbemClassObject **, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(GetObjectAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(PutClass, (IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(PutClassAsync, (IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(DeleteClass, (const BSTR, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(DeleteClassAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(CreateClassEnum, (const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(CreateClassEnumAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(PutInstance, (IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(PutInstanceAsync, (IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(DeleteInstance, (const BSTR, LONG, IWbemContext *, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(DeleteInstanceAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(CreateInstanceEnum, (const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(CreateInstanceEnumAsync, (const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(ExecQuery, (const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(ExecQueryAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(ExecNotificationQuery, (const BSTR, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **))
    COMPAT_COM_UNSUPPORTED(ExecNotificationQueryAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *))
    COMPAT_COM_UNSUPPORTED(ExecMethod, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemClassObject **, IWbemCallResult **))
    COMPAT_COM_UNSUPPORTED(ExecMethodAsync, (const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *, IWbemObjectSink *))
};

#undef COMPAT_COM_UNSUPPORTED

} // namespace compat_com
