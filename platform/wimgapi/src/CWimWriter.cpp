#include "CWimWriter.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "CFileIo.h"
#include "CSha1.h"
#include "CWimFile.h"
#include "CWorkerPool.h"

namespace {
const size_t kFlushAt = 4 * 1024 * 1024;
// Chunks compressed at once per worker: enough to keep every worker busy.
const size_t kChunksPerWorker = 4;
// Room for one compressed chunk; the encoder gives up before it fills it.
const size_t kOutSlot = wim::kChunkSize + 1024;
// Queued small streams are packed while the caller reads the next files on
// two threads of its own, whose calls wait on Wine's server: a pack on every
// core slows each of those calls by a quarter, more than its workers gain.
const unsigned kCoresForReaders = 2;
const unsigned kMinPackers = 2;
}

CWimWriter::CWimWriter() {}

size_t CWimWriter::BatchBytes()
{
    CWorkerPool& pool = CWorkerPool::Instance();
    size_t chunks = pool.Workers() * kChunksPerWorker;
    if (m_in.size() != chunks * wim::kChunkSize) {
        m_in.resize(chunks * wim::kChunkSize);
        m_next.resize(chunks * wim::kChunkSize);
        m_out.resize(chunks * kOutSlot);
        m_packedSizes.resize(chunks);
    }
    while (m_encoders.size() < pool.Workers())
        m_encoders.emplace_back(new CXpressEncoder());
    return m_in.size();
}

unsigned long CWimWriter::ReadFull(const Source& source, uint8_t* buffer, size_t size)
{
    for (size_t got = 0; got < size;) {
        long long n = source(buffer + got, size - got);
        if (n <= 0) return n < 0 && m_io.LastError() ? m_io.LastError() : wim::kErrHandleEof;
        got += (size_t)n;
    }
    return 0;
}

unsigned long CWimWriter::Create(const std::u16string& path, wim::Compression compression, const uint8_t guid[16])
{
    unsigned long err = m_io.Open(path, CFileIo::Create);
    if (err) return err;
    m_compression = compression;
    m_header = wim::Header();
    memcpy(m_header.guid, guid, 16);
    if (compression == wim::Compression::Xpress) m_header.flags = wim::kHdrCompression | wim::kHdrXpress;
    else if (compression == wim::Compression::Lzx) m_header.flags = wim::kHdrCompression | wim::kHdrLzx;
    m_header.chunkSize = compression == wim::Compression::None ? 0 : wim::kChunkSize;
    // A header marked as being written until Finish replaces it.
    uint8_t raw[wim::kHeaderSize];
    wim::Header pending = m_header;
    pending.flags |= wim::kHdrWriteInProgress;
    CWimFile::WriteHeader(pending, raw);
    m_end = m_bufferStart = 0;
    m_buffer.clear();
    return Put(raw, sizeof(raw));
}

unsigned long CWimWriter::Append(const std::u16string& path, const wim::Header& header,
                                 const std::vector<wim::LookupEntry>& entries, uint64_t dataEnd)
{
    unsigned long err = m_io.Open(path, CFileIo::ReadWrite);
    if (err) return err;
    m_header = header;
    m_header.integrity = wim::ResHdr();
    m_compression = !(header.flags & wim::kHdrCompression) ? wim::Compression::None
                    : (header.flags & wim::kHdrXpress)    ? wim::Compression::Xpress
                                                          : wim::Compression::Lzx;
    for (const wim::LookupEntry& e : entries) {
        if (e.res.flags & wim::kResMetadata) {
            m_metadata.push_back(e);
            continue;
        }
        m_streams[e.hash] = e;
        m_sizes.insert(e.res.originalSize);
    }
    m_end = m_bufferStart = dataEnd;
    m_buffer.clear();
    return 0;
}

unsigned long CWimWriter::Flush()
{
    if (m_buffer.empty()) return 0;
    if (!m_io.WriteAt(m_bufferStart, m_buffer.data(), m_buffer.size())) return m_io.LastError();
    m_bufferStart += m_buffer.size();
    m_buffer.clear();
    return 0;
}

unsigned long CWimWriter::Put(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), p, p + size);
    m_end += size;
    return m_buffer.size() >= kFlushAt ? Flush() : 0;
}

