#include "CImageCapturer.h"

#include <algorithm>
#include <cstring>

#include "CMessageSink.h"
#include "CScopedHandle.h"
#include "CWimWriter.h"
#include "wimgapi.h"

namespace {

uint64_t FromFileTime(const FILETIME& ft) { return (uint64_t)ft.dwHighDateTime << 32 | ft.dwLowDateTime; }

std::u16string U16(const wchar_t* s) { return std::u16string(s, s + wcslen(s)); }

const DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                              FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_NORMAL;

// Small files read side by side: up to 1 MiB each, 8 MiB and 256 files a
// batch, from 4 files, on 4 threads (Wine's file calls gain little beyond).
const uint64_t kBatchLargest = 1024 * 1024;
const uint64_t kBatchBytes = 8 * 1024 * 1024;
const size_t kBatchFiles = 256;
const size_t kBatchFrom = 4;
// Reading ahead of the store, on threads of its own (Wine's file calls
// gain little beyond two), up to this much.
const unsigned kReaderThreads = 2;
const uint64_t kReadAheadBytes = 4 * 1024 * 1024;
const size_t kReadAheadFiles = 4096;

} // namespace

CImageCapturer::CImageCapturer(CWimWriter& writer, HANDLE hMessages) : m_writer(writer), m_hMessages(hMessages) {}

bool CImageCapturer::Excluded(const std::wstring& name)
{
    // What the system itself keeps at a volume's root and never captures.
    static const wchar_t* const kNames[] = {L"pagefile.sys", L"hiberfil.sys", L"swapfile.sys",
                                            L"System Volume Information", L"RECYCLER", L"$Recycle.Bin", L"$ntfs.log"};
    for (const wchar_t* n : kNames)
        if (lstrcmpiW(name.c_str(), n) == 0) return true;
    return false;
}

// Progress is only reported: the documented place to abort is the answer
// to WIM_MSG_PROCESS.
void CImageCapturer::Progress()
{
    DWORD percent = m_totalUnits ? (DWORD)((double)m_doneUnits * 100.0 / (double)m_totalUnits) : 100;
    if (percent > 100) percent = 100;
    // Never backwards (a stream read twice counts its bytes again).
    if (percent <= m_lastPercent) return;
    m_lastPercent = percent;
    DWORD elapsed = GetTickCount() - m_startTick;
    LPARAM remaining = percent ? (LPARAM)((uint64_t)elapsed * (100 - percent) / percent) : 0;
    CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROGRESS, percent, remaining);
}

// ERROR_REQUEST_ABORTED, or 0 with *process telling whether to capture it.
DWORD CImageCapturer::AskProcess(const std::wstring& display, bool* process)
{
    BOOL answer = TRUE;
    if (CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROCESS, (WPARAM)display.c_str(), (LPARAM)&answer) ==
        WIM_MSG_ABORT_IMAGE)
        return ERROR_REQUEST_ABORTED;
    *process = answer != FALSE;
    return 0;
}

// A skipped folder: its files' sizes are passed over and counted as done.
void CImageCapturer::SkipFolder(const WimDentry& dir, std::vector<uint64_t>::const_iterator* size)
{
    m_info.dirCount--;
    for (const WimDentry& c : dir.children) {
        if (c.IsDirectory()) {
            SkipFolder(c, size);
            continue;
        }
        m_doneUnits += *(*size)++ + 1;
    }
}

DWORD CImageCapturer::Scan(WimDentry* dir, std::vector<uint64_t>* sizes, bool isRoot)
{
    if (!m_path.Push(u"*")) return ERROR_FILENAME_EXCED_RANGE;
    WIN32_FIND_DATAW fd;
    CScopedHandle find(FindFirstFileExW(m_path.Extended().c_str(), FindExInfoStandard, &fd, FindExSearchNameMatch,
                                        nullptr, 0),
                       true);
    m_path.Pop();
    if (!find.Valid()) {
        DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES ? 0 : err;
    }
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (isRoot && Excluded(name)) continue;
        WimDentry d;
        d.name = U16(fd.cFileName);
        d.attributes = fd.dwFileAttributes & kKeptAttributes;
        if (!d.attributes) d.attributes = FILE_ATTRIBUTE_NORMAL;
        d.creationTime = FromFileTime(fd.ftCreationTime);
        d.lastAccessTime = FromFileTime(fd.ftLastAccessTime);
        d.lastWriteTime = FromFileTime(fd.ftLastWriteTime);
        if (d.IsDirectory()) {
            if (!m_path.Push(d.name)) return ERROR_FILENAME_EXCED_RANGE;
            // Links to folders are kept as empty folders, never followed.
            DWORD err = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 0 : Scan(&d, sizes, false);
            m_path.Pop();
            if (err) return err;
            m_info.dirCount++;
        } else {
            uint64_t size = (uint64_t)fd.nFileSizeHigh << 32 | fd.nFileSizeLow;
            if (!m_path.Push(d.name)) return ERROR_FILENAME_EXCED_RANGE;
            m_paths.push_back(m_path.Extended());
            m_path.Pop();
            sizes->push_back(size);
            m_totalUnits += size + 1;
        }
        dir->children.push_back(std::move(d));
    } while (FindNextFileW(find.Get(), &fd));
    DWORD err = GetLastError();
    return err == ERROR_NO_MORE_FILES ? 0 : err;
}

