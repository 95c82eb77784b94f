// Counted, growable text of wide (CString, CStringW) or narrow (CStringA)
// characters. Formatting follows the C runtime of Windows: in wide formats
// "%s" is a wide string.
#pragma once

#include "AfxDefs.h"
#include <cstdarg>
#include <cwchar>
#include <cstring>
#include <string>
#include <algorithm>
#include <oleauto.h>

HINSTANCE AFXAPI AfxGetResourceHandle();

namespace afx_detail {
inline int FormatCount(const wchar_t* f, va_list a) { return _vscwprintf(f, a); }
inline int FormatCount(const char* f, va_list a) { return _vscprintf(f, a); }
inline int FormatInto(wchar_t* b, size_t n, const wchar_t* f, va_list a) { return _vsnwprintf(b, n, f, a); }
inline int FormatInto(char* b, size_t n, const char* f, va_list a) { return _vsnprintf(b, n, f, a); }
inline size_t Length(const wchar_t* s) { return s ? wcslen(s) : 0; }
inline size_t Length(const char* s) { return s ? strlen(s) : 0; }
inline wchar_t Upper(wchar_t c) { return (wchar_t)(ULONG_PTR)CharUpperW((LPWSTR)(ULONG_PTR)c); }
inline wchar_t Lower(wchar_t c) { return (wchar_t)(ULONG_PTR)CharLowerW((LPWSTR)(ULONG_PTR)c); }
inline char Upper(char c) { return (char)(unsigned char)(ULONG_PTR)CharUpperA((LPSTR)(ULONG_PTR)(unsigned char)c); }
inline char Lower(char c) { return (char)(unsigned char)(ULONG_PTR)CharLowerA((LPSTR)(ULONG_PTR)(unsigned char)c); }
inline int CompareNoCase(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b); }
inline int CompareNoCase(const char* a, const char* b) { return _stricmp(a, b); }
inline int Collate(const wchar_t* a, const wchar_t* b) { return wcscoll(a, b); }
inline int Collate(const char* a, const char* b) { return strcoll(a, b); }
inline bool IsSpace(wchar_t c) { return iswspace(c) != 0; }
inline bool IsSpace(char c) { return isspace((unsigned char)c) != 0; }
std::wstring Widen(const char* s, int n);
std::string Narrow(const wchar_t* s, int n);
// Text of a string resource and its length; null when missing.
const wchar_t* FindStringResource(HINSTANCE hInst, UINT id, int* length);
}

template <typename T>
class CStringT {
public:
    typedef T XCHAR;
    typedef T* PXSTR;
    typedef const T* PCXSTR;
    typedef typename std::conditional<sizeof(T) == 1, wchar_t, char>::type YCHAR;

    CStringT() {}
    CStringT(const CStringT& s) : m_s(s.m_s) {}
    CStringT(CStringT&& s) noexcept : m_s(std::move(s.m_s)) {}
    CStringT(PCXSTR psz) { Assign(psz); }
    CStringT(PCXSTR pch, int nLength) { if (pch && nLength > 0) m_s.assign(pch, (size_t)nLength); }
    CStringT(T ch, int nRepeat = 1) { if (nRepeat > 0) m_s.assign((size_t)nRepeat, ch); }
    CStringT(const YCHAR* psz) { AssignOther(psz, -1); }
    CStringT(const YCHAR* psz, int nLength) { AssignOther(psz, nLength); }
    CStringT(const CStringT<YCHAR>& s) { AssignOther(s.GetString(), s.GetLength()); }
    CStringT(const std::basic_string<T>& s) : m_s(s) {}

    CStringT& operator=(const CStringT& s) { m_s = s.m_s; return *this; }
    CStringT& operator=(CStringT&& s) noexcept { m_s = std::move(s.m_s); return *this; }
    CStringT& operator=(PCXSTR psz) { Assign(psz); return *this; }
    CStringT& operator=(T ch) { m_s.assign(1, ch); return *this; }
    CStringT& operator=(const YCHAR* psz) { AssignOther(psz, -1); return *this; }
    CStringT& operator=(const CStringT<YCHAR>& s) { AssignOther(s.GetString(), s.GetLength()); return *this; }

