// On-disk layout of a WIM file: header, resource headers, lookup entries.
// All values are little-endian.
#pragma once

#include <cstdint>
#include <cstring>

#include "CSha1.h"

namespace wim {

const uint8_t kMagic[8] = {'M', 'S', 'W', 'I', 'M', 0, 0, 0};
const uint32_t kHeaderSize = 208;
const uint32_t kVersion = 0x10D00;
const uint32_t kChunkSize = 32768;
const uint32_t kLookupEntrySize = 50;
const uint32_t kIntegrityChunk = 10 * 1024 * 1024;

// The most a table read whole may hold. Real images stay far below: an
// image of a million files has about 150 MiB of metadata, a lookup table
// 50 bytes per stream, the XML a few KiB per image. A file claiming more is
// damaged or crafted, and must not make us allocate it.
const uint64_t kMaxLookupBytes = 128ull * 1024 * 1024;
const uint64_t kMaxXmlBytes = 16ull * 1024 * 1024;
const uint64_t kMaxMetadataBytes = 256ull * 1024 * 1024;
const uint64_t kMaxIntegrityBytes = 64ull * 1024 * 1024;

// Header flags.
const uint32_t kHdrCompression = 0x00000002;
const uint32_t kHdrReadOnly = 0x00000004;
const uint32_t kHdrSpanned = 0x00000008;
const uint32_t kHdrResourceOnly = 0x00000010;
const uint32_t kHdrMetadataOnly = 0x00000020;
const uint32_t kHdrWriteInProgress = 0x00000040;
const uint32_t kHdrRpFix = 0x00000080;
const uint32_t kHdrXpress = 0x00020000;
const uint32_t kHdrLzx = 0x00040000;
const uint32_t kHdrLzms = 0x00080000;

// Resource flags.
const uint8_t kResFree = 0x01;
const uint8_t kResMetadata = 0x02;
const uint8_t kResCompressed = 0x04;
const uint8_t kResSpanned = 0x08;
const uint8_t kResSolid = 0x10;

enum class Compression { None = 0, Xpress = 1, Lzx = 2, Lzms = 3 };

struct ResHdr {
    uint64_t size = 0;     // bytes in the file (56 bits)
    uint8_t flags = 0;
    uint64_t offset = 0;
    uint64_t originalSize = 0;
};

struct LookupEntry {
    ResHdr res;
    uint16_t part = 1;
    uint32_t refCount = 1;
    Sha1Digest hash{};
};

struct Header {
    uint32_t flags = 0;
    uint32_t chunkSize = kChunkSize;
    uint8_t guid[16] = {};
    uint16_t partNumber = 1;
    uint16_t totalParts = 1;
    uint32_t imageCount = 0;
    ResHdr lookup;
    ResHdr xml;
    ResHdr boot;
    uint32_t bootIndex = 0;
    ResHdr integrity;
};

inline uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | (uint64_t)Get32(p + 4) << 32; }
inline void Put16(uint8_t* p, uint16_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }
inline void Put32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i)); }
inline void Put64(uint8_t* p, uint64_t v) { Put32(p, (uint32_t)v); Put32(p + 4, (uint32_t)(v >> 32)); }

inline ResHdr GetRes(const uint8_t* p)
{
    ResHdr r;
    r.size = Get64(p) & 0x00FFFFFFFFFFFFFFull;
    r.flags = p[7];
    r.offset = Get64(p + 8);
    r.originalSize = Get64(p + 16);
    return r;
}

inline void PutRes(uint8_t* p, const ResHdr& r)
{
    Put64(p, (r.size & 0x00FFFFFFFFFFFFFFull) | (uint64_t)r.flags << 56);
    Put64(p + 8, r.offset);
    Put64(p + 16, r.originalSize);
}

} // namespace wim

namespace wim {
// System error codes the format code reports (the values Windows uses).
const unsigned long kErrNotEnoughMemory = 8;
const unsigned long kErrBadFormat = 11;
const unsigned long kErrInvalidData = 13;
const unsigned long kErrHandleEof = 38;
const unsigned long kErrNotSupported = 50;
const unsigned long kErrInvalidParameter = 87;
const unsigned long kErrFileCorrupt = 1392;
const unsigned long kErrNotFound = 1168;
}
