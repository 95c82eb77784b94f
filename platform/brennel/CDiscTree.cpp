#include "CDiscTree.h"

#include "Brennel.h"

#include <cwctype>
#include <memory>

namespace {

const size_t kMaxNameChars = 255;
const size_t kMaxPathChars = 1024;
const DWORD kCopyChunk = 1u << 20;

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Adopt(HANDLE h)
{
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

HRESULT LastError()
{
    DWORD err = GetLastError();
    return HRESULT_FROM_WIN32(err ? err : ERROR_GEN_FAILURE);
}

std::wstring Upper(const std::wstring& s)
{
    std::wstring out = s;
    for (wchar_t& c : out)
        c = (wchar_t)towupper(c);
    return out;
}

// CON, NUL, COM1 and their kin open devices instead of files, with any extension.
bool IsDeviceName(const std::wstring& name)
{
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"COM", L"LPT"};
    std::wstring base = Upper(name.substr(0, name.find(L'.')));
    for (const wchar_t* device : kDevices) {
        std::wstring d = device;
        bool numbered = d == L"COM" || d == L"LPT";
        if (numbered ? base.size() == 4 && !base.compare(0, 3, d) && base[3] >= L'1' && base[3] <= L'9' : base == d)
            return true;
    }
    return false;
}

bool IsValidName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxNameChars || name == L"." || name == L"..")
        return false;
    // Windows drops trailing dots and blanks, so such a name is another name.
    if (name.back() == L'.' || name.back() == L' ' || IsDeviceName(name))
        return false;
    for (wchar_t c : name)
        if (c < 0x20 || wcschr(L"<>:\"/|?*", c))
            return false;
    return true;
}

// The file's size; fails for a missing file and for a folder.
HRESULT SizeOf(const std::wstring& path, ULONGLONG& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return LastError();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return E_INVALIDARG;
    size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return S_OK;
}

bool IsAllZero(const char* data, DWORD size)
{
    for (DWORD i = 0; i < size; ++i)
        if (data[i])
            return false;
    return true;
}

// Copies the file, leaving holes where the source reads as zeros.
HRESULT SparseCopy(const std::wstring& from, const std::wstring& to)
{
    UniqueHandle in = Adopt(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in)
        return LastError();
    UniqueHandle out = Adopt(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                         nullptr));
    if (!out)
        return LastError();
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunk]);
    if (!buffer)
        return E_OUTOFMEMORY;
    LARGE_INTEGER written = {};
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.get(), kCopyChunk, &got, nullptr))
            return LastError();
        if (!got)
            break;
        LARGE_INTEGER at = written;
        if (!IsAllZero(buffer.get(), got)) {
            DWORD put = 0;
            if (!SetFilePointerEx(out.get(), at, nullptr, FILE_BEGIN) ||
                !WriteFile(out.get(), buffer.get(), got, &put, nullptr) || put != got)
                return LastError();
        }
        written.QuadPart += got;
    }
    if (!SetFilePointerEx(out.get(), written, nullptr, FILE_BEGIN) || !SetEndOfFile(out.get()))
        return LastError();
    return S_OK;
}

HRESULT WriteFileEntry(const CDiscTree::Entry& e, const std::wstring& target)
{
    // A link would let a later in-place rewrite of the source change the
    // disc; only large sources, which are written once, are linked.
    if (e.size >= CDiscTree::kLinkMinBytes && CreateHardLinkW(target.c_str(), e.source.c_str(), nullptr))
        return S_OK;
    if (e.size >= CDiscTree::kLinkMinBytes)
        return SparseCopy(e.source, target);
    return CopyFileW(e.source.c_str(), target.c_str(), FALSE) ? S_OK : LastError();
}

} // namespace

bool CDiscTree::Normalise(const std::wstring& path, std::wstring& out)
{
    out.clear();
    if (path.size() > kMaxPathChars)
        return false;
    size_t begin = path.find_first_not_of(L'\\');
    size_t end = path.find_last_not_of(L'\\');
    if (begin == std::wstring::npos)
        return true;   // the root
    std::wstring rest = path.substr(begin, end - begin + 1);
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t slash = rest.find(L'\\', pos);
        std::wstring name = rest.substr(pos, slash == std::wstring::npos ? std::wstring::npos : slash - pos);
        if (!IsValidName(name))
            return false;
        out += (out.empty() ? L"" : L"\\") + name;
        if (slash == std::wstring::npos)
            break;
        pos = slash + 1;
    }
    return true;
}

const CDiscTree::Entry* CDiscTree::Find(const std::wstring& path) const
{
    auto it = m_index.find(Upper(path));
    return it == m_index.end() ? nullptr : &m_entries[it->second];
}

void CDiscTree::Put(const Entry& entry)
{
    m_index[Upper(entry.path)] = m_entries.size();
    m_entries.push_back(entry);
}

HRESULT CDiscTree::AddParents(const std::wstring& path)
{
    size_t slash = path.find(L'\\');
    while (slash != std::wstring::npos) {
        std::wstring parent = path.substr(0, slash);
        const Entry* found = Find(parent);
        if (found && !found->folder)
            return BRN_E_FILE_EXISTS;
        if (!found) {
            Entry folder;
            folder.path = parent;
            folder.folder = true;
            Put(folder);
        }
        slash = path.find(L'\\', slash + 1);
    }
    return S_OK;
}

HRESULT CDiscTree::AddFolder(const std::wstring& path, bool hidden)
{
    if (path.empty())
        return BRN_E_FOLDER_EXISTS;   // the root always exists
    if (const Entry* found = Find(path))
        return found->folder ? BRN_E_FOLDER_EXISTS : BRN_E_FILE_EXISTS;
    HRESULT hr = AddParents(path);
    if (FAILED(hr))
        return hr;
    Entry folder;
    folder.path = path;
    folder.folder = true;
    folder.hidden = hidden;
    Put(folder);
    return S_OK;
}

HRESULT CDiscTree::AddFile(const std::wstring& path, const std::wstring& source)
{
    if (path.empty())
        return E_INVALIDARG;
    Entry file;
    HRESULT hr = SizeOf(source, file.size);
    if (FAILED(hr))
        return hr;
    if (Find(path))
        return BRN_E_FILE_EXISTS;
    if (FAILED(hr = AddParents(path)))
        return hr;
    file.path = path;
    file.source = source;
    Put(file);
    return S_OK;
}

void CDiscTree::Clear()
{
    m_entries.clear();
    m_index.clear();
}

HRESULT CDiscTree::Refresh()
{
    for (Entry& e : m_entries) {
        HRESULT hr = e.folder ? S_OK : SizeOf(e.source, e.size);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

ULONGLONG CDiscTree::Sectors() const
{
    ULONGLONG sectors = 0;
    for (const Entry& e : m_entries)
        if (!e.folder)
            sectors += (e.size + BRN_SECTOR_BYTES - 1) / BRN_SECTOR_BYTES;
    return sectors;
}

HRESULT CDiscTree::WriteTo(const std::wstring& folder) const
{
    // Parents come before their children: they were added first.
    for (const Entry& e : m_entries) {
        std::wstring target = folder + L"\\" + e.path;
        if (e.folder) {
            if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return LastError();
            if (e.hidden)
                SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
            continue;
        }
        HRESULT hr = WriteFileEntry(e, target);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
