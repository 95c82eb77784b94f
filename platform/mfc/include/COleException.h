// An OLE or automation operation failed with a status code.
#pragma once
#include "CException.h"

class COleException : public CException {
    DECLARE_DYNAMIC(COleException)
public:
    explicit COleException(SCODE sc = E_FAIL) : m_sc(sc) {}
    // The status code an exception stands for (E_OUTOFMEMORY, E_UNEXPECTED ...).
    static SCODE PASCAL Process(const CException* pAnyException);
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    SCODE m_sc;
};

[[noreturn]] void AFXAPI AfxThrowOleException(SCODE sc);
