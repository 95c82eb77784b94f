#include "CResourceReader.h"

#include <algorithm>
#include <cstring>

namespace {

// Chunk-table entries read at once: 32 KiB of table covers 256 MiB of data.
const uint64_t kWindowEntries = 4096;
// Pieces in which ReadAll grows its buffer.
const size_t kReadAllPiece = 1024 * 1024;

uint64_t ChunkCount(uint64_t originalSize, uint32_t chunkSize)
{
    // Written so that a size near 2^64 cannot wrap to a small count.
    return originalSize / chunkSize + (originalSize % chunkSize ? 1 : 0);
}

} // namespace

CResourceReader::CResourceReader(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression)
    : m_io(io), m_res(res), m_chunkSize(chunkSize ? chunkSize : wim::kChunkSize), m_compression(compression),
      m_compressed((res.flags & wim::kResCompressed) != 0)
{
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
    if (!Plausible(m_res, m_chunkSize, m_io.Size())) return wim::kErrInvalidData;
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
        if (!m_io.ReadAt(m_res.offset + (from - 1) * m_entrySize, raw.data(), raw.size()))
            return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
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

unsigned long CResourceReader::LoadChunk(uint64_t index)
{
    if (index >= m_chunks) return wim::kErrInvalidData;
    uint64_t first = index * m_chunkSize;
    size_t outSize = (size_t)std::min<uint64_t>(m_res.originalSize - first, m_chunkSize);
    uint64_t packedStart = 0, packedEnd = 0;
    unsigned long err = ChunkBounds(index, &packedStart, &packedEnd);
    if (err) return err;
    size_t packedSize = (size_t)(packedEnd - packedStart);
    if (packedSize > outSize) return wim::kErrInvalidData;
    m_chunk.resize(outSize);
    m_packed.resize(packedSize);
    m_loadedChunk = UINT64_MAX;
    if (!m_io.ReadAt(m_res.offset + m_tableSize + packedStart, m_packed.data(), packedSize))
        return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
    bool ok = false;
    if (packedSize == outSize) {
        memcpy(m_chunk.data(), m_packed.data(), outSize);
        ok = true;
    } else if (m_compression == wim::Compression::Xpress) {
        ok = m_xpress.Decompress(m_packed.data(), packedSize, m_chunk.data(), outSize);
    } else if (m_compression == wim::Compression::Lzx) {
        ok = m_lzx.Decompress(m_packed.data(), packedSize, m_chunk.data(), outSize);
    } else {
        return wim::kErrNotSupported;
    }
    if (!ok) return wim::kErrInvalidData;
    m_loadedChunk = index;
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
        if (size && !m_io.ReadAt(m_res.offset + m_position, out, size))
            return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
        m_position += size;
        return 0;
    }
    while (size) {
        uint64_t index = m_position / m_chunkSize;
        if (index != m_loadedChunk) {
            unsigned long err = LoadChunk(index);
            if (err) return err;
        }
        size_t inChunk = (size_t)(m_position - index * m_chunkSize);
        size_t take = std::min(m_chunk.size() - inChunk, size);
        memcpy(out, m_chunk.data() + inChunk, take);
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
