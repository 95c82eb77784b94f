// The IUnknown part every object of the library shares: one interface
// besides IUnknown, a thread-safe count, and the library's object count
// that DllCanUnloadNow reads.
#pragma once

#include "BrennelModule.h"

#include <windows.h>
#include <unknwn.h>

#include <atomic>

template <class Derived, class Interface>
class CBrennelUnknown : public Interface {
public:
    explicit CBrennelUnknown(const IID& iid) : m_iid(iid) {}
    CBrennelUnknown(const CBrennelUnknown&) = delete;
    CBrennelUnknown& operator=(const CBrennelUnknown&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid != IID_IUnknown && riid != m_iid) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)++m_lRefs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        long left = --m_lRefs;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return (ULONG)left;
    }

protected:
    ~CBrennelUnknown() = default;

private:
    CBrennelObject m_object;
    std::atomic<long> m_lRefs{1};
    const IID& m_iid;
};
