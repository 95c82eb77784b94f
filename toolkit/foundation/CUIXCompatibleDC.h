// A memory DC with a bitmap selected; the bitmap is put back, not deleted.
#pragma once
#include <afxwin.h>

class CUIXCompatibleDC : public CDC {
public:
    CUIXCompatibleDC(CDC* pDC, CBitmap* pBitmap);
    CUIXCompatibleDC(CDC* pDC, HBITMAP hBitmap);
    ~CUIXCompatibleDC() override;

private:
    HGDIOBJ m_hOldBitmap = nullptr;
};
