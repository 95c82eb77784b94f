#include "CUIXImageManager.h"
#include "CUIXExitSingleton.h"
#include "UIXReleaseMapValues.h"
#include <cstdlib>
#include <memory>
#include <vector>

IMPLEMENT_DYNAMIC(CUIXImageManager, CCmdTarget)

namespace {
const int kSetBlockSize = 10;

template <class FN>
FN ProcFrom(HMODULE h, const char* name) {
    return h ? reinterpret_cast<FN>(reinterpret_cast<void (*)()>(::GetProcAddress(h, name))) : nullptr;
}
} // namespace

CUIXImageManager::CUIXImageManager() : m_mapIcons(kSetBlockSize) {
    m_mapIcons.InitHashTable(kIconSetBuckets, FALSE);
    m_hMsImg32 = ::LoadLibraryW(L"msimg32.dll");
    m_pfnAlphaBlend = ProcFrom<decltype(m_pfnAlphaBlend)>(m_hMsImg32, "AlphaBlend");
    m_pfnTransparentBlt = ProcFrom<decltype(m_pfnTransparentBlt)>(m_hMsImg32, "TransparentBlt");
}

CUIXImageManager::~CUIXImageManager() {
    RemoveAll();
    if (m_hMsImg32) ::FreeLibrary(m_hMsImg32);
}

BOOL CUIXImageManager::SetIcons(UINT nIDResource, const UINT* pCommands, int nCount, CSize szIcon, int nState) {
    return SetIconsFromResource(MAKEINTRESOURCEW(nIDResource), pCommands, nCount, szIcon, nState);
}

BOOL CUIXImageManager::SetIconsFromResource(LPCTSTR lpszResource, const UINT* pCommands, int nCount, CSize szIcon,
                                            int nState) {
    BOOL bAlpha = FALSE;
    HBITMAP hBitmap = LoadBitmapFromResource(lpszResource, &bAlpha);
    if (!hBitmap) return FALSE;
    CBitmap bitmap;
    bitmap.Attach(hBitmap);
    return SetIconsFromBitmap(&bitmap, pCommands, nCount, szIcon, nState, bAlpha);
}

BOOL CUIXImageManager::SetIconsFromBitmap(CBitmap* pBitmap, const UINT* pCommands, int nCount, CSize szIcon, int nState,
                                          BOOL bAlpha) {
    BITMAP bm = {};
    if (!pBitmap || !pBitmap->GetSafeHandle() || !pBitmap->GetBitmap(&bm)) return FALSE;
    if (szIcon.cx == 0 && szIcon.cy == 0 && nCount > 0) szIcon = CSize(bm.bmWidth / nCount, bm.bmHeight);
    if (nCount == 0 && szIcon.cx > 0) nCount = bm.bmWidth / szIcon.cx;
    if (szIcon.cx <= 0 || nCount < 0) return FALSE;

    if (!bAlpha) {
        CImageList list;
        if (!list.Create(szIcon.cx, szIcon.cy, ILC_COLOR24 | ILC_MASK, 0, 1)) return FALSE;
        COLORREF mask = m_clrMask != (COLORREF)-1 ? m_clrMask : GetBitmapPixel(pBitmap, 0, 0);
        ImageList_AddMasked(list.m_hImageList, (HBITMAP)pBitmap->GetSafeHandle(), mask);
        return SetIconsFromImageList(&list, pCommands, nCount, szIcon, nState);
    }
    if (bm.bmWidth % szIcon.cx != 0) return FALSE;
    const int cells = bm.bmWidth / szIcon.cx;
    std::vector<HBITMAP> parts((size_t)cells, nullptr);
    if (!SplitBitmap((HBITMAP)pBitmap->GetSafeHandle(), cells, parts.data())) return FALSE;
    int cell = 0;
    for (int j = 0; j < nCount && cell < cells; ++j) {
        if (pCommands && nCount != cells && pCommands[j] == 0) continue;
        CUIXImageManagerIconImage image(parts[(size_t)cell++]);
        SetIcon(image, pCommands ? pCommands[j] : (UINT)j, szIcon, nState);
    }
    for (HBITMAP h : parts) ::DeleteObject(h);
    return TRUE;
}

