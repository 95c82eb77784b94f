// A file opened for the WIM code: positioned reads and writes, size, and the
// last system error. The only place that talks to the file system API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
    unsigned long LastError() const { return m_lastError; }

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    unsigned long m_lastError = 0;
};
