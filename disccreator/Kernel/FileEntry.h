// An entry of the rule file, of a walk, of a log or of a snapshot.
#pragma once

#include <string>

#include "IEntry.h"

struct FileEntryValues {
    std::wstring from, to, extension;
    UINT priorityLevel = 1;
    BOOL mustProcess = FALSE, folder = FALSE, oneLevel = FALSE, atomic = FALSE;
    UINT id = 0;
    BOOL declaredAtomic = FALSE;
    UINT_PTR placed = 0;
};

class FileEntry : public IEntry {
public:
    FileEntry(const wchar_t* pwszFrom, const wchar_t* pwszTo, const wchar_t* pwszExtension, UINT uPriorityLevel,
              BOOL bMustProcess, BOOL bFolder, BOOL bOneLevel, BOOL bAtomic, UINT uId, BOOL bDeclaredAtomic,
              UINT_PTR uPlaced);
    explicit FileEntry(const FileEntryValues& values);
    // Reads every value through the interface; a file's size is measured now.
    explicit FileEntry(IEntry& source);

    HRESULT GetFrom(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetTo(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetToFolder(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetFileName(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetFolderPath(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetFullPath(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetExtension(wchar_t* pwszBuf, size_t cch) override;
    ULONGLONG GetSize(BOOL bFolderTotal) override;
    UINT GetPriorityLevel() override { return m_v.priorityLevel; }
    BOOL IsMustProcess() override { return m_v.mustProcess; }
    BOOL IsFolder() override { return m_v.folder; }
    BOOL IsOneLevel() override { return m_v.oneLevel; }
    void SetDriveLetter(wchar_t wcLetter) override;
    BOOL GetAtomic() override { return m_v.atomic; }
    UINT GetId() override { return m_v.id; }
    BOOL IsDeclaredAtomic() override { return m_v.declaredAtomic; }
    BOOL IsSameId(UINT uId) override { return uId == m_v.id; }
    UINT_PTR IsPlaced() override { return m_v.placed; }
    void SetPlaced(UINT_PTR uPlaced) override { m_v.placed = uPlaced; }

    // Copies a text into a caller's buffer as every getter does.
    static HRESULT CopyOut(const std::wstring& text, wchar_t* pwszBuf, size_t cch);

private:
    FileEntryValues m_v;
    ULONGLONG m_ullSize = 0; // 0: not measured yet
};
