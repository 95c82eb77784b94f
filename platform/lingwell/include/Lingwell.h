// The language-switching component's interface, as the programs call it:
// "GetLingwell" in Lingwell.dll returns the object. Slots the programs never
// call keep their place in the table.
#pragma once

#include <windows.h>

struct ILingwell {
    virtual HRESULT STDMETHODCALLTYPE Reserved0() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurLangCode(LPCWSTR pwszCode) = 0;
    // pwszPath holds MAX_PATH characters.
    virtual HRESULT STDMETHODCALLTYPE GetCurRCPath(LPWSTR pwszPath) = 0;
    // pwszCode holds MAX_PATH characters.
    virtual HRESULT STDMETHODCALLTYPE GetCurLangCode(LPWSTR pwszCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyLanguage() = 0;
};

// Resource, reference and start-menu XML paths, whether the component is to
// initialise the language itself, and a value that is always 1.
typedef ILingwell*(WINAPI* PFN_GetLingwell)(LPCWSTR pwszResourceXml, LPCWSTR pwszReferenceXml,
                                            LPCWSTR pwszStartMenuXml, BOOL bInitLanguage, DWORD dwReserved);
