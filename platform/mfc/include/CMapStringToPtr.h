// Text keys to untyped pointers.
#pragma once
#include "CMap.h"

class CMapStringToPtr : public CMap<CString, LPCTSTR, void*, void*> {
public:
    explicit CMapStringToPtr(INT_PTR nBlockSize = 10) : CMap(nBlockSize) {}
};
