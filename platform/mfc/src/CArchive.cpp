#include "CArchive.h"
#include "CArchiveException.h"
#include "CFile.h"
#include "CMemoryException.h"
#include <cstring>

namespace {
// Tags of the persistent object format.
const WORD kNullTag = 0;
const WORD kNewClassTag = 0xFFFF;
const WORD kClassTag = 0x8000;
const WORD kBigObjectTag = 0x7FFF;
const DWORD kBigClassTag = 0x80000000;
const DWORD kMaxMapCount = 0x3FFFFFFE;
// Longest class name a stream may carry, terminator excluded.
const WORD kMaxClassNameLength = 63;
// String length escapes.
const BYTE kByteEscape = 0xFF;
const WORD kUnicodeMark = 0xFFFE;
const WORD kWordEscape = 0xFFFF;
const DWORD kDwordEscape = 0xFFFFFFFF;
} // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int, void*) : m_pFile(pFile), m_nMode(nMode) {
    if (pFile) m_strFileName = pFile->GetFilePath();
    m_loadArray.push_back({nullptr, false, 0});
}

CArchive::~CArchive() {
    if (m_pFile && !(m_nMode & bNoFlushOnDelete)) Close();
}

void CArchive::Flush() {}

void CArchive::Close() {
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() { m_pFile = nullptr; }

UINT CArchive::Read(void* lpBuf, UINT nMax) {
    if (nMax == 0) return 0;
    if (!IsLoading()) AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
    if (!m_pFile) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    return m_pFile->Read(lpBuf, nMax);
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
    if (nMax == 0) return;
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
    if (!m_pFile) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    m_pFile->Write(lpBuf, nMax);
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount) {
    if (Read(lpBuf, nCount) != nCount) AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
}

void CArchive::CheckAvailable(ULONGLONG nBytes) const {
    if (!IsLoading() || !m_pFile) return;
    ULONGLONG length = m_pFile->GetLength();
    ULONGLONG position = m_pFile->GetPosition();
    if (position > length || length - position < nBytes)
        AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
}

void CArchive::WriteCount(DWORD_PTR dwCount) { WriteCount64((ULONGLONG)dwCount); }

void CArchive::WriteCount64(ULONGLONG n) {
    if (n < kWordEscape) {
        *this << (WORD)n;
        return;
    }
    *this << kWordEscape;
    if (n < kDwordEscape) {
        *this << (DWORD)n;
        return;
    }
    *this << kDwordEscape << n;
}

ULONGLONG CArchive::ReadCount64() {
    WORD w;
    *this >> w;
    if (w != kWordEscape) return w;
    DWORD dw;
    *this >> dw;
    if (dw != kDwordEscape) return dw;
    ULONGLONG n;
    *this >> n;
    return n;
}

DWORD_PTR CArchive::ReadCount() {
    ULONGLONG n = ReadCount64();
    if (n > (ULONGLONG)(DWORD_PTR)-1) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    return (DWORD_PTR)n;
}

void CArchive::CheckMapRoom() const {
    if (m_nMapCount >= kMaxMapCount) AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
}

void CArchive::WriteTag(DWORD index, bool isClass) {
    if (index < kBigObjectTag) {
        *this << (WORD)(isClass ? (kClassTag | index) : index);
        return;
    }
    *this << kBigObjectTag << (DWORD)(isClass ? (kBigClassTag | index) : index);
}

void CArchive::WriteClassRecord(const CRuntimeClass* pClassRef) {
    WORD nLen = (WORD)strlen(pClassRef->m_lpszClassName);
    *this << (WORD)pClassRef->m_wSchema << nLen;
    Write(pClassRef->m_lpszClassName, nLen);
}

CRuntimeClass* CArchive::ReadClassRecord(UINT* pSchema) {
    WORD schema, nLen;
    *this >> schema >> nLen;
    if (nLen > kMaxClassNameLength) return nullptr;
    char name[kMaxClassNameLength + 1] = {};
    if (Read(name, nLen) != nLen) return nullptr;
    name[nLen] = 0;
    *pSchema = schema;
    return CRuntimeClass::FromName(name);
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef) {
    if (!pClassRef || !pClassRef->m_lpszClassName) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
    auto it = m_storeMap.find(pClassRef);
    if (it != m_storeMap.end()) {
        WriteTag(it->second, true);
        return;
    }
    *this << kNewClassTag;
    WriteClassRecord(pClassRef);
    CheckMapRoom();
    m_storeMap[pClassRef] = m_nMapCount++;
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema, DWORD* pObTag) {
    if (!IsLoading()) AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
    WORD wTag;
    *this >> wTag;
    DWORD obTag;
    if (wTag == kBigObjectTag) *this >> obTag;
    else obTag = ((DWORD)(wTag & kClassTag) << 16) | (wTag & ~kClassTag);

    if (!(obTag & kBigClassTag)) {
        if (!pObTag) AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        *pObTag = obTag;
        return nullptr;
    }

    CRuntimeClass* pClassRef = nullptr;
    UINT nSchema = 0;
    if (wTag == kNewClassTag) {
        pClassRef = ReadClassRecord(&nSchema);
        if (!pClassRef) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
        UINT own = pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA;
        if (own != nSchema && !(pClassRef->m_wSchema & VERSIONABLE_SCHEMA))
            AfxThrowArchiveException(CArchiveException::badSchema, m_strFileName);
        CheckMapRoom();
        m_loadArray.push_back({pClassRef, true, nSchema});
        m_nMapCount++;
    } else {
        DWORD nClassIndex = obTag & ~kBigClassTag;
        if (nClassIndex == 0 || nClassIndex >= m_loadArray.size() || !m_loadArray[nClassIndex].isClass)
            AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        pClassRef = static_cast<CRuntimeClass*>(m_loadArray[nClassIndex].p);
        nSchema = m_loadArray[nClassIndex].schema;
    }
    if (pClassRefRequested && !pClassRef->IsDerivedFrom(pClassRefRequested))
        AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    if (pSchema) *pSchema = nSchema;
    else m_nObjectSchema = nSchema;
    return pClassRef;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef) {
    if (IsStoring()) WriteClass(pClassRef);
    else ReadClass(pClassRef, &m_nObjectSchema);
}

void CArchive::WriteObject(const CObject* pOb) {
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
    if (!pOb) {
        *this << kNullTag;
        return;
    }
    auto it = m_storeMap.find(pOb);
    if (it != m_storeMap.end()) {
        WriteTag(it->second, false);
        return;
    }
    CRuntimeClass* pClassRef = pOb->GetRuntimeClass();
    if (!pClassRef || pClassRef->m_wSchema == 0xFFFF) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    WriteClass(pClassRef);
    CheckMapRoom();
    m_storeMap[pOb] = m_nMapCount++;
    const_cast<CObject*>(pOb)->Serialize(*this);
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested) {
    UINT nSchema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &obTag);
    if (!pClassRef) {
        if (obTag >= m_loadArray.size() || m_loadArray[obTag].isClass)
            AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        CObject* pOb = static_cast<CObject*>(m_loadArray[obTag].p);
        if (pOb && pClassRefRequested && !pOb->IsKindOf(pClassRefRequested))
            AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
        return pOb;
    }
    CObject* pOb = pClassRef->CreateObject();
    if (!pOb) AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    CheckMapRoom();
    m_loadArray.push_back({pOb, false, 0});
    m_nMapCount++;
    UINT saved = m_nObjectSchema;
    m_nObjectSchema = nSchema;
    try {
        pOb->Serialize(*this);
    } catch (...) {
        // The map keeps the index; the half-read object goes away.
        m_loadArray.back().p = nullptr;
        delete pOb;
        m_nObjectSchema = saved;
        throw;
    }
    m_nObjectSchema = saved;
    return pOb;
}

