#pragma once
#include "CList.h"
#include "CString.h"
class CStringList : public CList<CString, LPCTSTR> {
public:
    explicit CStringList(INT_PTR nBlockSize = 10) : CList(nBlockSize) {}
};
