// Small WIM files made with our own format code, for tests that need an
// image no capture would write: crafted entries, patched sizes, appended
// resources. Everything is in memory until Save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CImageMetadata.h"
#include "WimFormat.h"

namespace WimCraft {

struct File {
    std::u16string name;
    std::string data;
    uint64_t hardLinkId = 0;
};

// A one-image WIM of the given files in its root, written to path (which
// is then free for the test) and returned as bytes.
std::string Make(const std::wstring& path, const std::vector<File>& files, wim::Compression compression,
                 bool integrity = false);

// Field access on such bytes: the header, and the lookup entries (the
// uncompressed table our writer makes), metadata first.
wim::Header ReadHeader(const std::string& wim);
void WriteHeader(std::string* wim, const wim::Header& header);
size_t LookupCount(const std::string& wim);
wim::ResHdr LookupRes(const std::string& wim, size_t index);
void SetLookupRes(std::string* wim, size_t index, const wim::ResHdr& res);

// One compressed resource of `chunks` chunks that each inflate to 32 KiB of
// zeros, appended to the file; returns its header.
wim::ResHdr AppendZeroBomb(std::string* wim, uint64_t chunks);

bool Save(const std::wstring& path, const std::string& bytes);

} // namespace WimCraft