// Stores size bytes in batches of chunks compressed on all workers, written
// in order. The first `preloaded` bytes are already in m_in (and hashed);
// the rest are read from source and fed to sha when there is one.
unsigned long CWimWriter::PutChunked(const Source& source, uint64_t size, CSha1* sha, size_t preloaded,
                                     uint64_t* stored, bool* compressed)
{
    uint64_t start = m_end;
    size_t batch = BatchBytes();
    *compressed = m_compression == wim::Compression::Xpress;
    uint64_t chunks = (size + wim::kChunkSize - 1) / wim::kChunkSize;
    uint32_t entrySize = size > 0xFFFFFFFFull ? 8 : 4;
    uint64_t tableSize = *compressed ? (chunks - 1) * entrySize : 0;
    std::vector<uint8_t> table((size_t)tableSize, 0);
    if (tableSize) {
        unsigned long err = Put(table.data(), table.size());
        if (err) return err;
    }
    uint64_t index = 0;
    size_t want = (size_t)std::min<uint64_t>(batch, size);
    if (!preloaded) {
        unsigned long err = ReadFull(source, m_in.data(), want);
        if (err) return err;
        if (sha) sha->Update(m_in.data(), want);
    }
    for (uint64_t done = 0; done < size;) {
        size_t n = (want + wim::kChunkSize - 1) / wim::kChunkSize;
        size_t nextWant = (size_t)std::min<uint64_t>(batch, size - done - want);
        unsigned long readErr = ReadAhead(source, sha, nextWant, n, want, *compressed);
        for (size_t j = 0; j < n; ++j, ++index) {
            size_t len = std::min<size_t>(wim::kChunkSize, want - j * wim::kChunkSize);
            if (index > 0 && *compressed) {
                uint64_t rel = m_end - start - tableSize;
                if (entrySize == 8) wim::Put64(&table[(size_t)(index - 1) * 8], rel);
                else wim::Put32(&table[(size_t)(index - 1) * 4], (uint32_t)rel);
            }
            size_t packed = *compressed ? m_packedSizes[j] : 0;
            unsigned long err = packed ? Put(m_out.data() + j * kOutSlot, packed)
                                       : Put(m_in.data() + j * wim::kChunkSize, len);
            if (err) return err;
        }
        if (readErr) return readErr;
        done += want;
        m_in.swap(m_next);
        want = nextWant;
    }
    if (tableSize) {
        if (start >= m_bufferStart) {
            memcpy(&m_buffer[(size_t)(start - m_bufferStart)], table.data(), table.size());
        } else {
            unsigned long err = Flush();
            if (err) return err;
            if (!m_io.WriteAt(start, table.data(), table.size())) return m_io.LastError();
        }
    }
    *stored = m_end - start;
    return 0;
}

// Compresses the n chunks of the batch in m_in (want bytes) on all workers
// while the calling thread reads and hashes the next nextWant bytes into
// m_next: the source reports progress, which belongs to the caller's thread.
unsigned long CWimWriter::ReadAhead(const Source& source, CSha1* sha, size_t nextWant, size_t n, size_t want,
                                    bool compress)
{
    unsigned long err = 0;
    std::atomic<bool> read{nextWant == 0};
    auto readNext = [&]() {
        err = ReadFull(source, m_next.data(), nextWant);
        if (!err && sha) sha->Update(m_next.data(), nextWant);
    };
    if (compress)
        CWorkerPool::Instance().Run(n, [&](size_t j, unsigned worker) {
            if (worker == 0 && !read.exchange(true)) readNext();
            size_t len = std::min<size_t>(wim::kChunkSize, want - j * wim::kChunkSize);
            m_packedSizes[j] = m_encoders[worker]->Compress(m_in.data() + j * wim::kChunkSize, len,
                                                            m_out.data() + j * kOutSlot, kOutSlot);
        });
    // The workers took every chunk before the caller came to one.
    if (!read.exchange(true)) readNext();
    return err;
}

// A new stream that fits in one batch, now in m_in: kept until enough of
// them fill a batch, then compressed together (small files alone would
// leave the workers idle). Its lookup entry is complete once flushed.
unsigned long CWimWriter::Queue(const Sha1Digest& hash, size_t size)
{
    m_pending.push_back({hash, m_pendingData.size(), size});
    m_pendingData.insert(m_pendingData.end(), m_in.begin(), m_in.begin() + (long)size);
    wim::LookupEntry e;
    e.res.originalSize = size;
    e.part = m_header.partNumber;
    e.hash = hash;
    m_streams[hash] = e;
    m_sizes.insert(size);
    return m_pendingData.size() >= m_in.size() ? HandOver() : 0;
}

