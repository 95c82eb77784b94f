// How toolkit objects save and restore their state: one routine per class
// exchanges named, typed values with an exchange object whose direction and
// store it does not need to know.
#pragma once
#include <afxwin.h>

class CUIXPropExchangeEnumerator;

// Type codes of ExchangeProp.
enum UIXPropExchangeType {
    uixPropShort = 2,
    uixPropLong = 3,
    uixPropFloat = 4,
    uixPropDouble = 5,
    uixPropInt64 = 6,
    uixPropDate = 7,
    uixPropBool = 11,
    uixPropVariant = 12,
    uixPropByte = 17,
    uixPropString = 30,
    uixPropRect = 100,
    uixPropSize = 101,
};

class CUIXPropExchange : public CCmdTarget {
    DECLARE_DYNAMIC(CUIXPropExchange)
public:
    static constexpr UINT kCurrentSchema = 23;
    // The schema of streams written before the schema was recorded.
    static constexpr UINT kUnmarkedSchema = 17;

    virtual BOOL ExchangeProp(LPCTSTR pszPropName, int vtProp, void* pvProp, const void* pvDefault = nullptr) = 0;
    virtual BOOL ExchangeBlob(LPCTSTR pszPropName, BYTE** ppData, DWORD* pnBytes) = 0;
    virtual BOOL ExchangeRuntimeClass(LPCTSTR pszPropName, CRuntimeClass*& pClass, CRuntimeClass* pRequested) = 0;
    virtual BOOL ExchangeObjectInstance(CObject*& pObject, CRuntimeClass* pRequested) = 0;
    virtual CArchive* GetArchive(LPCTSTR pszPropName) = 0;
    virtual void ReleaseArchive(LPCTSTR pszPropName, CArchive* pArchive) = 0;
    // A nested exchange for a section; the caller releases it.
    virtual CUIXPropExchange* GetSection(LPCTSTR pszSection) = 0;
    virtual void SetInheritedFlag() { m_bInherited = TRUE; }
    virtual void WriteCount(ULONGLONG nCount) = 0;
    virtual ULONGLONG ReadCount() = 0;
    virtual void Write(LPCTSTR pszPropName, const void* pData, UINT nBytes) = 0;
    virtual UINT Read(LPCTSTR pszPropName, void* pData, UINT nBytes) = 0;
    virtual BOOL IsAllowDefaultValues() const = 0;
    virtual BOOL IsArchiveKind() const = 0;
    virtual BOOL OnBeforeExchange() { return TRUE; }
    // An enumerator over numbered sections; the caller deletes it.
    virtual CUIXPropExchangeEnumerator* GetEnumerator(LPCTSTR pszSection);
    virtual void ExchangeSchema() = 0;

    BOOL IsLoading() const { return m_bLoading; }
    BOOL IsStoring() const { return !m_bLoading; }
    UINT GetSchema() const { return m_nSchema; }
    BOOL IsSection() const { return m_bSection; }
    BOOL IsInherited() const { return m_bInherited; }
    void* m_pData = nullptr;

protected:
    CUIXPropExchange() = default;
    void CopyStateFrom(const CUIXPropExchange& parent);

    BOOL m_bLoading = FALSE;
    UINT m_nSchema = kCurrentSchema;
    BOOL m_bSection = FALSE;
    BOOL m_bInherited = FALSE;
};

// Exchanges of plain values; the default is used by stores that can lack a value.
BOOL AFXAPI PX_Int(CUIXPropExchange* pPX, LPCTSTR pszPropName, int& nValue);
BOOL AFXAPI PX_Int(CUIXPropExchange* pPX, LPCTSTR pszPropName, int& nValue, int nDefault);
BOOL AFXAPI PX_DWord(CUIXPropExchange* pPX, LPCTSTR pszPropName, DWORD& dwValue, DWORD dwDefault);
BOOL AFXAPI PX_Long(CUIXPropExchange* pPX, LPCTSTR pszPropName, long& lValue, long lDefault);
BOOL AFXAPI PX_Bool(CUIXPropExchange* pPX, LPCTSTR pszPropName, BOOL& bValue, BOOL bDefault);
BOOL AFXAPI PX_String(CUIXPropExchange* pPX, LPCTSTR pszPropName, CString& strValue, LPCTSTR lpszDefault);
BOOL AFXAPI PX_Size(CUIXPropExchange* pPX, LPCTSTR pszPropName, CSize& szValue, CSize szDefault);
BOOL AFXAPI PX_Rect(CUIXPropExchange* pPX, LPCTSTR pszPropName, CRect& rcValue, CRect rcDefault);
BOOL AFXAPI PX_RuntimeClass(CUIXPropExchange* pPX, LPCTSTR pszPropName, CRuntimeClass*& pClass, CRuntimeClass* pRequested);
// The object's Serialize on the exchange's archive; archive and OLE failures give FALSE.
BOOL AFXAPI PX_Serialize(CUIXPropExchange* pPX, LPCTSTR pszPropName, CObject* pObject);
