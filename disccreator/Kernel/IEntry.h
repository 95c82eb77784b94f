// One file or folder to put on a disc.
#pragma once

#include <windows.h>

class IEntry {
public:
    virtual ~IEntry() = default;
    // Copies into a buffer of cch characters: 0, RD_E_NULL_ARG for no
    // buffer, NV_E_BUFFER_TOO_SMALL (text cut and terminated) when it did not fit.
    virtual HRESULT GetFrom(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetTo(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetToFolder(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetFileName(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetFolderPath(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetFullPath(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetExtension(wchar_t* pwszBuf, size_t cch) = 0;
    // Bytes; a folder weighs 0 unless bFolderTotal asks for its files' total.
    virtual ULONGLONG GetSize(BOOL bFolderTotal) = 0;
    virtual UINT GetPriorityLevel() = 0;
    virtual BOOL IsMustProcess() = 0;
    virtual BOOL IsFolder() = 0;
    virtual BOOL IsOneLevel() = 0;
    virtual void SetDriveLetter(wchar_t wcLetter) = 0;
    virtual BOOL GetAtomic() = 0;
    virtual UINT GetId() = 0;
    virtual BOOL IsDeclaredAtomic() = 0;
    virtual BOOL IsSameId(UINT uId) = 0;
    virtual UINT_PTR IsPlaced() = 0;
    virtual void SetPlaced(UINT_PTR uPlaced) = 0;
};
