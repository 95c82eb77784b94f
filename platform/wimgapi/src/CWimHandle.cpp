#include "CWimHandle.h"

#include <bcrypt.h>

#include "CWimXml.h"

namespace {

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// A random (version 4) GUID: from the system's generator, without the COM
// library, which costs every process that images a noticeable start-up.
bool NewGuid(uint8_t guid[16])
{
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, guid, 16, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
    guid[7] = (uint8_t)((guid[7] & 0x0F) | 0x40); // version, in Data3's high nibble
    guid[8] = (uint8_t)((guid[8] & 0x3F) | 0x80); // variant
    return true;
}

bool FileExists(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// WIM_INFO reports the file as a full path, whatever form the caller used.
std::wstring FullPath(const std::wstring& path)
{
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!n) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (!n || n >= full.size()) return path;
    full.resize(n);
    return full;
}

} // namespace

CWimHandle::CWimHandle() : CWimObject(Kind::Wim) {}

CWimHandle::~CWimHandle() { Close(); }

DWORD CWimHandle::Open(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags, DWORD compression,
                       DWORD* creationResult)
{
    m_path = FullPath(path);
    m_access = access;
    m_flags = flags;
    bool write = (access & WIM_GENERIC_WRITE) != 0;
    bool exists = FileExists(path);
    if (disposition == WIM_CREATE_NEW && exists) return ERROR_FILE_EXISTS;
    if (disposition == WIM_OPEN_EXISTING && !exists) return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES
                                                          ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    bool create = disposition == WIM_CREATE_NEW || disposition == WIM_CREATE_ALWAYS ||
                  (disposition == WIM_OPEN_ALWAYS && !exists);
    if (disposition < WIM_CREATE_NEW || disposition > WIM_OPEN_ALWAYS) return ERROR_INVALID_PARAMETER;
    if (create) {
        if (!write) return ERROR_INVALID_PARAMETER;
        if (compression == WIM_COMPRESS_NONE) m_compression = wim::Compression::None;
        else if (compression == WIM_COMPRESS_XPRESS) m_compression = wim::Compression::Xpress;
        else return ERROR_NOT_SUPPORTED; // we write no LZX or LZMS
        if (!NewGuid(m_guid)) return ERROR_GEN_FAILURE;
        m_writer.reset(new CWimWriter());
        DWORD err = m_writer->Create(U16(path), m_compression, m_guid);
        if (err) {
            m_writer.reset();
            return err;
        }
        m_dirty = true;
        if (creationResult) *creationResult = WIM_CREATED_NEW;
        return 0;
    }
    m_main.reset(new CWimFile());
    DWORD err = m_main->Open(U16(path), false, (flags & WIM_FLAG_SHARE_WRITE) != 0, (flags & WIM_FLAG_VERIFY) != 0);
    if (err) {
        m_main.reset();
        return err;
    }
    memcpy(m_guid, m_main->Header().guid, 16);
    m_compression = m_main->Compression();
    m_xmlImages = CWimXml::Images(m_main->Xml());
    IndexStreams(m_main.get());
    if (creationResult) *creationResult = WIM_OPENED_EXISTING;
    return 0;
}

void CWimHandle::IndexStreams(CWimFile* file)
{
    for (const wim::LookupEntry& e : file->Entries())
        m_streams.emplace(e.hash, std::make_pair(file, e));
}

DWORD CWimHandle::Close()
{
    if (!m_writer) return 0;
    DWORD err = 0;
    if (m_dirty) {
        uint32_t images = (uint32_t)m_xmlImages.size();
        m_writer->SetImageCount(images);
        if (m_main && m_main->Header().bootIndex <= images) m_writer->SetBootIndex(m_main->Header().bootIndex);
        err = m_writer->Finish(CWimXml::Document(m_xmlImages, m_totalBytes), (m_flags & WIM_FLAG_VERIFY) != 0);
    } else {
        m_writer->Abandon();
    }
    m_writer.reset();
    return err;
}

DWORD CWimHandle::AddReference(const std::wstring& path, DWORD flags)
{
    if (!m_main) return ERROR_INVALID_PARAMETER;
    if (flags & WIM_REFERENCE_REPLACE) {
        m_refs.clear();
        m_streams.clear();
        IndexStreams(m_main.get());
    }
    std::unique_ptr<CWimFile> file(new CWimFile());
    DWORD err = file->Open(U16(path), false, true, (flags & WIM_FLAG_VERIFY) != 0);
    if (err) return err;
    // A file of another set is harmless: streams are found by their SHA-1
    // and checked when read, so its data can only ever be the right data.
    IndexStreams(file.get());
    m_refs.push_back(std::move(file));
    return 0;
}

