#include "EngineTestHelpers.h"

#include "CDumpMgr.h"
#include "TestFiles.h"

#include <vector>

namespace EngineTest {

CDumpCapture::CDumpCapture(wchar_t wcLetter)
{
    g_DumpMgr.Initialize();
    g_DumpMgr.SetDumpMode(DM_OS);
    g_DumpMgr.PrepareDumpFilePath(wcLetter);
    wchar_t wszPath[MAX_PATH] = {};
    if (g_DumpMgr.GetDumpFilePath(wszPath, MAX_PATH))
        m_wstrPath = wszPath;
    m_cbStart = TestFiles::ReadBytes(m_wstrPath).size();
}

CDumpCapture::~CDumpCapture() = default;

std::string CDumpCapture::Text() const
{
    std::string text = TestFiles::ReadBytes(m_wstrPath);
    return text.size() > m_cbStart ? text.substr(m_cbStart) : std::string();
}

CPrivateHKLM::CPrivateHKLM(const wchar_t* pwszName)
    : m_wstrSubKey(std::wstring(L"Software\\EngineTestHKLM\\") + pwszName)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_wstrSubKey.c_str());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_wstrSubKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_hKey,
                        nullptr) != ERROR_SUCCESS) {
        m_hKey = nullptr;
        return;
    }
    if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_hKey) != ERROR_SUCCESS) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

CPrivateHKLM::~CPrivateHKLM()
{
    if (m_hKey == nullptr)
        return;
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(m_hKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_wstrSubKey.c_str());
}

namespace {

bool SetRegValue(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, DWORD dwType, const void* pData,
                 DWORD cbData)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(hRoot, pwszSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    LONG lResult = RegSetValueExW(hKey, pwszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

std::string UnixPath(const std::wstring& path)
{
    typedef char*(CDECL * PFN_unix_name)(LPCWSTR);
    HMODULE hKernel = GetModuleHandleW(L"kernel32");
    auto pfn = reinterpret_cast<PFN_unix_name>(
        reinterpret_cast<void (*)()>(GetProcAddress(hKernel, "wine_get_unix_file_name")));
    if (pfn == nullptr)
        return std::string();
    char* psz = pfn(path.c_str());
    if (psz == nullptr)
        return std::string();
    std::string result(psz);
    HeapFree(GetProcessHeap(), 0, psz);
    return result;
}

// The folder listing reports the link itself as a reparse point.
bool IsListedAsLink(const std::wstring& folder, const std::wstring& name)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    bool bLink = false;
    do {
        if (_wcsicmp(fd.cFileName, name.c_str()) == 0)
            bLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return bLink;
}

} // namespace

bool SetRegString(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, const std::wstring& value)
{
    return SetRegValue(hRoot, pwszSubKey, pwszName, REG_SZ, value.c_str(),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetRegDword(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, DWORD dwValue)
{
    return SetRegValue(hRoot, pwszSubKey, pwszName, REG_DWORD, &dwValue, sizeof(dwValue));
}

bool SetRegBinary(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, const std::string& bytes)
{
    return SetRegValue(hRoot, pwszSubKey, pwszName, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

namespace {

bool RunUnix(const std::wstring& cmd)
{
    std::vector<wchar_t> buf(cmd.begin(), cmd.end());
    buf.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace

bool RemoveFolderLink(const std::wstring& link)
{
    std::string unixLink = UnixPath(link);
    if (unixLink.empty())
        return false;
    // The name may resolve through the link: remove the link's own name.
    size_t nSlash = link.find_last_of(L'\\');
    std::string unixParent = UnixPath(link.substr(0, nSlash));
    unixLink = unixParent + "/" + Narrow(link.substr(nSlash + 1));
    if (!RunUnix(L"\\\\?\\unix\\bin\\rm -f \"" + std::wstring(unixLink.begin(), unixLink.end()) + L"\""))
        return false;
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(50);
    }
    return false;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target)
{
    std::string unixTarget = UnixPath(target);
    // The link does not exist yet: name it through its existing parent.
    size_t nSlash = link.find_last_of(L'\\');
    std::string unixParent = UnixPath(link.substr(0, nSlash));
    if (unixTarget.empty() || unixParent.empty())
        return false;
    std::string unixLink = unixParent + "/" + Narrow(link.substr(nSlash + 1));
    std::wstring cmd = L"\\\\?\\unix\\bin\\ln -s \"";
    cmd += std::wstring(unixTarget.begin(), unixTarget.end()) + L"\" \"";
    cmd += std::wstring(unixLink.begin(), unixLink.end()) + L"\"";
    if (!RunUnix(cmd))
        return false;
    // The Unix process may end before the handle says so: wait for the link.
    for (int i = 0; i < 100; ++i) {
        if (IsListedAsLink(link.substr(0, nSlash), link.substr(nSlash + 1)))
            return true;
        Sleep(50);
    }
    return false;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    return TestFiles::WriteBytes(path, text);
}

std::string Narrow(const std::wstring& wstr)
{
    std::string s;
    for (wchar_t wc : wstr)
        s += wc < 128 ? static_cast<char>(wc) : '?';
    return s;
}

} // namespace EngineTest
