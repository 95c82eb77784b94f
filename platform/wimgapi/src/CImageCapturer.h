// Captures a folder tree as a new image: a scan builds the tree, then every
// file's data goes to the writer (stored once per SHA-1). Reports progress
// and each file through the message callbacks.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CFileReadAhead.h"
#include "CImageMetadata.h"
#include "CLongPath.h"
#include "CWimXml.h"

class CWimWriter;

class CImageCapturer {
public:
    CImageCapturer(CWimWriter& writer, HANDLE hMessages);
    // 0 or the error; on success the metadata is written and info filled.
    DWORD Capture(const std::wstring& source, WimImageInfo* info);

private:
    // Builds the tree; every file's size and path go to sizes and m_paths,
    // in the order StoreData meets them.
    DWORD Scan(WimDentry* dir, std::vector<uint64_t>* sizes, bool isRoot);
    DWORD StoreData(WimDentry* dir, std::vector<uint64_t>::const_iterator* size);
    DWORD StoreFile(WimDentry* file, uint64_t size);
    DWORD StoreEntry(WimDentry* file, std::vector<uint64_t>::const_iterator* size, const std::wstring& display,
                     bool* keep);
    DWORD Finish(DWORD err, const std::wstring& display, bool* keep);
    struct BatchFile {
        WimDentry* file;
        uint64_t scanned;
        std::wstring path;
        std::wstring display;
        bool alone; // left for StoreFile: several links, or grown
        std::vector<uint8_t> data;
        DWORD error;
        size_t index; // in the batch
        size_t order; // among the files of the scan
    };
    BatchFile NextJob(WimDentry* file, std::vector<uint64_t>::const_iterator* size, const std::wstring& display,
                      size_t index);
    void TakeRead(BatchFile& job);
    size_t BatchEnd(const WimDentry& dir, size_t first, std::vector<uint64_t>::const_iterator size) const;
    DWORD StoreBatch(WimDentry* dir, size_t first, size_t end, std::vector<uint64_t>::const_iterator* size,
                     std::vector<bool>* keep);
    DWORD StoreRead(BatchFile& job);
    void Progress();
    DWORD AskProcess(const std::wstring& display, bool* process);
    void SkipFolder(const WimDentry& dir, std::vector<uint64_t>::const_iterator* size);
    static bool Excluded(const std::wstring& name);

    CWimWriter& m_writer;
    HANDLE m_hMessages;
    CLongPath m_path;
    WimImageInfo m_info;
    std::map<std::pair<DWORD, uint64_t>, uint64_t> m_linkIds; // (volume, file index) -> group
    std::map<uint64_t, Sha1Digest> m_linkHashes;
    std::vector<std::wstring> m_paths;
    std::vector<uint64_t>::const_iterator m_firstSize;
    std::unique_ptr<CFileReadAhead> m_readAhead;
    uint64_t m_totalUnits = 0;
    uint64_t m_doneUnits = 0;
    DWORD m_lastPercent = 0;
    DWORD m_startTick = 0;
};
