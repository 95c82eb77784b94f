// The Windows PE image builder of the WIM manager is not part of this build:
// each operation says so in the log and fails, so that nothing mistakes it
// for a built image.
#include "CWimMgr.h"

#include "CAutoTrace.h"

namespace {

HRESULT NotBuilt(const CWimMgr* pMgr, const wchar_t* pwszMethod)
{
    CAutoTrace trace(L"CWimMgr", pwszMethod, pMgr);
    trace.Print(L"not available in this build");
    return E_NOTIMPL;
}

} // namespace

HRESULT STDMETHODCALLTYPE CWimMgr::MakeWinPEISO(DWORD)
{
    return NotBuilt(this, L"MakeWinPEISO");
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetWinPESourcePath(LPCWSTR)
{
    return NotBuilt(this, L"SetWinPESourcePath");
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyBaseWinPEImage()
{
    return NotBuilt(this, L"CopyBaseWinPEImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::OpenWimImage(DWORD* pdwImageCount)
{
    if (pdwImageCount)
        *pdwImageCount = 0;
    return NotBuilt(this, L"OpenWimImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::MountImage(LPCWSTR, DWORD)
{
    return NotBuilt(this, L"MountImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyAppToImage()
{
    return NotBuilt(this, L"CopyAppToImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::WriteWinpeshlIni()
{
    return NotBuilt(this, L"WriteWinpeshlIni");
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetWinPELanguage(DWORD)
{
    return NotBuilt(this, L"SetWinPELanguage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetOptionalPackage(DWORD, BOOL)
{
    return NotBuilt(this, L"SetOptionalPackage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::AddDrivers(LPCWSTR)
{
    return NotBuilt(this, L"AddDrivers");
}

HRESULT STDMETHODCALLTYPE CWimMgr::UnmountImage(BOOL)
{
    return NotBuilt(this, L"UnmountImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::CloseWimImage()
{
    return NotBuilt(this, L"CloseWimImage");
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyBootWimToISO()
{
    return NotBuilt(this, L"CopyBootWimToISO");
}

HRESULT STDMETHODCALLTYPE CWimMgr::MakeISO(LPCWSTR, LPCWSTR, DWORD)
{
    return NotBuilt(this, L"MakeISO");
}

HRESULT STDMETHODCALLTYPE CWimMgr::Reset()
{
    return NotBuilt(this, L"Reset");
}
