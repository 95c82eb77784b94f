// A doubly linked list of TYPE; POSITION is an opaque node pointer.
#pragma once
#include "CObject.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CList : public CObject {
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
    ~CList() override { RemoveAll(); }
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    TYPE& GetHead() { return m_pHead->data; }
    const TYPE& GetHead() const { return m_pHead->data; }
    TYPE& GetTail() { return m_pTail->data; }
    const TYPE& GetTail() const { return m_pTail->data; }
    TYPE RemoveHead() { CNode* n = m_pHead; TYPE v = n->data; Unlink(n); return v; }
    TYPE RemoveTail() { CNode* n = m_pTail; TYPE v = n->data; Unlink(n); return v; }
    POSITION AddHead(ARG_TYPE e) { return InsertBefore(Pos(m_pHead), e); }
    POSITION AddTail(ARG_TYPE e) { return InsertAfter(Pos(m_pTail), e); }
    void AddHead(CList* pNewList) { for (POSITION p = pNewList->GetTailPosition(); p;) AddHead(pNewList->GetPrev(p)); }
    void AddTail(CList* pNewList) { for (POSITION p = pNewList->GetHeadPosition(); p;) AddTail(pNewList->GetNext(p)); }
    void RemoveAll() { while (m_pHead) Unlink(m_pHead); }
    POSITION GetHeadPosition() const { return Pos(m_pHead); }
    POSITION GetTailPosition() const { return Pos(m_pTail); }
    TYPE& GetNext(POSITION& rPosition) { CNode* n = Node(rPosition); rPosition = Pos(n->pNext); return n->data; }
    const TYPE& GetNext(POSITION& rPosition) const { CNode* n = Node(rPosition); rPosition = Pos(n->pNext); return n->data; }
    TYPE& GetPrev(POSITION& rPosition) { CNode* n = Node(rPosition); rPosition = Pos(n->pPrev); return n->data; }
    const TYPE& GetPrev(POSITION& rPosition) const { CNode* n = Node(rPosition); rPosition = Pos(n->pPrev); return n->data; }
    TYPE& GetAt(POSITION position) { return Node(position)->data; }
    const TYPE& GetAt(POSITION position) const { return Node(position)->data; }
    void SetAt(POSITION pos, ARG_TYPE e) { Node(pos)->data = e; }
    void RemoveAt(POSITION position) { Unlink(Node(position)); }
    POSITION InsertBefore(POSITION position, ARG_TYPE e) {
        CNode* at = Node(position);
        CNode* n = new CNode{at, at ? at->pPrev : m_pTail, e};
        if (!at) return Append(n);
        (at->pPrev ? at->pPrev->pNext : m_pHead) = n;
        at->pPrev = n;
        ++m_nCount;
        return Pos(n);
    }
    POSITION InsertAfter(POSITION position, ARG_TYPE e) {
        CNode* at = Node(position);
        if (!at) {
            CNode* n = new CNode{m_pHead, nullptr, e};
            (m_pHead ? m_pHead->pPrev : m_pTail) = n;
            m_pHead = n;
            ++m_nCount;
            return Pos(n);
        }
        CNode* n = new CNode{at->pNext, at, e};
        (at->pNext ? at->pNext->pPrev : m_pTail) = n;
        at->pNext = n;
        ++m_nCount;
        return Pos(n);
    }
    POSITION Find(ARG_TYPE searchValue, POSITION startAfter = nullptr) const {
        CNode* n = startAfter ? Node(startAfter)->pNext : m_pHead;
        for (; n; n = n->pNext)
            if (n->data == searchValue) return Pos(n);
        return nullptr;
    }
    POSITION FindIndex(INT_PTR nIndex) const {
        if (nIndex < 0 || nIndex >= m_nCount) return nullptr;
        CNode* n = m_pHead;
        while (nIndex--) n = n->pNext;
        return Pos(n);
    }

private:
    static POSITION Pos(CNode* n) { return reinterpret_cast<POSITION>(n); }
    static CNode* Node(POSITION p) { return reinterpret_cast<CNode*>(p); }
    POSITION Append(CNode* n) {
        n->pNext = nullptr;
        n->pPrev = m_pTail;
        (m_pTail ? m_pTail->pNext : m_pHead) = n;
        m_pTail = n;
        ++m_nCount;
        return Pos(n);
    }
    void Unlink(CNode* n) {
        (n->pPrev ? n->pPrev->pNext : m_pHead) = n->pNext;
        (n->pNext ? n->pNext->pPrev : m_pTail) = n->pPrev;
        delete n;
        --m_nCount;
    }
    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    INT_PTR m_nCount = 0;
};
