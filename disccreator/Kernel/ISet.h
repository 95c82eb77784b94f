// The content of one disc, or a counting stand-in for it.
#pragma once

#include <windows.h>

class IEntry;
class ICollector;

class ISet {
public:
    virtual ~ISet() = default;
    virtual BOOL CanHold(IEntry* pEntry) = 0;
    virtual BOOL CanHoldSize(ULONGLONG ullSize) = 0;
    virtual BOOL ExceedsCapacity(ULONGLONG ullSize) = 0;
    virtual BOOL EntryExceedsCapacity(IEntry* pEntry) = 0;
    virtual HRESULT Add(IEntry* pEntry) = 0;
    virtual void ResetUsed() = 0;
    virtual void Reset() = 0;
    virtual IEntry* Next() = 0;
    virtual int GetNumber() = 0;
    virtual int GetTotal() = 0;
    virtual BOOL IsLast() = 0;
    virtual int GetIndex() = 0;
    virtual ULONGLONG GetCapacity() = 0;
    virtual ULONGLONG GetUsed() = 0;
    virtual ULONGLONG GetCount() = 0;
    virtual HRESULT SetTotal(int iTotal) = 0;
    // Entries whose folder path or name contains the text, into the collector.
    virtual HRESULT FindEntries(const wchar_t* pwszText, ICollector* pTarget) = 0;
};

// A DummySet with bCounting, else a FileSet; null when memory runs out.
ISet* CreateSet(int iNumber, ULONGLONG ullCapacity, BOOL bCounting, BOOL bOwnsEntries);
