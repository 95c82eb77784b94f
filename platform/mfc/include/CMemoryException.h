// Out of memory, or a fixed memory file that cannot grow.
#pragma once
#include "CException.h"

class CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException() = default;
};

[[noreturn]] void AFXAPI AfxThrowMemoryException();
