// Untyped pointers to untyped pointers.
#pragma once
#include "CMap.h"

class CMapPtrToPtr : public CMap<void*, void*, void*, void*> {
public:
    explicit CMapPtrToPtr(INT_PTR nBlockSize = 10) : CMap(nBlockSize) {}
};
