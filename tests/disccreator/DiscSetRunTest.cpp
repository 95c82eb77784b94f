// A whole disc set made by the headless driver on a PC whose factory image
// lies in 95 sparse parts: three DVD-Rs, each with the set's logs, then the
// finished-set markers and a clean Windows drive.
#include "DiscSetDriverFixture.h"

#include <set>

#include "TestFiles.h"

namespace {

const int kDiscs = 3;
const size_t kImageParts = 95;

bool IsImagePart(const std::wstring& name)
{
    return name.size() > 4 && !_wcsicmp(name.c_str() + name.size() - 4, L".wim");
}

// Names and total size of the image parts in a disc's preload folder.
ULONGLONG ImageParts(const std::wstring& folder, std::set<std::wstring>* pNames)
{
    ULONGLONG ullTotal = 0;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((folder + L"\\preload\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsImagePart(data.cFileName)) {
            pNames->insert(data.cFileName);
            ullTotal += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return ullTotal;
}

class DiscSetRun : public DiscSetDriverFixture {};

TEST_F(DiscSetRun, ThreeDiscsFromTheFactoryImage)
{
    QueueBlankDiscs(0); // quick burns
    std::string out;
    ASSERT_EQ(0u, RunDriver(L"--blank-discs 3", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("plan: 3 discs of DVD-R")) << out;
    EXPECT_NE(std::string::npos, out.find("result: done")) << out;

    std::vector<SimDisc> discs = BurnedDiscs();
    ASSERT_EQ(static_cast<size_t>(kDiscs), discs.size()) << out;
    const wchar_t* const kLabels[] = {L"Recovery13", L"Recovery23", L"Recovery33"};
    std::string splitLog, setId;
    std::set<std::wstring> parts;
    ULONGLONG ullPartBytes = 0;
    for (int i = 0; i < kDiscs; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(kLabels[i], discs[i].label);
        EXPECT_EQ(i == 0, !discs[i].boot.empty()) << "boot image on disc 1 only";
        std::wstring folder = DiscFolder(discs[i]);
        std::string log = TestFiles::ReadBytes(folder + L"\\preload\\SPLIT.LOG");
        std::string info = TestFiles::ReadBytes(folder + L"\\SETINFO.LOG");
        EXPECT_FALSE(log.empty());
        EXPECT_EQ(i == 0 ? log : splitLog, log) << "the same SPLIT.LOG on every disc";
        EXPECT_EQ("3", IniValue(info, "SetCounts"));
        EXPECT_EQ(i == 0 ? IniValue(info, "SetID") : setId, IniValue(info, "SetID"));
        if (i == 0) {
            splitLog = log;
            setId = IniValue(info, "SetID");
        }
        EXPECT_EQ(i == 0, TestFiles::Exists(folder + L"\\bootmgr"));
        ullPartBytes += ImageParts(folder, &parts);
    }
    EXPECT_EQ(38u, setId.size()) << setId;
    EXPECT_EQ(kImageParts, parts.size());
    std::string size = TestFiles::ReadBytes(DiscFolder(discs[0]) + L"\\PreloadSize.log");
    EXPECT_EQ(std::to_string(ullPartBytes), IniValue(size, "Size_Preload_Total"));

    for (const wchar_t* pwszMarker : {kWindowsMarker, kRecoveryMarker}) {
        DWORD dwAttributes = GetFileAttributesW(pwszMarker);
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, dwAttributes) << pwszMarker;
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                  dwAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) << pwszMarker;
    }
    EXPECT_FALSE(TestFiles::Exists(Snapshot()));
    EXPECT_FALSE(TestFiles::Exists(kSplitFolder)) << "the image parts outlived the run";
    EXPECT_TRUE(TestFiles::Exists(L"D:\\preload\\base95.wim")) << "the factory image itself stays";

    // A second run refuses: the set was made.
    QueueBlankDiscs(1);
    ASSERT_EQ(1u, RunDriver(L"", &out));
    EXPECT_NE(std::string::npos, out.find("made on this computer already")) << out;
}

} // namespace