DWORD CWimHandle::SetTempPath(const std::wstring& path)
{
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return ERROR_PATH_NOT_FOUND;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    m_tempPath = path;
    return 0;
}

DWORD CWimHandle::GetInfo(WIM_INFO* info) const
{
    memset(info, 0, sizeof(*info));
    lstrcpynW(info->WimPath, m_path.c_str(), MAX_PATH);
    memcpy(&info->Guid, m_guid, 16);
    info->ImageCount = ImageCount();
    info->CompressionType = (DWORD)m_compression;
    info->PartNumber = m_main ? m_main->Header().partNumber : 1;
    info->TotalParts = m_main ? m_main->Header().totalParts : 1;
    info->BootIndex = m_main ? m_main->Header().bootIndex : 0;
    uint32_t hf = m_main ? m_main->Header().flags : 0;
    if (info->TotalParts > 1) info->WimAttributes |= WIM_ATTRIBUTE_SPANNED;
    if (hf & wim::kHdrRpFix) info->WimAttributes |= WIM_ATTRIBUTE_RP_FIX;
    if (hf & wim::kHdrReadOnly) info->WimAttributes |= WIM_ATTRIBUTE_READONLY;
    if (m_main && m_main->Header().integrity.offset) info->WimAttributes |= WIM_ATTRIBUTE_VERIFY_DATA;
    info->WimFlagsAndAttr = m_flags;
    return 0;
}

DWORD CWimHandle::ImageCount() const
{
    if (m_writer) return (DWORD)m_xmlImages.size();
    return m_main ? m_main->Header().imageCount : 0;
}

DWORD CWimHandle::LoadMetadata(DWORD index, CImageMetadata* metadata)
{
    if (!m_main || index == 0 || index > m_main->Header().imageCount) return ERROR_INVALID_PARAMETER;
    if (m_main->Header().partNumber != 1) return ERROR_INVALID_PARAMETER;
    const wim::LookupEntry& e = m_main->MetadataEntries()[index - 1];
    CResourceReader reader(m_main->Io(), e.res, m_main->Header().chunkSize, m_main->Compression());
    std::vector<uint8_t> raw;
    DWORD err = reader.ReadAll(&raw, wim::kMaxMetadataBytes);
    if (err) return err;
    if (CSha1::Of(raw.data(), raw.size()) != e.hash) return ERROR_FILE_CORRUPT;
    return metadata->Parse(raw);
}

DWORD CWimHandle::StreamSize(const Sha1Digest& hash, uint64_t* size) const
{
    auto found = m_streams.find(hash);
    if (found == m_streams.end()) return ERROR_NOT_FOUND;
    *size = found->second.second.res.originalSize;
    return 0;
}

DWORD CWimHandle::OpenStream(const Sha1Digest& hash, std::unique_ptr<CResourceReader>* reader, uint64_t* size)
{
    auto found = m_streams.find(hash);
    if (found == m_streams.end()) return ERROR_NOT_FOUND;
    CWimFile* file = found->second.first;
    const wim::LookupEntry& e = found->second.second;
    if (*reader) (*reader)->Reset(file->Io(), e.res, file->Header().chunkSize, file->Compression());
    else reader->reset(new CResourceReader(file->Io(), e.res, file->Header().chunkSize, file->Compression()));
    *size = e.res.originalSize;
    return 0;
}

DWORD CWimHandle::BeginCapture(CWimWriter** writer)
{
    if (!(m_access & WIM_GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
    if (!m_writer) {
        if (!m_main || m_main->Header().totalParts != 1) return ERROR_NOT_SUPPORTED;
        if (m_compression != wim::Compression::None && m_compression != wim::Compression::Xpress)
            return ERROR_NOT_SUPPORTED;
        std::vector<wim::LookupEntry> all = m_main->MetadataEntries();
        all.insert(all.end(), m_main->Entries().begin(), m_main->Entries().end());
        m_writer.reset(new CWimWriter());
        DWORD err = m_writer->Append(U16(m_path), m_main->Header(), all, m_main->DataEnd());
        if (err) {
            m_writer.reset();
            return err;
        }
    }
    *writer = m_writer.get();
    return 0;
}

void CWimHandle::EndCapture(const std::u16string& xmlImage, uint64_t bytes)
{
    m_xmlImages.push_back(xmlImage);
    m_totalBytes += bytes;
    m_dirty = true;
}
