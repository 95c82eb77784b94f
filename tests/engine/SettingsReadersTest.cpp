// Registry values, INI files, the layout file "csp.dat" and the settings
// files "MD.ini" and "ZQ.sim", on the test drive I: and a private HKLM.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DwordReg.h"
#include "EngineTestHelpers.h"
#include "IniFile.h"
#include "MDConfig.h"
#include "NvErrorCode.h"
#include "StringReg.h"
#include "TestFiles.h"
#include "ZQSimFixture.h"
#include "ZQSimKey.h"
#include "ZQSimScrambler.h"
#include "ZQUCRDWimInfo.h"
#ifndef RV_DISCORA
#include "ZQSSRDWimInfo.h"
#endif

using namespace EngineTest;
using TestFiles::ClearDrive;

namespace {

const wchar_t kRevantKey[] = L"Software\\Norvale\\Revant";

class SettingsReadersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ClearDrive(L'I')) << "drive I: not mapped"; }
};

TEST_F(SettingsReadersTest, RegistryFallBackToMachine)
{
    CPrivateHKLM hklm(L"Values");
    RegDeleteTreeW(HKEY_CURRENT_USER, kRevantKey);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kRevantKey, L"DefaultLang", L"DEU"));
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, kRevantKey, L"EnableMUI", 7));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kRevantKey, L"Language", L"CHT"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kRevantKey, L"Language", L"ENU"));

    struct {
        const wchar_t* name;
        BOOL read;
        const wchar_t* text;
    } texts[] = {
        {L"DefaultLang", TRUE, L"DEU"}, // only under HKLM
        {L"Language", TRUE, L"CHT"},    // the user's value wins
        {L"Missing", FALSE, L""},
    };
    for (const auto& c : texts) {
        StringReg reg(HKEY_CURRENT_USER, kRevantKey, c.name, FALSE);
        EXPECT_EQ(c.read, reg.Read()) << Narrow(c.name);
        EXPECT_STREQ(c.text, reg.GetValue()) << Narrow(c.name);
    }
    DwordReg mui(HKEY_CURRENT_USER, kRevantKey, L"EnableMUI", FALSE);
    EXPECT_TRUE(mui.Read());
    EXPECT_EQ(7u, mui.GetValue());
    DwordReg wide(HKEY_CURRENT_USER, kRevantKey, L"DefaultLang", FALSE);
    EXPECT_FALSE(wide.Read()) << "a value larger than 4 bytes";

    // A text of more than 1024 characters stays terminated in the object.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kRevantKey, L"Long", std::wstring(1500, L'x')));
    StringReg longReg(HKEY_CURRENT_USER, kRevantKey, L"Long", FALSE);
    longReg.Read();
    EXPECT_LT(wcslen(longReg.GetValue()), 1024u);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRevantKey);
}

TEST_F(SettingsReadersTest, RegistryWrite)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kRevantKey);
    StringReg readOnly(HKEY_CURRENT_USER, kRevantKey, L"DefaultLang", FALSE);
    readOnly.Write(L"FRA");
    EXPECT_STREQ(L"FRA", readOnly.GetValue()) << "kept in memory";
    StringReg check(HKEY_CURRENT_USER, kRevantKey, L"DefaultLang", FALSE);
    EXPECT_FALSE(check.Read()) << "not writable, but stored";

    StringReg writable(HKEY_CURRENT_USER, kRevantKey, L"DefaultLang", TRUE);
    writable.Write(L"ITA");
    EXPECT_TRUE(check.Read());
    EXPECT_STREQ(L"ITA", check.GetValue());
    RegDeleteTreeW(HKEY_CURRENT_USER, kRevantKey);
}