// Hands the queued streams to the packer's thread, which compresses them
// on the workers while the caller reads and hashes the next ones; the batch
// before goes into the file first.
unsigned long CWimWriter::HandOver()
{
    unsigned long err = CommitPacked();
    if (err || m_pending.empty()) return err;
    // Two batches take turns, so that their buffers keep their memory.
    m_packing = m_spare ? std::move(m_spare) : std::unique_ptr<Packed>(new Packed());
    m_packing->streams.swap(m_pending);
    m_packing->data.swap(m_pendingData);
    m_pending.clear();
    m_pendingData.clear();
    m_packing->blob.clear();
    m_packing->spans.clear();
    if (!m_packer) m_packer.reset(new CBackgroundWriter(1, 1));
    Packed* batch = m_packing.get();
    m_packer->Submit([this, batch] { Pack(*batch); });
    return 0;
}

// Every stream of the batch as it goes into the file: its chunk table (when
// compressed) and its chunks, each compressed one kept only when smaller.
void CWimWriter::Pack(Packed& batch)
{
    struct Piece {
        size_t in; // offset in batch.data
        size_t length;
    };
    std::vector<Piece> pieces;
    std::vector<size_t> firstPiece;
    for (const Pending& p : batch.streams) {
        firstPiece.push_back(pieces.size());
        for (size_t at = 0; at < p.size; at += wim::kChunkSize)
            pieces.push_back({p.at + at, std::min<size_t>(wim::kChunkSize, p.size - at)});
    }
    firstPiece.push_back(pieces.size());
    batch.compressed = m_compression == wim::Compression::Xpress;
    // A compressed chunk is kept only when smaller, so each fits in the room of its input.
    std::vector<uint8_t>& out = batch.out;
    out.resize(batch.compressed ? batch.data.size() : 0);
    std::vector<size_t> packed(pieces.size(), 0);
    CWorkerPool& pool = CWorkerPool::Instance();
    unsigned packers = pool.Workers() > kCoresForReaders + kMinPackers ? pool.Workers() - kCoresForReaders : kMinPackers;
    if (batch.compressed)
        pool.Run(pieces.size(), [&](size_t j, unsigned worker) {
            const Piece& c = pieces[j];
            packed[j] = m_encoders[worker]->Compress(&batch.data[c.in], c.length, &out[c.in], c.length);
        }, 2, packers);
    for (size_t i = 0; i < batch.streams.size(); ++i) {
        size_t start = batch.blob.size();
        size_t chunks = firstPiece[i + 1] - firstPiece[i];
        std::vector<uint8_t> table(batch.compressed ? (chunks - 1) * 4 : 0);
        for (size_t k = 1, rel = 0; k < chunks && batch.compressed; ++k) {
            size_t j = firstPiece[i] + k - 1;
            rel += packed[j] ? packed[j] : pieces[j].length;
            wim::Put32(&table[(k - 1) * 4], (uint32_t)rel);
        }
        batch.blob.insert(batch.blob.end(), table.begin(), table.end());
        for (size_t j = firstPiece[i]; j < firstPiece[i + 1]; ++j) {
            const uint8_t* from = packed[j] ? &out[pieces[j].in] : &batch.data[pieces[j].in];
            batch.blob.insert(batch.blob.end(), from, from + (packed[j] ? packed[j] : pieces[j].length));
        }
        batch.spans.push_back({start, batch.blob.size() - start});
    }
}

// Waits for the batch being packed and puts it into the file.
unsigned long CWimWriter::CommitPacked()
{
    if (!m_packing) return 0;
    m_packer->Wait();
    std::unique_ptr<Packed> batch = std::move(m_packing);
    uint64_t base = m_end;
    unsigned long err = Put(batch->blob.data(), batch->blob.size());
    if (err) return err;
    for (size_t i = 0; i < batch->streams.size(); ++i) {
        wim::LookupEntry& e = m_streams[batch->streams[i].hash];
        e.res.offset = base + batch->spans[i].first;
        e.res.size = batch->spans[i].second;
        e.res.flags = batch->compressed ? wim::kResCompressed : 0;
    }
    m_spare = std::move(batch);
    return 0;
}

