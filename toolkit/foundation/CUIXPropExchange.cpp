#include "CUIXPropExchange.h"
#include "CUIXPropExchangeEnumerator.h"

IMPLEMENT_DYNAMIC(CUIXPropExchange, CCmdTarget)

void CUIXPropExchange::CopyStateFrom(const CUIXPropExchange& parent) {
    m_pData = parent.m_pData;
    m_bLoading = parent.m_bLoading;
    m_nSchema = parent.m_nSchema;
    m_bInherited = parent.m_bInherited;
    m_bSection = TRUE;
}

CUIXPropExchangeEnumerator* CUIXPropExchange::GetEnumerator(LPCTSTR pszSection) {
    return new CUIXPropExchangeEnumerator(this, pszSection);
}

BOOL AFXAPI PX_Int(CUIXPropExchange* pPX, LPCTSTR pszPropName, int& nValue) {
    return pPX->ExchangeProp(pszPropName, uixPropLong, &nValue);
}

BOOL AFXAPI PX_Int(CUIXPropExchange* pPX, LPCTSTR pszPropName, int& nValue, int nDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropLong, &nValue, &nDefault);
}

BOOL AFXAPI PX_DWord(CUIXPropExchange* pPX, LPCTSTR pszPropName, DWORD& dwValue, DWORD dwDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropLong, &dwValue, &dwDefault);
}

BOOL AFXAPI PX_Long(CUIXPropExchange* pPX, LPCTSTR pszPropName, long& lValue, long lDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropLong, &lValue, &lDefault);
}

BOOL AFXAPI PX_Bool(CUIXPropExchange* pPX, LPCTSTR pszPropName, BOOL& bValue, BOOL bDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropBool, &bValue, &bDefault);
}

BOOL AFXAPI PX_String(CUIXPropExchange* pPX, LPCTSTR pszPropName, CString& strValue, LPCTSTR lpszDefault) {
    CString def(lpszDefault);
    return pPX->ExchangeProp(pszPropName, uixPropString, &strValue, &def);
}

BOOL AFXAPI PX_Size(CUIXPropExchange* pPX, LPCTSTR pszPropName, CSize& szValue, CSize szDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropSize, &szValue, &szDefault);
}

BOOL AFXAPI PX_Rect(CUIXPropExchange* pPX, LPCTSTR pszPropName, CRect& rcValue, CRect rcDefault) {
    return pPX->ExchangeProp(pszPropName, uixPropRect, &rcValue, &rcDefault);
}

BOOL AFXAPI PX_RuntimeClass(CUIXPropExchange* pPX, LPCTSTR pszPropName, CRuntimeClass*& pClass, CRuntimeClass* pRequested) {
    return pPX->ExchangeRuntimeClass(pszPropName, pClass, pRequested);
}

BOOL AFXAPI PX_Serialize(CUIXPropExchange* pPX, LPCTSTR pszPropName, CObject* pObject) {
    CArchive* pArchive = pPX->GetArchive(pszPropName);
    if (!pArchive) return FALSE;
    BOOL result = TRUE;
    try {
        pObject->Serialize(*pArchive);
    } catch (COleException* e) {
        e->Delete();
        result = FALSE;
    } catch (CArchiveException* e) {
        e->Delete();
        result = FALSE;
    }
    pPX->ReleaseArchive(pszPropName, pArchive);
    return result;
}
