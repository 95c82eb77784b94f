// Writes a WIM file: streams (stored once per SHA-1), image metadata, then
// the lookup table, XML data, optional integrity table and the header.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CBackgroundWriter.h"
#include "CFileIo.h"
#include "CSha1.h"
#include "CXpressEncoder.h"
#include "WimFormat.h"

class CWimWriter {
public:
    // Fills buffer with up to size bytes; returns the count, or -1 on error.
    using Source = std::function<long long(uint8_t* buffer, size_t size)>;
    // Starts the source again from its first byte; FALSE when it cannot.
    using Rewind = std::function<bool()>;

    CWimWriter();
    unsigned long Create(const std::u16string& path, wim::Compression compression, const uint8_t guid[16]);
    // Continues an existing file: its streams are known, new data goes after dataEnd.
    unsigned long Append(const std::u16string& path, const wim::Header& header,
                         const std::vector<wim::LookupEntry>& entries, uint64_t dataEnd);

    // Stores size bytes from source unless a stream with the same SHA-1 is
    // already stored. Zero-length streams store nothing (hash all zero).
    // With rewind, a stream the size of a stored one is hashed before it is
    // compressed, so that a duplicate costs a read and no compression.
    unsigned long WriteStream(const Source& source, uint64_t size, Sha1Digest* hash, const Rewind& rewind = Rewind());
    unsigned long WriteMetadata(const std::vector<uint8_t>& data);
    // Copies a stored resource of another file as it is.
    unsigned long CopyRaw(CFileIo& from, const wim::LookupEntry& entry);
    bool HasStream(const Sha1Digest& hash) const { return m_streams.count(hash) != 0; }
    uint64_t BytesWritten() const { return m_end; }

    void SetPart(uint16_t part, uint16_t total) { m_header.partNumber = part; m_header.totalParts = total; }
    // Raw copies keep the chunk size of the file they come from.
    void SetChunkSize(uint32_t size) { if (m_compression != wim::Compression::None) m_header.chunkSize = size; }
    void SetImageCount(uint32_t count) { m_header.imageCount = count; }
    void SetBootIndex(uint32_t index) { m_header.bootIndex = index; }
    unsigned long Finish(const std::u16string& xml, bool integrity);
    void Abandon();
    const wim::Header& Header() const { return m_header; }
    wim::Compression Compression() const { return m_compression; }

private:
    unsigned long Put(const void* data, size_t size);
    unsigned long Flush();
    unsigned long PutChunked(const Source& source, uint64_t size, CSha1* sha, size_t preloaded, uint64_t* stored,
                             bool* compressed);
    size_t BatchBytes();
    unsigned long ReadAhead(const Source& source, CSha1* sha, size_t nextWant, size_t n, size_t want, bool compress);
    unsigned long ReadFull(const Source& source, uint8_t* buffer, size_t size);
    unsigned long HashRest(const Source& source, uint64_t size, size_t first, CSha1 sha, Sha1Digest* hash);
    bool Reuse(const Sha1Digest& hash);
    unsigned long Queue(const Sha1Digest& hash, size_t size);
    unsigned long HandOver();
    struct Packed;
    void Pack(Packed& batch);
    unsigned long CommitPacked();
    // Every queued stream in the file, in order.
    unsigned long FlushPending();
    unsigned long WriteIntegrity(uint64_t end);

    CFileIo m_io;
    wim::Header m_header;
    wim::Compression m_compression = wim::Compression::None;
    std::map<Sha1Digest, wim::LookupEntry> m_streams;
    std::vector<wim::LookupEntry> m_metadata;
    uint64_t m_end = wim::kHeaderSize;
    std::vector<uint8_t> m_buffer;
    uint64_t m_bufferStart = wim::kHeaderSize;
    std::set<uint64_t> m_sizes; // original sizes of the stored streams
    std::vector<uint8_t> m_in;  // one batch of chunks
    std::vector<uint8_t> m_next; // the batch after it, read while m_in is compressed
    std::vector<uint8_t> m_out; // their compressed forms, a slot each
    std::vector<size_t> m_packedSizes;
    std::vector<std::unique_ptr<CXpressEncoder>> m_encoders; // one per worker
    struct Pending {
        Sha1Digest hash;
        size_t at; // in m_pendingData
        size_t size;
    };
    std::vector<Pending> m_pending; // small new streams not yet written
    std::vector<uint8_t> m_pendingData;
    // Queued streams being compressed on the packer's thread, put into the
    // file by the caller's thread once done. The packer goes first on
    // destruction.
    struct Packed {
        std::vector<Pending> streams;
        std::vector<uint8_t> data;
        bool compressed = false;
        std::vector<uint8_t> out;  // compressed chunks, a slot each
        std::vector<uint8_t> blob; // what goes into the file
        std::vector<std::pair<size_t, size_t>> spans; // each stream's offset and size in blob
    };
    std::unique_ptr<Packed> m_packing;
    std::unique_ptr<Packed> m_spare;
    std::unique_ptr<CBackgroundWriter> m_packer;
};
