// Maps from system handles to the objects that wrap them. The permanent map
// is shared by all threads under a lock, so a window object is found from
// any thread; temporary wrappers belong to the thread that made them and
// live until it is idle.
#pragma once
#include "AfxDefs.h"
#include <mutex>
#include <unordered_map>

template <class TObj>
class CHandleTable {
public:
    static TObj* Permanent(void* h) {
        if (!h) return nullptr;
        Store& s = Shared();
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.map.find(h);
        return it == s.map.end() ? nullptr : it->second;
    }
    // False when the handle already belongs to another object.
    static bool AddPermanent(void* h, TObj* p) {
        Store& s = Shared();
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.map.find(h);
        if (it != s.map.end()) return it->second == p;
        s.map[h] = p;
        return true;
    }
    static void RemovePermanent(void* h, TObj* p) {
        Store& s = Shared();
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.map.find(h);
        if (it != s.map.end() && it->second == p) s.map.erase(it);
    }
    static TObj* Temporary(void* h) {
        auto* t = Temps(false);
        if (!t) return nullptr;
        auto it = t->find(h);
        return it == t->end() ? nullptr : it->second;
    }
    static void AddTemporary(void* h, TObj* p) { (*Temps(true))[h] = p; }
    static bool IsTemporary(const TObj* p) {
        auto* t = Temps(false);
        if (!t) return false;
        for (auto& kv : *t)
            if (kv.second == p) return true;
        return false;
    }
    // Deletes this thread's wrappers; release() gives each its handle back first.
    template <class F>
    static void DeleteTemporaries(F release) {
        auto* t = Temps(false);
        if (!t) return;
        std::unordered_map<void*, TObj*> old;
        old.swap(*t);
        for (auto& kv : old) {
            release(kv.second);
            delete kv.second;
        }
    }

private:
    struct Store {
        std::mutex lock;
        std::unordered_map<void*, TObj*> map;
    };
    // Never destroyed: objects may leave the map while globals are destroyed.
    static Store& Shared() {
        static Store* s = new Store;
        return *s;
    }
    static std::unordered_map<void*, TObj*>* Temps(bool create) {
        static thread_local std::unordered_map<void*, TObj*>* t = nullptr;
        if (!t && create) t = new std::unordered_map<void*, TObj*>;
        return t;
    }
};