TEST_F(SettingsReadersTest, IniNumbers)
{
    ASSERT_TRUE(WriteText(L"I:\\n.ini", "[S]\r\na=12abc\r\nb=abc\r\nc=-5\r\nd=99999999999999999999\r\n"
                                        "e=-99999999999999999999\r\nf=  42\r\ng=\r\nh=4294967296\r\n"));
    IniFile ini;
    ASSERT_TRUE(ini.SetFile(L"I:\\n.ini"));
    struct {
        const wchar_t* key;
        LONGLONG value;
    } cases[] = {
        {L"a", 12}, {L"b", 0}, {L"c", -5}, {L"d", 0x7FFFFFFFFFFFFFFFLL}, {L"e", (-0x7FFFFFFFFFFFFFFFLL - 1)},
        {L"f", 42}, {L"g", 77}, {L"h", 4294967296LL}, {L"missing", 77},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, ini.GetNumber(L"S", c.key, 77)) << Narrow(c.key);
    EXPECT_EQ(12, ini.GetInt(L"S", L"a", 0));
    EXPECT_EQ(9, ini.GetInt(L"S", L"missing", 9));
    EXPECT_EQ(L"dflt", ini.GetString(L"S", L"missing", L"dflt"));
    EXPECT_EQ(L"", ini.GetString(L"S", L"missing", nullptr));

    CreateDirectoryW(L"I:\\folder.ini", nullptr);
    EXPECT_FALSE(ini.SetFile(L"I:\\folder.ini")) << "a folder";
    EXPECT_FALSE(ini.SetFile(L"I:\\missing.ini")) << "a missing file";
    EXPECT_EQ(L"I:\\n.ini", ini.GetPath()) << "the previous file stays";
}

const char kUcrdLayout[] =
    "[PART0001]\r\nStarting_Offset=1048576\r\nPartition_Size=104857600\r\nPartition_Type=7\r\nPrimary=YES\r\n"
    "Mounted_Volume=yes\r\nWindows_Version=61\r\nFixed_Size=Yes\r\nUsed_Space=5000\r\nRole=rp\r\n"
    "[PART0003]\r\nStarting_Offset=200000000\r\nPartition_Size=300000000000\r\nPartition_Type=0x07\r\n"
    "Primary=1\r\nRole=UP\r\n"
    "[General]\r\nDisk_Size=500107862016\r\n";

TEST_F(SettingsReadersTest, UserSetLayout)
{
    ASSERT_TRUE(WriteText(L"I:\\csp.dat", kUcrdLayout));
    ZQUCRDWimInfo info;
    ASSERT_EQ(S_OK, info.LoadFile(L"I:\\csp.dat"));
    const ZQWimInfoPar& p1 = info.m_WimInfoPar[1];
    EXPECT_EQ(1048576u, p1.ullStartingOffset);
    EXPECT_EQ(104857600u, p1.ullPartitionSize);
    EXPECT_EQ(7u, p1.dwPartitionType);
    EXPECT_TRUE(p1.bPrimary) << "Primary=YES";
    EXPECT_TRUE(p1.bMountedVolume);
    EXPECT_EQ(61u, p1.dwWindowsVersion);
    EXPECT_TRUE(p1.bFixedSize) << "Fixed_Size=Yes";
    EXPECT_EQ(5000u, p1.ullUsedSpace);
    EXPECT_EQ(PR_RP, p1.enPartRole) << "Role=rp";
    const ZQWimInfoPar& p3 = info.m_WimInfoPar[3];
    EXPECT_EQ(300000000000ULL, p3.ullPartitionSize);
    EXPECT_FALSE(p3.bPrimary) << "Primary=1";
    EXPECT_EQ(PR_UP, p3.enPartRole);
    for (int n : {0, 2, 4}) {
        EXPECT_EQ(0u, info.m_WimInfoPar[n].ullPartitionSize) << "entry " << n;
        EXPECT_EQ(PR_NONE, info.m_WimInfoPar[n].enPartRole) << "entry " << n;
    }
    EXPECT_EQ(500107862016ULL, info.m_ullDiskSize);

    struct {
        const char* role;
        ZQPartRole expected;
    } roles[] = {{"UP", PR_UP}, {"bp", PR_BP}, {"Rp", PR_RP}, {"Data", PR_NONE}, {"", PR_NONE}};
    for (const auto& r : roles) {
        ASSERT_TRUE(WriteText(L"I:\\role.dat", std::string("[PART0002]\r\nRole=") + r.role + "\r\n"));
        ZQUCRDWimInfo roleInfo;
        ASSERT_EQ(S_OK, roleInfo.LoadFile(L"I:\\role.dat")) << r.role;
        EXPECT_EQ(r.expected, roleInfo.m_WimInfoPar[2].enPartRole) << "Role=" << r.role;
    }
}

