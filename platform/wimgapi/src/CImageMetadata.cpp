#include "CImageMetadata.h"

#include <cstring>

#include "WimFormat.h"

namespace {

const size_t kDentryFixed = 102;
const unsigned kMaxDepth = 1024;
const unsigned long kErrInvalidName = 123;

uint64_t Align8(uint64_t v) { return (v + 7) & ~7ull; }

std::u16string ReadName(const uint8_t* p, size_t bytes)
{
    std::u16string s;
    for (size_t i = 0; i + 1 < bytes; i += 2)
        s += (char16_t)wim::Get16(p + i);
    return s;
}

void CollectFrom(const WimDentry& d, std::set<Sha1Digest>* hashes)
{
    if (!d.hash.IsZero()) hashes->insert(d.hash);
    for (const WimDentry& c : d.children)
        CollectFrom(c, hashes);
}

void AppendName(std::vector<uint8_t>& out, size_t at, const std::u16string& s)
{
    for (size_t i = 0; i < s.size(); ++i)
        wim::Put16(&out[at + 2 * i], (uint16_t)s[i]);
}

size_t AppendDentry(std::vector<uint8_t>& out, const WimDentry& d)
{
    size_t nameBytes = d.name.size() * 2, shortBytes = d.shortName.size() * 2;
    size_t length = Align8(kDentryFixed + nameBytes + 2 + (shortBytes ? shortBytes + 2 : 0));
    size_t at = out.size();
    out.resize(at + length, 0);
    uint8_t* p = &out[at];
    wim::Put64(p, length);
    wim::Put32(p + 8, d.attributes);
    wim::Put32(p + 12, 0xFFFFFFFFu);
    wim::Put64(p + 40, d.creationTime);
    wim::Put64(p + 48, d.lastAccessTime);
    wim::Put64(p + 56, d.lastWriteTime);
    memcpy(p + 64, d.hash.bytes, 20);
    if (d.IsReparsePoint()) wim::Put32(p + 88, d.reparseTag);
    else wim::Put64(p + 88, d.hardLinkId);
    wim::Put16(p + 98, (uint16_t)shortBytes);
    wim::Put16(p + 100, (uint16_t)nameBytes);
    AppendName(out, at + kDentryFixed, d.name);
    if (shortBytes) AppendName(out, at + kDentryFixed + nameBytes + 2, d.shortName);
    return at;
}

void AppendList(std::vector<uint8_t>& out, const std::vector<WimDentry>& list)
{
    std::vector<size_t> at;
    for (const WimDentry& d : list)
        at.push_back(AppendDentry(out, d));
    out.resize(out.size() + 8, 0);
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].IsDirectory()) continue;
        wim::Put64(&out[at[i] + 16], out.size());
        AppendList(out, list[i].children);
    }
}

} // namespace

bool CImageMetadata::IsSafeName(const std::u16string& name)
{
    if (name.empty() || name == u"." || name == u"..") return false;
    for (char16_t c : name)
        if (c == u'\\' || c == u'/' || c == u':' || c == 0) return false;
    return true;
}

