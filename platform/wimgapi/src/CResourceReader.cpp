#include "CResourceReader.h"

#include <algorithm>
#include <cstring>

#include "CLzxDecoder.h"
#include "CWorkerPool.h"
#include "CXpressDecoder.h"

namespace {

// Chunk-table entries read at once: 32 KiB of table covers 256 MiB of data.
const uint64_t kWindowEntries = 4096;
// Chunks decoded at once per worker: enough to keep every worker busy.
const uint64_t kChunksPerWorker = 4;
// Fewer chunks than this are decoded on the calling thread.
const size_t kParallelFrom = 4;
// Pieces in which ReadAll grows its buffer.
const size_t kReadAllPiece = 1024 * 1024;

uint64_t ChunkCount(uint64_t originalSize, uint32_t chunkSize)
{
    // Written so that a size near 2^64 cannot wrap to a small count.
    return originalSize / chunkSize + (originalSize % chunkSize ? 1 : 0);
}

// Each thread keeps its own decoders: making them for every stream cost more
// than decoding a small stream does.
CXpressDecoder& ThreadXpress()
{
    thread_local CXpressDecoder decoder;
    return decoder;
}

CLzxDecoder& ThreadLzx()
{
    thread_local CLzxDecoder decoder;
    return decoder;
}

} // namespace

CResourceReader::CResourceReader(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression)
{
    Reset(io, res, chunkSize, compression);
}

void CResourceReader::Reset(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression)
{
    m_io = &io;
    m_res = res;
    m_chunkSize = chunkSize ? chunkSize : wim::kChunkSize;
    m_compression = compression;
    m_compressed = (res.flags & wim::kResCompressed) != 0;
    m_position = 0;
    m_checked = false;
    m_chunks = 0;
    m_entrySize = 4;
    m_tableSize = 0;
    m_windowFirst = UINT64_MAX;
    m_loadedFirst = UINT64_MAX;
    m_loadedCount = 0;
}

bool CResourceReader::Plausible(const wim::ResHdr& res, uint32_t chunkSize, uint64_t fileSize)
{
    if (res.offset > fileSize || res.size > fileSize - res.offset) return false;
    if (!(res.flags & wim::kResCompressed)) return res.size >= res.originalSize;
    uint64_t chunks = ChunkCount(res.originalSize, chunkSize ? chunkSize : wim::kChunkSize);
    uint64_t entrySize = res.originalSize > 0xFFFFFFFFull ? 8 : 4;
    // chunks <= size < 2^56, so the products below cannot wrap.
    if (chunks > res.size) return false;
    return (chunks ? chunks - 1 : 0) * entrySize + chunks <= res.size;
}

unsigned long CResourceReader::CheckLayout()
{
    // The file may have grown since its size was last read (an image added
    // through another handle): only a resource past that size asks again.
    if (!Plausible(m_res, m_chunkSize, m_io->KnownSize()) && !Plausible(m_res, m_chunkSize, m_io->Size()))
        return wim::kErrInvalidData;
    if (m_compressed) {
        m_chunks = ChunkCount(m_res.originalSize, m_chunkSize);
        m_entrySize = m_res.originalSize > 0xFFFFFFFFull ? 8 : 4;
        m_tableSize = (m_chunks ? m_chunks - 1 : 0) * m_entrySize;
    }
    m_checked = true;
    return 0;
}

// Chunk starts first .. first + n from the table (chunk 0 starts at 0, the
// last one ends with the data), relative to the end of the table.
unsigned long CResourceReader::LoadWindow(uint64_t first)
{
    uint64_t last = std::min(first + kWindowEntries, m_chunks);
    uint64_t from = std::max<uint64_t>(first, 1), to = std::min(last, m_chunks - 1);
    m_window.clear();
    m_windowFirst = UINT64_MAX;
    if (first == 0) m_window.push_back(0);
    if (from <= to) {
        std::vector<uint8_t> raw((size_t)((to - from + 1) * m_entrySize));
        if (!m_io->ReadAt(m_res.offset + (from - 1) * m_entrySize, raw.data(), raw.size()))
            return m_io->LastError() ? m_io->LastError() : wim::kErrHandleEof;
        for (size_t at = 0; at < raw.size(); at += m_entrySize)
            m_window.push_back(m_entrySize == 8 ? wim::Get64(&raw[at]) : wim::Get32(&raw[at]));
    }
    if (last == m_chunks) m_window.push_back(m_res.size - m_tableSize);
    m_windowFirst = first;
    return 0;
}

