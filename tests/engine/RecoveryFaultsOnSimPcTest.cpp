// Faults just before each step that changes the disk, for the operations
// that run from the recovery partition: system recovery (before the
// format), re-imaging (before the capture replaces the image) and removal of
// the recovery partition (before diskpart deletes it). Each fault must end
// the operation with its code and status 255, and leave the partition
// table, the Windows partition (B:) and the factory image (D:) as they were.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CSBRMgr.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "SimPcTestEnv.h"
#include "RecoveryDriverRun.h"
#include "TestFiles.h"

namespace {

using SimPcTest::IsNotebook;
using namespace RecoveryTest;

const DWORD kDriverLimitMs = 120000;
const wchar_t kImage[] = L"D:\\preload\\base.wim";
const wchar_t kPreScript[] = L"D:\\zq\\recovery\\patch\\prerecovery.cmd";
const wchar_t kSaveList[] = L"D:\\zq\\recovery\\patch\\savefile.ini";
const wchar_t kRPWinRE[] = L"D:\\Recovery\\WindowsRE\\Winre.wim";

// The files of a tree with their sizes, for a failure message.
std::string Describe(const Tree& tree)
{
    std::string s;
    for (const auto& e : tree)
        s += Narrow(e.first) + " (" + std::to_string(e.second.size()) + " bytes)\n";
    return s;
}

// Removes a file or a folder with all it holds.
void Remove(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    for (const auto& e : TreeOf(path + L"\\"))
        if (e.first.back() != L'\\')
            DeleteFileW((path + L"\\" + e.first).c_str());
    Tree tree = TreeOf(path + L"\\");
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
        RemoveDirectoryW((path + L"\\" + it->first).c_str());
    RemoveDirectoryW(path.c_str());
}

// The driver, given the longest an operation of these tests may take.
DriverRun RunDriver(const std::wstring& args)
{
    return RecoveryTest::RunDriver(args, kDriverLimitMs);
}

// Every used table entry of every disk, one line each.
std::string PartitionTable()
{
    CSimPc pc(L"RecoveryFaultsTest");
    SimPcState state;
    if (!pc.Open() || FAILED(pc.Read(state)))
        return "the PC cannot be read";
    std::string s;
    for (size_t d = 0; d < state.disks.size(); ++d)
        for (const SimPartition& p : state.disks[d].slots)
            if (p.IsUsed())
                s += "disk " + std::to_string(d) + ": start " + std::to_string(p.start) + " size " +
                     std::to_string(p.size) + " letter " +
                     std::string(1, p.letter ? static_cast<char>(p.letter) : '-') + (p.active ? " active" : "") +
                     "\n";
    return s;
}

void SetPcValue(const wchar_t* pwszKey, const wchar_t* pwszValue)
{
    CSimPc pc(L"RecoveryFaultsTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_HRESULT_SUCCEEDED(pc.Update([&](SimPcState& state) -> HRESULT {
        if (pwszValue)
            state.pc[pwszKey] = pwszValue;
        else
            state.pc.erase(pwszKey);
        return S_OK;
    }));
}

// One injected fault: made before the run, undone after it.
struct Fault {
    const char* name;
    std::function<void()> inject;
    std::function<void()> undo;
    const wchar_t* extra; // driver arguments
    HRESULT expected;
};

class RecoveryFaultsOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LayOutProgram({L"MD.ini", L"ReCreateWinRE.cmd"}));
        // A user's file to keep, so that the recovery saves it before formatting.
        ASSERT_TRUE(Put(L"B:\\Users\\me\\notes.txt", "the user's notes\r\n"));
        ASSERT_TRUE(Put(kSaveList, "\\Users\\me\\notes.txt\r\n"));
        ASSERT_TRUE(Put(L"B:\\old-windows.txt", "still here\r\n"));
        ASSERT_TRUE(Put(kRPWinRE, "recovery environment"));
    }

    std::string Journal() { return TestFiles::ReadBytes(PcFolder() + L"\\journal.log"); }
    std::wstring Vendor() { return IsNotebook() ? L" --vendor notebook" : L" --vendor desktop"; }

    // Runs each fault against the operation; destructive names the journal
    // entries of the step that must not have run.
    void RunTable(const wchar_t* op, const std::vector<Fault>& faults, const std::vector<const char*>& destructive)
    {
        for (const Fault& f : faults) {
            SCOPED_TRACE(std::string(f.name) + " / " + Narrow(op));
            ASSERT_TRUE(TestFiles::Exists(L"B:\\Users\\me\\notes.txt")) << "a file to keep, saved before a format";
            const std::string table = PartitionTable();
            const Tree windows = TreeOf(L"B:\\");
            const Tree preload = TreeOf(L"D:\\preload\\");
            ASSERT_FALSE(preload.empty());
            if (f.inject)
                f.inject();
            const size_t journalStart = Journal().size();
            DriverRun run = RunDriver(std::wstring(L"--op ") + op + Vendor() + f.extra);
            if (f.undo)
                f.undo();
            const std::string journal = Journal().substr(journalStart);
            EXPECT_EQ(static_cast<DWORD>(f.expected), run.exitCode) << run.output << journal;
            EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
            EXPECT_EQ(std::string::npos, run.output.find("percent 100")) << run.output;
            EXPECT_EQ(table, PartitionTable());
            const Tree windowsAfter = TreeOf(L"B:\\");
            EXPECT_TRUE(windows == windowsAfter) << "the Windows partition changed:\n"
                                                 << Describe(windows) << "now\n"
                                                 << Describe(windowsAfter);
            EXPECT_TRUE(preload == TreeOf(L"D:\\preload\\")) << "the factory image changed";
            for (const char* step : destructive)
                EXPECT_EQ(std::string::npos, journal.find(step)) << step << " ran\n" << journal;
        }
    }
};

// Puts a file where a folder goes, or a folder where a file goes, so that
// writing there fails; undone by Unblock, which leaves any folder it made
// for the blocker only when something else is in it.
std::function<void()> BlockWithFile(const std::wstring& path)
{
    return [path] {
        Remove(path);
        ASSERT_TRUE(Put(path, "in the way"));
    };
}

std::function<void()> BlockWithFolder(const std::wstring& path)
{
    return [path] {
        ASSERT_TRUE(Put(path + L"\\in-the-way", "in the way"));
    };
}

std::function<void()> Unblock(const std::wstring& path)
{
    return [path] {
        Remove(path);
        for (size_t pos = path.rfind(L'\\'); pos != std::wstring::npos && pos > 2; pos = path.rfind(L'\\', pos - 1))
            RemoveDirectoryW(path.substr(0, pos).c_str());
    };
}

// What the system recovery runs and saves before it formats: a fault in any
// of it keeps the disk as it was. (A missing image is RecoveryOperations'.)
TEST_F(RecoveryFaultsOnSimPc, SystemRecoveryFailsBeforeTheFormat)
{
    // Where the recovery partition keeps the saved copy.
    const std::wstring saveFolder = L"D:\\zq\\recovery\\savefile";
    const std::wstring batch = std::wstring(kProgram) + L"PreRecovery.bat";
    std::vector<Fault> faults = {
        // A full disk cannot be made here; a file in the folder's place
        // refuses the copy at the same step.
        {"the recovery partition takes no saved copy", BlockWithFile(saveFolder), Unblock(saveFolder), L"",
         NV_E_CREATE_DIR},
        // Only a process started before the format lets the poll's abort
        // arrive in time: the pre-recovery script (desktop) or diskpart
        // making the Windows partition active (notebook).
        {"abort before the format", [] { ASSERT_TRUE(Put(kPreScript, "echo pre> X:\\pre.log\r\n")); },
         [] { DeleteFileW(kPreScript); }, L" --abort-at-status 0", NV_E_USER_CANCELLED},
    };
    if (IsNotebook()) {
        faults.push_back({"diskpart fails to make the Windows partition active",
                          [] { SetPcValue(L"fail_diskpart", L"1"); }, [] { SetPcValue(L"fail_diskpart", nullptr); },
                          L"", NV_E_FAIL});
    } else {
        faults.push_back({"the pre-recovery script cannot be run",
                          [&] {
                              ASSERT_TRUE(Put(kPreScript, "echo pre> X:\\pre.log\r\n"));
                              ASSERT_TRUE(CreateDirectoryW(batch.c_str(), nullptr));
                          },
                          [&] {
                              Remove(batch);
                              Remove(kPreScript);
                          },
                          L"", NV_E_FILE_IO});
    }
    RunTable(L"system-recovery", faults, {"QSFormatEx"});
}

