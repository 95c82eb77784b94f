// A list view control.
#pragma once
#include "CWnd.h"

class CImageList;

class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    CListCtrl() = default;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    int InsertColumn(int nCol, const LVCOLUMN* pColumn) { return (int)::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, (WPARAM)nCol, (LPARAM)pColumn); }
    int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1, int nSubItem = -1);
    BOOL DeleteColumn(int nCol) { return (BOOL)::SendMessageW(m_hWnd, LVM_DELETECOLUMN, (WPARAM)nCol, 0); }
    int GetColumnWidth(int nCol) const { return (int)::SendMessageW(m_hWnd, LVM_GETCOLUMNWIDTH, (WPARAM)nCol, 0); }
    BOOL SetColumnWidth(int nCol, int cx) { return (BOOL)::SendMessageW(m_hWnd, LVM_SETCOLUMNWIDTH, (WPARAM)nCol, MAKELPARAM(cx, 0)); }

    int InsertItem(const LVITEM* pItem) { return (int)::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, (LPARAM)pItem); }
    int InsertItem(int nItem, LPCTSTR lpszItem);
    int InsertItem(int nItem, LPCTSTR lpszItem, int nImage);
    BOOL DeleteItem(int nItem) { return (BOOL)::SendMessageW(m_hWnd, LVM_DELETEITEM, (WPARAM)nItem, 0); }
    BOOL DeleteAllItems() { return (BOOL)::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0); }
    int GetItemCount() const { return (int)::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0); }
    BOOL GetItem(LVITEM* pItem) const { return (BOOL)::SendMessageW(m_hWnd, LVM_GETITEMW, 0, (LPARAM)pItem); }
    BOOL SetItem(const LVITEM* pItem) { return (BOOL)::SendMessageW(m_hWnd, LVM_SETITEMW, 0, (LPARAM)pItem); }
    BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText);
    CString GetItemText(int nItem, int nSubItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const { return (UINT)::SendMessageW(m_hWnd, LVM_GETITEMSTATE, (WPARAM)nItem, (LPARAM)nMask); }
    BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
    BOOL SetCheck(int nItem, BOOL fCheck = TRUE) { return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), LVIS_STATEIMAGEMASK); }
    BOOL GetCheck(int nItem) const { return ((GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) - 1) > 0; }

    DWORD SetExtendedStyle(DWORD dwNewStyle) { return (DWORD)::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, (LPARAM)dwNewStyle); }
    DWORD GetExtendedStyle() const { return (DWORD)::SendMessageW(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); }
    int GetSelectionMark() const { return (int)::SendMessageW(m_hWnd, LVM_GETSELECTIONMARK, 0, 0); }
    int SetSelectionMark(int iIndex) { return (int)::SendMessageW(m_hWnd, LVM_SETSELECTIONMARK, 0, (LPARAM)iIndex); }
    UINT GetSelectedCount() const { return (UINT)::SendMessageW(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0); }
    // Selected items: the position is the item's index plus one, null at the end.
    POSITION GetFirstSelectedItemPosition() const;
    int GetNextSelectedItem(POSITION& pos) const;
    int GetNextItem(int nItem, int nFlags) const { return (int)::SendMessageW(m_hWnd, LVM_GETNEXTITEM, (WPARAM)nItem, MAKELPARAM(nFlags, 0)); }
    BOOL EnsureVisible(int nItem, BOOL bPartialOK) { return (BOOL)::SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, (WPARAM)nItem, bPartialOK); }
    int GetTopIndex() const { return (int)::SendMessageW(m_hWnd, LVM_GETTOPINDEX, 0, 0); }
    int GetCountPerPage() const { return (int)::SendMessageW(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0); }
    BOOL SetBkColor(COLORREF cr) { return (BOOL)::SendMessageW(m_hWnd, LVM_SETBKCOLOR, 0, (LPARAM)cr); }
    BOOL SetTextColor(COLORREF cr) { return (BOOL)::SendMessageW(m_hWnd, LVM_SETTEXTCOLOR, 0, (LPARAM)cr); }
    BOOL SetTextBkColor(COLORREF cr) { return (BOOL)::SendMessageW(m_hWnd, LVM_SETTEXTBKCOLOR, 0, (LPARAM)cr); }
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);
    CWnd* GetHeaderCtrl() const { return FromHandle((HWND)::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0)); }
};
