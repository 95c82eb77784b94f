// Runs the headless disc-set driver on the simulated PC from a program
// folder of its own (the run writes its logs and snapshot beside the
// program), with blank DVD-Rs queued in the writer E:.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "SimPcTypes.h"

class DiscSetDriverFixture : public ::testing::Test {
protected:
    static const wchar_t kProgramFolder[];
    static const wchar_t kSplitFolder[];
    static const wchar_t kWindowsMarker[];
    static const wchar_t kRecoveryMarker[];

    void SetUp() override;

    // Runs the driver with the arguments; its exit code, its output in *pOut.
    DWORD RunDriver(const std::wstring& arguments, std::string* pOut);
    // Queues count new blank DVD-Rs behind the writer's tray; burns take 300 ms.
    void QueueBlankDiscs(int iCount);
    SimPcState State();
    // The burned discs with a label, in label order.
    std::vector<SimDisc> BurnedDiscs();
    // A disc's files, wherever the disc is now (in the drive or out).
    std::wstring DiscFolder(const SimDisc& disc);
    std::wstring Snapshot() const { return std::wstring(kProgramFolder) + L"ResumeSnapshot.xml"; }
};

// The value of a "Key=value" line of an INI-like text; empty when absent.
std::string IniValue(const std::string& text, const std::string& key);
