#include "CUIXPropExchangeArchive.h"
#include <afxdisp.h>
#include <cstdlib>

IMPLEMENT_DYNAMIC(CUIXPropExchangeArchive, CUIXPropExchange)

namespace {
const UINT kSkipChunk = 4096;

template <class T>
void Exchange(CArchive& ar, void* pv) {
    T& value = *static_cast<T*>(pv);
    if (ar.IsLoading()) ar >> value;
    else ar << value;
}

void ExchangeRaw(CArchive& ar, void* pv, UINT n) {
    if (ar.IsLoading()) ar.EnsureRead(pv, n);
    else ar.Write(pv, n);
}
} // namespace

CUIXPropExchangeArchive::CUIXPropExchangeArchive(CArchive& ar) : m_ar(ar) { m_bLoading = ar.IsLoading(); }

BOOL CUIXPropExchangeArchive::ExchangeProp(LPCTSTR, int vtProp, void* pvProp, const void*) {
    if (!OnBeforeExchange()) return FALSE;
    switch (vtProp) {
    case uixPropShort: Exchange<WORD>(m_ar, pvProp); break;
    case uixPropLong: Exchange<LONG>(m_ar, pvProp); break;
    case uixPropFloat: Exchange<float>(m_ar, pvProp); break;
    case uixPropDouble: Exchange<double>(m_ar, pvProp); break;
    case uixPropInt64: ExchangeRaw(m_ar, pvProp, sizeof(ULONGLONG)); break;
    case uixPropDate: Exchange<COleDateTime>(m_ar, pvProp); break;
    case uixPropBool: Exchange<LONG>(m_ar, pvProp); break;
    case uixPropVariant: Exchange<COleVariant>(m_ar, pvProp); break;
    case uixPropByte: Exchange<BYTE>(m_ar, pvProp); break;
    case uixPropString: Exchange<CString>(m_ar, pvProp); break;
    case uixPropRect: ExchangeRaw(m_ar, pvProp, sizeof(RECT)); break;
    case uixPropSize: ExchangeRaw(m_ar, pvProp, sizeof(SIZE)); break;
    default: break;
    }
    return TRUE;
}

BOOL CUIXPropExchangeArchive::SkipBytes(ULONGLONG n) {
    BYTE chunk[kSkipChunk];
    while (n > 0) {
        UINT part = n < kSkipChunk ? (UINT)n : kSkipChunk;
        if (m_ar.Read(chunk, part) != part) return FALSE;
        n -= part;
    }
    return TRUE;
}

BOOL CUIXPropExchangeArchive::ExchangeBlob(LPCTSTR, BYTE** ppData, DWORD* pnBytes) {
    if (!OnBeforeExchange()) return FALSE;
    if (IsStoring()) {
        m_ar.WriteCount64(*pnBytes);
        m_ar.Write(*ppData, *pnBytes);
        return TRUE;
    }
    ULONGLONG n = m_ar.ReadCount64();
    m_ar.CheckAvailable(n);
    if (n > 0xFFFFFFFFULL) return FALSE;
    if (*ppData == nullptr) {
        *ppData = static_cast<BYTE*>(malloc(n ? (size_t)n : 1));
        if (!*ppData) AfxThrowMemoryException();
        *pnBytes = (DWORD)n;
    } else if (*pnBytes < n) {
        // Left in the stream the bytes would be read as the values that follow.
        SkipBytes(n);
        return FALSE;
    }
    return m_ar.Read(*ppData, (UINT)n) == n;
}

BOOL CUIXPropExchangeArchive::ExchangeRuntimeClass(LPCTSTR, CRuntimeClass*& pClass, CRuntimeClass* pRequested) {
    if (!OnBeforeExchange()) return FALSE;
    if (IsStoring()) {
        m_ar.WriteClass(pClass);
        return TRUE;
    }
    UINT schema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pLoaded = m_ar.ReadClass(nullptr, &schema, &obTag);
    if (!pLoaded || (pRequested && !pLoaded->IsDerivedFrom(pRequested))) return FALSE;
    pClass = pLoaded;
    m_nSchema = schema;
    return TRUE;
}

BOOL CUIXPropExchangeArchive::ExchangeObjectInstance(CObject*& pObject, CRuntimeClass* pRequested) {
    if (IsStoring()) {
        CRuntimeClass* pClass = pObject->GetRuntimeClass();
        if (!ExchangeRuntimeClass(L"Class", pClass, pRequested)) return FALSE;
        m_ar.MapObject(pObject);
        return TRUE;
    }
    CRuntimeClass* pClass = nullptr;
    if (!ExchangeRuntimeClass(L"Class", pClass, pRequested)) return FALSE;
    CObject* pCreated = pClass->CreateObject();
    if (!pCreated) return FALSE;
    if (pRequested && !pCreated->IsKindOf(pRequested)) {
        delete pCreated;
        return FALSE;
    }
    pObject = pCreated;
    m_ar.MapObject(pObject);
    return TRUE;
}

CUIXPropExchange* CUIXPropExchangeArchive::GetSection(LPCTSTR) {
    auto* pSection = new CUIXPropExchangeArchive(m_ar);
    pSection->CopyStateFrom(*this);
    return pSection;
}

void CUIXPropExchangeArchive::ExchangeSchema() {
    if (IsStoring()) {
        m_ar << kSchemaMarker << (DWORD)m_nSchema;
        return;
    }
    DWORD marker = 0;
    UINT got = m_ar.Read(&marker, sizeof marker);
    if (got == sizeof marker && marker == kSchemaMarker) {
        DWORD schema;
        m_ar >> schema;
        m_nSchema = schema;
        return;
    }
    // Older streams have no marker: the bytes belong to the first value.
    if (got) m_ar.GetFile()->Seek(-(LONGLONG)got, CFile::current);
    m_nSchema = kUnmarkedSchema;
}
