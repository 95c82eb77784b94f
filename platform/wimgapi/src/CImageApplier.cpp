#include "CImageApplier.h"

#include <algorithm>
#include <set>

#include "CMessageSink.h"
#include "CScopedHandle.h"
#include "CSha1.h"
#include "CWimHandle.h"
#include "CWorkerPool.h"
#include "wimgapi.h"

namespace {

const DWORD kAttributeMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                             FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Pieces of a stream handed to the threads that hash and write it: small
// enough that a file's last piece is soon done.
const size_t kPieceSize = 256 * 1024;
// Decoding ahead: streams up to 1 MiB, up to 8 MiB and 256 files at a time,
// and only when there are enough of them to share out.
const uint64_t kPrefetchLargest = 1024 * 1024;
const uint64_t kPrefetchBytes = 8 * 1024 * 1024;
const size_t kPrefetchFiles = 256;
const size_t kPrefetchFrom = 4;
// Pieces of a stream being hashed and written while the next decodes.
const size_t kPiecesAhead = 4;
// Files at hand written together: from this many.
const size_t kBatchFrom = 4;
// Batches and their data handed to the writers and not yet reported.
const size_t kBatchesAhead = 16;
// Wine's file calls scale to about two threads.
const unsigned kBatchWriters = 2;
const uint64_t kBatchBytesAhead = 16 * 1024 * 1024;

// Attributes given to CreateFileW, so that most files need no second call
// by path; read-only is set last, after the data and times.
DWORD CreationAttributes(const WimDentry& f)
{
    DWORD a = f.attributes & kAttributeMask & ~FILE_ATTRIBUTE_READONLY;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

bool NeedsAttributeCall(const WimDentry& f) { return (f.attributes & FILE_ATTRIBUTE_READONLY) != 0; }

// 0 when all size bytes went to file, else the error.
DWORD WriteAll(HANDLE file, const void* data, size_t size)
{
    DWORD written = 0;
    if (!size || (WriteFile(file, data, (DWORD)size, &written, nullptr) && written == size)) return 0;
    return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
}

FILETIME ToFileTime(uint64_t t)
{
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)t;
    ft.dwHighDateTime = (DWORD)(t >> 32);
    return ft;
}

} // namespace

CImageApplier::CImageApplier(CWimHandle& wim, HANDLE hMessages, DWORD flags)
    : m_wim(wim), m_hMessages(hMessages), m_flags(flags)
{
}

uint64_t CImageApplier::Units(const WimDentry& dir) const
{
    uint64_t units = 0;
    for (const WimDentry& c : dir.children) {
        if (c.IsDirectory()) {
            units += Units(c);
            continue;
        }
        uint64_t size = 0;
        if (!c.hash.IsZero() && m_wim.StreamSize(c.hash, &size) == 0) units += size;
        units += 1;
    }
    return units;
}

// Progress is only reported: the documented place to abort is the answer
// to WIM_MSG_PROCESS.
void CImageApplier::Progress()
{
    // In floating point: the sizes come from the image and may be huge.
    DWORD percent = m_totalUnits ? (DWORD)((double)m_doneUnits * 100.0 / (double)m_totalUnits) : 100;
    if (percent > 100) percent = 100;
    if (percent <= m_lastPercent) return; // never backwards
    m_lastPercent = percent;
    DWORD elapsed = GetTickCount() - m_startTick;
    LPARAM remaining = percent ? (LPARAM)((uint64_t)elapsed * (100 - percent) / percent) : 0;
    CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROGRESS, percent, remaining);
}

// Asks the callbacks about one file or folder: ERROR_REQUEST_ABORTED, or 0
// with *process telling whether to apply it.
DWORD CImageApplier::AskProcess(const std::wstring& display, bool* process)
{
    BOOL answer = TRUE;
    if (CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROCESS, (WPARAM)display.c_str(), (LPARAM)&answer) ==
        WIM_MSG_ABORT_IMAGE)
        return ERROR_REQUEST_ABORTED;
    *process = answer != FALSE;
    return 0;
}

void CImageApplier::SendFileInfo(const WimDentry& file, const std::wstring& display)
{
    if (!(m_flags & WIM_FLAG_FILEINFO)) return;
    WIN32_FIND_DATAW fd = {};
    fd.dwFileAttributes = file.attributes;
    fd.ftCreationTime = ToFileTime(file.creationTime);
    fd.ftLastAccessTime = ToFileTime(file.lastAccessTime);
    fd.ftLastWriteTime = ToFileTime(file.lastWriteTime);
    lstrcpynW(fd.cFileName, reinterpret_cast<const wchar_t*>(file.name.c_str()), MAX_PATH);
    CMessageSink::Instance().Send(m_hMessages, WIM_MSG_FILEINFO, (WPARAM)display.c_str(), (LPARAM)&fd);
}