unsigned long CImageMetadata::ParseDentry(const std::vector<uint8_t>& raw, uint64_t offset, WimDentry* d, uint64_t* next,
                                          uint64_t* subdir)
{
    if (offset > raw.size() || raw.size() - offset < 8) return wim::kErrInvalidData;
    const uint8_t* p = raw.data() + offset;
    uint64_t length = wim::Get64(p);
    if (length == 0) {
        *next = 0;
        return 0;
    }
    if (length < kDentryFixed || length > raw.size() - offset) return wim::kErrInvalidData;
    d->attributes = wim::Get32(p + 8);
    d->securityId = (int32_t)wim::Get32(p + 12);
    d->creationTime = wim::Get64(p + 40);
    d->lastAccessTime = wim::Get64(p + 48);
    d->lastWriteTime = wim::Get64(p + 56);
    memcpy(d->hash.bytes, p + 64, 20);
    if (d->IsReparsePoint()) d->reparseTag = wim::Get32(p + 88);
    else d->hardLinkId = wim::Get64(p + 88);
    uint16_t streams = wim::Get16(p + 96);
    uint16_t shortBytes = wim::Get16(p + 98);
    uint16_t nameBytes = wim::Get16(p + 100);
    if (kDentryFixed + (uint64_t)nameBytes + shortBytes > length) return wim::kErrInvalidData;
    d->name = ReadName(p + kDentryFixed, nameBytes);
    size_t shortAt = kDentryFixed + nameBytes + (nameBytes ? 2 : 0);
    if (shortBytes && shortAt + shortBytes <= length) d->shortName = ReadName(p + shortAt, shortBytes);

    uint64_t pos = offset + Align8(length);
    for (uint16_t i = 0; i < streams; ++i) {
        if (pos > raw.size() || raw.size() - pos < 38) return wim::kErrInvalidData;
        const uint8_t* s = raw.data() + pos;
        uint64_t slen = wim::Get64(s);
        if (slen < 38 || slen > raw.size() - pos) return wim::kErrInvalidData;
        // Only the unnamed stream is data we restore; named streams are left out.
        if (wim::Get16(s + 36) == 0 && d->hash.IsZero()) memcpy(d->hash.bytes, s + 16, 20);
        pos += Align8(slen);
    }
    *next = pos;
    *subdir = d->IsDirectory() ? wim::Get64(p + 16) : 0;
    return 0;
}

unsigned long CImageMetadata::ParseList(const std::vector<uint8_t>& raw, uint64_t offset, WimDentry* parent,
                                        unsigned depth)
{
    if (depth > kMaxDepth || !m_visitedLists.insert(offset).second) return wim::kErrInvalidData;
    for (;;) {
        WimDentry d;
        uint64_t next = 0, subdir = 0;
        unsigned long err = ParseDentry(raw, offset, &d, &next, &subdir);
        if (err) return err;
        if (!next) return 0;
        if (++m_count > raw.size() / 8) return wim::kErrInvalidData;
        if (!IsSafeName(d.name)) return kErrInvalidName;
        if (subdir) {
            err = ParseList(raw, subdir, &d, depth + 1);
            if (err) return err;
        }
        parent->children.push_back(std::move(d));
        offset = next;
    }
}

unsigned long CImageMetadata::Parse(const std::vector<uint8_t>& raw)
{
    m_root = WimDentry();
    m_visitedLists.clear();
    m_count = 0;
    if (raw.size() < 8) return wim::kErrInvalidData;
    uint32_t secLength = wim::Get32(raw.data());
    uint32_t secCount = wim::Get32(raw.data() + 4);
    if (secLength < 8) secLength = 8;
    if (secLength > raw.size() || (uint64_t)secCount * 8 + 8 > secLength) return wim::kErrInvalidData;
    m_security.assign(raw.begin(), raw.begin() + secLength);
    uint64_t rootAt = Align8(secLength);
    uint64_t next = 0, subdir = 0;
    unsigned long err = ParseDentry(raw, rootAt, &m_root, &next, &subdir);
    if (err) return err;
    if (!next || !m_root.IsDirectory()) return wim::kErrInvalidData;
    m_root.name.clear();
    return subdir ? ParseList(raw, subdir, &m_root, 1) : 0;
}

std::vector<uint8_t> CImageMetadata::Serialize() const
{
    // Security descriptors are not kept: every entry has none (-1).
    std::vector<uint8_t> out(8, 0);
    wim::Put32(out.data(), 8);
    size_t at = AppendDentry(out, m_root);
    out.resize(out.size() + 8, 0);
    wim::Put64(&out[at + 16], out.size());
    AppendList(out, m_root.children);
    return out;
}

void CImageMetadata::CollectHashes(std::set<Sha1Digest>* hashes) const { CollectFrom(m_root, hashes); }
