// Nothing a stand-in does reaches Wine's C: drive or the host outside the
// PC's folder. Installed desktop: Windows on C: (Wine's own system drive),
// recovery partition D:.
#include "ToolRunner.h"

#include "CDriveLayout.h"
#include "ZoruViva.h"

#include <gtest/gtest.h>

using namespace ToolRunner;

namespace {

// A file on C: that must survive every refused request.
const wchar_t kCanary[] = L"C:\\simpc-canary.txt";

bool WriteFile(const std::wstring& path, const char* text)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    ::WriteFile(h, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(h);
    return true;
}

// The folder holding the PC's folder: the host as far as the stand-ins go.
std::wstring HostFolder()
{
    CSimPc pc(L"test");
    EXPECT_TRUE(pc.Open());
    return pc.Root().substr(0, pc.Root().rfind(L'\\'));
}

size_t Count(const std::string& text, const char* what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

void ExpectWindowsIntact()
{
    EXPECT_TRUE(Exists(L"C:\\windows\\system32\\kernel32.dll"));
    EXPECT_TRUE(Exists(kCanary));
    EXPECT_TRUE(Exists(L"C:\\Users\\Public\\Documents\\readme.txt"));
}

} // namespace

TEST(DriveProtection, StandInsRefuseWineSystemDrive)
{
    ASSERT_TRUE(WriteFile(kCanary, "keep\r\n"));
    CDriveLayout before;
    ASSERT_EQ(S_OK, before.Read(0));

    EXPECT_FALSE(QSFormatEx(L'C', L"NTFS", 0, 0));
    EXPECT_FALSE(QSFormatEx(L'c', L"NTFS", 0, 0));
    ExpectWindowsIntact();

    // A table without the partition of C: would delete it.
    CDriveLayout layout;
    layout.Entry(0) = before.Entry(0);
    layout.Entry(2) = before.Entry(2);
    EXPECT_NE(S_OK, layout.Write(0));
    CDriveLayout after;
    ASSERT_EQ(S_OK, after.Read(0));
    EXPECT_EQ(0, memcmp(before.Get(), after.Get(), CDriveLayout::kBytes));
    ExpectWindowsIntact();

    struct Case { const char* name; const char* script; };
    const Case scripts[] = {
        {"format C:", "select volume C\r\nformat fs=ntfs quick\r\n"},
        {"delete C:", "select volume C\r\ndelete volume override\r\n"},
        {"delete its partition", "select disk 0\r\nselect partition 2\r\ndelete partition override\r\n"},
        {"format its partition", "select disk 0\r\nselect partition 2\r\nformat fs=ntfs quick\r\n"},
        {"clean its disk", "select disk 0\r\nclean\r\n"},
        {"take C: for another volume", "select volume D\r\nassign letter=C\r\n"},
        {"take its letter away", "select disk 0\r\nselect partition 2\r\nremove\r\n"},
    };
    for (const Case& c : scripts) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(0, DiskPart(c.script));
        ExpectWindowsIntact();
        EXPECT_EQ(L'C', State().disks[0].slots[1].letter);
    }
    EXPECT_TRUE(Exists(L"D:\\RPCONFIG.LOG"));
    std::string journal = Journal();
    EXPECT_GE(Count(journal, "REFUSED"), 7u) << journal;
}

// The boot tools write nothing on Wine's C:: bcdedit's store and BCDBoot's
// target are refused there, even with the Windows folder that C: holds.
TEST(DriveProtection, BootToolsRefuseWineSystemDrive)
{
    ASSERT_TRUE(WriteFile(kCanary, "keep\r\n"));
    const std::wstring bootFiles[] = {L"C:\\boot\\bcd", L"C:\\bootmgr"};
    for (const std::wstring& f : bootFiles)
        ASSERT_FALSE(Exists(f)) << "Wine's C: holds no boot files to start with";
    struct {
        const char* name;
        const wchar_t* command;
    } cases[] = {
        {"bcdedit store on C:", L"bcdedit.exe /store C:\\boot\\bcd /set {bootmgr} device partition=C:"},
        {"bcdedit store on lower-case c:", L"bcdedit.exe /store c:\\boot\\bcd /set {default} osdevice partition=C:"},
        {"BCDBoot onto C:", L"BCDBoot.exe C:\\Windows /s C:"},
        {"BCDBoot onto c:", L"BCDBoot.exe D:\\Windows /s c:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(0, ToolRunner::Run(c.command));
        for (const std::wstring& f : bootFiles)
            EXPECT_FALSE(Exists(f));
        ExpectWindowsIntact();
    }
    EXPECT_GE(Count(Journal(), "REFUSED: b"), 2u);
    EXPECT_GE(Count(Journal(), "REFUSED: BCDBoot"), 1u);
}

TEST(DriveProtection, DescriptionCannotPointOutsideThePc)
{
    std::wstring host = HostFolder();
    std::wstring canary = host + L"\\outside.txt";
    ASSERT_TRUE(WriteFile(canary, "host\r\n"));

    // A partition whose id climbs out of the PC's folder, and one naming a
    // path: the description is refused as a whole, so no stand-in acts on it.
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    const wchar_t* badIds[] = {L"..", L"..\\..", L"a/b", L"x:y", L"p 1"};
    for (const wchar_t* id : badIds) {
        SCOPED_TRACE(std::string(id, id + wcslen(id)));
        HRESULT hr = pc.Update([&](SimPcState& s) {
            s.disks[0].slots[2].id = id;
            return S_OK;
        });
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ((DWORD)-1, GetMainDiskIndexbyLocation());
        EXPECT_FALSE(QSFormatEx(L'D', L"NTFS", 0, 0));
        EXPECT_NE(0, DiskPart("select volume D\r\ndelete volume\r\n"));
        EXPECT_TRUE(Exists(canary));
        EXPECT_TRUE(Exists(L"D:\\RPCONFIG.LOG"));
        // Put the good id back directly: the stand-ins will not read this PC.
        SimPcState state;
        std::string fixed;
        {
            HANDLE h = CreateFileW((pc.Root() + L"\\pc.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            char buf[8192];
            DWORD got = 0;
            while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
                fixed.append(buf, got);
            CloseHandle(h);
        }
        std::string bad = "id = " + std::string(id, id + wcslen(id)) + "\n";
        size_t at = fixed.find(bad);
        ASSERT_NE(std::string::npos, at);
        fixed.replace(at, bad.size(), "id = rp\n");
        ASSERT_TRUE(WriteFile(pc.Root() + L"\\pc.ini", fixed.c_str()));
        EXPECT_EQ(0u, GetMainDiskIndexbyLocation());
    }
    EXPECT_NE(std::string::npos, Journal().find("the description cannot be read"));

    // Paths the PC would use must stay inside its folder and off C:.
    struct PathCase { std::wstring path; bool safe; };
    const PathCase paths[] = {
        {pc.Root() + L"\\parts\\p1", true},
        {pc.Root() + L"\\drives\\D", true},
        {pc.Root() + L"\\drives\\C", false},
        {pc.Root() + L"\\drives\\c\\windows", false},
        {pc.Root() + L"\\parts\\..\\..\\outside.txt", false},
        {pc.Root(), false},
        {host + L"\\outside.txt", false},
        {L"C:\\windows", false},
    };
    for (const PathCase& c : paths) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(c.safe, pc.IsSafePath(c.path));
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), pc.EmptyFolder(host));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), pc.DeleteFolder(pc.Root() + L"\\drives\\C"));
    EXPECT_TRUE(Exists(canary));
    ExpectWindowsIntact();
}
