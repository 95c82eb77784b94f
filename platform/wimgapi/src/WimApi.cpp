// The exported functions: argument checks, handle look-up, and the last
// error, over the objects that do the work.
#include <windows.h>

#include <memory>
#include <new>
#include <stdexcept>

#include "CImageApplier.h"
#include "CImageCapturer.h"
#include "CImageHandle.h"
#include "CMessageSink.h"
#include "CMountTable.h"
#include "CWimHandle.h"
#include "CWimSplitter.h"
#include "wimgapi.h"

namespace {

BOOL Fail(DWORD err)
{
    SetLastError(err ? err : ERROR_GEN_FAILURE);
    return FALSE;
}

BOOL Done(DWORD err)
{
    if (err) return Fail(err);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool Empty(PCWSTR s) { return !s || !*s; }

// Runs the body of an exported call; an allocation that fails inside (an
// image larger than this process can hold) becomes a failed call with
// ERROR_NOT_ENOUGH_MEMORY instead of ending the caller's process.
template <class R, class F> R Guarded(R failed, F body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::length_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return failed;
}

CWimHandle* WimOf(HANDLE h) { return static_cast<CWimHandle*>(CWimObject::From(h, CWimObject::Kind::Wim)); }
CImageHandle* ImageOf(HANDLE h) { return static_cast<CImageHandle*>(CWimObject::From(h, CWimObject::Kind::Image)); }

} // namespace

extern "C" {

HANDLE WINAPI WIMCreateFile(PCWSTR pszWimPath, DWORD dwDesiredAccess, DWORD dwCreationDisposition,
                            DWORD dwFlagsAndAttributes, DWORD dwCompressionType, PDWORD pdwCreationResult)
{
    if (Empty(pszWimPath) || !(dwDesiredAccess & (WIM_GENERIC_READ | WIM_GENERIC_WRITE | WIM_GENERIC_MOUNT))) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
        std::unique_ptr<CWimHandle> wim(new CWimHandle());
        DWORD err = wim->Open(pszWimPath, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes,
                              dwCompressionType, pdwCreationResult);
        if (err) {
            Fail(err);
            return nullptr;
        }
        SetLastError(ERROR_SUCCESS);
        return CWimObject::Publish(wim.release());
    });
}

BOOL WINAPI WIMCloseHandle(HANDLE hObject)
{
    CWimObject* object = CWimObject::Withdraw(hObject);
    if (!object) return FALSE;
    if (object->GetKind() == CWimObject::Kind::Image) {
        CImageHandle* image = static_cast<CImageHandle*>(object);
        CWimHandle* wim = image->Wim();
        delete image;
        if (wim->ReleaseImage()) delete wim;
        return Done(0);
    }
    CWimHandle* wim = static_cast<CWimHandle*>(object);
    CMessageSink::Instance().ForgetHandle(hObject);
    DWORD err = wim->Close();
    if (wim->MarkClosed()) delete wim;
    return Done(err);
}

BOOL WINAPI WIMSetTemporaryPath(HANDLE hWim, PCWSTR pszPath)
{
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return FALSE;
    if (Empty(pszPath)) return Fail(ERROR_INVALID_PARAMETER);
    return Done(wim->SetTempPath(pszPath));
}

BOOL WINAPI WIMSetReferenceFile(HANDLE hWim, PCWSTR pszPath, DWORD dwFlags)
{
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return FALSE;
    if (Empty(pszPath)) return Fail(ERROR_INVALID_PARAMETER);
    return Guarded<BOOL>(FALSE, [&] { return Done(wim->AddReference(pszPath, dwFlags)); });
}

BOOL WINAPI WIMSplitFile(HANDLE hWim, PCWSTR pszPartPath, PLARGE_INTEGER pliPartSize, DWORD dwFlags)
{
    (void)dwFlags;
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return FALSE;
    if (Empty(pszPartPath) || !pliPartSize || pliPartSize->QuadPart <= 0) return Fail(ERROR_INVALID_PARAMETER);
    CWimSplitter splitter(*wim, hWim);
    return Done(splitter.Split(pszPartPath, (uint64_t)pliPartSize->QuadPart));
}

