// The discs this engine burns are the discs Mendora recovers from: a set
// made by the disc-set driver, then a factory reset from that user-created
// set by Mendora's headless recovery driver, and the Windows partition
// afterwards holds the factory image's files.
//
// Disabled: Mendora's headless recovery driver and a factory image with
// real files on the simulated PC do not exist yet (the profile's image
// parts are headers without resources). To switch it on: give the profile
// a real split image, set kRecoveryDriver and kRecoveryArguments to that
// driver's name and command line, kImageTree to the tree the image was
// captured from and kWindowsPartition to the letter the Windows partition
// has where the driver runs, and drop the DISABLED_ prefix.
#include "DiscSetDriverFixture.h"

#include "CSimPc.h"
#include "DiscTestPc.h"
#include "TestFiles.h"

namespace {

const wchar_t kRecoveryDriver[] = L"RecoveryDriver.exe";
const wchar_t kRecoveryArguments[] = L"--operation factory-reset-user-set";
const wchar_t kImageTree[] = L"D:\\factory-tree";
const DWORD kRecoveryTimeoutMs = 10 * 60 * 1000;
const wchar_t kWindowsPartition[] = L"C:\\";

class DiscSetRecovery : public DiscSetDriverFixture {
protected:
    // Mendora's driver from the 64-bit tree, run to its end; its exit code.
    DWORD RunRecoveryDriver()
    {
        std::wstring bin;
        wchar_t wszExe[MAX_PATH];
        GetModuleFileNameW(nullptr, wszExe, MAX_PATH);
        bin = wszExe;
        bin = bin.substr(0, bin.rfind(L"\\win32\\")) + L"\\win64\\bin\\";
        std::wstring line = L"\"" + bin + kRecoveryDriver + L"\" " + kRecoveryArguments;
        return DiscTestPc::Run(line, nullptr, nullptr, kRecoveryTimeoutMs);
    }
};

TEST_F(DiscSetRecovery, DISABLED_FactoryResetFromTheBurnedSet)
{
    QueueBlankDiscs(3);
    std::string out;
    ASSERT_EQ(0u, RunDriver(L"", &out)) << out;
    ASSERT_EQ(3u, BurnedDiscs().size());
    // The burned discs go back into the writer's queue, first disc in the tray.
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    std::vector<SimDisc> discs = BurnedDiscs();
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        SimOptical* pDrive = s.FindOptical(L'E');
        pDrive->queue.clear();
        for (size_t i = 1; i < discs.size(); ++i)
            pDrive->queue.push_back(discs[i].id);
        return pc.InsertDisc(s, *pDrive, discs[0].id);
    }));
    ASSERT_EQ(0u, RunRecoveryDriver());
    EXPECT_EQ(L"", TestFiles::CompareTrees(kImageTree, kWindowsPartition));
}

} // namespace
