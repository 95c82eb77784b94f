// A set that only adds up sizes: how many discs a run needs, without
// building the real sets.
#pragma once

#include "SetBase.h"

class DummySet : public SetBase {
public:
    DummySet(int iNumber, ULONGLONG ullCapacity) : SetBase(iNumber, ullCapacity) {}

    HRESULT Add(IEntry* pEntry) override { return Count(pEntry); }
    void ResetUsed() override {}
    void Reset() override {}
    IEntry* Next() override { return nullptr; }
    ULONGLONG GetCount() override { return 0; }
    HRESULT FindEntries(const wchar_t*, ICollector*) override { return E_NOTIMPL; }
};
