#pragma once
#include "CList.h"
class CPtrList : public CList<void*, void*> {
public:
    explicit CPtrList(INT_PTR nBlockSize = 10) : CList(nBlockSize) {}
};
