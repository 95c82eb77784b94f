// The tree a burner will write: folders and files by their path on the disc,
// checked as they are added, counted in sectors and written out into the
// disc's content folder when the burn has written its data.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CDiscTree {
public:
    struct Entry {
        std::wstring path;      // on the disc, backslash-separated, no leading backslash
        bool folder = false;
        bool hidden = false;
        std::wstring source;    // files only
        ULONGLONG size = 0;     // files only
    };

    // A disc path as stored: parts separated by single backslashes, no
    // leading or trailing one; false for "." or "..", empty parts, characters
    // a disc name cannot hold, or an over-long path.
    static bool Normalise(const std::wstring& path, std::wstring& out);

    // BRN_E_FOLDER_EXISTS when the folder is there, BRN_E_FILE_EXISTS when a
    // file holds the name. Missing parents are added.
    HRESULT AddFolder(const std::wstring& path, bool hidden);
    // The source must be a readable file; BRN_E_FILE_EXISTS when the path is
    // taken. Missing parents are added.
    HRESULT AddFile(const std::wstring& path, const std::wstring& source);
    void Clear();

    const std::vector<Entry>& Entries() const { return m_entries; }
    // Reads every source's size again; fails when a source is gone.
    HRESULT Refresh();
    // Sectors the files take, each rounded up to whole sectors.
    ULONGLONG Sectors() const;
    // Writes the tree below the folder: small files are copied, large ones
    // linked or copied sparsely, so that multi-GiB sources stay cheap.
    HRESULT WriteTo(const std::wstring& folder) const;

    static const ULONGLONG kLinkMinBytes = 16ull << 20;

private:
    HRESULT AddParents(const std::wstring& path);
    const Entry* Find(const std::wstring& path) const;
    void Put(const Entry& entry);

    std::vector<Entry> m_entries;
    std::map<std::wstring, size_t> m_index;   // upper-cased path -> entry
};
