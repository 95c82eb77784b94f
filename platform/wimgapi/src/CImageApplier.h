// Writes one image of a WIM into a folder: folders, files with their data
// (checked against their SHA-1), hard links, attributes and times. Reports
// progress and each file through the message callbacks.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "CBackgroundWriter.h"
#include "CImageMetadata.h"
#include "CLongPath.h"
#include "CResourceReader.h"

class CWimHandle;

class CImageApplier {
public:
    CImageApplier(CWimHandle& wim, HANDLE hMessages, DWORD flags);
    // 0, or the error that stopped the apply (ERROR_REQUEST_ABORTED when a
    // callback answered WIM_MSG_PROCESS, for a file or a folder, with abort). What was written before a failure stays.
    DWORD Apply(const CImageMetadata& image, const std::wstring& target);

private:
    DWORD ApplyDirectory(const WimDentry& dir, bool isRoot);
    DWORD ApplySubdirectory(const WimDentry& dir);
    void ListFiles(const WimDentry& dir);
    void Prefetch(const WimDentry& from);
    struct BatchFile {
        const WimDentry* file;
        std::wstring path;
        std::wstring display;
        std::vector<uint8_t> data; // decoded ahead, moved out of m_ready
        DWORD error;
    };
    struct Batch {
        std::vector<BatchFile> files;
        uint64_t bytes = 0;
        std::atomic<bool> written{false}; // set by the writer's thread
    };
    struct FinishedFolder {
        std::wstring path;
        const WimDentry* dir;
        uint64_t afterBatches; // its times wait until this many are reported
    };
    bool Batchable(const WimDentry& file) const;
    // Hands files first.. of dir up to *end to the batch writer; *end becomes
    // where it stopped.
    DWORD ApplyBatch(const WimDentry& dir, size_t first, size_t* end);
    DWORD ReportWritten(bool all);
    DWORD FinishBatchWriting(const std::wstring& path);
    void SetFolderTimes(const std::wstring& path, const WimDentry& dir);
    static DWORD WriteBatchFile(const BatchFile& job);
    DWORD ApplyFile(const WimDentry& file);
    DWORD WriteData(HANDLE file, const WimDentry& entry);
    // The write's error, or else the source's (ERROR_FILE_CORRUPT when the
    // data is not the stream named).
    struct StreamOutcome {
        DWORD writeError = 0;
        DWORD sourceError = 0;
    };
    // Copies size bytes, read piece by piece, into file, checking them
    // against expected.
    StreamOutcome StreamData(HANDLE file, uint64_t size, const Sha1Digest& expected,
                             const std::function<DWORD(uint8_t*, size_t)>& read);
    bool CopyWritten(HANDLE file, const WimDentry& entry, DWORD* err);
    DWORD Report(DWORD err);
    DWORD Report(DWORD err, const std::wstring& display);
    DWORD AskProcess(const std::wstring& display, bool* process);
    void SendFileInfo(const WimDentry& file, const std::wstring& display);
    void Progress();
    // Progress units of a folder's files: their bytes and one per file.
    uint64_t Units(const WimDentry& dir) const;
    static void SetTimes(HANDLE h, const WimDentry& d);

    CWimHandle& m_wim;
    HANDLE m_hMessages;
    DWORD m_flags;
    CLongPath m_path;
    // Hard-link group -> the first file applied and the data it holds. A later
    // member is linked to it only when it declares the same data.
    std::map<uint64_t, std::pair<std::wstring, Sha1Digest>> m_links;
    std::map<Sha1Digest, std::wstring> m_written; // the first file applied with each stream
    std::map<Sha1Digest, std::vector<uint8_t>> m_ready; // decoded ahead, checked
    std::vector<const WimDentry*> m_files;               // every file, in apply order
    std::unordered_map<const WimDentry*, size_t> m_fileIndex; // its place there
    uint64_t m_totalUnits = 0;
    uint64_t m_doneUnits = 0;
    DWORD m_lastPercent = 0;
    DWORD m_startTick = 0;
    // The batches being written, oldest first, and the folders finished
    // meanwhile, whose times wait for them. The writer goes first on
    // destruction.
    std::deque<std::unique_ptr<Batch>> m_batches;
    std::multiset<std::wstring> m_batchPaths; // their paths, upper case
    uint64_t m_batchBytes = 0;
    uint64_t m_batchesReported = 0;
    std::deque<FinishedFolder> m_finishedFolders;
    std::unique_ptr<CBackgroundWriter> m_batchWriter;
    std::unique_ptr<CResourceReader> m_reader; // of the stream being decoded, kept for its buffers
    // Hash and write the pieces of a stream decoded on the spot.
    std::unique_ptr<CBackgroundWriter> m_hasher;
    std::unique_ptr<CBackgroundWriter> m_pieceWriter;
    std::vector<std::vector<uint8_t>> m_pieces;
};
