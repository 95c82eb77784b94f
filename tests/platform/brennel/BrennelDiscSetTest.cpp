// A three-DVD recovery set from the factory image's 95 sparse parts of
// 100 MiB on the recovery partition D:, burned as the disc creator does:
// cheap on this machine because large sources are linked, not copied.
#include "BrennelFixture.h"

#include "SimPcText.h"

namespace {

const DWORD kDvdSectors = 2298496;
const int kParts = 95;
const int kDiscs = 3;
const int kPartsPerDisc = 43;   // 43 x 100 MiB fit the 4350 MiB a DVD-R is planned with
const ULONGLONG kPartBytes = 100ull << 20;

std::wstring PartName(int n)
{
    return n == 1 ? std::wstring(L"base.wim") : L"base" + std::to_wstring(n) + L".wim";
}

ULONGLONG SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

class BrennelDiscSet : public BrennelFixture {
protected:
    // Burns parts first..last as disc n of the set, then opens the tray.
    void BurnDisc(int n, int first, int last)
    {
        IBurnDrive* pDrive = GetDrive();
        ASSERT_NE(nullptr, pDrive);
        ASSERT_EQ(S_OK, Attach(m_pDVD));
        ASSERT_EQ(S_OK, m_pDVD->SetMode(3));
        std::string id = "Recovery" + std::to_string(n) + std::to_string(kDiscs);
        ASSERT_EQ(S_OK, m_pDVD->SetVolumeId(id.c_str()));
        if (n == 1)
            ASSERT_EQ(S_OK, m_pDVD->SetBootImage(L"D:\\bootmgr"));
        for (int part = first; part <= last; ++part) {
            std::wstring name = PartName(part);
            ASSERT_EQ(S_OK, m_pDVD->AddFile((L"preload\\" + name).c_str(), (L"D:\\preload\\" + name).c_str(), nullptr,
                                            nullptr, nullptr));
        }
        ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
        ASSERT_EQ(S_OK, WaitAll(m_pDVD));
        EXPECT_EQ(S_OK, m_pDVD->GetResult());
        Detach(m_pDVD);
        ASSERT_EQ(S_OK, pDrive->Tray(TRUE));
    }
};

} // namespace

TEST_F(BrennelDiscSet, ThreeDvdsFromSparseParts)
{
    ASSERT_EQ(kPartBytes, SizeOf(L"D:\\preload\\" + PartName(kParts))) << "the profile's image parts";
    std::wstring discs[kDiscs];
    for (int i = kDiscs - 1; i >= 0; --i)
        discs[i] = InsertDisc(DTM_DVDR, kDvdSectors, true);
    ChangeDrive([&](SimOptical& o) { o.queue = {discs[1], discs[2]}; });

    ULONGLONG start = GetTickCount64();
    for (int n = 1; n <= kDiscs; ++n) {
        SCOPED_TRACE(n);
        int first = (n - 1) * kPartsPerDisc + 1;
        BurnDisc(n, first, std::min(kParts, n * kPartsPerDisc));
    }
    EXPECT_LT(GetTickCount64() - start, 30000u) << "9.5 GiB of parts must not be copied";

    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    for (int n = 1; n <= kDiscs; ++n) {
        SCOPED_TRACE(n);
        SimDisc disc = Disc(discs[n - 1]);
        int first = (n - 1) * kPartsPerDisc + 1;
        int last = std::min(kParts, n * kPartsPerDisc);
        ULONGLONG sectors = (ULONGLONG)(last - first + 1) * (kPartBytes / BRN_SECTOR_BYTES);
        EXPECT_FALSE(disc.blank);
        EXPECT_EQ(L"Recovery" + std::to_wstring(n) + std::to_wstring(kDiscs), disc.label);
        EXPECT_EQ(n == 1, !disc.boot.empty()) << "the boot image on the first disc only";
        EXPECT_EQ(kDvdSectors - sectors, disc.freeSectors);
        // The ejected discs keep their files in their own folders.
        std::wstring folder = pc.DiscFolder(disc.id) + L"\\preload\\";
        EXPECT_EQ(kPartBytes, SizeOf(folder + PartName(first)));
        EXPECT_EQ(kPartBytes, SizeOf(folder + PartName(last)));
        EXPECT_EQ(0u, SizeOf(folder + PartName(last + 1)));
    }
}