// Only a missing file fails and changes nothing; content without partition
// sections reads as empty entries (the callers refuse zero sizes).
TEST_F(SettingsReadersTest, LayoutFileFailures)
{
    struct {
        const char* name;
        const char* content; // null: no file
        HRESULT hr;
        ULONGLONG diskSize;
    } cases[] = {
        {"missing", nullptr, NV_E_FAIL, 123},
        {"empty", "", S_OK, 0},
        {"no partition section", "[General]\r\nDisk_Size=5\r\n", S_OK, 5},
        {"binary", "\x01\x02\xff\xfe garbage more", S_OK, 0},
        {"cut after a section", "[PART0001]\r\nPartition_Si", S_OK, 0},
    };
    for (const auto& c : cases) {
        DeleteFileW(L"I:\\csp.dat");
        if (c.content) {
            ASSERT_TRUE(WriteText(L"I:\\csp.dat", c.content));
        }
        ZQUCRDWimInfo info;
        info.m_ullDiskSize = 123;
        info.m_WimInfoPar[1].ullPartitionSize = 456;
        TestFiles::ClearDrive(L'J');
        CDumpCapture dump(L'J');
        EXPECT_EQ(c.hr, info.LoadFile(L"I:\\csp.dat")) << c.name;
        EXPECT_EQ(c.diskSize, info.m_ullDiskSize) << c.name;
        if (SUCCEEDED(c.hr)) {
            for (int n = 1; n <= 4; ++n) {
                EXPECT_EQ(0u, info.m_WimInfoPar[n].ullPartitionSize) << c.name << ": entry " << n;
            }
        }
        if (FAILED(c.hr)) {
            EXPECT_EQ(123u, info.m_ullDiskSize) << c.name << ": changed on failure";
            EXPECT_EQ(456u, info.m_WimInfoPar[1].ullPartitionSize) << c.name << ": changed on failure";
            EXPECT_NE(std::string::npos, dump.Text().find("csp.dat")) << c.name << ": no dump line";
        }
#ifndef RV_DISCORA
        ZQSSRDWimInfo ssrd;
        EXPECT_EQ(c.hr, ssrd.LoadFile(L"I:\\csp.dat")) << c.name << " (factory set)";
#endif
    }
    ZQUCRDWimInfo info;
    EXPECT_EQ(NV_E_INVALID_ARG, info.LoadFile(nullptr));
}

#ifndef RV_DISCORA
TEST_F(SettingsReadersTest, FactorySetLayout)
{
    ASSERT_TRUE(WriteText(L"I:\\csp.dat", "[PART0001]\r\nPartition_Size=100\r\nPrimary=yes\r\n"
                                          "[PART0002]\r\nPartition_Size=200\r\nStarting_Offset=300\r\n"
                                          "[PART0003]\r\nPartition_Size=999\r\n[General]\r\nDisk_Size=5\r\n"));
    ZQSSRDWimInfo info;
    ASSERT_EQ(S_OK, info.LoadFile(L"I:\\csp.dat"));
    EXPECT_EQ(100u, info.m_WimInfoPar[0].ullPartitionSize);
    EXPECT_TRUE(info.m_WimInfoPar[0].bPrimary);
    EXPECT_EQ(200u, info.m_WimInfoPar[1].ullPartitionSize);
    EXPECT_EQ(300u, info.m_WimInfoPar[1].ullStartingOffset);
    EXPECT_EQ(NV_E_INVALID_ARG, info.LoadFile(nullptr));
}
#endif

