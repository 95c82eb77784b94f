#include "CWorkerPool.h"

namespace {
// Beyond this, Wine's file calls and the memory bus gain nothing.
const unsigned kMaxWorkers = 8;
// Cores left to Wine's server and to the threads that open, read and write
// the files: their calls wait on it, and both wait behind a busy pool.
const unsigned kCoresForFiles = 2;
const unsigned kMinWorkers = 2;
thread_local bool t_onWorker = false;
}

bool CWorkerPool::OnWorker() { return t_onWorker; }

CWorkerPool& CWorkerPool::Instance()
{
    static CWorkerPool* pool = [] {
        unsigned n = std::thread::hardware_concurrency();
        n = n > kCoresForFiles + kMinWorkers ? n - kCoresForFiles : kMinWorkers;
        if (n > kMaxWorkers) n = kMaxWorkers;
        return new CWorkerPool(n - 1); // the caller is the first worker
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
    if (worker >= m_limit) return;
    size_t done = 0;
    for (size_t i; (i = m_next++) < m_count;) {
        (*m_piece)(i, worker);
        ++done;
    }
    if (!done) return;
    CSlimLock::Guard guard(m_lock);
    m_finished += done;
    if (m_finished == m_count) m_done.NotifyAll();
}

void CWorkerPool::Loop(unsigned worker)
{
    t_onWorker = true;
    unsigned long long seen = 0;
    for (;;) {
        {
            CSlimLock::Guard guard(m_lock);
            guard.Wait(m_wake, [&] { return m_generation != seen; });
            seen = m_generation;
        }
        Work(worker);
    }
}

void CWorkerPool::Run(size_t count, const std::function<void(size_t, unsigned)>& piece, size_t minParallel,
                      unsigned maxWorkers)
{
    if (count == 0) return;
    if (m_threads.empty() || count < 2 || count < minParallel || maxWorkers == 1 || t_onWorker) {
        for (size_t i = 0; i < count; ++i)
            piece(i, 0);
        return;
    }
    CSlimLock::Guard run(m_runLock);
    {
        CSlimLock::Guard guard(m_lock);
        m_piece = &piece;
        m_count = count;
        m_finished = 0;
        m_next = 0;
        m_limit = maxWorkers ? maxWorkers : Workers();
        ++m_generation;
    }
    m_wake.NotifyAll();
    t_onWorker = true; // a piece that starts a job of its own runs it alone
    Work(0);
    t_onWorker = false;
    CSlimLock::Guard guard(m_lock);
    guard.Wait(m_done, [&] { return m_finished == m_count; });
}
