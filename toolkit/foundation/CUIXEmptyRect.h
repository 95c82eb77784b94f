// An empty rectangle.
#pragma once
#include <afxwin.h>

class CUIXEmptyRect : public CRect {
public:
    CUIXEmptyRect() { SetRectEmpty(); }
};
