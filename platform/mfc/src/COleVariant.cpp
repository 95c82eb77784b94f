#include "COleVariant.h"
#include "CArchive.h"
#include "CArchiveException.h"
#include "COleException.h"
#include "CMemoryException.h"
#include <cstring>

namespace {
// Bytes of the plain value types in the archive form; 0 for types without one.
UINT ValueSize(VARTYPE vt) {
    switch (vt) {
    case VT_UI1: case VT_I1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_R4: case VT_ERROR: case VT_INT: case VT_UINT: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8: return 8;
    default: return 0;
    }
}
// Longest string a stream may carry (characters).
const DWORD kMaxStringBytes = 0x7FFFFFFE;
} // namespace

COleVariant::COleVariant(const VARIANT& varSrc) {
    VariantInit(this);
    if (FAILED(VariantCopy(this, const_cast<VARIANT*>(&varSrc)))) AfxThrowOleException(E_OUTOFMEMORY);
}

COleVariant::COleVariant(LPCTSTR lpszSrc) {
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(lpszSrc ? lpszSrc : L"");
    if (!bstrVal) AfxThrowMemoryException();
}

COleVariant::COleVariant(long lSrc, VARTYPE vtSrc) {
    VariantInit(this);
    vt = (vtSrc == VT_ERROR || vtSrc == VT_BOOL) ? vtSrc : (VARTYPE)VT_I4;
    if (vt == VT_BOOL) boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else lVal = lSrc;
}

COleVariant::COleVariant(short nSrc, VARTYPE vtSrc) {
    VariantInit(this);
    vt = vtSrc == VT_BOOL ? VT_BOOL : VT_I2;
    if (vt == VT_BOOL) boolVal = nSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else iVal = nSrc;
}

COleVariant::COleVariant(BYTE nSrc) {
    VariantInit(this);
    vt = VT_UI1;
    bVal = nSrc;
}

COleVariant::COleVariant(double dblSrc) {
    VariantInit(this);
    vt = VT_R8;
    dblVal = dblSrc;
}

COleVariant& COleVariant::operator=(const COleVariant& varSrc) {
    if (this != &varSrc && FAILED(VariantCopy(this, const_cast<COleVariant*>(&varSrc))))
        AfxThrowOleException(E_OUTOFMEMORY);
    return *this;
}

bool COleVariant::operator==(const VARIANT& varSrc) const {
    if (vt != varSrc.vt) return false;
    if (vt == VT_BSTR) return wcscmp(bstrVal ? bstrVal : L"", varSrc.bstrVal ? varSrc.bstrVal : L"") == 0;
    UINT n = ValueSize(vt);
    return n == 0 ? (vt == VT_EMPTY || vt == VT_NULL) : memcmp(&llVal, &varSrc.llVal, n) == 0;
}

CArchive& AFXAPI operator<<(CArchive& ar, const COleVariant& varSrc) {
    ar << (WORD)varSrc.vt;
    if (varSrc.vt == VT_EMPTY || varSrc.vt == VT_NULL) return ar;
    if (varSrc.vt == VT_BSTR) {
        DWORD nBytes = varSrc.bstrVal ? SysStringByteLen(varSrc.bstrVal) : 0;
        ar << nBytes;
        ar.Write(varSrc.bstrVal, nBytes);
        return ar;
    }
    UINT n = ValueSize(varSrc.vt);
    if (n == 0) AfxThrowOleException(DISP_E_BADVARTYPE);
    ar.Write(&varSrc.llVal, n);
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, COleVariant& varSrc) {
    WORD type;
    ar >> type;
    varSrc.Clear();
    VARTYPE vt = (VARTYPE)type;
    if (vt == VT_EMPTY || vt == VT_NULL) {
        varSrc.vt = vt;
        return ar;
    }
    if (vt == VT_BSTR) {
        DWORD nBytes;
        ar >> nBytes;
        if (nBytes > kMaxStringBytes || (nBytes & 1)) AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
        ar.CheckAvailable(nBytes);
        BSTR s = SysAllocStringByteLen(nullptr, nBytes);
        if (!s) AfxThrowMemoryException();
        try {
            ar.EnsureRead(s, nBytes);
        } catch (...) {
            SysFreeString(s);
            throw;
        }
        varSrc.vt = VT_BSTR;
        varSrc.bstrVal = s;
        return ar;
    }
    UINT n = ValueSize(vt);
    if (n == 0) AfxThrowArchiveException(CArchiveException::badClass, ar.m_strFileName);
    LONGLONG value = 0;
    ar.EnsureRead(&value, n);
    varSrc.vt = vt;
    varSrc.llVal = value;
    return ar;
}
