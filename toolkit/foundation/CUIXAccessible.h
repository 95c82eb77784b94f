// Active Accessibility face of bars and controls: a nested IAccessible that
// forwards every method to a virtual operation, reference counting and
// queries going to the command target a derived class names.
#pragma once
#include "CUIXModuleHandle.h"
#include <oleacc.h>

class CUIXAccessible {
public:
    CUIXAccessible();
    virtual ~CUIXAccessible();
    CUIXAccessible(const CUIXAccessible&) = delete;
    CUIXAccessible& operator=(const CUIXAccessible&) = delete;

    virtual HRESULT GetAccessibleParent(IDispatch** ppdispParent);
    virtual HRESULT GetAccessibleChildCount(long* pcountChildren);
    virtual HRESULT GetAccessibleChild(VARIANT varChild, IDispatch** ppdispChild);
    virtual HRESULT GetAccessibleName(VARIANT varChild, BSTR* pszName);
    virtual HRESULT GetAccessibleValue(VARIANT varChild, BSTR* pszValue);
    virtual HRESULT GetAccessibleDescription(VARIANT varChild, BSTR* pszDescription);
    virtual HRESULT GetAccessibleRole(VARIANT varChild, VARIANT* pvarRole);
    virtual HRESULT GetAccessibleState(VARIANT varChild, VARIANT* pvarState);
    virtual HRESULT GetAccessibleHelp(VARIANT varChild, BSTR* pszHelp);
    virtual HRESULT GetAccessibleHelpTopic(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic);
    virtual HRESULT GetAccessibleKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut);
    virtual HRESULT GetAccessibleFocus(VARIANT* pvarChild);
    virtual HRESULT GetAccessibleSelection(VARIANT* pvarChildren);
    virtual HRESULT GetAccessibleDefaultAction(VARIANT varChild, BSTR* pszDefaultAction);
    virtual HRESULT AccessibleSelect(long flagsSelect, VARIANT varChild);
    virtual HRESULT AccessibleLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight, VARIANT varChild);
    virtual HRESULT AccessibleNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt);
    virtual HRESULT AccessibleHitTest(long xLeft, long yTop, VARIANT* pvarChild);
    virtual HRESULT AccessibleDoDefaultAction(VARIANT varChild);
    virtual HRESULT PutAccessibleName(VARIANT varChild, BSTR szName);
    virtual HRESULT PutAccessibleValue(VARIANT varChild, BSTR szValue);
    // The command target that counts references and answers queries; null here.
    virtual CCmdTarget* GetAccessibleCmdTarget();

    void NotifyWinEvent(DWORD event, HWND hWnd, LONG idObject, LONG idChild);
    HRESULT AccessibleObjectFromWindow(HWND hWnd, DWORD dwId, REFIID riid, void** ppvObject);
    LRESULT LresultFromObject(REFIID riid, WPARAM wParam, LPUNKNOWN punk);
    // The child a VARIANT names: 0 for itself, the index, or -1.
    static int GetChildIndex(const VARIANT* pVar);

    IAccessible* GetAccessibleInterface() { return &m_xAccessible; }

    class XAccessible : public IAccessible {
    public:
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(QueryInterface)(REFIID iid, LPVOID* ppvObj) override;
        STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
        STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
        STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
        STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                          VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
        STDMETHOD(get_accParent)(IDispatch** ppdispParent) override;
        STDMETHOD(get_accChildCount)(long* pcountChildren) override;
        STDMETHOD(get_accChild)(VARIANT varChild, IDispatch** ppdispChild) override;
        STDMETHOD(get_accName)(VARIANT varChild, BSTR* pszName) override;
        STDMETHOD(get_accValue)(VARIANT varChild, BSTR* pszValue) override;
        STDMETHOD(get_accDescription)(VARIANT varChild, BSTR* pszDescription) override;
        STDMETHOD(get_accRole)(VARIANT varChild, VARIANT* pvarRole) override;
        STDMETHOD(get_accState)(VARIANT varChild, VARIANT* pvarState) override;
        STDMETHOD(get_accHelp)(VARIANT varChild, BSTR* pszHelp) override;
        STDMETHOD(get_accHelpTopic)(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic) override;
        STDMETHOD(get_accKeyboardShortcut)(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
        STDMETHOD(get_accFocus)(VARIANT* pvarChild) override;
        STDMETHOD(get_accSelection)(VARIANT* pvarChildren) override;
        STDMETHOD(get_accDefaultAction)(VARIANT varChild, BSTR* pszDefaultAction) override;
        STDMETHOD(accSelect)(long flagsSelect, VARIANT varChild) override;
        STDMETHOD(accLocation)(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight, VARIANT varChild) override;
        STDMETHOD(accNavigate)(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override;
        STDMETHOD(accHitTest)(long xLeft, long yTop, VARIANT* pvarChild) override;
        STDMETHOD(accDoDefaultAction)(VARIANT varChild) override;
        STDMETHOD(put_accName)(VARIANT varChild, BSTR szName) override;
        STDMETHOD(put_accValue)(VARIANT varChild, BSTR szValue) override;

    private:
        CUIXAccessible* Owner();
    } m_xAccessible;
    friend class XAccessible;

private:
    typedef BOOL(WINAPI* PFNNOTIFYWINEVENT)(DWORD, HWND, LONG, LONG);
    typedef LRESULT(WINAPI* PFNLRESULTFROMOBJECT)(REFIID, WPARAM, LPUNKNOWN);
    typedef HRESULT(WINAPI* PFNACCESSIBLEOBJECTFROMWINDOW)(HWND, DWORD, REFIID, void**);
    BOOL LoadOleAcc();

    PFNNOTIFYWINEVENT m_pfnNotifyWinEvent = nullptr;
    PFNLRESULTFROMOBJECT m_pfnLresultFromObject = nullptr;
    PFNACCESSIBLEOBJECTFROMWINDOW m_pfnAccessibleObjectFromWindow = nullptr;
    CUIXModuleHandle m_user32;
    CUIXModuleHandle m_oleacc;
};