unsigned long CResourceReader::ChunkBounds(uint64_t index, uint64_t* start, uint64_t* end)
{
    if (m_windowFirst == UINT64_MAX || index < m_windowFirst || index + 1 >= m_windowFirst + m_window.size()) {
        unsigned long err = LoadWindow(index);
        if (err) return err;
    }
    *start = m_window[(size_t)(index - m_windowFirst)];
    *end = m_window[(size_t)(index + 1 - m_windowFirst)];
    if (*end <= *start || *end > m_res.size - m_tableSize || *end - *start > m_chunkSize) return wim::kErrInvalidData;
    return 0;
}

// Chunks index .. index + n - 1, read with one call and decoded on all
// workers, n bounded so that the memory held stays small.
unsigned long CResourceReader::LoadBatch(uint64_t index)
{
    if (index >= m_chunks) return wim::kErrInvalidData;
    CWorkerPool& pool = CWorkerPool::Instance();
    size_t n = (size_t)std::min<uint64_t>(m_chunks - index, (uint64_t)pool.Workers() * kChunksPerWorker);
    m_starts.resize(n + 1);
    for (size_t j = 0; j < n; ++j) {
        uint64_t start = 0, end = 0;
        unsigned long err = ChunkBounds(index + j, &start, &end);
        if (err) return err;
        if (j && start != m_starts[j]) return wim::kErrInvalidData; // chunks lie end to end
        m_starts[j] = start;
        m_starts[j + 1] = end;
    }
    m_loadedFirst = UINT64_MAX;
    m_packed.resize((size_t)(m_starts[n] - m_starts[0]));
    if (!m_io->ReadAt(m_res.offset + m_tableSize + m_starts[0], m_packed.data(), m_packed.size()))
        return m_io->LastError() ? m_io->LastError() : wim::kErrHandleEof;
    uint64_t firstByte = index * m_chunkSize;
    size_t outBytes = (size_t)std::min<uint64_t>(m_res.originalSize - firstByte, (uint64_t)n * m_chunkSize);
    m_chunk.resize(outBytes);
    std::vector<char> ok(n, 0);
    auto decode = [&](size_t j, unsigned) {
        size_t at = j * m_chunkSize;
        size_t outSize = std::min<size_t>(m_chunkSize, outBytes - at);
        const uint8_t* in = m_packed.data() + (m_starts[j] - m_starts[0]);
        size_t inSize = (size_t)(m_starts[j + 1] - m_starts[j]);
        uint8_t* out = m_chunk.data() + at;
        if (inSize > outSize) return;
        if (inSize == outSize) {
            memcpy(out, in, outSize);
            ok[j] = 1;
        } else if (m_compression == wim::Compression::Xpress) {
            ok[j] = ThreadXpress().Decompress(in, inSize, out, outSize);
        } else if (m_compression == wim::Compression::Lzx) {
            ok[j] = ThreadLzx().Decompress(in, inSize, out, outSize);
        }
    };
    pool.Run(n, decode, kParallelFrom);
    for (char good : ok)
        if (!good) return m_compression == wim::Compression::None || m_compression == wim::Compression::Lzms
                              ? wim::kErrNotSupported : wim::kErrInvalidData;
    m_loadedFirst = index;
    m_loadedCount = n;
    return 0;
}

unsigned long CResourceReader::Read(void* buffer, size_t size)
{
    if (size > Remaining()) return wim::kErrHandleEof;
    if (!m_checked) {
        unsigned long err = CheckLayout();
        if (err) return err;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    if (!m_compressed) {
        if (size && !m_io->ReadAt(m_res.offset + m_position, out, size))
            return m_io->LastError() ? m_io->LastError() : wim::kErrHandleEof;
        m_position += size;
        return 0;
    }
    while (size) {
        uint64_t index = m_position / m_chunkSize;
        if (m_loadedFirst == UINT64_MAX || index < m_loadedFirst || index >= m_loadedFirst + m_loadedCount) {
            unsigned long err = LoadBatch(index);
            if (err) return err;
        }
        size_t inBatch = (size_t)(m_position - m_loadedFirst * m_chunkSize);
        size_t take = std::min(m_chunk.size() - inBatch, size);
        memcpy(out, m_chunk.data() + inBatch, take);
        out += take; size -= take; m_position += take;
    }
    return 0;
}

unsigned long CResourceReader::ReadAll(std::vector<uint8_t>* out, uint64_t limit)
{
    out->clear();
    if (Remaining() > limit) return wim::kErrInvalidData;
    if (!m_checked) {
        unsigned long err = CheckLayout();
        if (err) return err;
    }
    while (Remaining()) {
        size_t piece = (size_t)std::min<uint64_t>(kReadAllPiece, Remaining());
        size_t at = out->size();
        out->resize(at + piece);
        unsigned long err = Read(out->data() + at, piece);
        if (err) {
            out->clear();
            return err;
        }
    }
    return 0;
}
