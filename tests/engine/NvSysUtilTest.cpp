// System utilities: Windows PE and boot-medium detection over a private
// HKLM, the version table, registry reads, process search, diskpart runner.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "NvSysUtil.h"
#include "TestFiles.h"

using namespace EngineTest;

namespace {

const wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kControl[] = L"SYSTEM\\CurrentControlSet\\Control";
const wchar_t kPEName[] = L"Windows (TM) Code Name \"Longhorn\" Preinstallation Environment";
#ifdef RV_DISCORA
const wchar_t kBootDevice[] = L"SystemBootDevice";
#else
const wchar_t kBootDevice[] = L"FirmwareBootDevice";
#endif

TEST(NvSysUtilTest, WinPEByProductName)
{
    struct {
        const char* name;
        const wchar_t* product; // null: value absent
        HRESULT hr;
        BOOL isPE;
    } cases[] = {
        {"exact name", kPEName, S_OK, TRUE},
        {"other case", L"windows (tm) code name \"longhorn\" preinstallation environment", S_OK, FALSE},
        {"trailing blank", L"Windows (TM) Code Name \"Longhorn\" Preinstallation Environment ", S_OK, FALSE},
        {"Windows 7", L"Windows 7 Ultimate", S_OK, FALSE},
        {"value absent", nullptr, NV_E_REGISTRY, FALSE},
    };
    for (const auto& c : cases) {
        CPrivateHKLM hklm(L"WinPE");
        ASSERT_TRUE(hklm.IsActive());
        if (c.product)
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProductName", c.product));
        else
            ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, kCurrentVersion, L"Other", 1));
        BOOL bPE = 7;
        EXPECT_EQ(c.hr, NvIsWinPE(&bPE)) << c.name;
        EXPECT_EQ(c.isPE, bPE) << c.name;
        DWORD dwCode = 0;
        EXPECT_EQ(S_OK, NvGetOSVersion(&dwCode)) << c.name;
        if (c.isPE) {
            EXPECT_EQ(static_cast<DWORD>(OSV_WINPE), dwCode) << c.name;
        } else {
            EXPECT_NE(static_cast<DWORD>(OSV_WINPE), dwCode) << c.name;
        }
    }
    CPrivateHKLM hklm(L"WinPE");
    BOOL bPE = 7;
    EXPECT_EQ(NV_E_REGISTRY, NvIsWinPE(&bPE)) << "key absent";
    EXPECT_FALSE(bPE) << "key absent";
}

TEST(NvSysUtilTest, BootFromOpticalDrive)
{
    struct {
        const wchar_t* value;
        BOOL fromODD;
        DWORD index;
    } cases[] = {
        {L"multi(0)disk(0)cdrom(2)", TRUE, 2},
        {L"multi(0)disk(0)cdrom(0)", TRUE, 0},
        {L"multi(0)disk(1)cdrom(12)fdisk(0)", TRUE, 12},
        {L"multi(0)disk(0)rdisk(0)partition(1)", FALSE, 99},
        {L"Multi(0)disk(0)cdrom(2)", FALSE, 99},
        {L"cdrom(2)", FALSE, 99},
        {L"", FALSE, 99},
    };
    for (const auto& c : cases) {
        CPrivateHKLM hklm(L"Boot");
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kControl, kBootDevice, c.value));
        DWORD dwIndex = 99;
        EXPECT_EQ(c.fromODD, NvIsPEBootFromODD(&dwIndex)) << Narrow(c.value);
        EXPECT_EQ(c.index, dwIndex) << Narrow(c.value);
        EXPECT_EQ(c.fromODD, NvIsPEBootFromODD(nullptr)) << Narrow(c.value) << " without index";
    }
    CPrivateHKLM hklm(L"Boot");
    EXPECT_FALSE(NvIsPEBootFromODD(nullptr)) << "value absent";
}

TEST(NvSysUtilTest, VersionTable)
{
    struct {
        DWORD platform, major, minor;
        const wchar_t* csd;
        DWORD code;
    } cases[] = {
        {VER_PLATFORM_WIN32s, 3, 1, L"", OSV_WIN32S_OR_UNKNOWN},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, L" C", OSV_WIN95},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, L" A", OSV_WIN98},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, L"", OSV_WINME},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 50, L"", OSV_WIN32S_OR_UNKNOWN},
        {VER_PLATFORM_WIN32_NT, 4, 0, L"Service Pack 6", OSV_WINNT4},
        {VER_PLATFORM_WIN32_NT, 5, 0, L"", OSV_WIN2000},
        {VER_PLATFORM_WIN32_NT, 5, 1, L"Service Pack 3", OSV_WINXP},
        {VER_PLATFORM_WIN32_NT, 5, 2, L"", OSV_WIN2003},
        {VER_PLATFORM_WIN32_NT, 6, 0, L"", OSV_VISTA},
