#include "CBrush.h"
#include "CBitmap.h"

IMPLEMENT_DYNAMIC(CBrush, CGdiObject)

BOOL CBrush::CreatePatternBrush(CBitmap* pBitmap) {
    return Attach(::CreatePatternBrush((HBITMAP)pBitmap->GetSafeHandle()));
}

BOOL CBrush::CreateSysColorBrush(int nIndex) {
    // System colour brushes belong to the system.
    if (!Attach(::GetSysColorBrush(nIndex))) return FALSE;
    m_bOwned = FALSE;
    return TRUE;
}
