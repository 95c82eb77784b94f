#include "CListCtrl.h"
#include "CImageList.h"
#include "AfxFunctions.h"

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    AfxInitCommonControls();
    return CWnd::Create(WC_LISTVIEWW, nullptr, dwStyle, rect, pParentWnd, nID);
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem) {
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_FMT;
    col.pszText = const_cast<LPWSTR>(lpszColumnHeading);
    col.fmt = nFormat;
    if (nWidth != -1) {
        col.mask |= LVCF_WIDTH;
        col.cx = nWidth;
    }
    if (nSubItem != -1) {
        col.mask |= LVCF_SUBITEM;
        col.iSubItem = nSubItem;
    }
    return InsertColumn(nCol, &col);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPWSTR>(lpszItem);
    return InsertItem(&item);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = const_cast<LPWSTR>(lpszItem);
    item.iImage = nImage;
    return InsertItem(&item);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    LVITEMW item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPWSTR>(lpszText);
    return (BOOL)::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, (WPARAM)nItem, (LPARAM)&item);
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    // The control copies at most the buffer; grow until the text fits.
    CString text;
    for (int size = 256;; size *= 2) {
        LVITEMW item = {};
        item.iSubItem = nSubItem;
        item.cchTextMax = size;
        item.pszText = text.GetBuffer(size);
        int n = (int)::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, (WPARAM)nItem, (LPARAM)&item);
        text.ReleaseBuffer(n);
        if (n < size - 1) break;
    }
    return text;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = (LPARAM)dwData;
    return SetItem(&item);
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    return GetItem(&item) ? (DWORD_PTR)item.lParam : 0;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEMW item = {};
    item.state = nState;
    item.stateMask = nMask;
    return (BOOL)::SendMessageW(m_hWnd, LVM_SETITEMSTATE, (WPARAM)nItem, (LPARAM)&item);
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
    lpRect->left = (LONG)nCode;
    return (BOOL)::SendMessageW(m_hWnd, LVM_GETITEMRECT, (WPARAM)nItem, (LPARAM)lpRect);
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const {
    int n = GetNextItem(-1, LVNI_SELECTED);
    return (POSITION)(INT_PTR)(n + 1);
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
    int n = (int)(INT_PTR)pos - 1;
    int next = GetNextItem(n, LVNI_SELECTED);
    pos = (POSITION)(INT_PTR)(next + 1);
    return n;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    HIMAGELIST old = (HIMAGELIST)::SendMessageW(m_hWnd, LVM_SETIMAGELIST, (WPARAM)nImageListType,
                                                (LPARAM)(pImageList ? pImageList->m_hImageList : nullptr));
    return CImageList::FromHandle(old);
}
