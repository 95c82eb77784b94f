// Reader of the rule file.
#pragma once

#include <windows.h>

class ICollectors;
class ILogCollector;
class IRuleCollector;

class IReader {
public:
    virtual ~IReader() = default;
    virtual HRESULT Init() = 0;
    virtual HRESULT Uninit() = 0;
    virtual HRESULT SetSource(const wchar_t* pwszPath) = 0;
    virtual HRESULT Parse(ICollectors* pFiles, ILogCollector* pLogs, IRuleCollector* pRules) = 0;
};
