// Reads small files whole, in the order given, on threads of its own and a
// bounded amount ahead of the caller: under Wine opening a file costs more
// than compressing it, so the opening of the next files overlaps the
// compression of those before. Reading ahead has no effect on the files;
// a file the caller skips is only dropped.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "CSlimLock.h"

class CFileReadAhead {
public:
    struct Result {
        std::vector<uint8_t> data;
        DWORD error = 0;
        // Not read: larger than the limit (or grown past it), or with
        // several links, which the caller handles one by one.
        bool alone = false;
    };

    // paths[i] is read unless sizes[i] (the size the scan saw) is above
    // largest. At most aheadBytes and aheadFiles wait for the caller.
    CFileReadAhead(std::vector<std::wstring> paths, const std::vector<uint64_t>& sizes, uint64_t largest,
                   unsigned threads, uint64_t aheadBytes, size_t aheadFiles);
    // Stops reading and ends the threads.
    ~CFileReadAhead();
    CFileReadAhead(const CFileReadAhead&) = delete;
    CFileReadAhead& operator=(const CFileReadAhead&) = delete;

    // The file at index, waiting for it; indexes are taken in increasing
    // order, and those passed over are dropped.
    Result Take(size_t index);

private:
    enum State : char { kWaiting, kReading, kRead, kDropped };
    void Loop();
    static Result ReadWhole(const std::wstring& path, uint64_t largest);

    std::vector<std::wstring> m_paths;
    std::vector<char> m_big; // the scan saw it above the limit
    const uint64_t m_largest;
    const uint64_t m_aheadBytes;
    const size_t m_aheadFiles;
    CSlimLock m_lock;
    CSlimLock::Condition m_changed;
    std::vector<Result> m_results;
    std::vector<State> m_state;
    size_t m_next = 0;  // the next index to read
    size_t m_taken = 0; // every index below is the caller's or dropped
    uint64_t m_bytes = 0; // read and not yet taken
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
