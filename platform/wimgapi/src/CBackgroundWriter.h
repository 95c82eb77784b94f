// Threads of their own that run writes, while the caller decodes or
// compresses what comes next: under Wine a write costs about as much as
// preparing its data, so the two overlap. One thread runs the writes in the
// order they are handed over; with more, a write starts in that order but
// may end before an earlier one. A write keeps its own outcome for the caller
// to read once it has run.
#pragma once

#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "CSlimLock.h"

class CBackgroundWriter {
public:
    using Job = std::function<void()>;

    // At most `depth` writes wait or run at a time, on `threads` threads.
    CBackgroundWriter(size_t depth, unsigned threads);
    // Waits for the writes handed over, then ends the threads.
    ~CBackgroundWriter();
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;

    // Queues a write, waiting while `depth` are pending.
    void Submit(Job job);
    // Waits until every write handed over has run.
    void Wait();

private:
    void Loop();

    const size_t m_depth;
    CSlimLock m_lock;
    CSlimLock::Condition m_changed;
    std::deque<Job> m_jobs;
    size_t m_running = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
