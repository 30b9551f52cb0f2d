// VARIANTs: clearing what they own, and their text form; SAFEARRAYs only as far as a VARIANT holds one.
#include <windows.h>
#include <oleauto.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

bool IsInteger(VARTYPE vt)
{
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_UI1 || vt == VT_UI2 ||
           vt == VT_UI4 || vt == VT_UINT;
}

long long IntegerOf(const VARIANT* pv)
{
    switch (pv->vt)
    {
    case VT_I1: return pv->cVal;
    case VT_I2: return pv->iVal;
    case VT_UI1: return pv->bVal;
    case VT_UI2: return pv->uiVal;
    case VT_UI4: return pv->ulVal;
    case VT_UINT: return pv->uintVal;
    default: return pv->lVal;
    }
}

BSTR BstrOfAscii(const char* psz)
{
    OLECHAR text[32];
    UINT n = 0;
    for (; psz[n] != 0 && n < 31; n++)
        text[n] = (OLECHAR)psz[n];
    return SysAllocStringLen(text, n);
}

// The text of a value, or the reason it has none.
HRESULT TextOf(const VARIANT* pvarSrc, BSTR* pbstr)
{
    if (pvarSrc->vt == VT_BSTR)
        *pbstr = SysAllocStringLen(pvarSrc->bstrVal, SysStringLen(pvarSrc->bstrVal));
    else if (pvarSrc->vt == VT_EMPTY)
        *pbstr = SysAllocStringLen(NULL, 0);
    else if (IsInteger(pvarSrc->vt))
    {
        char sz[32];
        snprintf(sz, sizeof(sz), "%lld", IntegerOf(pvarSrc));
        *pbstr = BstrOfAscii(sz);
    }
    else
        return DISP_E_TYPEMISMATCH;
    return *pbstr != NULL ? S_OK : E_OUTOFMEMORY;
}

} // namespace

void WINAPI VariantInit(VARIANTARG* pvarg)
{
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg)
{
    if (pvarg == NULL)
        return E_INVALIDARG;
    if (pvarg->vt & VT_ARRAY)
        SafeArrayDestroy(pvarg->parray);
    else if (pvarg->vt == VT_BSTR)
        SysFreeString(pvarg->bstrVal);
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

// The source may be the destination itself: the old value is released only once the new one is made.
HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT, VARTYPE vt)
{
    if (pvargDest == NULL || pvarSrc == NULL)
        return E_INVALIDARG;
    if (vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    BSTR bstr = NULL;
    HRESULT hr = TextOf(pvarSrc, &bstr);
    if (FAILED(hr))
        return hr;
    VariantClear(pvargDest);
    pvargDest->vt = VT_BSTR;
    pvargDest->bstrVal = bstr;
    return S_OK;
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    if (!IsInteger(vt))
        return NULL;
    SAFEARRAY* psa = static_cast<SAFEARRAY*>(calloc(1, sizeof(SAFEARRAY)));
    if (psa == NULL)
        return NULL;
    psa->cDims = 1;
    psa->cbElements = sizeof(LONG);
    psa->rgsabound[0].cElements = cElements;
    psa->rgsabound[0].lLbound = lLbound;
    psa->pvData = calloc(cElements != 0 ? cElements : 1, sizeof(LONG));
    if (psa->pvData == NULL)
    {
        free(psa);
        return NULL;
    }
    return psa;
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa)
{
    if (psa == NULL)
        return S_OK;
    free(psa->pvData);
    free(psa);
    return S_OK;
}
