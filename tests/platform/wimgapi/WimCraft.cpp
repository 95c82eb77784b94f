#include "WimCraft.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "CWimFile.h"
#include "CWimWriter.h"
#include "CWimXml.h"
#include "CXpressEncoder.h"
#include "WimTestTree.h"

namespace WimCraft {

namespace {


CWimWriter::Source FromString(const std::string& data, size_t* pos)
{
    return [&data, pos](uint8_t* buf, size_t size) -> long long {
        size_t take = std::min(size, data.size() - *pos);
        memcpy(buf, data.data() + *pos, take);
        *pos += take;
        return (long long)take;
    };
}

} // namespace

const uint64_t kCraftedTime = 129000000000000000ull; // a day in 2009, in FILETIME units

std::string Make(const std::wstring& path, const std::vector<File>& files, wim::Compression compression,
                 bool integrity)
{
    CWimWriter writer;
    uint8_t guid[16] = {0x42};
    if (writer.Create(std::u16string(path.begin(), path.end()), compression, guid)) return std::string();
    CImageMetadata image;
    image.Root().attributes = FILE_ATTRIBUTE_DIRECTORY;
    for (const File& f : files) {
        WimDentry d;
        d.name = f.name;
        d.attributes = FILE_ATTRIBUTE_NORMAL;
        d.hardLinkId = f.hardLinkId;
        // A fixed time, as a captured file has, so that two applies match.
        d.creationTime = d.lastAccessTime = d.lastWriteTime = kCraftedTime;
        size_t pos = 0;
        if (writer.WriteStream(FromString(f.data, &pos), f.data.size(), &d.hash)) return std::string();
        image.Root().children.push_back(d);
    }
    if (writer.WriteMetadata(image.Serialize())) return std::string();
    writer.SetImageCount(1);
    if (writer.Finish(CWimXml::Document({CWimXml::ImageElement(WimImageInfo())}, 0), integrity)) return std::string();
    return WimTestTree::ReadFileBytes(path);
}

wim::Header ReadHeader(const std::string& wim)
{
    wim::Header h;
    if (wim.size() >= wim::kHeaderSize) CWimFile::ParseHeader(reinterpret_cast<const uint8_t*>(wim.data()), &h);
    return h;
}

void WriteHeader(std::string* wim, const wim::Header& header)
{
    uint8_t raw[wim::kHeaderSize];
    CWimFile::WriteHeader(header, raw);
    memcpy(&(*wim)[0], raw, sizeof(raw));
}

size_t LookupCount(const std::string& wim) { return (size_t)(ReadHeader(wim).lookup.size / wim::kLookupEntrySize); }

wim::ResHdr LookupRes(const std::string& wim, size_t index)
{
    uint64_t at = ReadHeader(wim).lookup.offset + index * wim::kLookupEntrySize;
    return wim::GetRes(reinterpret_cast<const uint8_t*>(wim.data()) + at);
}

void SetLookupRes(std::string* wim, size_t index, const wim::ResHdr& res)
{
    uint64_t at = ReadHeader(*wim).lookup.offset + index * wim::kLookupEntrySize;
    wim::PutRes(reinterpret_cast<uint8_t*>(&(*wim)[(size_t)at]), res);
}

wim::ResHdr AppendZeroBomb(std::string* wim, uint64_t chunks)
{
    std::vector<uint8_t> zeros(wim::kChunkSize, 0), packed(wim::kChunkSize + 1024);
    CXpressEncoder encoder;
    size_t n = encoder.Compress(zeros.data(), zeros.size(), packed.data(), packed.size());
    wim::ResHdr res;
    res.offset = wim->size();
    res.flags = wim::kResCompressed;
    res.originalSize = chunks * wim::kChunkSize;
    std::string table((size_t)(chunks - 1) * 4, '\0');
    for (uint64_t i = 1; i < chunks; ++i)
        wim::Put32(reinterpret_cast<uint8_t*>(&table[(size_t)(i - 1) * 4]), (uint32_t)(i * n));
    *wim += table;
    for (uint64_t i = 0; i < chunks; ++i)
        wim->append(reinterpret_cast<const char*>(packed.data()), n);
    res.size = wim->size() - res.offset;
    return res;
}

bool Save(const std::wstring& path, const std::string& bytes) { return WimTestTree::WriteFileBytes(path, bytes); }

} // namespace WimCraft
