// Base of the exceptions the library throws; they are thrown as pointers
// and the catcher calls Delete().
#pragma once
#include "CObject.h"

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    void Delete() {
        if (m_bAutoDelete) delete this;
    }
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

protected:
    BOOL m_bAutoDelete;
};

// Thrown by DDX/DDV routines once the user was told what is wrong.
class CUserException;
