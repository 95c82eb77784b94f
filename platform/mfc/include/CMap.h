// A hash map from KEY to VALUE. Iteration (GetStartPosition/GetNextAssoc)
// walks the buckets in order and each bucket newest first.
#pragma once
#include "CObject.h"
#include "CString.h"
#include <vector>

template <class ARG_KEY>
inline UINT AFXAPI HashKey(ARG_KEY key) {
    return (UINT)(((UINT_PTR)key) >> 4);
}
inline UINT AFXAPI HashKey(LPCWSTR key) {
    UINT nHash = 0;
    while (key && *key) nHash = (nHash << 5) + nHash + *key++;
    return nHash;
}
inline UINT AFXAPI HashKey(LPCSTR key) {
    UINT nHash = 0;
    while (key && *key) nHash = (nHash << 5) + nHash + (unsigned char)*key++;
    return nHash;
}
inline UINT AFXAPI HashKey(const CStringW& key) { return HashKey((LPCWSTR)key); }
inline UINT AFXAPI HashKey(const CStringA& key) { return HashKey((LPCSTR)key); }

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject {
public:
    struct CAssoc {
        CAssoc* pNext;
        UINT nHashValue;
        KEY key;
        VALUE value;
    };
    typedef CAssoc CPair;

    explicit CMap(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
    ~CMap() override { RemoveAll(); }
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    UINT GetHashTableSize() const { return (UINT)m_table.size(); }
    void InitHashTable(UINT hashSize, BOOL bAllocNow = TRUE) {
        (void)bAllocNow;
        if (m_nCount == 0 && hashSize > 0) m_nHashTableSize = hashSize;
    }
    BOOL Lookup(ARG_KEY key, VALUE& rValue) const {
        const CAssoc* a = Find(key);
        if (!a) return FALSE;
        rValue = a->value;
        return TRUE;
    }
    const CPair* PLookup(ARG_KEY key) const { return Find(key); }
    CPair* PLookup(ARG_KEY key) { return const_cast<CPair*>(Find(key)); }
    VALUE& operator[](ARG_KEY key) {
        if (CAssoc* a = const_cast<CAssoc*>(Find(key))) return a->value;
        if (m_table.empty()) m_table.assign(m_nHashTableSize, nullptr);
        UINT h = HashKey(key);
        CAssoc* a = new CAssoc{nullptr, h, KEY(key), VALUE()};
        CAssoc*& head = m_table[h % m_table.size()];
        a->pNext = head;
        head = a;
        ++m_nCount;
        return a->value;
    }
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }
    BOOL RemoveKey(ARG_KEY key) {
        if (m_table.empty()) return FALSE;
        UINT h = HashKey(key);
        for (CAssoc** pp = &m_table[h % m_table.size()]; *pp; pp = &(*pp)->pNext) {
            if ((*pp)->key == key) {
                CAssoc* dead = *pp;
                *pp = dead->pNext;
                delete dead;
                --m_nCount;
                return TRUE;
            }
        }
        return FALSE;
    }
    void RemoveAll() {
        for (CAssoc*& head : m_table) {
            while (head) {
                CAssoc* next = head->pNext;
                delete head;
                head = next;
            }
        }
        m_table.clear();
        m_nCount = 0;
    }
    POSITION GetStartPosition() const { return m_nCount == 0 ? nullptr : BEFORE_START_POSITION; }
    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const {
        const CAssoc* a = rNextPosition == BEFORE_START_POSITION ? FirstFrom(0) : reinterpret_cast<const CAssoc*>(rNextPosition);
        if (!a) {
            rNextPosition = nullptr;
            return;
        }
        rKey = a->key;
        rValue = a->value;
        const CAssoc* next = a->pNext ? a->pNext : FirstFrom(a->nHashValue % m_table.size() + 1);
        rNextPosition = reinterpret_cast<POSITION>(const_cast<CAssoc*>(next));
    }

private:
    const CAssoc* Find(ARG_KEY key) const {
        if (m_table.empty()) return nullptr;
        UINT h = HashKey(key);
        for (const CAssoc* a = m_table[h % m_table.size()]; a; a = a->pNext)
            if (a->key == key) return a;
        return nullptr;
    }
    const CAssoc* FirstFrom(size_t bucket) const {
        for (; bucket < m_table.size(); ++bucket)
            if (m_table[bucket]) return m_table[bucket];
        return nullptr;
    }
    std::vector<CAssoc*> m_table;
    UINT m_nHashTableSize = 17;
    INT_PTR m_nCount = 0;
};
