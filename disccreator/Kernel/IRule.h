// Split rules, and the collector that holds them.
#pragma once

#include <windows.h>

class ICollector;
class IEntry;
class ISet;

class IRule {
public:
    virtual ~IRule() = default;
    // 0 when a companion group was placed, 1 when the rule does not apply,
    // RD_E_GROUP_NO_ROOM or RD_E_GROUP_TOO_BIG, or another failure.
    virtual HRESULT Apply(ICollector* pLevel, IEntry* pEntry, ISet* pSet) = 0;
    virtual HRESULT GetType(int* piType) = 0;
    virtual HRESULT Reset() = 0;
    // TRUE when the last group dropped as too big held a required entry.
    virtual BOOL DroppedRequired() = 0;
};

class IRuleCollector {
public:
    virtual ~IRuleCollector() = default;
    virtual HRESULT Add(IRule* pRule) = 0;
    virtual HRESULT Remove(IRule* pRule) = 0;
    virtual void Reset() = 0;
    virtual void ResetRules() = 0;
    virtual IRule* Next() = 0;
};
