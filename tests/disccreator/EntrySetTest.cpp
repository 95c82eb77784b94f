// File entries' path pieces and sizes; real and counting sets answer alike.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "DiscErrorCode.h"
#include "FileEntry.h"
#include "ISet.h"
#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"

namespace {

FileEntry MakeEntry(const wchar_t* pwszFrom, const wchar_t* pwszTo, BOOL bFolder)
{
    return FileEntry(pwszFrom, pwszTo, L"", 1, FALSE, bFolder, FALSE, FALSE, 212, FALSE, 0);
}

std::wstring Get(FileEntry& e, HRESULT (IEntry::*get)(wchar_t*, size_t))
{
    wchar_t wszBuf[MAX_PATH] = L"?";
    HRESULT hr = (e.*get)(wszBuf, MAX_PATH);
    return FAILED(hr) ? L"error" : wszBuf;
}

} // namespace

TEST(EntryTest, PathPieces)
{
    struct Case {
        const wchar_t* from;
        const wchar_t* to;
        BOOL folder;
        const wchar_t* toFolder;
        const wchar_t* fileName;
        const wchar_t* folderPath;
        const wchar_t* fullPath;
    } const kCases[] = {
        {L"D:\\a\\b.txt", L"x\\y\\b.txt", FALSE, L"x\\y", L"b.txt", L"D:\\a\\", L"D:\\a\\b.txt"},
        {L"D:\\bootmgr", L"bootmgr", FALSE, L"", L"bootmgr", L"D:\\", L"D:\\bootmgr"},
        {L"D:\\preload\\", L"preload", TRUE, L"", L"preload\\", L"D:\\preload\\", L"D:\\preload\\"},
        {L"D:\\zq\\Apps", L"zq\\Apps\\", TRUE, L"zq\\Apps", L"Apps", L"D:\\zq\\Apps\\", L"D:\\zq\\Apps\\"},
    };
    for (const Case& c : kCases) {
        FileEntry e = MakeEntry(c.from, c.to, c.folder);
        EXPECT_EQ(c.toFolder, Get(e, &IEntry::GetToFolder)) << c.from;
        EXPECT_EQ(c.fileName, Get(e, &IEntry::GetFileName)) << c.from;
        EXPECT_EQ(c.folderPath, Get(e, &IEntry::GetFolderPath)) << c.from;
        EXPECT_EQ(c.fullPath, Get(e, &IEntry::GetFullPath)) << c.from;
    }
}

TEST(EntryTest, CopiesAreBoundedAndTerminated)
{
    FileEntry e = MakeEntry(L"D:\\abcdef", L"abcdef", FALSE);
    wchar_t wszSmall[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, e.GetFrom(wszSmall, _countof(wszSmall)));
    EXPECT_STREQ(L"D:\\", wszSmall);
    EXPECT_EQ(RD_E_NULL_ARG, e.GetTo(nullptr, 10));
    EXPECT_EQ(RD_E_NULL_ARG, e.GetTo(wszSmall, 0));
    FileEntry empty = MakeEntry(L"", L"", FALSE);
    EXPECT_EQ(RD_E_MISSING, empty.GetFileName(wszSmall, _countof(wszSmall)));
}

TEST(EntryTest, SizesAndCopies)
{
    TestFiles::ClearDrive(L'O');
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\f\\a.bin", 1000));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\f\\sub\\b.bin", 24));
    FileEntry file = MakeEntry(L"O:\\f\\a.bin", L"a.bin", FALSE);
    FileEntry folder = MakeEntry(L"O:\\f", L"f", TRUE);
    FileEntry missing = MakeEntry(L"O:\\f\\none.bin", L"none.bin", FALSE);
    EXPECT_EQ(1000u, file.GetSize(FALSE));
    EXPECT_EQ(0u, folder.GetSize(FALSE));
    EXPECT_EQ(1024u, folder.GetSize(TRUE));
    EXPECT_EQ(0u, missing.GetSize(FALSE));
    file.SetPlaced(1);
    FileEntry copy(static_cast<IEntry&>(file));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\f\\a.bin", 5)); // the copy keeps what was measured
    EXPECT_EQ(1000u, copy.GetSize(FALSE));
    EXPECT_EQ(1u, copy.IsPlaced());
    EXPECT_EQ(212u, copy.GetId());
}

TEST(SetTest, RealAndCountingSetsAnswerAlike)
{
    TestFiles::ClearDrive(L'O');
    struct Case {
        const char* name;
        ULONGLONG capacity;
        ULONGLONG first;  // size added first (0: nothing)
        ULONGLONG second; // the entry asked about
        BOOL canHold;
        BOOL exceeds;
    } const kCases[] = {
        {"fills exactly", 100, 60, 40, TRUE, FALSE},
        {"one byte over", 100, 60, 41, FALSE, FALSE},
        {"empty set, bigger than a disc", 100, 0, 150, FALSE, TRUE},
        {"already overfilled", 100, 150, 1, FALSE, FALSE},
    };
    for (const Case& c : kCases) {
        for (BOOL bCounting : {FALSE, TRUE}) {
            std::unique_ptr<ISet> set(CreateSet(1, c.capacity, bCounting, FALSE));
            ASSERT_TRUE(set);
            PlanTestFiles::MakeFile(L"O:\\first.bin", c.first);
            PlanTestFiles::MakeFile(L"O:\\second.bin", c.second);
            FileEntry first = MakeEntry(L"O:\\first.bin", L"first.bin", FALSE);
            FileEntry second = MakeEntry(L"O:\\second.bin", L"second.bin", FALSE);
            if (c.first) {
                EXPECT_EQ(S_OK, set->Add(&first));
            }
            EXPECT_EQ(c.canHold, set->CanHold(&second)) << c.name << " counting " << bCounting;
            EXPECT_EQ(c.canHold, set->CanHoldSize(c.second)) << c.name << " counting " << bCounting;
            EXPECT_EQ(c.exceeds, set->EntryExceedsCapacity(&second)) << c.name << " counting " << bCounting;
            EXPECT_EQ(c.first, set->GetUsed()) << c.name;
        }
    }
}

TEST(SetTest, NumbersAndLastSet)
{
    std::unique_ptr<ISet> set(CreateSet(1, 100, FALSE, FALSE));
    EXPECT_EQ(0, set->GetIndex());
    EXPECT_TRUE(set->IsLast()); // before the split knows the total
    set->SetTotal(3);
    EXPECT_FALSE(set->IsLast());
    std::unique_ptr<ISet> counting(CreateSet(2, 100, TRUE, FALSE));
    EXPECT_EQ(E_NOTIMPL, counting->FindEntries(L"x", nullptr));
    EXPECT_EQ(RD_E_NULL_ARG, set->Add(nullptr));
}
