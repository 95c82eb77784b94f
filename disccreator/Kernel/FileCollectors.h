// Collectors by priority level, lowest (unsigned) level first.
#pragma once

#include <map>
#include <memory>

#include "FileCollector.h"

class FileCollectors : public ICollectors {
public:
    FileCollectors() = default;
    ~FileCollectors() override { Clear(); }
    FileCollectors(const FileCollectors&) = delete;
    FileCollectors& operator=(const FileCollectors&) = delete;

    HRESULT Clear() override;
    HRESULT Add(IEntry* pEntry) override;
    HRESULT Remove(IEntry* pEntry) override;
    void Reset() override { m_cursor = m_levels.begin(); }
    HRESULT Next(ICollector** ppCollector) override;
    HRESULT Find(UINT uLevel, ICollector** ppCollector) override;
    HRESULT SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation) override;

private:
    std::map<UINT, std::unique_ptr<FileCollector>> m_levels;
    std::map<UINT, std::unique_ptr<FileCollector>>::iterator m_cursor = m_levels.begin();
};
