// Off-screen painting in the destination's own coordinates; the buffer is
// copied to the destination when the object goes out of scope.
#pragma once
#include <afxwin.h>

class CUIXBufferDC : public CDC {
public:
    CUIXBufferDC(HDC hDestDC, const CRect& rcPaint);
    explicit CUIXBufferDC(CPaintDC& paintDC);
    ~CUIXBufferDC() override;
    // Nothing is copied at the end.
    void Discard() { m_hDestDC = nullptr; }
    HDC GetDestDC() const { return m_hDestDC; }

private:
    void Create(int width, int height);

    HDC m_hDestDC;
    CRect m_rect;
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
};
