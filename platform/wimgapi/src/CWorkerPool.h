// Threads that share the compression and decompression of chunks: a job of
// many independent pieces runs on all of them and the caller, and returns
// when every piece is done. Pieces must not throw.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

#include "CSlimLock.h"

class CWorkerPool {
public:
    // The process's pool, made on first use and never torn down: threads
    // cannot be joined safely while a DLL is being unloaded.
    static CWorkerPool& Instance();

    // Workers including the caller; pieces are told which one runs them
    // (0 .. Workers() - 1), so that each may own its scratch objects.
    unsigned Workers() const { return (unsigned)m_threads.size() + 1; }
    // Runs piece(i, worker) for every i below count. One job at a time:
    // a second caller waits for the first. Fewer than minParallel pieces
    // run on the caller alone: waking the workers costs more than they save.
    // With maxWorkers, workers from maxWorkers on sit the job out.
    void Run(size_t count, const std::function<void(size_t, unsigned)>& piece, size_t minParallel = 2,
             unsigned maxWorkers = 0);
    // Whether the calling thread is running a piece (whose own jobs then
    // run on that thread alone).
    static bool OnWorker();

private:
    explicit CWorkerPool(unsigned threads);
    void Loop(unsigned worker);
    void Work(unsigned worker);

    CSlimLock m_runLock;
    CSlimLock m_lock;
    CSlimLock::Condition m_wake;
    CSlimLock::Condition m_done;
    std::atomic<const std::function<void(size_t, unsigned)>*> m_piece{nullptr};
    std::atomic<size_t> m_count{0};
    std::atomic<size_t> m_next{0};
    std::atomic<unsigned> m_limit{0}; // workers taking part in the job
    size_t m_finished = 0;
    unsigned long long m_generation = 0;
    std::vector<std::thread> m_threads;
};
