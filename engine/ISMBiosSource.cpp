#include "ISMBiosSource.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

namespace {

// Releases a COM interface at scope end.
template <typename T>
class CComRelease {
public:
    CComRelease() = default;
    ~CComRelease()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    CComRelease(const CComRelease&) = delete;
    CComRelease& operator=(const CComRelease&) = delete;
    T** Receive() { return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// Clears a VARIANT at scope end.
class CVariantClear {
public:
    CVariantClear() { VariantInit(&m_v); }
    ~CVariantClear() { VariantClear(&m_v); }
    CVariantClear(const CVariantClear&) = delete;
    CVariantClear& operator=(const CVariantClear&) = delete;
    VARIANT* Get() { return &m_v; }

private:
    VARIANT m_v;
};

bool ReadByteProperty(IWbemClassObject* pObject, const wchar_t* pwszName, BYTE* pbValue)
{
    CVariantClear v;
    if (FAILED(pObject->Get(pwszName, 0, v.Get(), nullptr, nullptr)))
        return false;
    VARIANT vByte;
    VariantInit(&vByte);
    if (FAILED(VariantChangeType(&vByte, v.Get(), 0, VT_UI1)))
        return false;
    *pbValue = vByte.bVal;
    return true;
}

bool ReadTable(IWbemClassObject* pObject, std::vector<BYTE>& vecTable)
{
    CVariantClear v;
    if (FAILED(pObject->Get(L"SMBiosData", 0, v.Get(), nullptr, nullptr)))
        return false;
    if (v.Get()->vt != (VT_ARRAY | VT_UI1) || v.Get()->parray == nullptr)
        return false;
    SAFEARRAY* psa = v.Get()->parray;
    LONG lLower = 0;
    LONG lUpper = -1;
    if (FAILED(SafeArrayGetLBound(psa, 1, &lLower)) || FAILED(SafeArrayGetUBound(psa, 1, &lUpper)))
        return false;
    void* pv = nullptr;
    if (FAILED(SafeArrayAccessData(psa, &pv)))
        return false;
    const BYTE* pb = static_cast<const BYTE*>(pv);
    vecTable.assign(pb, pb + (lUpper - lLower + 1));
    SafeArrayUnaccessData(psa);
    return true;
}

class CWmiSMBiosSource : public ISMBiosSource {
public:
    BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable) override
    {
        CComRelease<IWbemLocator> locator;
        if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(locator.Receive())))) {
            OutputDebugStringW(L"Fail in CoCreateInstance CLSID_WbemLocator\n");
            return FALSE;
        }
        CComRelease<IWbemServices> services;
        BSTR bstrNamespace = SysAllocString(L"ROOT\\WMI");
        HRESULT hr = locator->ConnectServer(bstrNamespace, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                            services.Receive());
        SysFreeString(bstrNamespace);
        if (FAILED(hr)) {
            OutputDebugStringW(L"Fail in CoCreateInstance ROOT\\WMI\n");
            return FALSE;
        }
        if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
            OutputDebugStringW(L"Fail in CoSetProxyBlanket \n");
            return FALSE;
        }
        CComRelease<IEnumWbemClassObject> instances;
        BSTR bstrClass = SysAllocString(L"MSSMBios_RawSMBiosTables");
        hr = services->CreateInstanceEnum(bstrClass, 0, nullptr, instances.Receive());
        SysFreeString(bstrClass);
        if (FAILED(hr)) {
            OutputDebugStringW(L"Fail in CreateInstanceEnum \n");
            return FALSE;
        }
        CComRelease<IWbemClassObject> object;
        ULONG ulReturned = 0;
        if (instances->Next(WBEM_INFINITE, 1, object.Receive(), &ulReturned) != WBEM_S_NO_ERROR || ulReturned != 1)
            return FALSE;
        BYTE bMajor = 0;
        BYTE bMinor = 0;
        std::vector<BYTE> vecRead;
        if (!ReadByteProperty(object.Get(), L"SmbiosMajorVersion", &bMajor)
            || !ReadByteProperty(object.Get(), L"SmbiosMinorVersion", &bMinor) || !ReadTable(object.Get(), vecRead))
            return FALSE;
        *pbMajor = bMajor;
        *pbMinor = bMinor;
        vecTable.swap(vecRead);
        return TRUE;
    }
};

} // namespace

ISMBiosSource& SystemSMBiosSource()
{
    static CWmiSMBiosSource s_source;
    return s_source;
}
