// The object's own reference counting, kept apart from IUnknown so that an
// aggregating outer object can take over the public one.
#pragma once

#include <windows.h>
#include <unknwn.h>

class INonDelegatingUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};
