// A lock with condition variables for the worker threads. Under Wine the
// slim lock and condition variable wait on futexes in the process, where a
// mutex and event of the C++ library make a round trip to the server for
// every wake: several per job.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#endif

class CSlimLock {
public:
    CSlimLock() = default;
    CSlimLock(const CSlimLock&) = delete;
    CSlimLock& operator=(const CSlimLock&) = delete;

    class Condition {
    public:
        Condition() = default;
        Condition(const Condition&) = delete;
        Condition& operator=(const Condition&) = delete;
#ifdef _WIN32
        void NotifyAll() { WakeAllConditionVariable(&m_cv); }

    private:
        friend class CSlimLock;
        CONDITION_VARIABLE m_cv = CONDITION_VARIABLE_INIT;
#else
        void NotifyAll() { m_cv.notify_all(); }

    private:
        friend class CSlimLock;
        std::condition_variable m_cv;
#endif
    };

    // Exclusive hold of the lock for a scope.
    class Guard {
    public:
#ifdef _WIN32
        explicit Guard(CSlimLock& lock) : m_lock(lock.m_lock) { AcquireSRWLockExclusive(&m_lock); }
        ~Guard() { ReleaseSRWLockExclusive(&m_lock); }
        // Waits on cv (the lock held) until done() holds.
        template <class F> void Wait(Condition& cv, F done)
        {
            while (!done())
                SleepConditionVariableSRW(&cv.m_cv, &m_lock, INFINITE, 0);
        }

    private:
        SRWLOCK& m_lock;
#else
        explicit Guard(CSlimLock& lock) : m_guard(lock.m_lock) {}
        template <class F> void Wait(Condition& cv, F done) { cv.m_cv.wait(m_guard, done); }

    private:
        std::unique_lock<std::mutex> m_guard;
#endif
    public:
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };

private:
#ifdef _WIN32
    SRWLOCK m_lock = SRWLOCK_INIT;
#else
    std::mutex m_lock;
#endif
};
