#include "CResourceReader.h"

#include <cstring>

CResourceReader::CResourceReader(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression)
    : m_io(io), m_res(res), m_chunkSize(chunkSize ? chunkSize : wim::kChunkSize), m_compression(compression),
      m_compressed((res.flags & wim::kResCompressed) != 0)
{
}

unsigned long CResourceReader::LoadChunkTable()
{
    uint64_t chunks = (m_res.originalSize + m_chunkSize - 1) / m_chunkSize;
    uint32_t entrySize = m_res.originalSize > 0xFFFFFFFFull ? 8 : 4;
    uint64_t tableSize = (chunks ? chunks - 1 : 0) * entrySize;
    if (tableSize > m_res.size) return wim::kErrInvalidData;
    std::vector<uint8_t> raw((size_t)tableSize);
    if (tableSize && !m_io.ReadAt(m_res.offset, raw.data(), raw.size()))
        return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
    m_chunkOffsets.assign((size_t)chunks + 1, 0);
    m_chunkOffsets[0] = tableSize;
    for (uint64_t i = 1; i < chunks; ++i) {
        const uint8_t* p = raw.data() + (i - 1) * entrySize;
        m_chunkOffsets[i] = tableSize + (entrySize == 8 ? wim::Get64(p) : wim::Get32(p));
    }
    m_chunkOffsets[chunks] = m_res.size;
    for (uint64_t i = 0; i < chunks; ++i) {
        uint64_t packed = m_chunkOffsets[i + 1] - m_chunkOffsets[i];
        if (m_chunkOffsets[i + 1] < m_chunkOffsets[i] || packed > m_chunkSize || packed == 0)
            return wim::kErrInvalidData;
    }
    m_tableLoaded = true;
    return 0;
}

unsigned long CResourceReader::LoadChunk(uint64_t index)
{
    uint64_t start = index * m_chunkSize;
    size_t outSize = (size_t)(m_res.originalSize - start < m_chunkSize ? m_res.originalSize - start : m_chunkSize);
    m_chunk.resize(outSize);
    uint64_t packedStart = m_chunkOffsets[index];
    size_t packedSize = (size_t)(m_chunkOffsets[index + 1] - packedStart);
    m_packed.resize(packedSize);
    if (!m_io.ReadAt(m_res.offset + packedStart, m_packed.data(), packedSize))
        return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
    m_loadedChunk = index;
    if (packedSize == outSize) {
        memcpy(m_chunk.data(), m_packed.data(), outSize);
        return 0;
    }
    if (packedSize > outSize) return wim::kErrInvalidData;
    bool ok = false;
    if (m_compression == wim::Compression::Xpress)
        ok = m_xpress.Decompress(m_packed.data(), packedSize, m_chunk.data(), outSize);
    else if (m_compression == wim::Compression::Lzx)
        ok = m_lzx.Decompress(m_packed.data(), packedSize, m_chunk.data(), outSize);
    else
        return wim::kErrNotSupported;
    if (!ok) {
        m_loadedChunk = UINT64_MAX;
        return wim::kErrInvalidData;
    }
    return 0;
}

unsigned long CResourceReader::Read(void* buffer, size_t size)
{
    if (size > Remaining()) return wim::kErrHandleEof;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    if (!m_compressed) {
        if (m_res.size < m_res.originalSize) return wim::kErrInvalidData;
        if (size && !m_io.ReadAt(m_res.offset + m_position, out, size))
            return m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
        m_position += size;
        return 0;
    }
    if (!m_tableLoaded) {
        unsigned long err = LoadChunkTable();
        if (err) return err;
    }
    while (size) {
        uint64_t index = m_position / m_chunkSize;
        if (index != m_loadedChunk) {
            unsigned long err = LoadChunk(index);
            if (err) return err;
        }
        size_t inChunk = (size_t)(m_position - index * m_chunkSize);
        size_t take = m_chunk.size() - inChunk < size ? m_chunk.size() - inChunk : size;
        memcpy(out, m_chunk.data() + inChunk, take);
        out += take; size -= take; m_position += take;
    }
    return 0;
}

unsigned long CResourceReader::ReadAll(std::vector<uint8_t>* out)
{
    // Metadata and XML are read whole; refuse sizes no image needs.
    if (Remaining() > 512ull * 1024 * 1024) return wim::kErrInvalidData;
    out->resize((size_t)Remaining());
    return Read(out->data(), out->size());
}
