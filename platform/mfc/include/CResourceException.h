// A resource (window, GDI object, template) could not be created or found.
#pragma once
#include "CException.h"

class CResourceException : public CException {
    DECLARE_DYNAMIC(CResourceException)
public:
    CResourceException() = default;
};

[[noreturn]] void AFXAPI AfxThrowResourceException();
