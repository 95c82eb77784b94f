// What the page base asks of the dialog that hosts its pages. Each program's
// host implements it, so that the page base and its controls are one code
// for both programs.
#pragma once

#include <afxwin.h>

namespace Gdiplus {
class Image;
}

class CWizardHost {
public:
    virtual ~CWizardHost() = default;

    // The page table's column for a page; -1 when none.
    virtual int GetFlowPageId(int nPageId, int nColumn) const = 0;
    // Origin of the newest move in the history; -1 when it is empty.
    virtual int GetLastFromPageId() const = 0;
    virtual HRESULT GoToPage(UINT nPageId, BOOL bAddHistory) = 0;
    // The program's answer to a page's Cancel button.
    virtual void OnPageCancel() = 0;
    // The program's keys on every page; TRUE when the message was one.
    virtual BOOL HandlePageHotKey(MSG* /*pMsg*/) { return FALSE; }
    // A picture of the program folder, from the program's image cache; not owned.
    virtual Gdiplus::Image* GetPageImage(const CString& /*strRelPath*/) { return nullptr; }
    virtual BOOL IsPageRTL() const { return FALSE; }
    // The machine's vendor code (2 desktop, 4 notebook).
    virtual DWORD GetPageVendor() const { return 0; }
    // The disc creator's display name, for the main page's link to it.
    virtual CString GetDSCAppName() { return CString(); }
    // The child that the generic page layout leaves where its template put it.
    virtual int GetLayoutFixedId() const { return 1330; }
};
