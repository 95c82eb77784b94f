// A process-wide object built on first use and destroyed by an exit handler
// registered with the C runtime at that moment.
#pragma once
#include <cstdlib>

template <class T>
class CUIXExitSingleton {
public:
    static T* Get() {
        static T* instance = Create();
        return instance;
    }

private:
    static T*& Slot() {
        static T* p = nullptr;
        return p;
    }
    static void DestroyAtExit() {
        delete Slot();
        Slot() = nullptr;
    }
    static T* Create() {
        Slot() = new T;
        atexit(DestroyAtExit);
        return Slot();
    }
};