BOOL WINAPI WIMGetAttributes(HANDLE hWim, PWIM_INFO pWimInfo, DWORD cbWimInfo)
{
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return FALSE;
    if (!pWimInfo) return Fail(ERROR_INVALID_PARAMETER);
    if (cbWimInfo < sizeof(WIM_INFO)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    return Done(wim->GetInfo(pWimInfo));
}

DWORD WINAPI WIMGetImageCount(HANDLE hWim)
{
    CWimHandle* wim = WimOf(hWim);
    return wim ? wim->ImageCount() : 0;
}

HANDLE WINAPI WIMLoadImage(HANDLE hWim, DWORD dwImageIndex)
{
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return nullptr;
    if (dwImageIndex == 0 || dwImageIndex > wim->ImageCount()) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
        std::unique_ptr<CImageHandle> image(new CImageHandle(wim, hWim, dwImageIndex));
        DWORD err = wim->LoadMetadata(dwImageIndex, &image->Metadata());
        if (err) {
            Fail(err);
            return nullptr;
        }
        image->SetLoaded();
        wim->AddImage();
        SetLastError(ERROR_SUCCESS);
        return CWimObject::Publish(image.release());
    });
}

HANDLE WINAPI WIMCaptureImage(HANDLE hWim, PCWSTR pszPath, DWORD dwCaptureFlags)
{
    (void)dwCaptureFlags;
    CWimHandle* wim = WimOf(hWim);
    if (!wim) return nullptr;
    if (Empty(pszPath)) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    CWimWriter* writer = nullptr;
    DWORD err = wim->BeginCapture(&writer);
    WimImageInfo info;
    if (!err) {
        CImageCapturer capturer(*writer, hWim);
        err = capturer.Capture(pszPath, &info);
    }
    if (err) {
        Fail(err);
        return nullptr;
    }
    wim->EndCapture(CWimXml::ImageElement(info), info.totalBytes);
    CImageHandle* image = new CImageHandle(wim, hWim, wim->ImageCount());
    wim->AddImage();
    SetLastError(ERROR_SUCCESS);
    return CWimObject::Publish(image);
}

BOOL WINAPI WIMApplyImage(HANDLE hImage, PCWSTR pszPath, DWORD dwApplyFlags)
{
    CImageHandle* image = ImageOf(hImage);
    if (!image) return FALSE;
    if (Empty(pszPath) || !image->Loaded()) return Fail(ERROR_INVALID_PARAMETER);
    return Guarded<BOOL>(FALSE, [&] {
        DWORD err = 0;
        {
            // Ended before the result is set: ending its writer's thread
            // may change the thread's last error.
            CImageApplier applier(*image->Wim(), image->WimHandle(), dwApplyFlags);
            err = applier.Apply(image->Metadata(), pszPath);
        }
        return Done(err);
    });
}

DWORD WINAPI WIMRegisterMessageCallback(HANDLE hWim, FARPROC fpMessageProc, PVOID pvUserData)
{
    if (hWim && !WimOf(hWim)) return INVALID_CALLBACK_VALUE;
    return CMessageSink::Instance().Register(hWim, fpMessageProc, pvUserData);
}

BOOL WINAPI WIMUnregisterMessageCallback(HANDLE hWim, FARPROC fpMessageProc)
{
    CMessageSink::Instance().Unregister(hWim, fpMessageProc);
    return Done(0);
}

BOOL WINAPI WIMMountImage(PCWSTR pszMountPath, PCWSTR pszWimFileName, DWORD dwImageIndex, PCWSTR pszTempPath)
{
    if (Empty(pszMountPath) || Empty(pszWimFileName) || dwImageIndex == 0) return Fail(ERROR_INVALID_PARAMETER);
    return Guarded<BOOL>(FALSE, [&] {
        return Done(CMountTable::Instance().Mount(pszMountPath, pszWimFileName, dwImageIndex, !Empty(pszTempPath)));
    });
}

BOOL WINAPI WIMUnmountImage(PCWSTR pszMountPath, PCWSTR pszWimFileName, DWORD dwImageIndex, BOOL bCommitChanges)
{
    if (Empty(pszMountPath)) return Fail(ERROR_INVALID_PARAMETER);
    return Done(CMountTable::Instance().Unmount(pszMountPath, pszWimFileName ? pszWimFileName : L"", dwImageIndex,
                                                bCommitChanges != FALSE));
}

} // extern "C"
