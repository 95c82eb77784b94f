// A Windows Vista desktop (Windows on C:, Wine's own system drive): the boot
// store names the Windows partition for both the store and the entries,
// and the stand-ins refuse to write on C:; a re-partitioning from a
// user-created set is refused at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "SimPcTestEnv.h"
#include "TestFiles.h"
#include "ZQSimKey.h"

namespace {

class CVistaEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return SimPcTest::FixtureFolder(); }
    IClock& Clock() override { return m_clock; }
    class CNoSleep : public IClock {
    public:
        ULONGLONG TickCount64() override { return GetTickCount64(); }
        void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
        void Sleep(DWORD) override {}
    } m_clock;
};

TEST(VistaOnSimPc, BootStoreAndRepartitioning)
{
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    CVistaEnvironment env;
    CSBRMgr mgr(&env);
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(ZQ_PLATFORM_VISTA);
    mgr.SetZQVendor(ZQ_VENDOR_DOZ);
    ASSERT_EQ(S_OK, mgr.InitDisk());
    ASSERT_EQ(L'C', towupper(mgr.GetUPDrvLet()));
    const std::wstring journalPath = pc.Root() + L"\\journal.log";
    size_t start = TestFiles::ReadBytes(journalPath).size();

    EXPECT_EQ(S_OK, mgr.FixBCDForPlatform());
    std::string journal = TestFiles::ReadBytes(journalPath).substr(start);
    for (const char* line : {"run /store C:\\boot\\bcd /set {bootmgr} device partition=C:",
                             "run /store C:\\boot\\bcd /set {default} device partition=C:",
                             "run /store C:\\boot\\bcd /set {default} osdevice partition=C:"})
        EXPECT_NE(std::string::npos, journal.find(line)) << line << "\n" << journal;
    EXPECT_EQ(3u, [&] {
        size_t n = 0;
        for (size_t at = journal.find("REFUSED: bcdedit"); at != std::string::npos;
             at = journal.find("REFUSED: bcdedit", at + 1))
            ++n;
        return n;
    }()) << "no store written on Wine's C:";
    EXPECT_FALSE(TestFiles::Exists(L"C:\\boot\\bcd"));

    start = TestFiles::ReadBytes(journalPath).size();
    EXPECT_EQ(NV_E_FAIL, mgr.ZQUCRDResetDiskByDefFile());
    journal = TestFiles::ReadBytes(journalPath).substr(start);
    EXPECT_EQ(std::string::npos, journal.find("QueryDiskInfo")) << "refused before the disk was asked";
    EXPECT_EQ(std::string::npos, journal.find("SetPartition"));
}

} // namespace
