#include "CThreadSlotData.h"
#include "CThreadLocal.h"
#include "CProcessLocal.h"
#include "CMemoryException.h"
#include <map>
#include <vector>

void* PASCAL CNoTrackObject::operator new(size_t nSize) {
    void* p = ::LocalAlloc(LPTR, nSize);
    if (!p) AfxThrowMemoryException();
    return p;
}

void PASCAL CNoTrackObject::operator delete(void* p) {
    if (p) ::LocalFree(p);
}

namespace {
// Lives for the whole process: thread ends after static destruction still reach it.
struct SlotRegistry {
    CRITICAL_SECTION lock;
    std::vector<bool> used{true}; // slot 0 is never handed out
    std::map<DWORD, std::vector<CNoTrackObject*>> threads;
    SlotRegistry() { InitializeCriticalSection(&lock); }
};

SlotRegistry& Registry() {
    static SlotRegistry* r = new SlotRegistry;
    return *r;
}

class RegistryLock {
public:
    RegistryLock() : m_r(Registry()) { EnterCriticalSection(&m_r.lock); }
    ~RegistryLock() { LeaveCriticalSection(&m_r.lock); }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    SlotRegistry& r() { return m_r; }

private:
    SlotRegistry& m_r;
};

// Destroys in reverse slot order, outside the lock (destructors may use other slots).
void DestroyReversed(std::vector<CNoTrackObject*>& values) {
    for (auto it = values.rbegin(); it != values.rend(); ++it) delete *it;
}

// At process exit other threads are gone and one may have died holding the
// lock: the exiting thread's objects are then left to the system.
bool g_processExiting = false;

void NTAPI ThreadEndCallback(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_DETACH) g_processExiting = true;
    if (reason == DLL_THREAD_DETACH || reason == DLL_PROCESS_DETACH) CThreadSlotData::DeleteThreadValues();
}
} // namespace

// The loader calls this for every thread that ends, CreateThread ones included.
extern "C" {
__attribute__((section(".CRT$XLD"), used)) const PIMAGE_TLS_CALLBACK afx_thread_end_callback = ThreadEndCallback;
}

int PASCAL CThreadSlotData::AllocSlot() {
    RegistryLock g;
    std::vector<bool>& used = g.r().used;
    for (size_t i = 1; i < used.size(); ++i)
        if (!used[i]) {
            used[i] = true;
            return (int)i;
        }
    used.push_back(true);
    return (int)used.size() - 1;
}

void PASCAL CThreadSlotData::FreeSlot(int nSlot) {
    std::vector<CNoTrackObject*> doomed;
    {
        RegistryLock g;
        if (nSlot <= 0 || (size_t)nSlot >= g.r().used.size()) return;
        for (auto& t : g.r().threads)
            if ((size_t)nSlot < t.second.size() && t.second[(size_t)nSlot]) {
                doomed.push_back(t.second[(size_t)nSlot]);
                t.second[(size_t)nSlot] = nullptr;
            }
        g.r().used[(size_t)nSlot] = false;
    }
    for (CNoTrackObject* p : doomed) delete p;
}

CNoTrackObject* PASCAL CThreadSlotData::GetThreadValue(int nSlot) {
    RegistryLock g;
    auto it = g.r().threads.find(GetCurrentThreadId());
    if (it == g.r().threads.end() || nSlot <= 0 || (size_t)nSlot >= it->second.size()) return nullptr;
    return it->second[(size_t)nSlot];
}

void PASCAL CThreadSlotData::SetValue(int nSlot, CNoTrackObject* pValue) {
    if (nSlot <= 0) return;
    CNoTrackObject* old = nullptr;
    {
        RegistryLock g;
        std::vector<CNoTrackObject*>& values = g.r().threads[GetCurrentThreadId()];
        if ((size_t)nSlot >= values.size()) values.resize((size_t)nSlot + 1, nullptr);
        old = values[(size_t)nSlot];
        values[(size_t)nSlot] = pValue;
    }
    if (old != pValue) delete old;
}

void PASCAL CThreadSlotData::DeleteThreadValues() {
    std::vector<CNoTrackObject*> values;
    SlotRegistry& r = Registry();
    if (g_processExiting) {
        if (!TryEnterCriticalSection(&r.lock)) return;
    } else {
        EnterCriticalSection(&r.lock);
    }
    auto it = r.threads.find(GetCurrentThreadId());
    if (it != r.threads.end()) {
        values.swap(it->second);
        r.threads.erase(it);
    }
    LeaveCriticalSection(&r.lock);
    DestroyReversed(values);
}

CNoTrackObject* CThreadLocalObject::GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)()) {
    if (m_nSlot == 0) {
        int slot = CThreadSlotData::AllocSlot();
        if (InterlockedCompareExchange((LONG*)&m_nSlot, slot, 0) != 0) CThreadSlotData::FreeSlot(slot);
    }
    CNoTrackObject* p = CThreadSlotData::GetThreadValue(m_nSlot);
    if (!p) {
        p = pfnCreateObject();
        CThreadSlotData::SetValue(m_nSlot, p);
    }
    return p;
}

CNoTrackObject* CThreadLocalObject::GetDataNA() {
    return m_nSlot == 0 ? nullptr : CThreadSlotData::GetThreadValue(m_nSlot);
}

CThreadLocalObject::~CThreadLocalObject() {
    if (m_nSlot != 0) CThreadSlotData::FreeSlot(m_nSlot);
    m_nSlot = 0;
}

namespace {
class SectionGuard {
public:
    explicit SectionGuard(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~SectionGuard() { LeaveCriticalSection(&m_cs); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

CRITICAL_SECTION& ProcessLocalLock() {
    static CRITICAL_SECTION* cs = [] {
        auto* c = new CRITICAL_SECTION;
        InitializeCriticalSection(c);
        return c;
    }();
    return *cs;
}
} // namespace

CNoTrackObject* CProcessLocalObject::GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)()) {
    if (m_pObject) return m_pObject;
    SectionGuard guard(ProcessLocalLock());
    if (!m_pObject) m_pObject = pfnCreateObject();
    return m_pObject;
}

CProcessLocalObject::~CProcessLocalObject() {
    delete m_pObject;
    m_pObject = nullptr;
}
