// The picture of one command at one width, in every look a bar needs:
// normal, hot, checked, pressed and disabled, plus faded, shadow and a
// generated disabled look made on demand.
#pragma once
#include "CUIXImageManagerIconImage.h"

class CUIXImageManagerIconSet;
class CUIXImageManagerImageList;
class CUIXImageManager;

enum UIXImageState { uixImageNormal = 0, uixImageDisabled = 1, uixImageHot = 2, uixImageChecked = 3, uixImagePressed = 4 };

class CUIXImageManagerIcon : public CCmdTarget {
    DECLARE_DYNAMIC(CUIXImageManagerIcon)
public:
    // The schema written into every icon stream.
    static constexpr int kStreamSchema = 23;
    static constexpr int kDefaultHeight = 15;

    CUIXImageManagerIcon(UINT nID, int nWidth, int nHeight, CUIXImageManagerIconSet* pIconSet);
    CUIXImageManagerIcon(UINT nID, int nWidth, int nHeight, CUIXImageManagerImageList* pImageList);
    ~CUIXImageManagerIcon() override;

    UINT GetID() const { return m_nID; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    BOOL IsAlpha() const { return m_images[imgNormal].IsAlpha(); }
    BOOL IsScaled() const { return m_bScaled; }
    BOOL m_bDrawComposited = FALSE;

    CUIXImageManagerIconImage& GetIcon() { return m_images[imgNormal]; }
    CUIXImageManagerIconImage& GetHotIcon();
    CUIXImageManagerIconImage& GetCheckedIcon();
    CUIXImageManagerIconImage& GetPressedIcon();
    CUIXImageManagerIconImage& GetFadedIcon();
    CUIXImageManagerIconImage& GetShadowIcon();
    CUIXImageManagerIconImage& GetDisabledIcon(BOOL bCreate = TRUE);
    BOOL HasDisabledIcon() const;
    void CreateDisabledIcon(COLORREF clrLight = (COLORREF)-1, COLORREF clrDark = (COLORREF)-1);
    CUIXImageManagerIconImage& GetImage(int nState);

    void SetIcon(CUIXImageManagerIconImage& image);
    void SetHotIcon(CUIXImageManagerIconImage& image) { SetStateImage(imgHot, image); }
    void SetCheckedIcon(CUIXImageManagerIconImage& image) { SetStateImage(imgChecked, image); }
    void SetPressedIcon(CUIXImageManagerIconImage& image) { SetStateImage(imgPressed, image); }
    void SetDisabledIcon(CUIXImageManagerIconImage& image) { SetStateImage(imgDisabled, image); }
    void ClearImages(BOOL bAll);
    void Refresh();

    BOOL Draw(CDC* pDC, CPoint pt, CUIXImageManagerIconImage& image, CSize sz = CSize(0, 0));
    void DrawMono(CDC* pDC, CPoint pt, CUIXImageManagerIconImage& image, CSize sz, COLORREF clr);
    CUIXImageManager* GetImageManager() const;
    void Serialize(CArchive& ar) override;

    // Pixel helpers shared with the image manager.
    static CSize GetExtent(HICON hIcon);
    static HICON ScaleToFit(HICON hIcon, CSize szExtent, int nWidth);
    static BOOL GetBitmapBits(CDC* pDC, HBITMAP hBitmap, PBITMAPINFO& pBitmapInfo, LPVOID& pBits, UINT& nSize);
    static HBITMAP CopyAlphaBitmap(HBITMAP hBitmap);
    static HBITMAP PreMultiplyAlphaBitmap(HBITMAP hBitmap, BOOL* pbAlpha);
    static HBITMAP MirrorBitmap(HBITMAP hBitmap);
    static COLORREF LightenColor(COLORREF clr, double factor);
    // Bitmap records of the exchange format.
    static void WriteDIBSection(CArchive& ar, HBITMAP hBitmap);
    static HBITMAP ReadDIBSection(CArchive& ar);

private:
    enum ImageSlot { imgNormal, imgFaded, imgShadow, imgHot, imgChecked, imgPressed, imgDisabled, imgDisabledAuto, imgCount };

    void SetStateImage(ImageSlot slot, CUIXImageManagerIconImage& image);
    void CreateFadedIcon();
    void CreateShadowIcon();
    BOOL DrawIconComposited(CDC* pDC, CPoint pt, CSize sz, HICON hIcon);
    void SerializeImage(CArchive& ar, CUIXImageManagerIconImage& image);

    UINT m_nID;
    int m_nWidth;
    int m_nHeight;
    CUIXImageManagerIconImage m_images[imgCount];
    BOOL m_bScaled = FALSE;
    CUIXImageManagerIconSet* m_pIconSet = nullptr;
    CUIXImageManagerImageList* m_pImageList = nullptr;
};