DWORD CImageCapturer::StoreFile(WimDentry* file, uint64_t scannedSize)
{
    const std::wstring& path = m_path.Extended();
    CScopedHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.Valid()) return GetLastError();
    // The standard information first: the full query also asks the volume,
    // which costs much more, and only files with several links need it.
    FILE_STANDARD_INFO standard;
    BY_HANDLE_FILE_INFORMATION info;
    uint64_t size = scannedSize;
    if (GetFileInformationByHandleEx(h.Get(), FileStandardInfo, &standard, sizeof(standard))) {
        size = (uint64_t)standard.EndOfFile.QuadPart;
        if (standard.NumberOfLinks > 1 && GetFileInformationByHandle(h.Get(), &info)) {
            auto key = std::make_pair(info.dwVolumeSerialNumber,
                                      (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow);
            auto found = m_linkIds.find(key);
            if (found != m_linkIds.end()) {
                file->hardLinkId = found->second;
                file->hash = m_linkHashes[found->second];
                m_info.hardLinkBytes += size;
                m_doneUnits += scannedSize;
                return 0;
            }
            file->hardLinkId = m_linkIds.size() + 1;
            m_linkIds.emplace(key, file->hardLinkId);
        }
    }
    uint64_t before = m_doneUnits;
    CWimWriter::Source source = [&](uint8_t* buffer, size_t want) -> long long {
        DWORD got = 0;
        if (!ReadFile(h.Get(), buffer, (DWORD)want, &got, nullptr)) return -1;
        m_doneUnits += got;
        Progress();
        return (long long)got;
    };
    CWimWriter::Rewind rewind = [&]() {
        LARGE_INTEGER zero = {};
        m_doneUnits = before;
        return SetFilePointerEx(h.Get(), zero, nullptr, FILE_BEGIN) != FALSE;
    };
    DWORD err = m_writer.WriteStream(source, size, &file->hash, rewind);
    if (err) return err;
    m_doneUnits = before + scannedSize;
    if (file->hardLinkId) m_linkHashes[file->hardLinkId] = file->hash;
    m_info.totalBytes += size;
    return 0;
}

// One file: asked about, then stored; an error the callbacks skip drops it.
DWORD CImageCapturer::StoreEntry(WimDentry* file, std::vector<uint64_t>::const_iterator* size,
                                 const std::wstring& display, bool* keep)
{
    BatchFile job = NextJob(file, size, display, 0);
    bool process = true;
    DWORD err = AskProcess(display, &process);
    if (err) return err;
    m_doneUnits += 1;
    if (!process) {
        *keep = false;
        m_doneUnits += job.scanned;
        Progress();
        return 0;
    }
    TakeRead(job);
    return Finish(StoreRead(job), display, keep);
}

// The end of one file's store: an error goes to the callbacks, which may
// skip the file; a stored file is counted.
DWORD CImageCapturer::Finish(DWORD err, const std::wstring& display, bool* keep)
{
    if (err && CMessageSink::Instance().Send(m_hMessages, WIM_MSG_ERROR, (WPARAM)display.c_str(), (LPARAM)err) ==
                   WIM_MSG_SKIP_ERROR) {
        err = 0;
        *keep = false;
    }
    if (err) return err;
    if (*keep) m_info.fileCount++;
    Progress();
    return 0;
}

// The job of the file at m_path, whose scanned size *size points at; *size
// moves on to the next file's.
CImageCapturer::BatchFile CImageCapturer::NextJob(WimDentry* file, std::vector<uint64_t>::const_iterator* size,
                                                  const std::wstring& display, size_t index)
{
    BatchFile job{file, **size, m_path.Extended(), display, false, {}, 0, index, (size_t)(*size - m_firstSize)};
    ++*size;
    return job;
}

// The file as the reader read it ahead, or left for StoreFile.
void CImageCapturer::TakeRead(BatchFile& job)
{
    CFileReadAhead::Result read = m_readAhead->Take(job.order);
    job.data.swap(read.data);
    job.error = read.error;
    job.alone = read.alone;
}

// Stores what was read ahead, as StoreFile would have.
DWORD CImageCapturer::StoreRead(BatchFile& job)
{
    if (job.error) return job.error;
    if (job.alone) return StoreFile(job.file, job.scanned);
    size_t pos = 0;
    CWimWriter::Source source = [&](uint8_t* buffer, size_t want) -> long long {
        size_t take = std::min(want, job.data.size() - pos);
        memcpy(buffer, job.data.data() + pos, take);
        pos += take;
        return (long long)take;
    };
    CWimWriter::Rewind rewind = [&]() {
        pos = 0;
        return true;
    };
    DWORD err = m_writer.WriteStream(source, job.data.size(), &job.file->hash, rewind);
    if (err) return err;
    m_doneUnits += job.scanned;
    m_info.totalBytes += job.data.size();
    return 0;
}

