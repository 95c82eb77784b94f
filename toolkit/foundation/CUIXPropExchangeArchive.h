// Property exchange over an archive: values in call order, without names.
#pragma once
#include "CUIXPropExchange.h"

class CUIXPropExchangeArchive : public CUIXPropExchange {
    DECLARE_DYNAMIC(CUIXPropExchangeArchive)
public:
    static constexpr DWORD kSchemaMarker = 0x0FF0ADBF;

    explicit CUIXPropExchangeArchive(CArchive& ar);

    BOOL ExchangeProp(LPCTSTR pszPropName, int vtProp, void* pvProp, const void* pvDefault = nullptr) override;
    BOOL ExchangeBlob(LPCTSTR pszPropName, BYTE** ppData, DWORD* pnBytes) override;
    BOOL ExchangeRuntimeClass(LPCTSTR pszPropName, CRuntimeClass*& pClass, CRuntimeClass* pRequested) override;
    BOOL ExchangeObjectInstance(CObject*& pObject, CRuntimeClass* pRequested) override;
    CArchive* GetArchive(LPCTSTR) override { return &m_ar; }
    void ReleaseArchive(LPCTSTR, CArchive*) override {}
    CUIXPropExchange* GetSection(LPCTSTR pszSection) override;
    void WriteCount(ULONGLONG nCount) override { m_ar.WriteCount64(nCount); }
    ULONGLONG ReadCount() override { return m_ar.ReadCount64(); }
    void Write(LPCTSTR, const void* pData, UINT nBytes) override { m_ar.Write(pData, nBytes); }
    UINT Read(LPCTSTR, void* pData, UINT nBytes) override { return m_ar.Read(pData, nBytes); }
    BOOL IsAllowDefaultValues() const override { return FALSE; }
    BOOL IsArchiveKind() const override { return TRUE; }
    void ExchangeSchema() override;

private:
    BOOL SkipBytes(ULONGLONG n);

    CArchive& m_ar;
};
