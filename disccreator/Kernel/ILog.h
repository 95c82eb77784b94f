// Image logs: small text files written while the sets are packed, and put
// into the sets they describe.
#pragma once

#include <windows.h>

class ISet;
class FileEntry;

enum ImageLogType {
    ILT_PRELOADSIZE = 1,
    ILT_SPLIT = 2,
    ILT_SETDUMP = 3,
    ILT_APPLIST = 5,
    ILT_SETINFO = 6,
    ILT_ZQCD = 7,
};

// ToDisc of a log that goes onto every disc.
constexpr int kAllDiscs = 9999;

class ILog {
public:
    virtual ~ILog() = default;
    virtual HRESULT Init() = 0;
    virtual HRESULT Log(ISet* pSet) = 0;
    virtual HRESULT GetLogFile(wchar_t* pwszBuf, size_t cch) = 0;
    virtual HRESULT GetTo(wchar_t* pwszBuf, size_t cch) = 0;
    virtual int GetToDisc() = 0;
    virtual BOOL IsForAllDiscs() = 0;
    virtual FileEntry* ConvertToEntry() = 0;
    virtual int GetType() = 0;
};

class ILogCollector {
public:
    virtual ~ILogCollector() = default;
    virtual HRESULT Add(ILog* pLog) = 0;
    virtual HRESULT Remove(ILog* pLog) = 0;
    virtual void Reset() = 0;
    virtual ILog* Next() = 0;
};
