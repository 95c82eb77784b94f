// Sequential reader of one resource of a WIM file: uncompressed, or chunks
// of XPRESS or LZX behind a chunk table. Holds a batch of chunks (decoded on
// all workers) and a window of the chunk table at a time, so its memory does
// not grow with the resource.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "CFileIo.h"
#include "WimFormat.h"

class CResourceReader {
public:
    CResourceReader(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression);
    // Reads another resource from its start, keeping the buffers: fresh ones
    // for each large stream cost as much as decoding it under Wine.
    void Reset(CFileIo& io, const wim::ResHdr& res, uint32_t chunkSize, wim::Compression compression);

    // 0, or the error that stopped the read (truncated file, corrupt chunk).
    unsigned long Read(void* buffer, size_t size);
    // The whole resource, refused before any allocation when it claims more
    // than limit bytes; the buffer grows with what really decodes.
    unsigned long ReadAll(std::vector<uint8_t>* out, uint64_t limit);
    uint64_t Remaining() const { return m_res.originalSize - m_position; }

    // Whether the sizes of a resource header can describe real data in a
    // file of fileSize bytes: inside the file, and for a compressed one at
    // least one stored byte per chunk besides its table.
    static bool Plausible(const wim::ResHdr& res, uint32_t chunkSize, uint64_t fileSize);

private:
    unsigned long CheckLayout();
    unsigned long LoadWindow(uint64_t first);
    unsigned long ChunkBounds(uint64_t index, uint64_t* start, uint64_t* end);
    unsigned long LoadBatch(uint64_t index);

    CFileIo* m_io = nullptr;
    wim::ResHdr m_res = {};
    uint32_t m_chunkSize = 0;
    wim::Compression m_compression = wim::Compression::None;
    bool m_compressed = false;
    uint64_t m_position = 0;
    bool m_checked = false;
    uint64_t m_chunks = 0;
    uint32_t m_entrySize = 4;
    uint64_t m_tableSize = 0;
    uint64_t m_windowFirst = UINT64_MAX; // first chunk whose start the window holds
    std::vector<uint64_t> m_window;      // chunk starts, relative to the data
    uint64_t m_loadedFirst = UINT64_MAX; // chunks decoded in m_chunk
    size_t m_loadedCount = 0;
    std::vector<uint64_t> m_starts;
    std::vector<uint8_t> m_chunk;
    std::vector<uint8_t> m_packed;
};
