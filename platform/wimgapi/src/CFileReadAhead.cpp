#include "CFileReadAhead.h"

#include "CScopedHandle.h"

CFileReadAhead::CFileReadAhead(std::vector<std::wstring> paths, const std::vector<uint64_t>& sizes, uint64_t largest,
                               unsigned threads, uint64_t aheadBytes, size_t aheadFiles)
    : m_paths(std::move(paths)), m_big(m_paths.size(), 0), m_largest(largest), m_aheadBytes(aheadBytes),
      m_aheadFiles(aheadFiles ? aheadFiles : 1), m_results(m_paths.size()), m_state(m_paths.size(), kWaiting)
{
    for (size_t i = 0; i < m_paths.size() && i < sizes.size(); ++i)
        m_big[i] = sizes[i] > largest;
    for (unsigned t = 0; t < threads; ++t)
        m_threads.emplace_back([this] { Loop(); });
}

CFileReadAhead::~CFileReadAhead()
{
    {
        CSlimLock::Guard guard(m_lock);
        m_stop = true;
    }
    m_changed.NotifyAll();
    for (std::thread& t : m_threads)
        t.join();
}

void CFileReadAhead::Loop()
{
    for (;;) {
        size_t index = 0;
        {
            CSlimLock::Guard guard(m_lock);
            guard.Wait(m_changed, [&] {
                return m_stop || m_next >= m_paths.size() ||
                       (m_next - m_taken < m_aheadFiles && m_bytes < m_aheadBytes);
            });
            if (m_stop || m_next >= m_paths.size()) return;
            index = m_next++;
            m_state[index] = kReading;
        }
        Result result;
        if (m_big[index]) result.alone = true;
        else result = ReadWhole(m_paths[index], m_largest);
        {
            CSlimLock::Guard guard(m_lock);
            if (index < m_taken) {
                m_state[index] = kDropped; // passed over while being read
            } else {
                m_bytes += result.data.size();
                m_results[index] = std::move(result);
                m_state[index] = kRead;
            }
        }
        m_changed.NotifyAll();
    }
}

CFileReadAhead::Result CFileReadAhead::ReadWhole(const std::wstring& path, uint64_t largest)
{
    Result r;
    CScopedHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.Valid()) {
        r.error = GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
        return r;
    }
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(h.Get(), FileStandardInfo, &standard, sizeof(standard)) ||
        standard.NumberOfLinks > 1 || standard.EndOfFile.QuadPart < 0 || (uint64_t)standard.EndOfFile.QuadPart > largest) {
        r.alone = true;
        return r;
    }
    r.data.resize((size_t)standard.EndOfFile.QuadPart);
    DWORD got = 0;
    if (!r.data.empty() &&
        (!ReadFile(h.Get(), r.data.data(), (DWORD)r.data.size(), &got, nullptr) || got != r.data.size())) {
        r.error = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
        r.data.clear();
    }
    return r;
}

CFileReadAhead::Result CFileReadAhead::Take(size_t index)
{
    Result result;
    {
        CSlimLock::Guard guard(m_lock);
        if (index >= m_paths.size() || index < m_taken) {
            result.alone = true; // not ours to give: read it the usual way
            return result;
        }
        // Those passed over are dropped; the ones still being read drop
        // themselves when done.
        for (size_t i = m_taken; i < index && i < m_next; ++i) {
            if (m_state[i] == kRead) {
                m_bytes -= m_results[i].data.size();
                m_results[i] = Result();
            }
            if (m_state[i] != kReading) m_state[i] = kDropped;
        }
        if (m_next < index) m_next = index; // never read: nobody wants them
        m_taken = index;
        guard.Wait(m_changed, [&] { return m_state[index] == kRead || (m_next <= index && m_threads.empty()); });
        if (m_state[index] == kRead) {
            m_bytes -= m_results[index].data.size();
            result = std::move(m_results[index]);
            m_state[index] = kDropped;
        } else {
            result.alone = true;
        }
        m_taken = index + 1;
    }
    m_changed.NotifyAll();
    return result;
}
