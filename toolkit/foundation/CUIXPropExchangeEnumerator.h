// Walks numbered sections ("Control0", "Control1" ...) of an exchange.
#pragma once
#include "CUIXPropExchange.h"

class CUIXPropExchangeEnumerator {
public:
    CUIXPropExchangeEnumerator(CUIXPropExchange* pContainer, LPCTSTR pszBlock)
        : m_pContainer(pContainer), m_strSectionName(pszBlock) {}
    virtual ~CUIXPropExchangeEnumerator() = default;
    CUIXPropExchangeEnumerator(const CUIXPropExchangeEnumerator&) = delete;
    CUIXPropExchangeEnumerator& operator=(const CUIXPropExchangeEnumerator&) = delete;

    // Exchanges the count (as "Count", or compactly) and gives the first position, 0 when empty.
    virtual POSITION GetPosition(DWORD dwCount = 0, BOOL bCompactMode = TRUE);
    // The next section (the caller releases it); pos becomes 0 after the last.
    virtual CUIXPropExchange* GetNext(POSITION& pos);
    DWORD GetCount() const { return m_nCount; }

private:
    CUIXPropExchange* m_pContainer;
    CString m_strSectionName;
    DWORD m_nCount = 0;
};
