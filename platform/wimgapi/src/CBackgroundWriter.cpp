#include "CBackgroundWriter.h"

CBackgroundWriter::CBackgroundWriter(size_t depth, unsigned threads) : m_depth(depth ? depth : 1)
{
    for (unsigned i = 0; i < (threads ? threads : 1); ++i)
        m_threads.emplace_back([this] { Loop(); });
}

CBackgroundWriter::~CBackgroundWriter()
{
    {
        CSlimLock::Guard guard(m_lock);
        m_stop = true;
    }
    m_changed.NotifyAll();
    for (std::thread& t : m_threads)
        t.join();
}

void CBackgroundWriter::Loop()
{
    for (;;) {
        Job job;
        {
            CSlimLock::Guard guard(m_lock);
            guard.Wait(m_changed, [&] { return !m_jobs.empty() || m_stop; });
            if (m_jobs.empty()) return; // stopping, nothing left
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            ++m_running;
        }
        job();
        {
            CSlimLock::Guard guard(m_lock);
            --m_running;
        }
        m_changed.NotifyAll();
    }
}

void CBackgroundWriter::Submit(Job job)
{
    {
        CSlimLock::Guard guard(m_lock);
        guard.Wait(m_changed, [&] { return m_jobs.size() + m_running < m_depth; });
        m_jobs.push_back(std::move(job));
    }
    m_changed.NotifyAll();
}

void CBackgroundWriter::Wait()
{
    CSlimLock::Guard guard(m_lock);
    guard.Wait(m_changed, [&] { return m_jobs.empty() && m_running == 0; });
}
