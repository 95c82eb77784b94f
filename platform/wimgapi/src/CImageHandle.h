// The object behind an image handle: an image loaded from, or just captured
// into, the WIM of a WIM handle.
#pragma once

#include "CImageMetadata.h"
#include "CWimObject.h"

class CWimHandle;

class CImageHandle : public CWimObject {
public:
    CImageHandle(CWimHandle* wim, HANDLE hWim, DWORD index) : CWimObject(Kind::Image), m_wim(wim), m_hWim(hWim), m_index(index) {}

    CWimHandle* Wim() const { return m_wim; }
    HANDLE WimHandle() const { return m_hWim; }
    DWORD Index() const { return m_index; }
    CImageMetadata& Metadata() { return m_metadata; }
    bool Loaded() const { return m_loaded; }
    void SetLoaded() { m_loaded = true; }

private:
    CWimHandle* m_wim;
    HANDLE m_hWim;
    DWORD m_index;
    CImageMetadata m_metadata;
    bool m_loaded = false;
};