unsigned long CWimWriter::FlushPending()
{
    unsigned long err = HandOver();
    return err ? err : CommitPacked();
}

bool CWimWriter::Reuse(const Sha1Digest& hash)
{
    auto found = m_streams.find(hash);
    if (found == m_streams.end()) return false;
    found->second.refCount++;
    return true;
}

// Hashes the rest of a stream whose first batch is in m_in, reading it
// through the output buffer, for a stream that may be stored already.
unsigned long CWimWriter::HashRest(const Source& source, uint64_t size, size_t first, CSha1 sha, Sha1Digest* hash)
{
    for (uint64_t done = first; done < size;) {
        size_t want = (size_t)std::min<uint64_t>(m_out.size(), size - done);
        unsigned long err = ReadFull(source, m_out.data(), want);
        if (err) return err;
        sha.Update(m_out.data(), want);
        done += want;
    }
    *hash = sha.Final();
    return 0;
}

unsigned long CWimWriter::WriteStream(const Source& source, uint64_t size, Sha1Digest* hash, const Rewind& rewind)
{
    *hash = Sha1Digest{};
    if (size == 0) return 0;
    size_t first = (size_t)std::min<uint64_t>(BatchBytes(), size);
    CSha1 sha;
    unsigned long err = ReadFull(source, m_in.data(), first);
    if (err) return err;
    sha.Update(m_in.data(), first);
    if (first == size) {
        // Whole in one batch: a copy of a stored stream is never compressed,
        // and a new one waits to be compressed together with others.
        *hash = sha.Final();
        if (Reuse(*hash)) return 0;
        return Queue(*hash, first);
    } else if (rewind && m_sizes.count(size)) {
        // A stream of this size is stored: hash first, compress only if new.
        if ((err = HashRest(source, size, first, sha, hash))) return err;
        if (Reuse(*hash)) return 0;
        if (!rewind()) return wim::kErrHandleEof;
        sha = CSha1();
        if ((err = ReadFull(source, m_in.data(), first))) return err;
        sha.Update(m_in.data(), first);
    }
    if ((err = FlushPending())) return err;
    uint64_t start = m_end;
    uint64_t stored = 0;
    bool compressed = false;
    err = PutChunked(source, size, &sha, first, &stored, &compressed);
    if (err) return err;
    *hash = sha.Final();
    if (Reuse(*hash)) {
        // Already stored: forget what was just written.
        if (start >= m_bufferStart) {
            m_buffer.resize((size_t)(start - m_bufferStart));
        } else {
            m_buffer.clear();
            m_bufferStart = start;
        }
        m_end = start;
        return 0;
    }
    wim::LookupEntry e;
    e.res.offset = start;
    e.res.size = stored;
    e.res.originalSize = size;
    e.res.flags = compressed ? wim::kResCompressed : 0;
    e.part = m_header.partNumber;
    e.hash = *hash;
    m_streams[*hash] = e;
    m_sizes.insert(size);
    return 0;
}

unsigned long CWimWriter::WriteMetadata(const std::vector<uint8_t>& data)
{
    unsigned long flushed = FlushPending();
    if (flushed) return flushed;
    uint64_t start = m_end;
    size_t pos = 0;
    Source src = [&](uint8_t* buf, size_t n) -> long long {
        size_t take = std::min(n, data.size() - pos);
        memcpy(buf, data.data() + pos, take);
        pos += take;
        return (long long)take;
    };
    CSha1 sha;
    uint64_t stored = 0;
    bool compressed = false;
    unsigned long err = PutChunked(src, data.size(), &sha, 0, &stored, &compressed);
    if (err) return err;
    wim::LookupEntry e;
    e.res.offset = start;
    e.res.size = stored;
    e.res.originalSize = data.size();
    e.res.flags = wim::kResMetadata | (compressed ? wim::kResCompressed : 0);
    e.part = m_header.partNumber;
    e.hash = sha.Final();
    m_metadata.push_back(e);
    return 0;
}

