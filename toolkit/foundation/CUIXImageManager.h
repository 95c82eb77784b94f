// The process-wide store of command icons, the toolkit's bitmap loading
// (PNG and BMP, files and resources) and its alpha and transparent blits.
#pragma once
#include "CUIXImageManagerIconSet.h"
#include "CUIXImageManagerImageList.h"
#include <afxtempl.h>

class CUIXPropExchange;

class CUIXImageManager : public CCmdTarget {
    DECLARE_DYNAMIC(CUIXImageManager)
public:
    static constexpr UINT kFirstCustomId = 0x10AAA;
    static constexpr UINT kIconSetBuckets = 127;
    static constexpr int kMirrorAlways = 1;
    static constexpr int kMirrorOnRtlLayout = 2;

    CUIXImageManager();
    ~CUIXImageManager() override;

    // ---- the store ----
    BOOL SetIcons(UINT nIDResource, const UINT* pCommands, int nCount, CSize szIcon, int nState = uixImageNormal);
    BOOL SetIconsFromResource(LPCTSTR lpszResource, const UINT* pCommands, int nCount, CSize szIcon, int nState);
    BOOL SetIconsFromBitmap(CBitmap* pBitmap, const UINT* pCommands, int nCount, CSize szIcon, int nState, BOOL bAlpha);
    BOOL SetIconsFromImageList(CImageList* pImageList, const UINT* pCommands, int nCount, CSize szIcon, int nState);
    BOOL SetIcon(CUIXImageManagerIconImage& image, UINT nCommand, CSize szIcon, int nState = uixImageNormal);
    CUIXImageManagerIcon* GetImage(UINT nCommand, int nWidth = 16);
    BOOL HasIcon(UINT nCommand, int nWidth = 0);
    CUIXImageManagerIconSet* GetIconSet(UINT nCommand) const;
    CUIXImageManagerImageList* GetImageList(UINT nCommand) const;
    // Adds a Windows image list whose images are the commands from nBaseCommand on.
    void AddImageList(HIMAGELIST hImageList, UINT nBaseCommand, BOOL bDestroy);
    void RefreshAll();
    void RemoveAll();
    COLORREF GetMaskColor() const { return m_clrMask; }
    UINT GetLargestCommandId() const { return m_nCustomID; }
    INT_PTR GetIconSetCount() const { return m_mapIcons.GetCount(); }

    // ---- exchange ----
    void Serialize(CArchive& ar) override;
    void DoPropExchange(CUIXPropExchange* pPX);
    void DoPropExchangeIcons(UINT nCommand, CUIXPropExchange* pPX);

    // ---- loading ----
    static HBITMAP Create32BPPDIBSection(HDC hDC, int iWidth, int iHeight, LPVOID* pBits = nullptr);
    static BOOL IsPngBitmapResource(HMODULE hModule, LPCTSTR lpszName);
    static BOOL IsAlphaBitmapResource(HMODULE hModule, LPCTSTR lpszName);
    static BOOL IsPngBitmapFile(LPCTSTR lpszFileName);
    static BOOL IsAlphaBitmapFile(LPCTSTR lpszFileName);
    static HBITMAP LoadAlphaBitmap(HMODULE hModule, LPCTSTR lpszName);
    static HBITMAP LoadBitmapFromResource(HMODULE hModule, LPCTSTR lpszName, BOOL* pbAlpha);
    static HBITMAP LoadBitmapFromResource(LPCTSTR lpszName, BOOL* pbAlpha);
    static HBITMAP LoadBitmapFromFile(LPCTSTR lpszFileName, BOOL* pbAlpha);
    static BOOL IsWin2KOrGreater();
    static COLORREF GetBitmapPixel(CBitmap* pBitmap, int x, int y);
    // n cells of equal width from a 32-bpp bitmap, each a new DIB section.
    static BOOL SplitBitmap(HBITMAP hBitmap, int nCount, HBITMAP* pCells);

    // ---- blits ----
    BOOL AlphaBlend(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc);
    BOOL TransparentBlt(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc, COLORREF clrTransparent);
    static BOOL SoftAlphaBlend(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc);
    static BOOL BlendDIBits(HBITMAP hbmDest, HBITMAP hbmSrc, HBITMAP hbmResult);
    static BOOL MaskedTransparentBlt(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc, COLORREF clrTransparent);
    static BOOL DrawAlphaBitmap(CDC* pDC, HBITMAP hBitmap, CPoint ptDest, CSize szDest, CPoint ptSrc = CPoint(0, 0),
                                CSize szSrc = CSize(0, 0));

    int m_nRTLMode = kMirrorOnRtlLayout;
    BOOL HasAlphaBlend() const { return m_pfnAlphaBlend != nullptr; }
    BOOL HasTransparentBlt() const { return m_pfnTransparentBlt != nullptr; }

private:
    COLORREF m_clrMask = (COLORREF)-1;
    CMap<UINT, UINT, CUIXImageManagerIconSet*, CUIXImageManagerIconSet*> m_mapIcons;
    CArray<CUIXImageManagerImageList*, CUIXImageManagerImageList*> m_arrImageList;
    UINT m_nCustomID = kFirstCustomId;
    HMODULE m_hMsImg32 = nullptr;
    BOOL(WINAPI* m_pfnAlphaBlend)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) = nullptr;
    BOOL(WINAPI* m_pfnTransparentBlt)(HDC, int, int, int, int, HDC, int, int, int, int, UINT) = nullptr;
};

CUIXImageManager* UIXImageManager();
