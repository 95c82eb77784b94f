#include "CWorkerPool.h"

namespace {
// Beyond this, Wine's file calls and the memory bus gain nothing.
const unsigned kMaxWorkers = 8;
thread_local bool t_onWorker = false;
}

bool CWorkerPool::OnWorker() { return t_onWorker; }

#ifdef _WIN32
// Exclusive hold of a slim lock for a scope.
class CWorkerPool::Lock {
public:
    explicit Lock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Lock() { ReleaseSRWLockExclusive(&m_lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    // Waits on cv (the lock held) until done() holds.
    template <class F> void Wait(CONDITION_VARIABLE& cv, F done)
    {
        while (!done())
            SleepConditionVariableSRW(&cv, &m_lock, INFINITE, 0);
    }

private:
    SRWLOCK& m_lock;
};
#define POOL_NOTIFY_ALL(cv) WakeAllConditionVariable(&(cv))
#else
class CWorkerPool::Lock {
public:
    explicit Lock(std::mutex& lock) : m_guard(lock) {}
    template <class F> void Wait(std::condition_variable& cv, F done) { cv.wait(m_guard, done); }

private:
    std::unique_lock<std::mutex> m_guard;
};
#define POOL_NOTIFY_ALL(cv) (cv).notify_all()
#endif

CWorkerPool& CWorkerPool::Instance()
{
    static CWorkerPool* pool = [] {
        unsigned n = std::thread::hardware_concurrency();
        if (n == 0) n = 1;
        if (n > kMaxWorkers) n = kMaxWorkers;
        return new CWorkerPool(n - 1);
    }();
    return *pool;
}

CWorkerPool::CWorkerPool(unsigned threads)
{
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this, i] { Loop(i + 1); });
    for (std::thread& t : m_threads)
        t.detach();
}

void CWorkerPool::Work(unsigned worker)
{
    size_t done = 0;
    for (size_t i; (i = m_next++) < m_count;) {
        (*m_piece)(i, worker);
        ++done;
    }
    if (!done) return;
    Lock guard(m_lock);
    m_finished += done;
    if (m_finished == m_count) POOL_NOTIFY_ALL(m_done);
}

void CWorkerPool::Loop(unsigned worker)
{
    t_onWorker = true;
    unsigned long long seen = 0;
    for (;;) {
        {
            Lock guard(m_lock);
            guard.Wait(m_wake, [&] { return m_generation != seen; });
            seen = m_generation;
        }
        Work(worker);
    }
}

void CWorkerPool::Run(size_t count, const std::function<void(size_t, unsigned)>& piece, size_t minParallel)
{
    if (count == 0) return;
    if (m_threads.empty() || count < 2 || count < minParallel || t_onWorker) {
        for (size_t i = 0; i < count; ++i)
            piece(i, 0);
        return;
    }
    Lock run(m_runLock);
    {
        Lock guard(m_lock);
        m_piece = &piece;
        m_count = count;
        m_finished = 0;
        m_next = 0;
        ++m_generation;
    }
    POOL_NOTIFY_ALL(m_wake);
    t_onWorker = true; // a piece that starts a job of its own runs it alone
    Work(0);
    t_onWorker = false;
    Lock guard(m_lock);
    guard.Wait(m_done, [&] { return m_finished == m_count; });
}