#ifdef RV_DISCORA
        {VER_PLATFORM_WIN32_NT, 6, 1, L"", OSV_OTHER_NT},
#else
        {VER_PLATFORM_WIN32_NT, 6, 1, L"", OSV_WIN7},
#endif
        {VER_PLATFORM_WIN32_NT, 6, 2, L"", OSV_OTHER_NT},
        {VER_PLATFORM_WIN32_NT, 10, 0, L"", OSV_OTHER_NT},
        {7, 6, 1, L"", OSV_WIN32S_OR_UNKNOWN},
    };
    for (const auto& c : cases) {
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwPlatformId = c.platform;
        info.dwMajorVersion = c.major;
        info.dwMinorVersion = c.minor;
        wcscpy(info.szCSDVersion, c.csd);
        EXPECT_EQ(c.code, NvOSVersionCodeFromInfo(info))
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
    }
}

// The prefix runs as Windows 7 unless set otherwise.
TEST(NvSysUtilTest, VersionOfThisSystem)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExW(&info));
    DWORD dwCode = 1234;
    EXPECT_EQ(S_OK, NvGetOSVersion(&dwCode));
    EXPECT_EQ(NvOSVersionCodeFromInfo(info), dwCode);
    if (info.dwMajorVersion == 6 && info.dwMinorVersion == 1) {
#ifdef RV_DISCORA
        EXPECT_EQ(static_cast<DWORD>(OSV_OTHER_NT), dwCode) << "the disc creator has no Windows 7 row";
#else
        EXPECT_EQ(static_cast<DWORD>(OSV_WIN7), dwCode);
#endif
    }
}

TEST(NvSysUtilTest, RegQueryValue)
{
    CPrivateHKLM hklm(L"Query");
    const wchar_t kKey[] = L"SOFTWARE\\Test";
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, L"Short", L"abc"));
    ASSERT_TRUE(SetRegBinary(HKEY_LOCAL_MACHINE, kKey, L"Big", std::string(4000, 'B')));
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, kKey, L"Num", 0x12345678));

    struct {
        const char* name;
        const wchar_t* key;
        const wchar_t* value;
        DWORD bufferSize;
        HRESULT hr;
        DWORD outSize;
        DWORD outType;
    } cases[] = {
        {"string", kKey, L"Short", 64, S_OK, 8, REG_SZ},
        {"exact size", kKey, L"Num", 4, S_OK, 4, REG_DWORD},
        {"larger than the old 1024-byte buffer", kKey, L"Big", 4096, S_OK, 4000, REG_BINARY},
        {"value larger than the buffer", kKey, L"Big", 16, NV_E_REGISTRY, 0, 0},
        {"size only", kKey, L"Big", 0, S_OK, 4000, REG_BINARY},
        {"value absent", kKey, L"None", 64, NV_E_NOT_FOUND, 0, 0},
        {"key absent", L"SOFTWARE\\NoKey", L"Short", 64, NV_E_NOT_FOUND, 0, 0},
    };
    for (const auto& c : cases) {
        // Guard bytes after the caller's buffer must survive every case.
        std::string buffer(c.bufferSize + 32, '\x5A');
        DWORD dwType = 99;
        DWORD dwSize = c.bufferSize;
        EXPECT_EQ(c.hr, NvRegQueryValue(HKEY_LOCAL_MACHINE, c.key, c.value, &dwType,
                                        reinterpret_cast<BYTE*>(&buffer[0]), &dwSize))
            << c.name;
        EXPECT_EQ(c.outSize, dwSize) << c.name;
        EXPECT_EQ(c.outType, dwType) << c.name;
        EXPECT_EQ(std::string(32, '\x5A'), buffer.substr(c.bufferSize)) << c.name << ": written past the buffer";
    }
}

