#include "CMountTable.h"

#include <map>
#include <set>

#include "CImageApplier.h"
#include "CImageCapturer.h"
#include "CLongPath.h"
#include "CScopedHandle.h"
#include "CWimFile.h"
#include "CWimHandle.h"
#include "CWimWriter.h"
#include "CWimXml.h"

namespace {
std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
}

CMountTable& CMountTable::Instance()
{
    static CMountTable table;
    return table;
}

std::wstring CMountTable::Key(const std::wstring& path)
{
    CLongPath full;
    if (!full.Set(path)) return path;
    return CLongPath::FoldCase(full.Extended());
}

DWORD CMountTable::Mount(const std::wstring& mountPath, const std::wstring& wimPath, DWORD index, bool readWrite)
{
    std::wstring key = Key(mountPath);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const Entry& e : m_entries)
            if (e.key == key) return ERROR_ALREADY_EXISTS;
    }
    DWORD attrs = GetFileAttributesW(mountPath.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_PATH_NOT_FOUND;
    // The unmount empties the folder: it must hold nothing of the caller's.
    if (!IsEmptyFolder(mountPath)) return ERROR_DIR_NOT_EMPTY;
    CWimHandle wim;
    DWORD err = wim.Open(wimPath, WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, WIM_COMPRESS_NONE, nullptr);
    if (err) return err;
    CImageMetadata image;
    if ((err = wim.LoadMetadata(index, &image))) return err;
    CImageApplier applier(wim, (HANDLE)&wim, 0);
    if ((err = applier.Apply(image, mountPath))) {
        EmptyFolder(mountPath);
        return err;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back({key, mountPath, wimPath, Key(wimPath), index, readWrite});
    return 0;
}

DWORD CMountTable::Unmount(const std::wstring& mountPath, const std::wstring& wimPath, DWORD index, bool commit)
{
    std::wstring key = Key(mountPath);
    Entry entry;
    size_t at = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (at = 0; at < m_entries.size() && m_entries[at].key != key; ++at) {
        }
        if (at == m_entries.size()) return ERROR_NOT_FOUND;
        entry = m_entries[at];
    }
    // The image named must be the one mounted there (no file name and no
    // index: the caller does not say).
    if ((!wimPath.empty() && Key(wimPath) != entry.wimKey) || (index != entry.index && !(wimPath.empty() && !index)))
        return ERROR_INVALID_PARAMETER;
    if (commit && !entry.readWrite) return ERROR_ACCESS_DENIED;
    DWORD attrs = GetFileAttributesW(mountPath.c_str());
    bool folderGone = attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY);
    DWORD err = 0;
    if (commit) err = folderGone ? ERROR_PATH_NOT_FOUND : Commit(entry);
    // A failed commit keeps the mount, so that the caller may try again;
    // a folder that is gone has nothing left to commit.
    if (err && !folderGone) return err;
    if (!folderGone) EmptyFolder(mountPath);
    std::lock_guard<std::mutex> guard(m_lock);
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].key == key) {
            m_entries.erase(m_entries.begin() + (long)i);
            break;
        }
    return err;
}

DWORD CMountTable::Commit(const Entry& entry)
{
    std::unique_ptr<CWimFile> old(new CWimFile());
    DWORD err = old->Open(U16(entry.wimPath), false, true, false);
    if (err) return err;
    const wim::Header& h = old->Header();
    if (h.totalParts != 1 || entry.index == 0 || entry.index > h.imageCount) return ERROR_INVALID_PARAMETER;
    // Kept images are copied as stored, so they must match what we write.
    if (old->Compression() == wim::Compression::Lzx ||
        (old->Compression() == wim::Compression::Xpress && h.chunkSize != wim::kChunkSize))
        return ERROR_NOT_SUPPORTED;

    std::map<Sha1Digest, wim::LookupEntry> byHash;
    for (const wim::LookupEntry& e : old->Entries())
        byHash[e.hash] = e;
    std::vector<std::u16string> xml = CWimXml::Images(old->Xml());
    xml.resize(h.imageCount, CWimXml::ImageElement(WimImageInfo()));

    std::wstring temp = entry.wimPath + L".commit~";
    CWimWriter writer;
    if ((err = writer.Create(U16(temp), old->Compression(), h.guid))) return err;
    for (DWORD i = 1; i <= h.imageCount && !err; ++i) {
        if (i == entry.index) {
            CImageCapturer capturer(writer, nullptr);
            WimImageInfo info;
            err = capturer.Capture(entry.mountPath, &info);
            if (!err) xml[i - 1] = CWimXml::ImageElement(info);
            continue;
        }
        const wim::LookupEntry& meta = old->MetadataEntries()[i - 1];
        CResourceReader reader(old->Io(), meta.res, h.chunkSize, old->Compression());
        std::vector<uint8_t> raw;
        CImageMetadata image;
        if ((err = reader.ReadAll(&raw, wim::kMaxMetadataBytes)) || (err = image.Parse(raw))) break;
        std::set<Sha1Digest> hashes;
        image.CollectHashes(&hashes);
        for (const Sha1Digest& hash : hashes) {
            auto found = byHash.find(hash);
            if (found == byHash.end()) { err = ERROR_NOT_FOUND; break; }
            if ((err = writer.CopyRaw(old->Io(), found->second))) break;
        }
        if (!err) err = writer.CopyRaw(old->Io(), meta);
    }
    if (!err) {
        writer.SetImageCount(h.imageCount);
        writer.SetBootIndex(h.bootIndex);
        err = writer.Finish(CWimXml::Document(xml, 0), h.integrity.offset != 0);
    } else {
        writer.Abandon();
    }
    old.reset();
    if (!err && !MoveFileExW(temp.c_str(), entry.wimPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = GetLastError();
    if (err) DeleteFileW(temp.c_str());
    return err;
}

bool CMountTable::IsEmptyFolder(const std::wstring& path)
{
    CLongPath base;
    if (!base.Set(path) || !base.Push(u"*")) return false;
    WIN32_FIND_DATAW fd;
    CScopedHandle find(FindFirstFileW(base.Extended().c_str(), &fd), true);
    if (!find.Valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0) return false;
    } while (FindNextFileW(find.Get(), &fd));
    return true;
}

void CMountTable::EmptyFolder(const std::wstring& path)
{
    CLongPath base;
    if (!base.Set(path) || !base.Push(u"*")) return;
    WIN32_FIND_DATAW fd;
    CScopedHandle find(FindFirstFileW(base.Extended().c_str(), &fd), true);
    base.Pop();
    if (!find.Valid()) return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = base.Extended() + (base.Extended().back() == L'\\' ? L"" : L"\\") + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyFolder(child);
            RemoveDirectoryW(child.c_str());
        } else {
            DeleteFileW(child.c_str());
        }
    } while (FindNextFileW(find.Get(), &fd));
}
