// Base of the per-thread and per-process objects of the library: allocated
// from the local heap, outside any leak tracking, destroyed through the base.
#pragma once
#include "AfxDefs.h"
#include <cstddef>

class CNoTrackObject {
public:
    void* PASCAL operator new(size_t nSize);
    void PASCAL operator delete(void* p);
    virtual ~CNoTrackObject() = default;
};