TEST(NvSysUtilTest, RegQueryValueDumpLines)
{
    TestFiles::ClearDrive(L'H');
    CDumpCapture dump(L'H');
    CPrivateHKLM hklm(L"QueryDump");
    ASSERT_TRUE(SetRegBinary(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Test", L"Big", std::string(100, 'B')));
    BYTE buf[8];
    DWORD dwSize = sizeof(buf);
    EXPECT_EQ(NV_E_NOT_FOUND, NvRegQueryValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NoKey", L"x", nullptr, buf, &dwSize));
    EXPECT_EQ(std::string::npos, dump.Text().find("Win32 System Info Code")) << "a missing key writes no line";
    dwSize = sizeof(buf);
    EXPECT_EQ(NV_E_REGISTRY, NvRegQueryValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Test", L"Big", nullptr, buf, &dwSize));
#ifdef RV_DISCORA
    EXPECT_EQ(std::string::npos, dump.Text().find("Win32 System Info Code")) << "the disc creator writes no line";
#else
    EXPECT_NE(std::string::npos, dump.Text().find("Win32 System Info Code = 234")) << "more data: the error line";
#endif
}

TEST(NvSysUtilTest, Wow64Redirection)
{
    BOOL bWow64 = NvIsWow64();
#ifdef _WIN64
    EXPECT_FALSE(bWow64) << "a 64-bit process";
#else
    (void)bWow64;
#endif
    PVOID pOld = nullptr;
    BOOL bDisabled = NvDisableWow64FsRedirection(&pOld);
    if (bWow64) {
        EXPECT_TRUE(bDisabled);
    }
    if (bDisabled) {
        EXPECT_TRUE(NvRevertWow64FsRedirection(pOld));
    }
}

#ifdef RV_DISCORA

TEST(NvSysUtilTest, DiscCreatorWinPETest)
{
    struct {
        const wchar_t* options; // null: value absent
        BOOL isPE;
    } cases[] = {
        {L" /MININT /NOEXECUTE=OPTIN", TRUE},
        {L"/minint", TRUE},
        {L" /MinInt", FALSE},
        {L" NOEXECUTE=OPTIN", FALSE},
        {nullptr, FALSE},
    };
    for (const auto& c : cases) {
        CPrivateHKLM hklm(L"MinInt");
        if (c.options) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kControl, L"SystemStartOptions", c.options));
        }
        EXPECT_EQ(c.isPE, IsUnderWinPE()) << (c.options ? Narrow(c.options) : "absent");
    }
}

#else

TEST(NvSysUtilTest, ProcessRunning)
{
    wchar_t wszSelf[MAX_PATH];
    GetModuleFileNameW(nullptr, wszSelf, MAX_PATH);
    std::wstring self = wcsrchr(wszSelf, L'\\') + 1;
    std::wstring upper = self;
    CharUpperW(&upper[0]);
    struct {
        std::wstring name;
        BOOL running;
    } cases[] = {
        {self, TRUE},
        {upper, TRUE},
        {L"NoSuchProgram.exe", FALSE},
        {L"", FALSE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.running, NvIsProcessRunning(c.name.c_str())) << Narrow(c.name);
}

class ExecuteDiskPartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t wszSelf[MAX_PATH];
        GetModuleFileNameW(nullptr, wszSelf, MAX_PATH);
        m_folder = wszSelf;
        m_folder.erase(m_folder.rfind(L'\\') + 1);
        m_record = m_folder + L"diskpart-record.txt";
        DeleteFileW(m_record.c_str());
        // The recording diskpart built beside the test comes first in the path.
        std::wstring path = m_folder + L"fakediskpart;";
        wchar_t wszPath[8192] = {};
        GetEnvironmentVariableW(L"PATH", wszPath, 8192);
        SetEnvironmentVariableW(L"PATH", (path + wszPath).c_str());
        SetEnvironmentVariableW(L"EU_DISKPART_RECORD", m_record.c_str());
        // cmd.exe looks in the current folder before the path.
        GetCurrentDirectoryW(MAX_PATH, m_wszOldDir);
        SetCurrentDirectoryW((m_folder + L"fakediskpart").c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(m_wszOldDir);
        DeleteFileW(m_record.c_str());
        RemoveDirectoryW((m_folder + L"DiskPartCmd.txt").c_str());
    }
    std::wstring m_folder;
    std::wstring m_record;
    wchar_t m_wszOldDir[MAX_PATH] = {};
};

TEST_F(ExecuteDiskPartTest, RunsTheScript)
{
    EXPECT_EQ(S_OK, ExecuteDiskPart(L"select disk 0\nclean\n"));
    std::string record = TestFiles::ReadBytes(m_record);
    EXPECT_NE(std::string::npos, record.find("select disk 0\r\nclean\r\n")) << "script as CR LF text: " << record;
    EXPECT_NE(std::string::npos, record.find("/s")) << record;
    EXPECT_FALSE(TestFiles::Exists(m_folder + L"DiskPartCmd.txt")) << "script file left behind";
    EXPECT_FALSE(TestFiles::Exists(m_folder + L"DiskPartResult.txt")) << "result file left behind";
}

// A script file that cannot be written must not start diskpart.
TEST_F(ExecuteDiskPartTest, UnwritableScriptFile)
{
    ASSERT_TRUE(CreateDirectoryW((m_folder + L"DiskPartCmd.txt").c_str(), nullptr));
    HRESULT hr = ExecuteDiskPart(L"clean\n");
    EXPECT_EQ(NV_E_FILE_IO, hr);
    EXPECT_FALSE(TestFiles::Exists(m_record)) << "diskpart ran without its script";
}

#endif

} // namespace