// Re-imaging captures the Windows partition beside the factory image: a
// capture that fails keeps the old image and leaves nothing beside it.
TEST_F(RecoveryFaultsOnSimPc, ReImageFailsBeforeTheImageIsReplaced)
{
    const std::wstring imageAway = std::wstring(kImage) + L".away";
    const std::wstring capture = L"D:\\preload.new";
    const std::wstring busy = L"B:\\busy.bin";
    HANDLE hBusy = INVALID_HANDLE_VALUE;
    const std::vector<Fault> faults = {
        {"no factory image to replace", [&] { ASSERT_TRUE(MoveFileW(kImage, imageAway.c_str())); },
         [&] { MoveFileW(imageAway.c_str(), kImage); }, L"", NV_E_FAIL},
        // A full disk cannot be made here; a file in the place of the
        // capture's folder refuses the new image the same way.
        {"the recovery partition takes no new image", BlockWithFile(capture), Unblock(capture), L"",
         NV_E_WIM_CREATE_FILE},
        {"a file of the Windows partition cannot be read",
         [&] {
             ASSERT_TRUE(Put(busy, "held open by another program"));
             hBusy = CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
         },
         [&] {
             CloseHandle(hBusy);
             DeleteFileW(busy.c_str());
         },
         L"", NV_E_WIM_CAPTURE},
    };
    RunTable(L"reimage", faults, {});
    EXPECT_FALSE(TestFiles::Exists(capture));
    EXPECT_FALSE(TestFiles::Exists(L"D:\\preload.old"));
}

// Removal moves the recovery environment's boot entry first; a fault there,
// or a diskpart that refuses, leaves the recovery partition in place.
TEST_F(RecoveryFaultsOnSimPc, RemovalFailsBeforeThePartitionGoes)
{
    const std::wstring winreAway = std::wstring(kRPWinRE) + L".away";
    const std::wstring upWinRE = L"B:\\Recovery\\WindowsRE\\Winre.wim";
    const std::vector<Fault> faults = {
        {"no recovery environment on the recovery partition",
         [&] { ASSERT_TRUE(MoveFileW(kRPWinRE, winreAway.c_str())); },
         [&] { MoveFileW(winreAway.c_str(), kRPWinRE); }, L"", NV_E_NOT_FOUND},
        // A full disk cannot be made here; a folder in the copy's place on
        // the Windows partition refuses it at the same step.
        {"the Windows partition takes no recovery environment", BlockWithFolder(upWinRE), Unblock(upWinRE), L"",
         NV_E_COPY_FILE},
        // The boot entry has moved by then, as it must: its copy of the
        // recovery environment is the one change the Windows partition sees.
        {"diskpart refuses the deletion", [] { SetPcValue(L"fail_diskpart", L"1"); },
         [&] {
             SetPcValue(L"fail_diskpart", nullptr);
             EXPECT_EQ("recovery environment", TestFiles::ReadBytes(upWinRE));
             Unblock(upWinRE)();
         },
         L"", NV_E_FAIL},
    };
    RunTable(L"remove-rp", faults, {});
    EXPECT_TRUE(TestFiles::Exists(L"D:\\RPCONFIG.LOG"));
    EXPECT_EQ("recovery environment", TestFiles::ReadBytes(kRPWinRE));
}

} // namespace
