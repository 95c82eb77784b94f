#include "CUIXPropExchangeEnumerator.h"
#include <cwchar>

POSITION CUIXPropExchangeEnumerator::GetPosition(DWORD dwCount, BOOL bCompactMode) {
    m_nCount = dwCount;
    if (!m_pContainer) return nullptr;
    if (!bCompactMode) {
        long count = (long)m_nCount;
        PX_Long(m_pContainer, L"Count", count, 0);
        m_nCount = (DWORD)count;
    } else if (m_pContainer->IsStoring()) {
        m_pContainer->WriteCount(m_nCount);
    } else {
        ULONGLONG n = m_pContainer->ReadCount();
        // A count the 32-bit field cannot hold cannot come from this toolkit.
        if (n > 0xFFFFFFFFULL) AfxThrowArchiveException(CArchiveException::genericException);
        m_nCount = (DWORD)n;
    }
    return m_nCount ? reinterpret_cast<POSITION>(1) : nullptr;
}

CUIXPropExchange* CUIXPropExchangeEnumerator::GetNext(POSITION& pos) {
    DWORD_PTR index = reinterpret_cast<DWORD_PTR>(pos);
    wchar_t name[300];
    swprintf(name, sizeof(name) / sizeof(name[0]), L"%.256s%i", m_strSectionName.GetString(), (int)(index - 1));
    CUIXPropExchange* pSection = m_pContainer->GetSection(name);
    ++index;
    pos = index > m_nCount ? nullptr : reinterpret_cast<POSITION>(index);
    return pSection;
}
