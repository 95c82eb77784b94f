// Off-screen painting into a bitmap only as large as the rectangle; callers
// still draw in destination coordinates.
#pragma once
#include <afxwin.h>

class CUIXBufferDCEx : public CDC {
public:
    CUIXBufferDCEx(HDC hDestDC, const CRect& rcPaint);
    ~CUIXBufferDCEx() override;

private:
    HDC m_hDestDC;
    CRect m_rect;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
};