TEST_F(SettingsReadersTest, MDIni)
{
    struct {
        const char* name;
        const char* content; // null: no file
        HRESULT hr;
        ULONGLONG threshold;
        int wait;
    } cases[] = {
        {"full", "[SystemRecovery]\r\nLargeSSDThreshold=128\r\n[FinishDlg]\r\nWaitTimeBySecond=45\r\n", S_OK, 128, 45},
        {"wait 0", "[FinishDlg]\r\nWaitTimeBySecond=0\r\n", S_OK, 0, 300},
        {"wait negative", "[FinishDlg]\r\nWaitTimeBySecond=-3\r\n", S_OK, 0, 300},
        {"no keys", "[SystemRecovery]\r\n", S_OK, 0, 300},
        {"missing", nullptr, NV_E_FILE_NOT_EXIST, 9, 9},
        {"empty", "", S_OK, 0, 300},
        {"garbage", "\x7f\x45\x4c\x46 no sections here", S_OK, 0, 300},
    };
    for (const auto& c : cases) {
        DeleteFileW(L"I:\\MD.ini");
        if (c.content) {
            ASSERT_TRUE(WriteText(L"I:\\MD.ini", c.content));
        }
        MDConfig config;
        config.m_ullLargeSSDThreshold = 9;
#ifndef RV_DISCORA
        config.m_nWaitTimeBySecond = 9;
#endif
        EXPECT_EQ(c.hr, config.LoadConfig(L"I:\\MD.ini")) << c.name;
        EXPECT_EQ(c.threshold, config.m_ullLargeSSDThreshold) << c.name;
#ifndef RV_DISCORA
        EXPECT_EQ(c.wait, config.m_nWaitTimeBySecond) << c.name;
#endif
        EXPECT_EQ(SUCCEEDED(c.hr) ? std::wstring(L"I:\\MD.ini") : std::wstring(), config.m_wstrPath) << c.name;
    }
}

TEST(ZQSimScramblerTest, RoundTrip)
{
    for (size_t cb : {0u, 1u, 4u, 5u, 6u, 300u}) {
        std::vector<BYTE> plain(cb);
        for (size_t i = 0; i < cb; ++i)
            plain[i] = static_cast<BYTE>(i * 37 + 11);
        std::vector<BYTE> data = plain;
        ZQSimScrambler::Scramble(data);
        if (cb > 4) {
            EXPECT_NE(plain, data) << cb << " bytes stored in the clear";
        }
        ZQSimScrambler::Unscramble(data);
        EXPECT_EQ(plain, data) << cb << " bytes";
    }
}

struct SimCase {
    const char* name;
    ZQSimFixture fixture;
    size_t keep;
    BOOL loaded;
    int vendor;   // the flag values read, -1: default (0)
    int platform;
};

