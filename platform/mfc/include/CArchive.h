// Binary serialization stream over a CFile in the library's persistent
// format: little-endian values, counts and strings with their escapes,
// class tags with schema and object references through the archive's maps.
// Errors throw CArchiveException*.
#pragma once
#include "CObject.h"
#include "CString.h"
#include <unordered_map>
#include <vector>

class CFile;

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };
    enum SchemaMapReservation { kNoSchema = 0xFFFFFFFF };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    BOOL IsByteSwapping() const { return FALSE; }
    BOOL IsBufferEmpty() const { return TRUE; }
    CFile* GetFile() const { return m_pFile; }
    void Flush();
    void Close();
    void Abort();

    // Raw bytes; Read answers how many arrived (fewer at the end of the stream).
    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);
    // Reads exactly nCount bytes or throws endOfFile.
    void EnsureRead(void* lpBuf, UINT nCount);
    // Throws endOfFile when a loading archive's file holds fewer than nBytes
    // more bytes, before a caller allocates for a size read from the stream.
    void CheckAvailable(ULONGLONG nBytes) const;

    // Counts: 16 bits below 0xFFFF, then 0xFFFF and 32 bits, then 0xFFFFFFFF and 64 bits.
    void WriteCount(DWORD_PTR dwCount);
    DWORD_PTR ReadCount();
    void WriteCount64(ULONGLONG n);
    ULONGLONG ReadCount64();

    // Objects and classes with their tags and the archive's maps.
    void WriteObject(const CObject* pOb);
    CObject* ReadObject(const CRuntimeClass* pClass);
    void WriteClass(const CRuntimeClass* pClassRef);
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr, UINT* pSchema = nullptr,
                             DWORD* pObTag = nullptr);
    void SerializeClass(const CRuntimeClass* pClassRef);
    // Enters an object in the map of the archive's direction under the next index.
    void MapObject(const CObject* pOb);
    // The schema of the object being loaded, once; (UINT)-1 afterwards.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    // Strings in the archive form (0xFF 0xFFFE marks UTF-16).
    void WriteString(const CString& s);
    void ReadString(CString& s);

    CArchive& operator<<(BYTE by) { Write(&by, sizeof by); return *this; }
    CArchive& operator<<(WORD w) { Write(&w, sizeof w); return *this; }
    CArchive& operator<<(LONG l) { Write(&l, sizeof l); return *this; }
    CArchive& operator<<(DWORD dw) { Write(&dw, sizeof dw); return *this; }
    CArchive& operator<<(float f) { Write(&f, sizeof f); return *this; }
    CArchive& operator<<(double d) { Write(&d, sizeof d); return *this; }
    CArchive& operator<<(LONGLONG n) { Write(&n, sizeof n); return *this; }
    CArchive& operator<<(ULONGLONG n) { Write(&n, sizeof n); return *this; }
    CArchive& operator<<(int i) { return *this << (LONG)i; }
    CArchive& operator<<(short s) { return *this << (WORD)s; }
    CArchive& operator<<(char c) { return *this << (BYTE)c; }
    CArchive& operator<<(wchar_t c) { return *this << (WORD)c; }
    CArchive& operator<<(unsigned u) { return *this << (LONG)u; }
    CArchive& operator<<(bool b) { return *this << (BYTE)(b ? 1 : 0); }

    CArchive& operator>>(BYTE& by) { EnsureRead(&by, sizeof by); return *this; }
    CArchive& operator>>(WORD& w) { EnsureRead(&w, sizeof w); return *this; }
    CArchive& operator>>(LONG& l) { EnsureRead(&l, sizeof l); return *this; }
    CArchive& operator>>(DWORD& dw) { EnsureRead(&dw, sizeof dw); return *this; }
    CArchive& operator>>(float& f) { EnsureRead(&f, sizeof f); return *this; }
    CArchive& operator>>(double& d) { EnsureRead(&d, sizeof d); return *this; }
    CArchive& operator>>(LONGLONG& n) { EnsureRead(&n, sizeof n); return *this; }
    CArchive& operator>>(ULONGLONG& n) { EnsureRead(&n, sizeof n); return *this; }
    CArchive& operator>>(int& i) { LONG l; *this >> l; i = (int)l; return *this; }
    CArchive& operator>>(short& s) { WORD w; *this >> w; s = (short)w; return *this; }
    CArchive& operator>>(char& c) { BYTE b; *this >> b; c = (char)b; return *this; }
    CArchive& operator>>(wchar_t& c) { WORD w; *this >> w; c = (wchar_t)w; return *this; }
    CArchive& operator>>(unsigned& u) { LONG l; *this >> l; u = (unsigned)l; return *this; }
    CArchive& operator>>(bool& b) { BYTE by; *this >> by; b = by != 0; return *this; }

    CArchive& operator<<(const CObject* pOb) { WriteObject(pOb); return *this; }
    CArchive& operator>>(CObject*& pOb) { pOb = ReadObject(nullptr); return *this; }
    CArchive& operator>>(const CObject*& pOb) { pOb = ReadObject(nullptr); return *this; }

    CString m_strFileName;
    // The object whose Serialize wrote or read the data (for callers that need a context).
    void* m_pDocument = nullptr;

private:
    struct LoadEntry {
        void* p;
        bool isClass;
        UINT schema;
    };
    void CheckMapRoom() const;
    void WriteTag(DWORD index, bool isClass);
    void WriteClassRecord(const CRuntimeClass* pClassRef);
    CRuntimeClass* ReadClassRecord(UINT* pSchema);

    CFile* m_pFile;
    UINT m_nMode;
    DWORD m_nMapCount = 1; // index 0 is the null object
    std::unordered_map<const void*, DWORD> m_storeMap;
    std::vector<LoadEntry> m_loadArray;
    UINT m_nObjectSchema = (UINT)-1;
};

CArchive& AFXAPI operator<<(CArchive& ar, const CString& s);
CArchive& AFXAPI operator>>(CArchive& ar, CString& s);
