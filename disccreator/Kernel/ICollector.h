// A list of entries with a cursor that can skip placed entries.
#pragma once

#include <windows.h>

class IEntry;
class ISearchPairs;

class ICollector {
public:
    virtual ~ICollector() = default;
    // 1 when already present, else 0.
    virtual HRESULT Add(IEntry* pEntry) = 0;
    virtual HRESULT Remove(IEntry* pEntry) = 0;
    virtual HRESULT Clear() = 0;
    virtual void Reset() = 0;
    // At the end: *ppEntry null and 1.
    virtual HRESULT Next(IEntry** ppEntry, BOOL bSkipPlaced) = 0;
    virtual int GetKind() = 0;
    virtual HRESULT SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation) = 0;
    virtual HRESULT ApplyPairs(ISearchPairs* pPairs) = 0;
    virtual HRESULT CollectContaining(const wchar_t* pwszText, ICollector* pTarget) = 0;
    virtual HRESULT PushPosition() = 0;
    virtual HRESULT PopPosition() = 0;
    virtual size_t GetCount() = 0;
};

// One collector per priority level, lowest level first.
class ICollectors {
public:
    virtual ~ICollectors() = default;
    virtual HRESULT Clear() = 0;
    virtual HRESULT Add(IEntry* pEntry) = 0;
    virtual HRESULT Remove(IEntry* pEntry) = 0;
    virtual void Reset() = 0;
    // At the end NV_E_NOT_FOUND.
    virtual HRESULT Next(ICollector** ppCollector) = 0;
    virtual HRESULT Find(UINT uLevel, ICollector** ppCollector) = 0;
    virtual HRESULT SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation) = 0;
};