BOOL CUIXImageManager::SetIconsFromImageList(CImageList* pImageList, const UINT* pCommands, int nCount, CSize szIcon,
                                             int nState) {
    if (!pImageList || !pImageList->GetSafeHandle()) return FALSE;
    HIMAGELIST h = pImageList->GetSafeHandle();
    const int images = ImageList_GetImageCount(h);
    if (!pCommands && nCount == 0) nCount = images;
    if (szIcon.cx == 0 && szIcon.cy == 0 && nCount > 0) {
        IMAGEINFO info = {};
        if (ImageList_GetImageInfo(h, 0, &info))
            szIcon = CSize(info.rcImage.right - info.rcImage.left, info.rcImage.bottom - info.rcImage.top);
    }
    int image = 0;
    for (int j = 0; j < nCount; ++j) {
        if (pCommands && nCount != images && pCommands[j] == 0) continue;
        HICON hIcon = ImageList_GetIcon(h, image, ILD_NORMAL);
        if (!hIcon) return FALSE;
        CUIXImageManagerIconImage wrapped(hIcon);
        SetIcon(wrapped, pCommands ? pCommands[j] : (UINT)j, szIcon, nState);
        ::DestroyIcon(hIcon);
        ++image;
    }
    return TRUE;
}

BOOL CUIXImageManager::SetIcon(CUIXImageManagerIconImage& image, UINT nCommand, CSize szIcon, int nState) {
    if (image.IsEmpty()) return FALSE;
    if (szIcon.cx == 0 && szIcon.cy == 0) szIcon = image.GetExtent();
    if (szIcon.cx == 0 && szIcon.cy == 0) {
        image.Clear();
        return FALSE;
    }
    const int width = szIcon.cx;
    CUIXImageManagerIconSet* pSet = GetIconSet(nCommand);
    if (pSet) {
        switch (nState) {
        case uixImageNormal: pSet->SetIcon(image, width); break;
        case uixImageDisabled: pSet->SetDisabledIcon(image, width); break;
        case uixImageHot: pSet->SetHotIcon(image, width); break;
        case uixImageChecked: pSet->SetCheckedIcon(image, width); break;
        case uixImagePressed: pSet->SetPressedIcon(image, width); break;
        default: image.Clear(); break;
        }
        return TRUE;
    }
    // Hot, checked, pressed or disabled pictures come only after the normal one.
    if (nState != uixImageNormal) {
        image.Clear();
        return FALSE;
    }
    pSet = new CUIXImageManagerIconSet(nCommand, this);
    pSet->SetIcon(image, width);
    m_mapIcons.SetAt(nCommand, pSet);
    return TRUE;
}

CUIXImageManagerIconSet* CUIXImageManager::GetIconSet(UINT nCommand) const {
    CUIXImageManagerIconSet* pSet = nullptr;
    return m_mapIcons.Lookup(nCommand, pSet) ? pSet : nullptr;
}

CUIXImageManagerImageList* CUIXImageManager::GetImageList(UINT nCommand) const {
    for (INT_PTR i = 0; i < m_arrImageList.GetSize(); ++i)
        if (m_arrImageList.GetAt(i)->HasCommand(nCommand)) return m_arrImageList.GetAt(i);
    return nullptr;
}

void CUIXImageManager::AddImageList(HIMAGELIST hImageList, UINT nBaseCommand, BOOL bDestroy) {
    if (hImageList) m_arrImageList.Add(new CUIXImageManagerImageList(hImageList, nBaseCommand, bDestroy));
}

CUIXImageManagerIcon* CUIXImageManager::GetImage(UINT nCommand, int nWidth) {
    if (CUIXImageManagerIconSet* pSet = GetIconSet(nCommand)) return pSet->GetIcon(nWidth, TRUE);
    if (CUIXImageManagerImageList* pList = GetImageList(nCommand)) return pList->GetIcon(nCommand);
    return nullptr;
}

BOOL CUIXImageManager::HasIcon(UINT nCommand, int nWidth) {
    if (CUIXImageManagerIconSet* pSet = GetIconSet(nCommand)) {
        CUIXImageManagerIcon* pIcon = pSet->GetIcon(nWidth, FALSE);
        if (pIcon && !pIcon->IsScaled()) return TRUE;
    }
    CUIXImageManagerImageList* pList = GetImageList(nCommand);
    return pList && (nWidth == 0 || nWidth == pList->GetIconSize().cx);
}

void CUIXImageManager::RefreshAll() {
    UINT key = 0;
    CUIXImageManagerIconSet* pSet = nullptr;
    for (POSITION pos = m_mapIcons.GetStartPosition(); pos;) {
        m_mapIcons.GetNextAssoc(pos, key, pSet);
        pSet->RefreshAll();
    }
    for (INT_PTR i = 0; i < m_arrImageList.GetSize(); ++i) m_arrImageList.GetAt(i)->RemoveAll();
}

void CUIXImageManager::RemoveAll() {
    UIXReleaseMapValues(m_mapIcons);
    for (INT_PTR i = 0; i < m_arrImageList.GetSize(); ++i) delete m_arrImageList.GetAt(i);
    m_arrImageList.RemoveAll();
}

CUIXImageManager* UIXImageManager() { return CUIXExitSingleton<CUIXImageManager>::Get(); }
