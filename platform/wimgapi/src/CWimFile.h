// One WIM file on disk (a whole WIM or one part of a split set), opened for
// reading: header, lookup table and XML data.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CFileIo.h"
#include "WimFormat.h"

class CWimFile {
public:
    // 0, or the error: missing file, not a WIM, truncated or corrupt tables.
    // verifyIntegrity checks the integrity table when the file has one.
    unsigned long Open(const std::u16string& path, bool writable, bool shareWrite, bool verifyIntegrity);

    const std::u16string& Path() const { return m_path; }
    const wim::Header& Header() const { return m_header; }
    wim::Compression Compression() const;
    const std::vector<wim::LookupEntry>& Entries() const { return m_entries; }
    // Metadata resources in image order (the first part of a set holds them).
    const std::vector<wim::LookupEntry>& MetadataEntries() const { return m_metadata; }
    const std::u16string& Xml() const { return m_xml; }
    CFileIo& Io() { return m_io; }
    // End of the last resource or table: where appended data may start.
    uint64_t DataEnd() const { return m_dataEnd; }

    static bool ParseHeader(const uint8_t* raw, wim::Header* header);
    static void WriteHeader(const wim::Header& header, uint8_t* raw);

private:
    unsigned long ReadTables();
    unsigned long VerifyIntegrity();

    std::u16string m_path;
    CFileIo m_io;
    wim::Header m_header;
    std::vector<wim::LookupEntry> m_entries;
    std::vector<wim::LookupEntry> m_metadata;
    std::u16string m_xml;
    uint64_t m_dataEnd = wim::kHeaderSize;
};
