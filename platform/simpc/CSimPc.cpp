#include "CSimPc.h"

#include "SimPcText.h"

#include "CSimPcFile.h"
#include "CSimPcLock.h"
#include "WineVolume.h"

#include <memory>
#include <type_traits>
#include <vector>

// Holds the process's mutex and, for the outermost holder, the file lock, so
// that a journal entry written inside an update does not wait for itself.
class CSimPc::CHold {
public:
    explicit CHold(CSimPc& pc) : m_pc(pc), m_guard(pc.m_mutex)
    {
        if (m_pc.m_lockDepth++ == 0)
            m_pc.m_pLock = new CSimPcLock(m_pc.m_root);
    }
    ~CHold()
    {
        if (--m_pc.m_lockDepth == 0) {
            delete m_pc.m_pLock;
            m_pc.m_pLock = nullptr;
        }
    }
    bool IsHeld() const { return m_pc.m_pLock && m_pc.m_pLock->IsHeld(); }

private:
    CSimPc& m_pc;
    std::lock_guard<std::recursive_mutex> m_guard;
};

namespace {

using SimPcText::Narrow;

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD disposition)
{
    HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

HRESULT LastError()
{
    DWORD err = GetLastError();
    return HRESULT_FROM_WIN32(err ? err : ERROR_GEN_FAILURE);
}

bool IsDots(const wchar_t* name)
{
    return !wcscmp(name, L".") || !wcscmp(name, L"..");
}

// Removes a tree without following links out of it.
bool DeleteTree(const std::wstring& path)
{
    DWORD attr = GetFileAttributesW(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != FALSE;
    }
    if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!IsDots(fd.cFileName) && !DeleteTree(path + L"\\" + fd.cFileName)) {
                    FindClose(h);
                    return false;
                }
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
    }
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

struct KeyCloser {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer<HKEY>::type, KeyCloser>;

// Both bitnesses read the 64-bit view, where the layout wrote the value.
std::wstring RegistryRoot()
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\SimPC", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
        return std::wstring();
    UniqueKey key(raw);
    wchar_t buf[MAX_PATH * 2] = {};
    DWORD cb = sizeof(buf) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), L"Root", nullptr, &type, (BYTE*)buf, &cb) != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    return buf;
}

} // namespace

CSimPc::CSimPc(const wchar_t* who) : m_who(who ? who : L"?") {}

std::wstring CSimPc::UnixToWindows(const std::wstring& unixPath)
{
    std::wstring out = L"\\\\?\\unix";
    for (wchar_t c : unixPath)
        out += c == L'/' ? L'\\' : c;
    while (out.size() > 9 && out.back() == L'\\')
        out.pop_back();
    return out;
}

bool CSimPc::Open()
{
    wchar_t buf[MAX_PATH * 2];
    std::wstring root;
    DWORD n = GetEnvironmentVariableW(L"SIMPC_ROOT", buf, ARRAYSIZE(buf));
    if (n > 0 && n < ARRAYSIZE(buf)) {
        root = buf;
    } else {
        root = RegistryRoot();
    }
    if (root.empty())
        return false;
    if (root[0] == L'/')
        root = UnixToWindows(root);
    while (!root.empty() && root.back() == L'\\')
        root.pop_back();
    m_root = root;
    return true;
}

HRESULT CSimPc::Load(SimPcState& state)
{
    UniqueHandle file = OpenFile(m_root + L"\\pc.ini", GENERIC_READ, OPEN_EXISTING);
    if (!file)
        return LastError();
    std::string text;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got)
        text.append(chunk, got);
    std::wstring error;
    if (!CSimPcFile::Parse(text, state, error)) {
        Journal(L"ERROR: the description cannot be read: " + error);
        return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    }
    return S_OK;
}

