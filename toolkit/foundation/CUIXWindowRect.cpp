#include "CUIXWindowRect.h"

CUIXWindowRect::CUIXWindowRect(HWND hWnd) {
    SetRectEmpty();
    if (::IsWindow(hWnd)) ::GetWindowRect(hWnd, this);
}
