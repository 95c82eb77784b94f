// Burn log writer.
#include "CLog.h"

#include <cstring>

namespace {

const char kMappingName[] = "File Mapping for Log";
// The block holds one handle value, stored as 32 bits in both bitnesses.
const DWORD kMappingBytes = 4;

} // namespace

CLog::CLog(HANDLE hFile) : m_hFile(hFile)
{
    m_mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingBytes, kMappingName));
    if (!m_mapping.IsValid())
        return; // no block: nothing to publish, nothing to adopt
    void* pView = MapViewOfFile(m_mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kMappingBytes);
    if (!pView)
        return;
    DWORD* pdwValue = static_cast<DWORD*>(pView);
    if (m_hFile)
        *pdwValue = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(m_hFile));
    else
        m_hFile = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(*pdwValue));
    UnmapViewOfFile(pView);
}

CLog::~CLog()
{
    Write(nullptr, FALSE);
}

void CLog::WriteBytes(const std::string& text)
{
    DWORD dwWritten = 0;
    WriteFile(m_hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
}

void CLog::Write(const char* pszText, BOOL bQueue)
{
    if (!m_hFile)
        return;
    if (bQueue) {
        if (pszText)
            m_queue.emplace_back(pszText);
        return;
    }
    while (!m_queue.empty()) {
        WriteBytes(m_queue.front());
        m_queue.pop_front();
    }
    if (pszText)
        WriteBytes(pszText);
}
