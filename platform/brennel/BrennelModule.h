// Objects alive in the library; DllCanUnloadNow allows unloading at zero.
#pragma once

#include <atomic>

extern std::atomic<long> g_lBrennelObjects;

// Counts one live object of the library for as long as it exists.
class CBrennelObject {
public:
    CBrennelObject() { ++g_lBrennelObjects; }
    ~CBrennelObject() { --g_lBrennelObjects; }
    CBrennelObject(const CBrennelObject&) = delete;
    CBrennelObject& operator=(const CBrennelObject&) = delete;
};
