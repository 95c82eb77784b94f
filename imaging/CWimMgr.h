// The WIM manager: the one way the recovery engine reaches the imaging API.
// A recovery thread makes one per image operation, configures it with the
// setters (OR-ing their results), runs one operation, calls CleanUpHandles
// and releases it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CUnknown.h"
#include "IWimMgr.h"
#include "wimgapi.h"

class CAutoTrace;

// {A74272CD-3729-4B5F-9609-683BF4064583}
extern const CLSID CLSID_WimMgr;

class CWimMgr : public CUnknown, public IWimMgr {
public:
    explicit CWimMgr(IUnknown* pOuter);
    ~CWimMgr() override;
    CWimMgr(const CWimMgr&) = delete;
    CWimMgr& operator=(const CWimMgr&) = delete;

    // Null when out of memory; *phr (when given) says which.
    static CWimMgr* CreateInstance(IUnknown* pOuter, HRESULT* phr);

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The primary interface, in the order of its table.
    virtual HRESULT STDMETHODCALLTYPE MakeWinPEISO(DWORD dwLanguageKind);
    virtual HRESULT STDMETHODCALLTYPE OpenWimImageReadOnly();
    virtual HRESULT STDMETHODCALLTYPE OpenImage(DWORD dwImageIndex);
    virtual HRESULT STDMETHODCALLTYPE RestoreImage();
    virtual HRESULT STDMETHODCALLTYPE SetWimImagePath(LPCWSTR pwszPath);
    virtual HRESULT STDMETHODCALLTYPE SetTargetDrive(wchar_t wcDrive);
    virtual HRESULT STDMETHODCALLTYPE SetImageIndex(DWORD dwImageIndex);
    virtual HRESULT STDMETHODCALLTYPE SetMessageCallback(WIMMessageCallback pfnCallback);
    virtual HRESULT STDMETHODCALLTYPE SetRefPath(LPCWSTR pwszPattern);
    virtual HRESULT STDMETHODCALLTYPE SetTempPath(LPCWSTR pwszPath);
    virtual HRESULT STDMETHODCALLTYPE MergeImage(LPCWSTR pwszImagePath);
    virtual HRESULT STDMETHODCALLTYPE CleanUpHandles();
    virtual HRESULT STDMETHODCALLTYPE RestoreWimImage();
    virtual HRESULT STDMETHODCALLTYPE SetCaptureSource(LPCWSTR pwszFolder);
    virtual HRESULT STDMETHODCALLTYPE SetCaptureTarget(LPCWSTR pwszWimPath);
    virtual HRESULT STDMETHODCALLTYPE BackupToImage();

    // IUnknown of IWimMgr: forwarded to the owner.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IWimMgr: the Windows PE image builder.
    HRESULT STDMETHODCALLTYPE SetWinPESourcePath(LPCWSTR pwszFolder) override;
    HRESULT STDMETHODCALLTYPE CopyBaseWinPEImage() override;
    HRESULT STDMETHODCALLTYPE OpenWimImage(DWORD* pdwImageCount) override;
    HRESULT STDMETHODCALLTYPE MountImage(LPCWSTR pwszTempFolder, DWORD dwUnused) override;
    HRESULT STDMETHODCALLTYPE CopyAppToImage() override;
    HRESULT STDMETHODCALLTYPE WriteWinpeshlIni() override;
    HRESULT STDMETHODCALLTYPE SetWinPELanguage(DWORD dwLanguageKind) override;
    HRESULT STDMETHODCALLTYPE SetOptionalPackage(DWORD dwPackageKind, BOOL bInstall) override;
    HRESULT STDMETHODCALLTYPE AddDrivers(LPCWSTR pwszInfPath) override;
    HRESULT STDMETHODCALLTYPE UnmountImage(BOOL bCommit) override;
    HRESULT STDMETHODCALLTYPE CloseWimImage() override;
    HRESULT STDMETHODCALLTYPE CopyBootWimToISO() override;
    HRESULT STDMETHODCALLTYPE MakeISO(LPCWSTR pwszIsoPath, LPCWSTR pwszLabel, DWORD dwBoot) override;
    HRESULT STDMETHODCALLTYPE Reset() override;

    // User data handed to the message callback: the recovery controller, so
    // that its callback can hold the apply while the controller is paused.
    // Without it the apply passes none and the capture passes this object.
    void SetMessageCallbackData(PVOID pvData) { m_pvMsgCallbackData = pvData; }

    // Empties every member; handles are forgotten, not closed.
    void ResetDataMembers();

    // Puts the program file into image 1 of a WIM as "Windows\MD\Mendora.exe"
    // through a read-write mount under the user's temporary folder; the image
    // stays as it was unless the commit succeeds.
    HRESULT UpdateREImage(LPCWSTR pwszWimPath, LPCWSTR pwszProgramPath);

protected:
    LONG m_lPEInit;
    wchar_t m_szPESourcePath[MAX_PATH];
    wchar_t m_szWimFileName[MAX_PATH];
    wchar_t m_szMountPath[MAX_PATH];
    wchar_t m_szTempPath[MAX_PATH];
    wchar_t m_szPeimgPath[MAX_PATH];
    wchar_t m_szOscdimgPath[MAX_PATH];
    DWORD m_dwImageIndex;
    DWORD m_dwImageCount;
    HANDLE m_hWimImage;
    WIM_INFO m_oWimInfo;
    wchar_t m_wcTargetDrive;
    HANDLE m_hImage;
    WIMMessageCallback m_pfnMsgCallback;
    PVOID m_pvMsgCallbackData = nullptr;
    std::vector<std::wstring> m_vecRefFiles;
    wchar_t m_szCaptureTarget[MAX_PATH];
    wchar_t m_szCaptureSource[MAX_PATH];

private:
    HRESULT ApplyRegisteredImage(CAutoTrace& trace);
    HRESULT RegisterReferenceFiles(CAutoTrace& trace);
    HRESULT CloseCapturedImage(CAutoTrace& trace);

    // The Windows PE builder's steps (CWimMgrWinPE.cpp).
    HRESULT BuildWorkImage(IWimMgr* pPE, DWORD dwLanguageKind);
    HRESULT ChangeMountedImage(IWimMgr* pPE, DWORD dwLanguageKind);
    HRESULT RunBuildTool(LPCWSTR pwszTool, LPCWSTR pwszParams, LPCWSTR pwszVerb);
    void DiscardLeftoverMount();
    HRESULT CopyProgramIntoImage(LPCWSTR pwszProgramPath);
};