void CArchive::MapObject(const CObject* pOb) {
    CheckMapRoom();
    if (IsStoring()) {
        if (pOb && m_storeMap.find(pOb) == m_storeMap.end()) m_storeMap[pOb] = m_nMapCount++;
        return;
    }
    m_loadArray.push_back({const_cast<CObject*>(pOb), false, 0});
    m_nMapCount++;
}

UINT CArchive::GetObjectSchema() {
    UINT n = m_nObjectSchema;
    m_nObjectSchema = (UINT)-1;
    return n;
}

void CArchive::WriteString(const CString& s) {
    ULONGLONG n = (ULONGLONG)s.GetLength();
    *this << kByteEscape << kUnicodeMark;
    if (n < kByteEscape) {
        *this << (BYTE)n;
    } else {
        *this << kByteEscape;
        if (n < kUnicodeMark) {
            *this << (WORD)n;
        } else {
            *this << kWordEscape;
            if (n < kDwordEscape) *this << (DWORD)n;
            else *this << kDwordEscape << n;
        }
    }
    Write(s.GetString(), (UINT)(n * sizeof(wchar_t)));
}

namespace {
// Length of a string and whether its characters are UTF-16; the reader has
// already consumed any 0xFF 0xFFFE mark.
ULONGLONG ReadLengthAfterEscapes(CArchive& ar, bool& unicode) {
    BYTE b;
    ar >> b;
    if (b < kByteEscape) return b;
    WORD w;
    ar >> w;
    if (w == kUnicodeMark) {
        unicode = true;
        ar >> b;
        if (b < kByteEscape) return b;
        ar >> w;
    }
    if (w < kWordEscape) return w;
    DWORD dw;
    ar >> dw;
    if (dw < kDwordEscape) return dw;
    ULONGLONG n;
    ar >> n;
    return n;
}
} // namespace

void CArchive::ReadString(CString& s) {
    bool unicode = false;
    ULONGLONG n = ReadLengthAfterEscapes(*this, unicode);
    ULONGLONG bytes = unicode ? n * sizeof(wchar_t) : n;
    if (n > 0x3FFFFFFF) AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
    CheckAvailable(bytes);
    if (unicode) {
        std::wstring w((size_t)n, L'\0');
        EnsureRead(&w[0], (UINT)bytes);
        s = CString(w.c_str(), (int)n);
        return;
    }
    std::string a((size_t)n, '\0');
    EnsureRead(&a[0], (UINT)bytes);
    s = CString(a.c_str(), (int)n);
}

CArchive& AFXAPI operator<<(CArchive& ar, const CString& s) {
    ar.WriteString(s);
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, CString& s) {
    ar.ReadString(s);
    return ar;
}
