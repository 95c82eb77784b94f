// Sequential reader of one resource of a WIM file: uncompressed, or chunks
// of XPRESS or LZX behind a chunk table. Holds one chunk at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "CFileIo.h"
#include "CLzxDecoder.h"
#include "CXpressDecoder.h"
#include "WimFormat.h"

class CResourceReader {
public:
    CResourceReader(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression);

    // 0, or the error that stopped the read (truncated file, corrupt chunk).
    unsigned long Read(void* buffer, size_t size);
    unsigned long ReadAll(std::vector<uint8_t>* out);
    uint64_t Remaining() const { return m_res.originalSize - m_position; }

private:
    unsigned long LoadChunkTable();
    unsigned long LoadChunk(uint64_t index);

    CFileIo& m_io;
    wim::ResHdr m_res;
    uint32_t m_chunkSize;
    wim::Compression m_compression;
    bool m_compressed;
    uint64_t m_position = 0;
    bool m_tableLoaded = false;
    std::vector<uint64_t> m_chunkOffsets; // start of each chunk and the end
    uint64_t m_loadedChunk = UINT64_MAX;
    std::vector<uint8_t> m_chunk;
    std::vector<uint8_t> m_packed;
    CXpressDecoder m_xpress;
    CLzxDecoder m_lzx;
};
