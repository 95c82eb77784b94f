// The object behind a WIM handle: the file, its reference parts, the
// temporary path and, for a handle with write access, the writer of the
// images captured into it.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CImageMetadata.h"
#include "CResourceReader.h"
#include "CWimFile.h"
#include "CWimObject.h"
#include "CWimWriter.h"
#include "wimgapi.h"

class CWimHandle : public CWimObject {
public:
    CWimHandle();
    ~CWimHandle() override;

    // Each returns 0 or a system error code.
    DWORD Open(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags, DWORD compression,
               DWORD* creationResult);
    DWORD Close();
    DWORD AddReference(const std::wstring& path, DWORD flags);
    DWORD SetTempPath(const std::wstring& path);
    DWORD GetInfo(WIM_INFO* info) const;
    DWORD ImageCount() const;
    DWORD LoadMetadata(DWORD index, CImageMetadata* metadata);
    DWORD StreamSize(const Sha1Digest& hash, uint64_t* size) const;
    // A reader given is reset to the stream, keeping its buffers.
    DWORD OpenStream(const Sha1Digest& hash, std::unique_ptr<CResourceReader>* reader, uint64_t* size);
    // The writer for a capture; FALSE without write access.
    DWORD BeginCapture(CWimWriter** writer);
    void EndCapture(const std::u16string& xmlImage, uint64_t bytes);

    // Image handles keep their WIM alive after its own handle is closed.
    void AddImage() { ++m_openImages; }
    bool ReleaseImage() { return --m_openImages == 0 && m_closed; }
    bool MarkClosed() { m_closed = true; return m_openImages == 0; }

    CWimFile* Main() { return m_main.get(); }
    const std::wstring& Path() const { return m_path; }
    DWORD Flags() const { return m_flags; }

private:
    void IndexStreams(CWimFile* file);

    std::wstring m_path;
    DWORD m_access = 0;
    DWORD m_flags = 0;
    wim::Compression m_compression = wim::Compression::None;
    uint8_t m_guid[16] = {};
    std::unique_ptr<CWimFile> m_main;
    std::vector<std::unique_ptr<CWimFile>> m_refs;
    std::map<Sha1Digest, std::pair<CWimFile*, wim::LookupEntry>> m_streams;
    std::unique_ptr<CWimWriter> m_writer;
    std::vector<std::u16string> m_xmlImages;
    uint64_t m_totalBytes = 0;
    bool m_dirty = false;
    std::wstring m_tempPath;
    int m_openImages = 0;
    bool m_closed = false;
};
