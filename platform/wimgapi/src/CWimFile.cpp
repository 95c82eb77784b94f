#include "CWimFile.h"

#include "CResourceReader.h"

#include <algorithm>

namespace {
const size_t kIntegrityHeader = 12;
const size_t kDigestSize = 20;
const uint64_t kIntegrityPiece = 1024 * 1024;
}

bool CWimFile::ParseHeader(const uint8_t* p, wim::Header* h)
{
    if (memcmp(p, wim::kMagic, 8) != 0 || wim::Get32(p + 8) != wim::kHeaderSize) return false;
    h->flags = wim::Get32(p + 16);
    h->chunkSize = wim::Get32(p + 20);
    memcpy(h->guid, p + 24, 16);
    h->partNumber = wim::Get16(p + 40);
    h->totalParts = wim::Get16(p + 42);
    h->imageCount = wim::Get32(p + 44);
    h->lookup = wim::GetRes(p + 48);
    h->xml = wim::GetRes(p + 72);
    h->boot = wim::GetRes(p + 96);
    h->bootIndex = wim::Get32(p + 120);
    h->integrity = wim::GetRes(p + 124);
    return true;
}

void CWimFile::WriteHeader(const wim::Header& h, uint8_t* p)
{
    memset(p, 0, wim::kHeaderSize);
    memcpy(p, wim::kMagic, 8);
    wim::Put32(p + 8, wim::kHeaderSize);
    wim::Put32(p + 12, wim::kVersion);
    wim::Put32(p + 16, h.flags);
    wim::Put32(p + 20, h.chunkSize);
    memcpy(p + 24, h.guid, 16);
    wim::Put16(p + 40, h.partNumber);
    wim::Put16(p + 42, h.totalParts);
    wim::Put32(p + 44, h.imageCount);
    wim::PutRes(p + 48, h.lookup);
    wim::PutRes(p + 72, h.xml);
    wim::PutRes(p + 96, h.boot);
    wim::Put32(p + 120, h.bootIndex);
    wim::PutRes(p + 124, h.integrity);
}

wim::Compression CWimFile::Compression() const
{
    if (!(m_header.flags & wim::kHdrCompression)) return wim::Compression::None;
    if (m_header.flags & wim::kHdrXpress) return wim::Compression::Xpress;
    if (m_header.flags & wim::kHdrLzx) return wim::Compression::Lzx;
    return wim::Compression::Lzms;
}

unsigned long CWimFile::Open(const std::u16string& path, bool writable, bool shareWrite, bool verifyIntegrity)
{
    m_path = path;
    unsigned long err = m_io.Open(path, writable ? CFileIo::ReadWrite : CFileIo::Read, shareWrite);
    if (err) return err;
    uint8_t raw[wim::kHeaderSize];
    if (m_io.Size() < wim::kHeaderSize || !m_io.ReadAt(0, raw, sizeof(raw))) return wim::kErrBadFormat;
    if (!ParseHeader(raw, &m_header)) return wim::kErrBadFormat;
    wim::Compression c = Compression();
    if (c == wim::Compression::Lzms) return wim::kErrNotSupported;
    uint32_t cs = m_header.chunkSize;
    if (c == wim::Compression::Lzx && cs != wim::kChunkSize) return wim::kErrNotSupported;
    if (c == wim::Compression::Xpress && (cs < 4096 || cs > 65536 || (cs & (cs - 1)))) return wim::kErrNotSupported;
    if (c == wim::Compression::None) m_header.chunkSize = wim::kChunkSize;
    if (m_header.totalParts == 0 || m_header.partNumber == 0 || m_header.partNumber > m_header.totalParts)
        return wim::kErrBadFormat;
    err = ReadTables();
    if (err) return err;
    if (verifyIntegrity && m_header.integrity.offset) return VerifyIntegrity();
    return 0;
}

