#include "CWimSplitter.h"

#include <algorithm>
#include <vector>

#include "CMessageSink.h"
#include "CWimHandle.h"
#include "CWimWriter.h"

std::wstring CWimSplitter::PartName(const std::wstring& firstPart, unsigned number)
{
    if (number == 1) return firstPart;
    size_t slash = firstPart.find_last_of(L"\\/");
    size_t dot = firstPart.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return firstPart + std::to_wstring(number);
    return firstPart.substr(0, dot) + std::to_wstring(number) + firstPart.substr(dot);
}

CWimSplitter::CWimSplitter(CWimHandle& wim, HANDLE hMessages) : m_wim(wim), m_hMessages(hMessages) {}

DWORD CWimSplitter::Split(const std::wstring& firstPart, uint64_t partSize)
{
    CWimFile* source = m_wim.Main();
    if (!source || source->Header().totalParts != 1) return ERROR_INVALID_PARAMETER;
    const uint64_t fixed = wim::kHeaderSize + source->Header().xml.size + 2;

    // Plan first, so every header can carry the number of parts.
    std::vector<wim::LookupEntry> streams = source->Entries();
    std::sort(streams.begin(), streams.end(),
              [](const wim::LookupEntry& a, const wim::LookupEntry& b) { return a.res.offset < b.res.offset; });
    std::vector<std::vector<wim::LookupEntry>> parts(1, source->MetadataEntries());
    uint64_t used = fixed;
    for (const wim::LookupEntry& e : parts[0])
        used += e.res.size + wim::kLookupEntrySize;
    for (const wim::LookupEntry& e : streams) {
        uint64_t need = e.res.size + wim::kLookupEntrySize;
        if (used + need > partSize && !parts.back().empty()) {
            parts.emplace_back();
            used = fixed;
        }
        parts.back().push_back(e);
        used += need;
    }
    if (parts.size() > 0xFFFF) return ERROR_INVALID_PARAMETER;

    for (size_t i = 0; i < parts.size(); ++i) {
        std::wstring path = PartName(firstPart, (unsigned)i + 1);
        CWimWriter writer;
        DWORD err = writer.Create(std::u16string(path.begin(), path.end()), source->Compression(),
                                  source->Header().guid);
        if (err) return err;
        writer.SetChunkSize(source->Header().chunkSize);
        writer.SetPart((uint16_t)(i + 1), (uint16_t)parts.size());
        writer.SetImageCount(source->Header().imageCount);
        writer.SetBootIndex(source->Header().bootIndex);
        for (const wim::LookupEntry& e : parts[i]) {
            if ((err = writer.CopyRaw(source->Io(), e))) {
                writer.Abandon();
                return err;
            }
        }
        std::u16string xml = source->Xml();
        if ((err = writer.Finish(xml, false))) return err;
        WIN32_FILE_ATTRIBUTE_DATA data;
        ULONGLONG size = 0;
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            size = (ULONGLONG)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        if (CMessageSink::Instance().Send(m_hMessages, WIM_MSG_SPLIT, (WPARAM)path.c_str(), (LPARAM)&size) ==
            WIM_MSG_ABORT_IMAGE)
            return ERROR_REQUEST_ABORTED;
    }
    return 0;
}