DWORD CImageApplier::Report(DWORD err) { return Report(err, m_path.Display()); }

DWORD CImageApplier::Report(DWORD err, const std::wstring& display)
{
    if (!err || err == ERROR_REQUEST_ABORTED) return err;
    DWORD answer = CMessageSink::Instance().Send(m_hMessages, WIM_MSG_ERROR, (WPARAM)display.c_str(), (LPARAM)err);
    return answer == WIM_MSG_SKIP_ERROR ? 0 : err;
}

void CImageApplier::SetTimes(HANDLE h, const WimDentry& d)
{
    FILETIME c = ToFileTime(d.creationTime), a = ToFileTime(d.lastAccessTime), w = ToFileTime(d.lastWriteTime);
    SetFileTime(h, d.creationTime ? &c : nullptr, d.lastAccessTime ? &a : nullptr, d.lastWriteTime ? &w : nullptr);
}

DWORD CImageApplier::Apply(const CImageMetadata& image, const std::wstring& target)
{
    if (!m_path.Set(target)) return ERROR_FILENAME_EXCED_RANGE;
    if (!CreateDirectoryW(m_path.Extended().c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return GetLastError();
    DWORD attrs = GetFileAttributesW(m_path.Extended().c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    m_totalUnits = Units(image.Root());
    ListFiles(image.Root());
    m_startTick = GetTickCount();
    m_lastPercent = 0;
    CMessageSink::Instance().Send(m_hMessages, WIM_MSG_PROGRESS, 0, 0);
    DWORD err = ApplyDirectory(image.Root(), true);
    if (err) {
        // Nothing more is reported once the apply has stopped.
        if (m_batchWriter) m_batchWriter->Wait();
        m_batches.clear();
        return err;
    }
    err = ReportWritten(true);
    if (err) return err;
    m_doneUnits = m_totalUnits;
    Progress();
    return 0;
}

// The image's files in the order they are applied, so that decoding ahead
// runs across folders: most folders hold too few files to keep every core
// busy, and each round of decoding waits for its slowest stream.
void CImageApplier::ListFiles(const WimDentry& dir)
{
    for (const WimDentry& c : dir.children) {
        if (c.IsDirectory()) {
            ListFiles(c);
            continue;
        }
        m_fileIndex.emplace(&c, m_files.size());
        m_files.push_back(&c);
    }
}

// Small streams of the files from `from` on, each decoded and checked whole
// on a worker of its own; they are written in order as their files come.
// What is still ahead of the earlier round is kept, the rest dropped.
void CImageApplier::Prefetch(const WimDentry& from)
{
    auto first = m_fileIndex.find(&from);
    uint64_t size = 0;
    // A large file is decoded by its own apply and leaves what is ready.
    if (first == m_fileIndex.end() || m_wim.StreamSize(from.hash, &size) || size > kPrefetchLargest) return;
    std::map<Sha1Digest, std::vector<uint8_t>> kept;
    std::vector<Sha1Digest> wanted;
    uint64_t budget = 0;
    size_t files = 0;
    for (size_t i = first->second; i < m_files.size() && files < kPrefetchFiles; ++i) {
        const WimDentry& c = *m_files[i];
        if (c.IsReparsePoint() || c.hash.IsZero() || m_wim.StreamSize(c.hash, &size)) continue;
        if (size > kPrefetchLargest || m_written.count(c.hash) || kept.count(c.hash)) continue;
        if (std::find(wanted.begin(), wanted.end(), c.hash) != wanted.end()) continue;
        if (budget + size > kPrefetchBytes) break;
        budget += size;
        ++files;
        auto ready = m_ready.find(c.hash);
        if (ready == m_ready.end()) {
            wanted.push_back(c.hash);
            continue;
        }
        kept[c.hash].swap(ready->second);
        m_ready.erase(ready);
    }
    m_ready.swap(kept);
    if (wanted.size() < kPrefetchFrom) return;
    std::vector<std::vector<uint8_t>> data(wanted.size());
    std::vector<char> ok(wanted.size(), 0);
    CWorkerPool::Instance().Run(wanted.size(), [&](size_t j, unsigned) {
        std::unique_ptr<CResourceReader> reader;
        uint64_t streamSize = 0;
        if (m_wim.OpenStream(wanted[j], &reader, &streamSize)) return;
        // Failures are left to the file's own apply, which reports them.
        if (reader->ReadAll(&data[j], kPrefetchLargest)) return;
        ok[j] = CSha1::Of(data[j].data(), data[j].size()) == wanted[j];
    });
    for (size_t j = 0; j < wanted.size(); ++j)
        if (ok[j]) m_ready[wanted[j]].swap(data[j]);
}

// A plain file whose data is at hand (empty, or decoded ahead): such files
// may be written side by side.
bool CImageApplier::Batchable(const WimDentry& f) const
{
    return !f.IsDirectory() && !f.IsReparsePoint() && !f.hardLinkId && (f.hash.IsZero() || m_ready.count(f.hash));
}

// Creates, writes, dates and closes one file of a batch; runs on a worker.
DWORD CImageApplier::WriteBatchFile(const BatchFile& job)
{
    const wchar_t* path = job.path.c_str();
    DWORD attributes = CreationAttributes(*job.file);
    CScopedHandle h(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    if (!h.Valid() && GetLastError() == ERROR_ACCESS_DENIED) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        h.Reset(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    }
    if (!h.Valid()) return GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
    if (DWORD err = WriteAll(h.Get(), job.data.data(), job.data.size())) {
        h.Reset();
        DeleteFileW(path);
        return err;
    }
    SetTimes(h.Get(), *job.file);
    h.Reset();
    if (NeedsAttributeCall(*job.file)) SetFileAttributesW(path, job.file->attributes & kAttributeMask);
    return 0;
}

// Files first..end of dir (all batchable): PROCESS for each in order, the
// accepted ones handed to the writers as one batch; their errors,
// FILEINFO and progress come in order once it is written (ReportWritten).
DWORD CImageApplier::ApplyBatch(const WimDentry& dir, size_t first, size_t* endOut)
{
    // The data waiting to be written stays bounded.
    DWORD err = ReportWritten(m_batchBytes + kPrefetchBytes > kBatchBytesAhead);
    if (err) return err;
    std::unique_ptr<Batch> batch(new Batch());
    size_t end = *endOut;
    *endOut = first;
    for (size_t i = first; i < end; ++i) {
        const WimDentry& f = dir.children[i];
        if (!m_path.Push(f.name)) {
            m_path.Pop();
            break; // the rest goes one by one, where the error is reported
        }
        *endOut = i + 1;
        BatchFile job{&f, m_path.Extended(), m_path.Display(), {}, 0};
        m_path.Pop();
        // A name repeated by a damaged image: the earlier batch goes first,
        // so that the later entry wins as it would alone.
        err = FinishBatchWriting(job.path);
        if (err) return err;
        bool process = true;
        err = AskProcess(job.display, &process);
        if (err) return err;
        auto ready = f.hash.IsZero() ? m_ready.end() : m_ready.find(f.hash);
        if (!process) {
            m_doneUnits += 1 + (ready == m_ready.end() ? 0 : ready->second.size());
            continue;
        }
        if (ready != m_ready.end()) {
            job.data.swap(ready->second);
            m_ready.erase(ready);
        }
        m_batchPaths.insert(CLongPath::FoldCase(job.path));
        batch->bytes += job.data.size();
        batch->files.push_back(std::move(job));
    }
    // Wine's file calls, not the processor, bound the writing of small files:
    // threads of their own write them while the files and folders that
    // follow are decoded and applied.
    if (!m_batchWriter) m_batchWriter.reset(new CBackgroundWriter(kBatchesAhead, kBatchWriters));
    Batch* queued = batch.get();
    m_batchBytes += batch->bytes;
    m_batches.push_back(std::move(batch));
    m_batchWriter->Submit([queued] {
        for (BatchFile& job : queued->files)
            job.error = WriteBatchFile(job);
        queued->written.store(true, std::memory_order_release);
    });
    return 0;
}

// Reports the batches written so far (all of them, waiting, when `all`) in
// order: errors, FILEINFO and progress. Folders whose files are all written
// then get their times.
DWORD CImageApplier::ReportWritten(bool all)
{
    if (all && m_batchWriter) m_batchWriter->Wait();
    while (!m_batches.empty() && m_batches.front()->written.load(std::memory_order_acquire)) {
        std::unique_ptr<Batch> batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_batchBytes -= batch->bytes;
        ++m_batchesReported;
        for (BatchFile& job : batch->files) {
            m_batchPaths.erase(m_batchPaths.find(CLongPath::FoldCase(job.path)));
            DWORD err = job.error ? Report(job.error, job.display) : 0;
            if (err) return err;
            if (job.error) continue;
            if (!job.file->hash.IsZero()) m_written.emplace(job.file->hash, job.path);
            m_doneUnits += 1 + job.data.size();
            SendFileInfo(*job.file, job.display);
            Progress();
        }
    }
    while (!m_finishedFolders.empty() && m_finishedFolders.front().afterBatches <= m_batchesReported) {
        SetFolderTimes(m_finishedFolders.front().path, *m_finishedFolders.front().dir);
        m_finishedFolders.pop_front();
    }
    return 0;
}

DWORD CImageApplier::ApplyDirectory(const WimDentry& dir, bool isRoot)
{
    for (size_t i = 0; i < dir.children.size(); ++i) {
        const WimDentry& child = dir.children[i];
        if (!child.IsDirectory() && !child.IsReparsePoint() && !child.hash.IsZero() && !m_ready.count(child.hash) &&
            !m_written.count(child.hash))
            Prefetch(child);
        size_t run = i;
        std::set<Sha1Digest> inRun;
        while (run < dir.children.size() && run - i < kPrefetchFiles && Batchable(dir.children[run]) &&
               (dir.children[run].hash.IsZero() || inRun.insert(dir.children[run].hash).second))
            ++run;
        if (run - i >= kBatchFrom) {
            DWORD err = ApplyBatch(dir, i, &run);
            if (err) return err;
            if (run > i) {
                i = run - 1;
                continue;
            }
        }
        bool fits = m_path.Push(child.name);
        DWORD err = fits ? FinishBatchWriting(m_path.Extended()) : Report(ERROR_FILENAME_EXCED_RANGE);
        if (!err && fits) err = child.IsDirectory() ? ApplySubdirectory(child) : ApplyFile(child);
        m_path.Pop();
        if (err) return err;
    }
    if (isRoot) return 0;
    // Times last: creating the children changed them, and a batch of them
    // may still be being written.
    if (m_batches.empty()) SetFolderTimes(m_path.Extended(), dir);
    else m_finishedFolders.push_back({m_path.Extended(), &dir, m_batchesReported + m_batches.size()});
    return 0;
}

// An entry named like a file of the batch being written (a damaged image
// may repeat a name) waits for it, so that the later one wins as it would
// alone.
DWORD CImageApplier::FinishBatchWriting(const std::wstring& path)
{
    return m_batchPaths.count(CLongPath::FoldCase(path)) ? ReportWritten(true) : 0;
}

void CImageApplier::SetFolderTimes(const std::wstring& path, const WimDentry& dir)
{
    CScopedHandle h(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.Valid()) SetTimes(h.Get(), dir);
    h.Reset();
    if (dir.attributes & kAttributeMask)
        SetFileAttributesW(path.c_str(), (dir.attributes & kAttributeMask) | FILE_ATTRIBUTE_DIRECTORY);
}

DWORD CImageApplier::ApplySubdirectory(const WimDentry& dir)
{
    bool process = true;
    DWORD err = AskProcess(m_path.Display(), &process);
    if (err) return err;
    if (!process) {
        // The folder is skipped with all it holds.
        m_doneUnits += Units(dir);
        Progress();
        return 0;
    }
    if (!CreateDirectoryW(m_path.Extended().c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Report(GetLastError());
    return ApplyDirectory(dir, false);
}

// A stream already written by this apply is copied from that file: reading
// it back costs less than decoding again. It is checked again, since a later
// entry of the same name may have replaced that file; then it is decoded.
bool CImageApplier::CopyWritten(HANDLE file, const WimDentry& entry, DWORD* err)
{
    auto written = m_written.find(entry.hash);
    uint64_t size = 0;
    if (written == m_written.end() || m_wim.StreamSize(entry.hash, &size)) return false;
    CScopedHandle from(CreateFileW(written->second.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from.Valid()) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(from.Get(), &length) || (uint64_t)length.QuadPart != size) return false;
    uint64_t before = m_doneUnits;
    StreamOutcome copied = StreamData(file, size, entry.hash, [&from](uint8_t* to, size_t n) -> DWORD {
        DWORD got = 0;
        if (!ReadFile(from.Get(), to, (DWORD)n, &got, nullptr)) return GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return got == n ? 0 : ERROR_HANDLE_EOF;
    });
    *err = copied.writeError;
    if (copied.writeError || !copied.sourceError) return true;
    m_doneUnits = before;
    LARGE_INTEGER zero = {};
    if (SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && SetEndOfFile(file)) return false;
    *err = ERROR_WRITE_FAULT;
    return true;
}

DWORD CImageApplier::WriteData(HANDLE file, const WimDentry& entry)
{
    if (entry.hash.IsZero()) return 0;
    DWORD copied = 0;
    if (CopyWritten(file, entry, &copied)) return copied;
    auto ready = m_ready.find(entry.hash);
    if (ready != m_ready.end()) {
        // Decoded and checked ahead.
        const std::vector<uint8_t>& data = ready->second;
        if (DWORD err = WriteAll(file, data.data(), data.size())) return err;
        m_doneUnits += data.size();
        m_ready.erase(ready);
        Progress();
        return 0;
    }
    uint64_t size = 0;
    DWORD err = m_wim.OpenStream(entry.hash, &m_reader, &size);
    if (err) return err;
    CResourceReader& reader = *m_reader;
    StreamOutcome decoded =
        StreamData(file, size, entry.hash, [&reader](uint8_t* to, size_t n) { return reader.Read(to, n); });
    return decoded.writeError ? decoded.writeError : decoded.sourceError;
}

// Hashing and writing each piece run side by side on threads of their own
// while the next piece is read or decoded: SHA-1 alone costs about what the
// write does, and the two in turn used to leave the decoding workers idle.
CImageApplier::StreamOutcome CImageApplier::StreamData(HANDLE file, uint64_t size, const Sha1Digest& expected,
                                                       const std::function<DWORD(uint8_t*, size_t)>& read)
{
    if (!m_hasher) {
        m_hasher.reset(new CBackgroundWriter(kPiecesAhead, 1));
        m_pieceWriter.reset(new CBackgroundWriter(kPiecesAhead, 1));
        // A piece is reused once both threads are past it.
        m_pieces.assign(kPiecesAhead + 1, std::vector<uint8_t>(kPieceSize));
    }
    CSha1 sha;
    std::atomic<DWORD> writeError{0};
    StreamOutcome outcome;
    for (size_t k = 0; size && !writeError.load(); ++k) {
        std::vector<uint8_t>& piece = m_pieces[k % m_pieces.size()];
        size_t n = (size_t)std::min<uint64_t>(piece.size(), size);
        outcome.sourceError = read(piece.data(), n);
        if (outcome.sourceError) break;
        const uint8_t* data = piece.data();
        m_hasher->Submit([&sha, data, n] { sha.Update(data, n); });
        m_pieceWriter->Submit([file, data, n, &writeError] {
            if (!writeError.load()) writeError = WriteAll(file, data, n);
        });
        size -= n;
        m_doneUnits += n;
        Progress();
    }
    m_hasher->Wait();
    m_pieceWriter->Wait();
    outcome.writeError = writeError.load();
    if (!outcome.writeError && !outcome.sourceError && sha.Final() != expected) outcome.sourceError = ERROR_FILE_CORRUPT;
    return outcome;
}

DWORD CImageApplier::ApplyFile(const WimDentry& file)
{
    std::wstring display = m_path.Display();
    const std::wstring& path = m_path.Extended();
    if (file.IsReparsePoint()) {
        CMessageSink::Instance().Send(m_hMessages, WIM_MSG_WARNING, (WPARAM)display.c_str(), ERROR_NOT_SUPPORTED);
        return 0;
    }
    bool process = true;
    DWORD err = AskProcess(display, &process);
    if (err) return err;
    if (!process) {
        uint64_t size = 0;
        if (!file.hash.IsZero() && m_wim.StreamSize(file.hash, &size) == 0) m_doneUnits += size;
        m_doneUnits += 1;
        Progress();
        return 0;
    }

    auto link = file.hardLinkId ? m_links.find(file.hardLinkId) : m_links.end();
    if (link != m_links.end() && link->second.second == file.hash) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        if (CreateHardLinkW(path.c_str(), link->second.first.c_str(), nullptr)) {
            m_doneUnits += 1;
            SendFileInfo(file, display);
            Progress();
            return 0;
        }
    }

    DWORD attributes = CreationAttributes(file);
    CScopedHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    if (!h.Valid() && GetLastError() == ERROR_ACCESS_DENIED) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        h.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    }
    if (!h.Valid()) return Report(GetLastError());
    err = WriteData(h.Get(), file);
    if (err) {
        h.Reset();
        DeleteFileW(path.c_str());
        return Report(err);
    }
    SetTimes(h.Get(), file);
    h.Reset();
    if (NeedsAttributeCall(file)) SetFileAttributesW(path.c_str(), file.attributes & kAttributeMask);
    if (file.hardLinkId) m_links.emplace(file.hardLinkId, std::make_pair(path, file.hash));
    if (!file.hash.IsZero()) m_written.emplace(file.hash, path);
    m_doneUnits += 1;
    SendFileInfo(file, display);
    Progress();
    return 0;
}