unsigned long CWimWriter::CopyRaw(CFileIo& from, const wim::LookupEntry& entry)
{
    bool isMetadata = (entry.res.flags & wim::kResMetadata) != 0;
    if (!isMetadata && m_streams.count(entry.hash)) return 0;
    unsigned long flushed = FlushPending();
    if (flushed) return flushed;
    wim::LookupEntry e = entry;
    e.res.offset = m_end;
    e.part = m_header.partNumber;
    std::vector<uint8_t> buf(1024 * 1024);
    for (uint64_t done = 0; done < entry.res.size;) {
        size_t n = (size_t)std::min<uint64_t>(buf.size(), entry.res.size - done);
        if (!from.ReadAt(entry.res.offset + done, buf.data(), n))
            return from.LastError() ? from.LastError() : wim::kErrHandleEof;
        unsigned long err = Put(buf.data(), n);
        if (err) return err;
        done += n;
    }
    if (isMetadata) {
        m_metadata.push_back(e);
    } else {
        m_streams[e.hash] = e;
        m_sizes.insert(e.res.originalSize);
    }
    return 0;
}

unsigned long CWimWriter::WriteIntegrity(uint64_t end)
{
    uint64_t start = wim::kHeaderSize;
    uint32_t count = (uint32_t)((end - start + wim::kIntegrityChunk - 1) / wim::kIntegrityChunk);
    std::vector<uint8_t> table(12 + (size_t)count * 20);
    wim::Put32(&table[0], (uint32_t)table.size());
    wim::Put32(&table[4], count);
    wim::Put32(&table[8], wim::kIntegrityChunk);
    std::vector<uint8_t> buf(wim::kIntegrityChunk);
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t off = start + (uint64_t)i * wim::kIntegrityChunk;
        size_t n = (size_t)std::min<uint64_t>(wim::kIntegrityChunk, end - off);
        if (!m_io.ReadAt(off, buf.data(), n)) return m_io.LastError();
        Sha1Digest d = CSha1::Of(buf.data(), n);
        memcpy(&table[12 + 20 * i], d.bytes, 20);
    }
    m_header.integrity.offset = m_end;
    m_header.integrity.size = m_header.integrity.originalSize = table.size();
    m_header.integrity.flags = 0;
    return Put(table.data(), table.size());
}

unsigned long CWimWriter::Finish(const std::u16string& xml, bool integrity)
{
    unsigned long flushed = FlushPending();
    if (flushed) return flushed;
    std::vector<uint8_t> table;
    auto add = [&](const wim::LookupEntry& e) {
        size_t at = table.size();
        table.resize(at + wim::kLookupEntrySize);
        wim::PutRes(&table[at], e.res);
        wim::Put16(&table[at + 24], e.part);
        wim::Put32(&table[at + 26], e.refCount);
        memcpy(&table[at + 30], e.hash.bytes, 20);
    };
    for (const wim::LookupEntry& e : m_metadata)
        add(e);
    for (const auto& kv : m_streams)
        if (kv.second.part == m_header.partNumber) add(kv.second);
    m_header.lookup.offset = m_end;
    m_header.lookup.size = m_header.lookup.originalSize = table.size();
    m_header.lookup.flags = 0;
    unsigned long err = Put(table.data(), table.size());
    if (err) return err;

    std::vector<uint8_t> xmlBytes{0xFF, 0xFE};
    for (char16_t c : xml) {
        xmlBytes.push_back((uint8_t)c);
        xmlBytes.push_back((uint8_t)(c >> 8));
    }
    m_header.xml.offset = m_end;
    m_header.xml.size = m_header.xml.originalSize = xmlBytes.size();
    m_header.xml.flags = 0;
    err = Put(xmlBytes.data(), xmlBytes.size());
    if (err) return err;
    if ((err = Flush())) return err;

    if (integrity) {
        err = WriteIntegrity(m_header.lookup.offset + m_header.lookup.size);
        if (err) return err;
        if ((err = Flush())) return err;
    }
    if (m_header.totalParts > 1) m_header.flags |= wim::kHdrSpanned;
    uint8_t raw[wim::kHeaderSize];
    CWimFile::WriteHeader(m_header, raw);
    if (!m_io.WriteAt(0, raw, sizeof(raw)) || !m_io.Truncate(m_end)) return m_io.LastError();
    m_io.Close();
    return 0;
}

void CWimWriter::Abandon() { m_io.Close(); }