unsigned long CWimFile::ReadTables()
{
    uint64_t fileSize = m_io.Size();
    auto inFile = [&](const wim::ResHdr& r) { return r.offset <= fileSize && r.size <= fileSize - r.offset; };
    if (!inFile(m_header.lookup) || !inFile(m_header.xml)) return wim::kErrHandleEof;
    uint32_t cs = m_header.chunkSize;

    std::vector<uint8_t> table;
    CResourceReader lookup(m_io, m_header.lookup, m_header.chunkSize, Compression());
    unsigned long err = lookup.ReadAll(&table, wim::kMaxLookupBytes);
    if (err) return err;
    if (table.size() % wim::kLookupEntrySize) return wim::kErrInvalidData;
    m_dataEnd = std::max<uint64_t>(wim::kHeaderSize, m_header.lookup.offset + m_header.lookup.size);
    for (size_t off = 0; off < table.size(); off += wim::kLookupEntrySize) {
        const uint8_t* p = table.data() + off;
        wim::LookupEntry e;
        e.res = wim::GetRes(p);
        e.part = wim::Get16(p + 24);
        e.refCount = wim::Get32(p + 26);
        memcpy(e.hash.bytes, p + 30, 20);
        if (e.part != m_header.partNumber) continue;
        if (!inFile(e.res)) return wim::kErrHandleEof;
        if (!CResourceReader::Plausible(e.res, cs, fileSize)) return wim::kErrInvalidData;
        if (e.res.flags & (wim::kResSpanned | wim::kResSolid)) return wim::kErrNotSupported;
        m_dataEnd = std::max(m_dataEnd, e.res.offset + e.res.size);
        if (e.res.flags & wim::kResMetadata) m_metadata.push_back(e);
        else m_entries.push_back(e);
    }
    if (m_header.partNumber == 1 && m_metadata.size() < m_header.imageCount) return wim::kErrInvalidData;

    std::vector<uint8_t> xml;
    if (m_header.xml.size) {
        m_dataEnd = std::max(m_dataEnd, m_header.xml.offset + m_header.xml.size);
        CResourceReader xr(m_io, m_header.xml, m_header.chunkSize, Compression());
        err = xr.ReadAll(&xml, wim::kMaxXmlBytes);
        if (err) return err;
    }
    size_t start = xml.size() >= 2 && xml[0] == 0xFF && xml[1] == 0xFE ? 2 : 0;
    m_xml.clear();
    for (size_t i = start; i + 1 < xml.size(); i += 2)
        m_xml += (char16_t)wim::Get16(&xml[i]);
    if (m_header.integrity.offset && inFile(m_header.integrity))
        m_dataEnd = std::max(m_dataEnd, m_header.integrity.offset + m_header.integrity.size);
    return 0;
}

unsigned long CWimFile::VerifyIntegrity()
{
    std::vector<uint8_t> raw;
    CResourceReader r(m_io, m_header.integrity, m_header.chunkSize, wim::Compression::None);
    unsigned long err = r.ReadAll(&raw, wim::kMaxIntegrityBytes);
    if (err) return err == wim::kErrInvalidData ? wim::kErrFileCorrupt : err;
    if (raw.size() < kIntegrityHeader) return wim::kErrFileCorrupt;
    uint32_t count = wim::Get32(&raw[4]);
    uint32_t chunk = wim::Get32(&raw[8]);
    if (chunk == 0 || raw.size() < kIntegrityHeader + (uint64_t)count * kDigestSize) return wim::kErrFileCorrupt;
    uint64_t start = wim::kHeaderSize;
    uint64_t end = m_header.lookup.offset + m_header.lookup.size;
    if (end < start || (end - start) / chunk + ((end - start) % chunk ? 1 : 0) != count) return wim::kErrFileCorrupt;
    // Each chunk is hashed in pieces: the table's chunk size is not trusted
    // with an allocation.
    std::vector<uint8_t> buf((size_t)std::min<uint64_t>(chunk, kIntegrityPiece));
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t off = start + (uint64_t)i * chunk;
        uint64_t left = std::min<uint64_t>(chunk, end - off);
        CSha1 sha;
        while (left) {
            size_t n = (size_t)std::min<uint64_t>(left, buf.size());
            if (!m_io.ReadAt(off, buf.data(), n)) return wim::kErrHandleEof;
            sha.Update(buf.data(), n);
            off += n;
            left -= n;
        }
        if (memcmp(sha.Final().bytes, &raw[kIntegrityHeader + kDigestSize * i], kDigestSize) != 0)
            return wim::kErrFileCorrupt;
    }
    return 0;
}
