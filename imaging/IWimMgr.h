// The WIM manager's second interface: the operations that rebuild a Windows
// PE boot image. Reached from a CWimMgr through QueryInterface.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {E6A2A1C6-8D3D-4766-AF51-BD3176BD04CE}
extern const IID IID_IWimMgr;

class IWimMgr : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetWinPESourcePath(LPCWSTR pwszFolder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyBaseWinPEImage() = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenWimImage(DWORD* pdwImageCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE MountImage(LPCWSTR pwszTempFolder, DWORD dwUnused) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyAppToImage() = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteWinpeshlIni() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWinPELanguage(DWORD dwLanguageKind) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOptionalPackage(DWORD dwPackageKind, BOOL bInstall) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDrivers(LPCWSTR pwszInfPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnmountImage(BOOL bCommit) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseWimImage() = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyBootWimToISO() = 0;
    virtual HRESULT STDMETHODCALLTYPE MakeISO(LPCWSTR pwszIsoPath, LPCWSTR pwszLabel, DWORD dwBoot) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};
