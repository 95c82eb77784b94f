// The burning-engine client, a member object of the application. So far it
// only keeps the state that start-up and teardown set: the engine itself is
// not loaded yet.
#pragma once

#include <windows.h>

class CDiscBurner {
public:
    CDiscBurner() = default;
    ~CDiscBurner() { Uninit(); }
    CDiscBurner(const CDiscBurner&) = delete;
    CDiscBurner& operator=(const CDiscBurner&) = delete;

    // E_NOTIMPL until the engine client is built; start-up does not test it.
    HRESULT Init();
    void Uninit() { m_bInitialized = FALSE; }
    BOOL IsInitialized() const { return m_bInitialized; }

private:
    BOOL m_bInitialized = FALSE;
};
