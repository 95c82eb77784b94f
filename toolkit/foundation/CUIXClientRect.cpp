#include "CUIXClientRect.h"

CUIXClientRect::CUIXClientRect(HWND hWnd) {
    SetRectEmpty();
    if (::IsWindow(hWnd)) ::GetClientRect(hWnd, this);
}
