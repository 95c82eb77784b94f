// A caller passed an argument outside the allowed range.
#pragma once
#include "CException.h"

class CInvalidArgException : public CException {
    DECLARE_DYNAMIC(CInvalidArgException)
public:
    CInvalidArgException() = default;
};

[[noreturn]] void AFXAPI AfxThrowInvalidArgException();
