#include "CUIXWinDwmWrapper.h"

namespace {
struct DwmMargins {
    int cxLeftWidth, cxRightWidth, cyTopHeight, cyBottomHeight;
};
typedef BOOL(WINAPI* PFNDWMDEFWINDOWPROC)(HWND, UINT, WPARAM, LPARAM, LRESULT*);
typedef HRESULT(WINAPI* PFNDWMEXTENDFRAME)(HWND, const DwmMargins*);

struct CSharedData {
    HMODULE module = ::LoadLibraryW(L"dwmapi.dll");
    PFNDWMDEFWINDOWPROC defWindowProc = nullptr;
    PFNDWMEXTENDFRAME extendFrame = nullptr;
};

CSharedData& Shared() {
    static CSharedData data;
    return data;
}
const CSharedData& g_dwmSharedAtStart = Shared();

template <class FN>
FN Resolve(FN& cached, const char* name) {
    CSharedData& d = Shared();
    if (d.module && !cached) cached = reinterpret_cast<FN>(reinterpret_cast<void (*)()>(::GetProcAddress(d.module, name)));
    return cached;
}
} // namespace

HRESULT CUIXWinDwmWrapper::DefWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    PFNDWMDEFWINDOWPROC pfn = Resolve(Shared().defWindowProc, "DwmDefWindowProc");
    return pfn ? (HRESULT)pfn(hWnd, msg, wParam, lParam, pResult) : E_FAIL;
}

HRESULT CUIXWinDwmWrapper::ExtendFrameIntoClientArea(HWND hWnd, int left, int right, int top, int bottom) {
    PFNDWMEXTENDFRAME pfn = Resolve(Shared().extendFrame, "DwmExtendFrameIntoClientArea");
    if (!pfn) return E_FAIL;
    DwmMargins margins = {left, right, top, bottom};
    return pfn(hWnd, &margins);
}