// Small files first..end of dir: PROCESS for each in order, the accepted
// ones opened and read on a few threads, then stored in order. Returns
// the error that stops the capture; keep[i] false drops file first + i.
DWORD CImageCapturer::StoreBatch(WimDentry* dir, size_t first, size_t end, std::vector<uint64_t>::const_iterator* size,
                                 std::vector<bool>* keep)
{
    std::vector<BatchFile> jobs;
    for (size_t i = first; i < end; ++i) {
        WimDentry& f = dir->children[i];
        if (!m_path.Push(f.name)) return ERROR_FILENAME_EXCED_RANGE;
        BatchFile job = NextJob(&f, size, m_path.Display(), i - first);
        m_path.Pop();
        bool process = true;
        DWORD err = AskProcess(job.display, &process);
        if (err) return err;
        m_doneUnits += 1;
        if (!process) {
            (*keep)[i - first] = false;
            m_doneUnits += job.scanned;
            continue;
        }
        jobs.push_back(std::move(job));
    }
    for (BatchFile& job : jobs) {
        TakeRead(job);
        m_path.Push(job.file->name);
        bool kept = true;
        DWORD err = Finish(StoreRead(job), job.display, &kept);
        m_path.Pop();
        if (err) return err;
        (*keep)[job.index] = kept;
        std::vector<uint8_t>().swap(job.data);
    }
    return 0;
}

// The end of a run of small files that may be read side by side.
size_t CImageCapturer::BatchEnd(const WimDentry& dir, size_t first, std::vector<uint64_t>::const_iterator size) const
{
    uint64_t bytes = 0;
    size_t i = first;
    for (; i < dir.children.size() && i - first < kBatchFiles && !dir.children[i].IsDirectory(); ++i, ++size) {
        if (*size > kBatchLargest || bytes + *size > kBatchBytes) break;
        bytes += *size;
    }
    return i;
}

DWORD CImageCapturer::StoreData(WimDentry* dir, std::vector<uint64_t>::const_iterator* size)
{
    for (size_t i = 0; i < dir->children.size();) {
        size_t end = BatchEnd(*dir, i, *size);
        if (end - i >= kBatchFrom) {
            std::vector<bool> keep(end - i, true);
            DWORD err = StoreBatch(dir, i, end, size, &keep);
            if (err) return err;
            for (size_t k = end - i; k-- > 0;)
                if (!keep[k]) dir->children.erase(dir->children.begin() + (long)(i + k));
            for (bool kept : keep)
                i += kept;
            continue;
        }
        WimDentry& child = dir->children[i];
        if (!m_path.Push(child.name)) return ERROR_FILENAME_EXCED_RANGE;
        DWORD err = 0;
        bool keep = true;
        std::wstring display = m_path.Display();
        if (child.IsDirectory()) {
            bool process = true;
            err = AskProcess(display, &process);
            if (!err && process) err = StoreData(&child, size);
            if (!err && !process) {
                SkipFolder(child, size);
                keep = false;
                Progress();
            }
        } else {
            err = StoreEntry(&child, size, display, &keep);
        }
        m_path.Pop();
        if (err) return err;
        if (keep) ++i;
        else dir->children.erase(dir->children.begin() + (long)i);
    }
    return 0;
}

DWORD CImageCapturer::Capture(const std::wstring& source, WimImageInfo* info)
{
    if (!m_path.Set(source)) return ERROR_FILENAME_EXCED_RANGE;
    WIN32_FILE_ATTRIBUTE_DATA rootData;
    if (!GetFileAttributesExW(m_path.Extended().c_str(), GetFileExInfoStandard, &rootData)) return GetLastError();
    if (!(rootData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;

    CImageMetadata image;
    WimDentry& root = image.Root();
    root.attributes = FILE_ATTRIBUTE_DIRECTORY;
    root.creationTime = FromFileTime(rootData.ftCreationTime);
    root.lastAccessTime = FromFileTime(rootData.ftLastAccessTime);
    root.lastWriteTime = FromFileTime(rootData.ftLastWriteTime);

    std::vector<uint64_t> sizes;
    DWORD err = Scan(&root, &sizes, true);
    if (err) return err;
    m_startTick = GetTickCount();
    CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROGRESS, 0, 0);
    m_firstSize = sizes.cbegin();
    m_readAhead.reset(new CFileReadAhead(std::move(m_paths), sizes, kBatchLargest, kReaderThreads, kReadAheadBytes,
                                         kReadAheadFiles));
    auto next = sizes.cbegin();
    err = StoreData(&root, &next);
    m_readAhead.reset();
    if (err) return err;
    if ((err = m_writer.WriteMetadata(image.Serialize()))) return err;

    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    m_info.creationTime = m_info.modificationTime = FromFileTime(now);
    *info = m_info;
    m_doneUnits = m_totalUnits;
    Progress();
    return 0;
}
