// Ends a data exchange after the user was told what is wrong.
#pragma once
#include "CException.h"

class CUserException : public CException {
    DECLARE_DYNAMIC(CUserException)
public:
    CUserException() = default;
};

[[noreturn]] void AFXAPI AfxThrowUserException();