HRESULT CSimPc::Store(const SimPcState& state)
{
    std::string text = CSimPcFile::Format(state);
    std::wstring temp = m_root + L"\\pc.ini.new";
    {
        UniqueHandle file = OpenFile(temp, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file)
            return LastError();
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), (DWORD)text.size(), &written, nullptr) || written != text.size())
            return LastError();
    }
    // A rename, so that no reader ever sees half a description.
    if (!MoveFileExW(temp.c_str(), (m_root + L"\\pc.ini").c_str(), MOVEFILE_REPLACE_EXISTING))
        return LastError();
    return S_OK;
}

HRESULT CSimPc::Read(SimPcState& state)
{
    if (!IsOpen())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    CHold hold(*this);
    if (!hold.IsHeld())
        return HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
    return Load(state);
}

HRESULT CSimPc::Update(const std::function<HRESULT(SimPcState&)>& change)
{
    if (!IsOpen())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    CHold hold(*this);
    if (!hold.IsHeld())
        return HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
    SimPcState state;
    HRESULT hr = Load(state);
    if (FAILED(hr))
        return hr;
    hr = change(state);
    if (FAILED(hr))
        return hr;
    HRESULT stored = Store(state);
    return FAILED(stored) ? stored : hr;
}

void CSimPc::AppendJournal(const std::string& entry)
{
    HANDLE h = CreateFileW((m_root + L"\\journal.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    UniqueHandle file(h == INVALID_HANDLE_VALUE ? nullptr : h);
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.get(), entry.data(), (DWORD)entry.size(), &written, nullptr);
}

void CSimPc::Journal(const std::wstring& text, const std::string& script)
{
    if (!IsOpen())
        return;
    std::string entry = "[" + Narrow(m_who) + " " + std::to_string(GetCurrentProcessId()) + "] " + Narrow(text) + "\n";
    size_t pos = 0;
    while (pos < script.size()) {
        size_t end = script.find('\n', pos);
        std::string line = script.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        entry += "    | " + line + "\n";
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    CHold hold(*this);
    AppendJournal(entry);
}

HRESULT CSimPc::Refuse(const std::wstring& what)
{
    Journal(L"REFUSED: " + what);
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

bool CSimPc::IsProtectedLetter(wchar_t letter)
{
    return towupper(letter) == L'C';
}

std::wstring CSimPc::DriveFolder(wchar_t letter) const
{
    return m_root + L"\\drives\\" + (wchar_t)towupper(letter);
}

std::wstring CSimPc::PartitionFolder(const SimPartition& p) const
{
    return p.letter ? DriveFolder(p.letter) : m_root + L"\\parts\\" + p.id;
}

std::wstring CSimPc::DiscFolder(const std::wstring& id) const
{
    return m_root + L"\\discs\\" + id;
}

bool CSimPc::IsSafePath(const std::wstring& path) const
{
    std::wstring base = m_root + L"\\";
    if (m_root.empty() || path.size() <= base.size() || _wcsnicmp(path.c_str(), base.c_str(), base.size()))
        return false;
    std::wstring rest = path.substr(base.size());
    if (rest.find(L"..") != std::wstring::npos || rest.find(L'/') != std::wstring::npos)
        return false;
    std::wstring protectedDrive = L"drives\\C";
    if (!_wcsnicmp(rest.c_str(), protectedDrive.c_str(), protectedDrive.size()) &&
        (rest.size() == protectedDrive.size() || rest[protectedDrive.size()] == L'\\'))
        return false;
    return true;
}

HRESULT CSimPc::MoveFolder(const std::wstring& from, const std::wstring& to)
{
    if (!IsSafePath(from) || !IsSafePath(to))
        return Refuse(L"move " + from + L" to " + to);
    if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // Nothing stored yet: the target is simply an empty volume.
        if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return LastError();
        return S_OK;
    }
    if (GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteTree(to))
        return LastError();
    size_t slash = to.rfind(L'\\');
    CreateDirectoryW(to.substr(0, slash).c_str(), nullptr);
    if (!MoveFileExW(from.c_str(), to.c_str(), 0))
        return LastError();
    return S_OK;
}

HRESULT CSimPc::EmptyFolder(const std::wstring& folder)
{
    if (!IsSafePath(folder))
        return Refuse(L"empty " + folder);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return LastError();
        return S_OK;
    }
    std::vector<std::wstring> names;
    do {
        if (!IsDots(fd.cFileName))
            names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    for (const std::wstring& name : names)
        if (!DeleteTree(folder + L"\\" + name))
            return LastError();
    return S_OK;
}

HRESULT CSimPc::DeleteFolder(const std::wstring& folder)
{
    if (!IsSafePath(folder))
        return Refuse(L"delete " + folder);
    return DeleteTree(folder) ? S_OK : LastError();
}

HRESULT CSimPc::WriteLabel(const std::wstring& folder, const std::wstring& label)
{
    if (!IsSafePath(folder))
        return Refuse(L"label " + folder);
    std::wstring path = folder + L"\\.windows-label";
    if (label.empty()) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return S_OK;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    UniqueHandle file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (!file)
        return LastError();
    std::string text = Narrow(label) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), (DWORD)text.size(), &written, nullptr);
    return S_OK;
}

