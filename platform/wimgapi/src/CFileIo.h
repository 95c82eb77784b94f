// A file opened for the WIM code: positioned reads and writes, size, and the
// last system error. The only place that talks to the file system API.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <string>

#include "CSlimLock.h"

class CFileIo {
public:
    enum Mode { Read, ReadWrite, Create };

    CFileIo() = default;
    ~CFileIo();
    CFileIo(const CFileIo&) = delete;
    CFileIo& operator=(const CFileIo&) = delete;

    // Error code of the system on failure, 0 on success.
    unsigned long Open(const std::u16string& path, Mode mode, bool shareWrite = false);
    void Close();
    bool IsOpen() const;

    bool ReadAt(uint64_t offset, void* buffer, size_t size);
    bool WriteAt(uint64_t offset, const void* buffer, size_t size);
    bool Truncate(uint64_t size);
    uint64_t Size() const;
    // The size last read by Size(), without asking the system: each query
    // costs a file-attribute read under Wine, once per stream read.
    uint64_t KnownSize() const { return m_knownSize.load(std::memory_order_relaxed); }
    unsigned long LastError() const { return m_lastError; }

private:
#ifdef _WIN32
    bool Seek(uint64_t offset);

    void* m_handle = nullptr;
    CSlimLock m_lock; // the handle's file position is shared
#else
    int m_fd = -1;
#endif
    unsigned long m_lastError = 0;
    mutable std::atomic<uint64_t> m_knownSize{0};
};