TEST_F(SettingsReadersTest, ZQSimFiles)
{
    std::vector<BYTE> longValue(261, 'x');
    SimCase cases[] = {
        {"desktop Windows 7", ZQSimFixture().SetPlatformVendor(true, true), SIZE_MAX, TRUE, 1, 1},
        {"notebook Vista", ZQSimFixture().SetPlatformVendor(false, false), SIZE_MAX, TRUE, 0, 0},
        {"header only", ZQSimFixture(), SIZE_MAX, TRUE, 0, 0},
        {"five bytes", ZQSimFixture(), 5, FALSE, 0, 0},
        {"empty", ZQSimFixture(), 0, FALSE, 0, 0},
        {"last record wins", ZQSimFixture().AddInt(0x8126, 1).AddInt(0x8126, 0).AddInt(0x8127, 5), SIZE_MAX, TRUE,
         0, 5},
        {"length 261 ends the parse", ZQSimFixture().AddInt(0x8127, 1).AddRaw(0x8126, 261, longValue), SIZE_MAX,
         TRUE, 0, 1},
        {"cut inside a tag", ZQSimFixture().AddInt(0x8127, 1).AddInt(0x8126, 1), 6 + 6 + 4 + 1, TRUE, 0, 1},
        {"cut inside a length", ZQSimFixture().AddInt(0x8127, 1).AddInt(0x8126, 1), 6 + 6 + 4 + 4, TRUE, 0, 1},
        {"cut inside a value", ZQSimFixture().AddInt(0x8127, 1).AddInt(0x8126, 1), 6 + 6 + 4 + 6 + 2, TRUE, 0, 1},
        {"tag outside the table", ZQSimFixture().AddInt(0x9000, 1).AddInt(0x8127, 1), SIZE_MAX, TRUE, 0, 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.fixture.Write(L"I:\\ZQ.sim", c.keep)) << c.name;
        ZQSimKey key;
        key.LoadDefaults();
        EXPECT_EQ(c.loaded, key.LoadFile(L"I:\\ZQ.sim")) << c.name;
        EXPECT_EQ(c.vendor, key.GetInt(ZQSimKey::kVendorTag)) << c.name;
        EXPECT_EQ(c.platform, key.GetInt(ZQSimKey::kPlatformTag)) << c.name;
        EXPECT_EQ(2000, key.GetInt(0x8110)) << c.name << ": defaults disturbed";
    }

    ASSERT_TRUE(ZQSimFixture().AddText(0x810E, L"D:\\b.wsi").AddInt(0x8110, -12).Write(L"I:\\ZQ.sim"));
    ZQSimKey key;
    key.LoadDefaults();
    EXPECT_TRUE(key.LoadFile(L"I:\\ZQ.sim"));
    EXPECT_EQ(L"D:\\b.wsi", key.GetText(0x810E));
    EXPECT_EQ(L"?:\\backup.wsi", key.GetText(0x8113)) << "default text";
    EXPECT_EQ(-12, key.GetInt(0x8110));
    EXPECT_FALSE(key.LoadFile(L"I:\\missing.sim"));
}

TEST_F(SettingsReadersTest, PlatformAndVendor)
{
    struct {
        const char* name;
        bool file;
        bool win7;
        bool desktop;
        ZQPlatform platform;
        ZQVendor vendor;
    } cases[] = {
        {"desktop Windows 7", true, true, true, ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ},
        {"notebook Vista", true, false, false, ZQ_PLATFORM_VISTA, ZQ_VENDOR_CNB},
        {"desktop Vista", true, false, true, ZQ_PLATFORM_VISTA, ZQ_VENDOR_DOZ},
    };
    for (const auto& c : cases) {
        DeleteFileW(L"I:\\ZQ.sim");
        if (c.file) {
            ASSERT_TRUE(ZQSimFixture().SetPlatformVendor(c.win7, c.desktop).Write(L"I:\\ZQ.sim"));
        }
        ZQPlatform platform = static_cast<ZQPlatform>(0);
        ZQVendor vendor = static_cast<ZQVendor>(0);
        EXPECT_EQ(S_OK, LoadZQSimSettings(L"I:\\", &platform, &vendor)) << c.name;
        EXPECT_EQ(c.platform, platform) << c.name;
        EXPECT_EQ(c.vendor, vendor) << c.name;
    }

    // Without the file: desktop, and the platform of the running system.
    struct {
        const char* name;
        const wchar_t* product;
        ZQPlatform platform;
    } fallBack[] = {
        {"Windows PE", L"Windows (TM) Code Name \"Longhorn\" Preinstallation Environment", ZQ_PLATFORM_WIN7},
        {"installed Windows", L"Windows 7 Ultimate", ZQ_PLATFORM_WIN7},
    };
    DeleteFileW(L"I:\\ZQ.sim");
    for (const auto& c : fallBack) {
        CPrivateHKLM hklm(L"SimKey");
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                 L"ProductName", c.product));
        ZQPlatform platform = static_cast<ZQPlatform>(0);
        ZQVendor vendor = static_cast<ZQVendor>(0);
        EXPECT_EQ(S_OK, LoadZQSimSettings(L"I:\\", &platform, &vendor)) << c.name;
        EXPECT_EQ(ZQ_VENDOR_DOZ, vendor) << c.name;
        EXPECT_EQ(c.platform, platform) << c.name;
    }
}

} // namespace
