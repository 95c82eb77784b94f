// A VARIANT that owns its value and clears it when it goes.
#pragma once
#include "AfxDefs.h"
#include "CString.h"
#include <oleauto.h>

class CArchive;

class COleVariant : public tagVARIANT {
public:
    COleVariant() { VariantInit(this); }
    COleVariant(const VARIANT& varSrc);
    COleVariant(const COleVariant& varSrc) : COleVariant((const VARIANT&)varSrc) {}
    COleVariant(LPCTSTR lpszSrc);
    COleVariant(long lSrc, VARTYPE vtSrc = VT_I4);
    COleVariant(short nSrc, VARTYPE vtSrc = VT_I2);
    COleVariant(BYTE nSrc);
    COleVariant(double dblSrc);
    ~COleVariant() { VariantClear(this); }
    COleVariant& operator=(const COleVariant& varSrc);
    bool operator==(const VARIANT& varSrc) const;
    void Clear() { VariantClear(this); }
};

// Archive form: the type word, then the value (strings as a byte count and UTF-16).
// Types without an archive form throw COleException.
CArchive& AFXAPI operator<<(CArchive& ar, const COleVariant& varSrc);
CArchive& AFXAPI operator>>(CArchive& ar, COleVariant& varSrc);