HRESULT CSimPc::AssignLetter(SimPartition& p, wchar_t letter)
{
    letter = (wchar_t)towupper(letter);
    if (IsProtectedLetter(letter) || IsProtectedLetter(p.letter))
        return Refuse(std::wstring(L"assign letter ") + letter + L": to partition " + p.id);
    if (p.letter == letter)
        return S_OK;
    std::wstring from = PartitionFolder(p);
    HRESULT hr = MoveFolder(from, DriveFolder(letter));
    if (FAILED(hr))
        return hr;
    p.letter = letter;
    return WriteLabel(DriveFolder(letter), p.label);
}

HRESULT CSimPc::RemoveLetter(SimPartition& p)
{
    if (!p.letter)
        return S_OK;
    if (IsProtectedLetter(p.letter))
        return Refuse(L"remove letter C: from partition " + p.id);
    std::wstring from = DriveFolder(p.letter);
    SimPartition stored = p;
    stored.letter = 0;
    HRESULT hr = MoveFolder(from, PartitionFolder(stored));
    if (FAILED(hr))
        return hr;
    p.letter = 0;
    return S_OK;
}

HRESULT CSimPc::EjectDisc(SimPcState& state, SimOptical& drive)
{
    if (!drive.disc.empty() && !drive.trayOpen) {
        HRESULT hr = MoveFolder(DriveFolder(drive.letter), DiscFolder(drive.disc));
        if (FAILED(hr))
            return hr;
    }
    drive.disc.clear();
    drive.trayOpen = true;
    if (drive.queue.empty()) {
        RefreshWineVolume(drive.letter);
        return S_OK;
    }
    std::wstring next = drive.queue.front();
    drive.queue.erase(drive.queue.begin());
    return InsertDisc(state, drive, next);
}

HRESULT CSimPc::InsertDisc(SimPcState& state, SimOptical& drive, const std::wstring& id)
{
    SimDisc* disc = state.FindDisc(id);
    if (!disc)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (!drive.disc.empty() && !drive.trayOpen) {
        HRESULT hr = MoveFolder(DriveFolder(drive.letter), DiscFolder(drive.disc));
        if (FAILED(hr))
            return hr;
    }
    drive.disc = id;
    drive.trayOpen = false;
    if (!drive.present)
        return S_OK;
    HRESULT hr = MoveFolder(DiscFolder(id), DriveFolder(drive.letter));
    if (SUCCEEDED(hr))
        hr = WriteLabel(DriveFolder(drive.letter), disc->label);
    // Without this Wine would go on showing the label of the disc before.
    RefreshWineVolume(drive.letter);
    return hr;
}