    CStringT& operator+=(const CStringT& s) { m_s += s.m_s; return *this; }
    CStringT& operator+=(PCXSTR psz) { if (psz) m_s += psz; return *this; }
    CStringT& operator+=(T ch) { m_s += ch; return *this; }
    CStringT& operator+=(const YCHAR* psz) { return *this += CStringT(psz); }

    operator PCXSTR() const { return m_s.c_str(); }
    PCXSTR GetString() const { return m_s.c_str(); }
    int GetLength() const { return (int)m_s.size(); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    T GetAt(int i) const { return (i >= 0 && i < GetLength()) ? m_s[(size_t)i] : T(0); }
    T operator[](int i) const { return GetAt(i); }
    void SetAt(int i, T ch) { if (i >= 0 && i < GetLength()) m_s[(size_t)i] = ch; }
    void Append(PCXSTR psz) { *this += psz; }
    void Append(PCXSTR psz, int n) { if (psz && n > 0) m_s.append(psz, (size_t)n); }
    void AppendChar(T ch) { m_s += ch; }
    const std::basic_string<T>& str() const { return m_s; }

    int Compare(PCXSTR psz) const { return Cmp(m_s.c_str(), psz ? psz : Nul()); }
    int CompareNoCase(PCXSTR psz) const { return afx_detail::CompareNoCase(m_s.c_str(), psz ? psz : Nul()); }
    int Collate(PCXSTR psz) const { return afx_detail::Collate(m_s.c_str(), psz ? psz : Nul()); }

    int Find(T ch, int iStart = 0) const { return Pos(iStart < 0 ? std::basic_string<T>::npos : m_s.find(ch, (size_t)iStart)); }
    int Find(PCXSTR psz, int iStart = 0) const {
        if (!psz || iStart < 0 || iStart > GetLength()) return -1;
        return Pos(m_s.find(psz, (size_t)iStart));
    }
    int ReverseFind(T ch) const { return Pos(m_s.rfind(ch)); }
    int FindOneOf(PCXSTR set) const { return set ? Pos(m_s.find_first_of(set)) : -1; }

    CStringT Left(int n) const { n = Clamp(n); return CStringT(m_s.substr(0, (size_t)n)); }
    CStringT Right(int n) const { n = Clamp(n); return CStringT(m_s.substr(m_s.size() - (size_t)n)); }
    CStringT Mid(int iFirst) const { return Mid(iFirst, GetLength()); }
    CStringT Mid(int iFirst, int n) const {
        iFirst = Clamp(iFirst);
        n = std::max(0, std::min(n, GetLength() - iFirst));
        return CStringT(m_s.substr((size_t)iFirst, (size_t)n));
    }
    CStringT SpanIncluding(PCXSTR set) const { return Left(Pos0(m_s.find_first_not_of(set ? set : Nul()))); }
    CStringT SpanExcluding(PCXSTR set) const { return Left(Pos0(m_s.find_first_of(set ? set : Nul()))); }

    CStringT& MakeUpper() { for (auto& c : m_s) c = afx_detail::Upper(c); return *this; }
    CStringT& MakeLower() { for (auto& c : m_s) c = afx_detail::Lower(c); return *this; }
    CStringT& MakeReverse() { std::reverse(m_s.begin(), m_s.end()); return *this; }

    CStringT& TrimRight() { while (!m_s.empty() && afx_detail::IsSpace(m_s.back())) m_s.pop_back(); return *this; }
    CStringT& TrimLeft() { size_t i = 0; while (i < m_s.size() && afx_detail::IsSpace(m_s[i])) ++i; m_s.erase(0, i); return *this; }
    CStringT& Trim() { return TrimRight().TrimLeft(); }
    CStringT& TrimRight(T ch) { while (!m_s.empty() && m_s.back() == ch) m_s.pop_back(); return *this; }
    CStringT& TrimLeft(T ch) { size_t i = 0; while (i < m_s.size() && m_s[i] == ch) ++i; m_s.erase(0, i); return *this; }
    CStringT& Trim(T ch) { return TrimRight(ch).TrimLeft(ch); }
    CStringT& TrimRight(PCXSTR set) { size_t p = m_s.find_last_not_of(set ? set : Nul()); m_s.erase(p == std::basic_string<T>::npos ? 0 : p + 1); return *this; }
    CStringT& TrimLeft(PCXSTR set) { m_s.erase(0, std::min(m_s.size(), m_s.find_first_not_of(set ? set : Nul()))); return *this; }
    CStringT& Trim(PCXSTR set) { return TrimRight(set).TrimLeft(set); }

    int Replace(T chOld, T chNew) {
        int n = 0;
        for (auto& c : m_s) if (c == chOld) { c = chNew; ++n; }
        return n;
    }
    int Replace(PCXSTR pOld, PCXSTR pNew) {
        size_t lo = afx_detail::Length(pOld);
        if (lo == 0) return 0;
        std::basic_string<T> rep = pNew ? pNew : Nul();
        int n = 0;
        for (size_t p = m_s.find(pOld); p != std::basic_string<T>::npos; p = m_s.find(pOld, p + rep.size())) {
            m_s.replace(p, lo, rep);
            ++n;
        }
        return n;
    }
    int Remove(T ch) {
        size_t before = m_s.size();
        m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
        return (int)(before - m_s.size());
    }
    int Insert(int i, T ch) { i = Clamp(i); m_s.insert((size_t)i, 1, ch); return GetLength(); }
    int Insert(int i, PCXSTR psz) { i = Clamp(i); if (psz) m_s.insert((size_t)i, psz); return GetLength(); }
    int Delete(int i, int n = 1) {
        if (i < 0 || i >= GetLength() || n <= 0) return GetLength();
        m_s.erase((size_t)i, (size_t)n);
        return GetLength();
    }
    CStringT Tokenize(PCXSTR tokens, int& iStart) const {
        if (iStart < 0 || iStart >= GetLength()) { iStart = -1; return CStringT(); }
        size_t from = m_s.find_first_not_of(tokens ? tokens : Nul(), (size_t)iStart);
        if (from == std::basic_string<T>::npos) { iStart = -1; return CStringT(); }
        size_t to = m_s.find_first_of(tokens ? tokens : Nul(), from);
        if (to == std::basic_string<T>::npos) to = m_s.size();
        iStart = (int)to + 1;
        return CStringT(m_s.substr(from, to - from));
    }

    void AFX_CDECL Format(PCXSTR format, ...) { va_list a; va_start(a, format); FormatV(format, a); va_end(a); }
    void AFX_CDECL Format(UINT nFormatID, ...) {
        CStringT f;
        if (!f.LoadString(nFormatID)) { Empty(); return; }
        va_list a; va_start(a, nFormatID); FormatV(f, a); va_end(a);
    }
    void AFX_CDECL AppendFormat(PCXSTR format, ...) {
        CStringT s; va_list a; va_start(a, format); s.FormatV(format, a); va_end(a);
        m_s += s.m_s;
    }
    void FormatV(PCXSTR format, va_list args) {
        if (!format) { Empty(); return; }
        va_list count;
        va_copy(count, args);
        int n = afx_detail::FormatCount(format, count);
        va_end(count);
        if (n < 0) { Empty(); return; }
        std::basic_string<T> out((size_t)n + 1, T(0));
        afx_detail::FormatInto(&out[0], out.size(), format, args);
        out.resize((size_t)n);
        m_s.swap(out);
    }

    BOOL LoadString(UINT nID) { return LoadString(AfxGetResourceHandle(), nID); }
    BOOL LoadString(HINSTANCE hInst, UINT nID) {
        int n = 0;
        const wchar_t* p = afx_detail::FindStringResource(hInst, nID, &n);
        if (!p) return FALSE;
        SetFromWide(p, n);
        return TRUE;
    }

    PXSTR GetBuffer() { return &Writable(m_s.size())[0]; }
    PXSTR GetBuffer(int nMinBufLength) { return Writable((size_t)std::max(0, nMinBufLength)); }
    PXSTR GetBufferSetLength(int nLength) { m_s.resize((size_t)std::max(0, nLength)); return Writable(m_s.size()); }
    void ReleaseBuffer(int nNewLength = -1) {
        size_t n = nNewLength < 0 ? afx_detail::Length(m_s.c_str()) : std::min(m_s.size(), (size_t)nNewLength);
        m_s.resize(n);
    }
    void ReleaseBufferSetLength(int n) { ReleaseBuffer(n); }
    void Preallocate(int n) { if (n > 0) m_s.reserve((size_t)n); }
    void FreeExtra() { m_s.shrink_to_fit(); }
    BSTR AllocSysString() const;

    friend CStringT operator+(const CStringT& a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(const CStringT& a, PCXSTR b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(PCXSTR a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(const CStringT& a, T b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(T a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CStringT& a, PCXSTR b) { return a.Compare(b) == 0; }
    friend bool operator==(PCXSTR a, const CStringT& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CStringT& a, const CStringT& b) { return !(a == b); }
    friend bool operator!=(const CStringT& a, PCXSTR b) { return !(a == b); }
    friend bool operator!=(PCXSTR a, const CStringT& b) { return !(a == b); }
    friend bool operator<(const CStringT& a, const CStringT& b) { return a.m_s < b.m_s; }
    friend bool operator>(const CStringT& a, const CStringT& b) { return b.m_s < a.m_s; }
    friend bool operator<=(const CStringT& a, const CStringT& b) { return !(b.m_s < a.m_s); }
    friend bool operator>=(const CStringT& a, const CStringT& b) { return !(a.m_s < b.m_s); }

private:
    static PCXSTR Nul() { static const T z[1] = {T(0)}; return z; }
    static int Pos(size_t p) { return p == std::basic_string<T>::npos ? -1 : (int)p; }
    int Pos0(size_t p) const { return p == std::basic_string<T>::npos ? GetLength() : (int)p; }
    int Clamp(int n) const { return std::max(0, std::min(n, GetLength())); }
    static int Cmp(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b); }
    static int Cmp(const char* a, const char* b) { return strcmp(a, b); }
    void Assign(PCXSTR psz) { if (psz) m_s.assign(psz); else m_s.clear(); }
    PXSTR Writable(size_t n) { if (m_s.size() < n) m_s.resize(n); return &m_s[0]; }
    void AssignOther(const YCHAR* p, int n);
    void SetFromWide(const wchar_t* p, int n);

    std::basic_string<T> m_s;
};

template <> inline void CStringT<wchar_t>::AssignOther(const char* p, int n) {
    m_s = p ? afx_detail::Widen(p, n) : std::wstring();
}
template <> inline void CStringT<char>::AssignOther(const wchar_t* p, int n) {
    m_s = p ? afx_detail::Narrow(p, n) : std::string();
}
template <> inline void CStringT<wchar_t>::SetFromWide(const wchar_t* p, int n) { m_s.assign(p, (size_t)n); }
template <> inline void CStringT<char>::SetFromWide(const wchar_t* p, int n) { m_s = afx_detail::Narrow(p, n); }
template <> inline BSTR CStringT<wchar_t>::AllocSysString() const { return SysAllocStringLen(m_s.c_str(), (UINT)m_s.size()); }
template <> inline BSTR CStringT<char>::AllocSysString() const {
    std::wstring w = afx_detail::Widen(m_s.c_str(), (int)m_s.size());
    return SysAllocStringLen(w.c_str(), (UINT)w.size());
}

typedef CStringT<wchar_t> CStringW;
typedef CStringT<char> CStringA;
typedef CStringW CString;
