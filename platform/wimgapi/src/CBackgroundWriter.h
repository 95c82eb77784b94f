// A thread of its own that runs writes in the order they are handed over,
// while the caller decodes or compresses what comes next: under Wine a
// write costs about as much as preparing its data, so the two overlap.
#pragma once

#include <deque>
#include <functional>
#include <thread>

#include "CSlimLock.h"

class CBackgroundWriter {
public:
    // A write: 0, or the system error that stopped it.
    using Job = std::function<unsigned long()>;

    // At most `depth` writes wait or run at a time; a caller that fills a
    // ring of depth + 1 buffers may refill the oldest once Submit returns.
    explicit CBackgroundWriter(size_t depth = 2);
    // Waits for the writes handed over, then ends the thread.
    ~CBackgroundWriter();
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;

    // Queues a write, waiting while `depth` are pending. After a failure the
    // writes that follow are dropped until Wait reports it.
    void Submit(Job job);
    // Waits until every write handed over has run; the first error since
    // the last Wait, or 0.
    unsigned long Wait();

private:
    void Loop();

    const size_t m_depth;
    CSlimLock m_lock;
    CSlimLock::Condition m_changed;
    std::deque<Job> m_jobs;
    size_t m_running = 0;
    unsigned long m_error = 0;
    bool m_stop = false;
    std::thread m_thread;
};
