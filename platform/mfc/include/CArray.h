// A growable array of TYPE; ARG_TYPE is how elements are passed in.
#pragma once
#include "CObject.h"
#include "CInvalidArgException.h"
#include <vector>

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
public:
    CArray() = default;
    INT_PTR GetSize() const { return (INT_PTR)m_data.size(); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_data.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1) {
        (void)nGrowBy;
        if (nNewSize < 0) AfxThrowInvalidArgException();
        m_data.resize((size_t)nNewSize);
    }
    void FreeExtra() { m_data.shrink_to_fit(); }
    void RemoveAll() { m_data.clear(); }
    const TYPE& GetAt(INT_PTR i) const { Check(i); return m_data[(size_t)i]; }
    TYPE& GetAt(INT_PTR i) { Check(i); return m_data[(size_t)i]; }
    void SetAt(INT_PTR i, ARG_TYPE e) { Check(i); m_data[(size_t)i] = e; }
    const TYPE& ElementAt(INT_PTR i) const { return GetAt(i); }
    TYPE& ElementAt(INT_PTR i) { return GetAt(i); }
    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    void SetAtGrow(INT_PTR i, ARG_TYPE e) {
        if (i < 0) AfxThrowInvalidArgException();
        if ((size_t)i >= m_data.size()) m_data.resize((size_t)i + 1);
        m_data[(size_t)i] = e;
    }
    INT_PTR Add(ARG_TYPE e) { m_data.push_back(e); return GetSize() - 1; }
    INT_PTR Append(const CArray& src) { INT_PTR n = GetSize(); m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end()); return n; }
    void Copy(const CArray& src) { if (this != &src) m_data = src.m_data; }
    const TYPE& operator[](INT_PTR i) const { return GetAt(i); }
    TYPE& operator[](INT_PTR i) { return GetAt(i); }
    void InsertAt(INT_PTR i, ARG_TYPE e, INT_PTR nCount = 1) {
        if (i < 0 || nCount < 0) AfxThrowInvalidArgException();
        if ((size_t)i > m_data.size()) m_data.resize((size_t)i);
        m_data.insert(m_data.begin() + i, (size_t)nCount, e);
    }
    void RemoveAt(INT_PTR i, INT_PTR nCount = 1) {
        if (i < 0 || nCount < 0 || i + nCount > GetSize()) AfxThrowInvalidArgException();
        m_data.erase(m_data.begin() + i, m_data.begin() + i + nCount);
    }

private:
    void Check(INT_PTR i) const {
        if (i < 0 || i >= GetSize()) AfxThrowInvalidArgException();
    }
    std::vector<TYPE> m_data;
};
