// Reference counting and IUnknown for the imaging objects; the owner is the
// aggregating outer object, or the object itself.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "CBaseObject.h"
#include "INonDelegatingUnknown.h"

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    explicit CUnknown(IUnknown* pOuter);
    virtual ~CUnknown();

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    IUnknown* GetOwner() const { return m_pUnknown; }

protected:
    IUnknown* const m_pUnknown;
    volatile LONG m_lRefCount;

private:
    // Set once the last reference went; a stray release from a destructor
    // must not free the object a second time.
    volatile LONG m_lDestroying;
};
