#include "CFileIo.h"

#ifdef _WIN32
#include <windows.h>

namespace {
// Bytes per system call: a DWORD count, kept well inside it.
const DWORD kMaxTransfer = 0x40000000;
}

CFileIo::~CFileIo() { Close(); }

unsigned long CFileIo::Open(const std::u16string& path, Mode mode, bool shareWrite)
{
    Close();
    DWORD access = mode == Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ | (shareWrite || mode == Read ? FILE_SHARE_WRITE : 0);
    DWORD disposition = mode == Create ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_lastError = GetLastError();
        return m_lastError ? m_lastError : ERROR_OPEN_FAILED;
    }
    m_handle = h;
    return 0;
}

void CFileIo::Close()
{
    if (m_handle) CloseHandle(m_handle);
    m_handle = nullptr;
    m_knownSize.store(0, std::memory_order_relaxed);
}

bool CFileIo::IsOpen() const { return m_handle != nullptr; }

// Seek and transfer under the lock rather than an OVERLAPPED offset: Wine
// posts a completion to its server for every I/O given an OVERLAPPED, a round
// trip per read that the imaging threads would wait on together.
bool CFileIo::Seek(uint64_t offset)
{
    LARGE_INTEGER li;
    li.QuadPart = (LONGLONG)offset;
    if (SetFilePointerEx(m_handle, li, nullptr, FILE_BEGIN)) return true;
    m_lastError = GetLastError();
    return false;
}

bool CFileIo::ReadAt(uint64_t offset, void* buffer, size_t size)
{
    CSlimLock::Guard guard(m_lock);
    if (!Seek(offset)) return false;
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size) {
        DWORD want = size > kMaxTransfer ? kMaxTransfer : (DWORD)size, got = 0;
        if (!ReadFile(m_handle, p, want, &got, nullptr)) {
            m_lastError = GetLastError();
            return false;
        }
        if (got == 0) {
            m_lastError = ERROR_HANDLE_EOF;
            return false;
        }
        p += got; size -= got;
    }
    return true;
}

bool CFileIo::WriteAt(uint64_t offset, const void* buffer, size_t size)
{
    CSlimLock::Guard guard(m_lock);
    if (!Seek(offset)) return false;
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (size) {
        DWORD want = size > kMaxTransfer ? kMaxTransfer : (DWORD)size, done = 0;
        if (!WriteFile(m_handle, p, want, &done, nullptr) || done == 0) {
            m_lastError = GetLastError();
            if (!m_lastError) m_lastError = ERROR_WRITE_FAULT;
            return false;
        }
        p += done; size -= done;
    }
    return true;
}

bool CFileIo::Truncate(uint64_t size)
{
    CSlimLock::Guard guard(m_lock);
    if (!Seek(size)) return false;
    if (SetEndOfFile(m_handle)) return true;
    m_lastError = GetLastError();
    return false;
}

uint64_t CFileIo::Size() const
{
    LARGE_INTEGER li;
    uint64_t size = GetFileSizeEx(m_handle, &li) ? (uint64_t)li.QuadPart : 0;
    m_knownSize.store(size, std::memory_order_relaxed);
    return size;
}

#else
// A POSIX build of the format code, for tools that run beside the tests.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFileIo::~CFileIo() { Close(); }

unsigned long CFileIo::Open(const std::u16string& path, Mode mode, bool)
{
    Close();
    std::string narrow;
    for (char16_t c : path)
        narrow += (char)c;
    int flags = mode == Read ? O_RDONLY : mode == ReadWrite ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
    m_fd = ::open(narrow.c_str(), flags, 0644);
    if (m_fd < 0) return m_lastError = (unsigned long)errno;
    return 0;
}

void CFileIo::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_knownSize.store(0, std::memory_order_relaxed);
}

bool CFileIo::IsOpen() const { return m_fd >= 0; }

bool CFileIo::ReadAt(uint64_t offset, void* buffer, size_t size)
{
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size) {
        ssize_t got = ::pread(m_fd, p, size, (off_t)offset);
        if (got <= 0) { m_lastError = 38; return false; }
        p += got; offset += (uint64_t)got; size -= (size_t)got;
    }
    return true;
}

bool CFileIo::WriteAt(uint64_t offset, const void* buffer, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (size) {
        ssize_t done = ::pwrite(m_fd, p, size, (off_t)offset);
        if (done <= 0) { m_lastError = 29; return false; }
        p += done; offset += (uint64_t)done; size -= (size_t)done;
    }
    return true;
}

bool CFileIo::Truncate(uint64_t size) { return ::ftruncate(m_fd, (off_t)size) == 0; }

uint64_t CFileIo::Size() const
{
    struct stat st;
    uint64_t size = fstat(m_fd, &st) == 0 ? (uint64_t)st.st_size : 0;
    m_knownSize.store(size, std::memory_order_relaxed);
    return size;
}
#endif
