// SMBIOS decoding over byte-array tables handed in through the source seam.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CSMBIOSData.h"

namespace {

typedef std::vector<BYTE> Bytes;

// A structure: header, the fields after it, then its string set.
Bytes Structure(BYTE bType, WORD wHandle, const Bytes& fields, const std::vector<std::string>& strings)
{
    Bytes b = {bType, static_cast<BYTE>(4 + fields.size()), static_cast<BYTE>(wHandle), static_cast<BYTE>(wHandle >> 8)};
    b.insert(b.end(), fields.begin(), fields.end());
    for (const std::string& s : strings) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
    }
    if (strings.empty())
        b.push_back(0);
    b.push_back(0);
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Type 1 fields after the header, 27 bytes in all: strings 1-4, UUID,
// wake-up 6, SKU 5, family 6.
Bytes Type1Fields(size_t cbLength, BYTE bProduct = 2)
{
    Bytes f = {1, bProduct, 3, 4};
    for (BYTE i = 0; i < 16; ++i)
        f.push_back(static_cast<BYTE>(0xA0 + i));
    f.push_back(6);
    f.push_back(5);
    f.push_back(6);
    f.resize(cbLength - 4);
    return f;
}

const std::vector<std::string> kType1Strings = {"Maker", "Model X", "1.0", "SN123", "SKU-9", "Family"};

class CFakeSource : public ISMBiosSource {
public:
    CFakeSource(BYTE bMajor, BYTE bMinor, Bytes table) : m_bMajor(bMajor), m_bMinor(bMinor), m_table(std::move(table)) {}
    BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable) override
    {
        if (m_bFail)
            return FALSE;
        *pbMajor = m_bMajor;
        *pbMinor = m_bMinor;
        vecTable = m_table;
        return TRUE;
    }
    BYTE m_bMajor, m_bMinor;
    Bytes m_table;
    bool m_bFail = false;
};

std::string Str(const char* psz)
{
    return psz ? psz : "(null)";
}

TEST(SMBIOSDataTest, SystemInformationByVersion)
{
    struct {
        const char* name;
        BYTE major, minor;
        size_t length;
        bool uuid, sku;
    } cases[] = {
        {"2.6, 27 bytes", 2, 6, 27, true, true},
        {"2.3, 27 bytes", 2, 3, 27, true, false},
        {"3.0, 27 bytes", 3, 0, 27, true, true},
        {"2.0, 27 bytes", 2, 0, 27, false, false},
        // Shorter than its version implies: no field from the strings.
        {"2.6, 25 bytes", 2, 6, 25, true, false},
        {"2.6, 8 bytes", 2, 6, 8, false, false},
    };
    for (const auto& c : cases) {
        Bytes table = Concat({Structure(0, 0, {1, 2}, {"BIOS"}),
                              Structure(1, 0x0100, Type1Fields(c.length), kType1Strings),
                              Structure(127, 0xFFFF, {}, {})});
        CFakeSource source(c.major, c.minor, table);
        CSMBIOSData data(source);
        ASSERT_TRUE(data.FetchSMBiosData()) << c.name;
        SMBiosType1 t1;
        ASSERT_TRUE(data.GetData(&t1)) << c.name;
        EXPECT_EQ(1, t1.bType) << c.name;
        EXPECT_EQ(c.length, t1.bLength) << c.name;
        EXPECT_EQ(0x0100, t1.wHandle) << c.name;
        EXPECT_EQ("Maker", Str(t1.szManufacturer)) << c.name;
        EXPECT_EQ("Model X", Str(t1.szProductName)) << c.name;
        EXPECT_EQ("1.0", Str(t1.szVersion)) << c.name;
        EXPECT_EQ("SN123", Str(t1.szSerialNumber)) << c.name;
        EXPECT_EQ(c.uuid ? 0xA0 : 0, t1.abUUID[0]) << c.name;
        EXPECT_EQ(c.uuid ? 0xAF : 0, t1.abUUID[15]) << c.name;
        EXPECT_EQ(c.uuid ? 6 : 0, t1.bWakeUpType) << c.name;
        EXPECT_EQ(c.sku ? "SKU-9" : "(null)", Str(t1.szSKUNumber)) << c.name;
        EXPECT_EQ(c.sku ? "Family" : "(null)", Str(t1.szFamily)) << c.name;
    }
}

TEST(SMBIOSDataTest, StringNumbers)
{
    struct {
        const char* name;
        BYTE product;
        std::vector<std::string> strings;
        const char* expected;
    } cases[] = {
        {"number 0", 0, kType1Strings, "(null)"},
        {"beyond the strings", 9, kType1Strings, "(null)"},
        {"no strings at all", 2, {}, "(null)"},
        {"last string", 6, kType1Strings, "Family"},
    };
    for (const auto& c : cases) {
        CFakeSource source(2, 6, Structure(1, 1, Type1Fields(27, c.product), c.strings));
        CSMBIOSData data(source);
        ASSERT_TRUE(data.FetchSMBiosData());
        SMBiosType1 t1;
        ASSERT_TRUE(data.GetData(&t1)) << c.name;
        EXPECT_EQ(c.expected, Str(t1.szProductName)) << c.name;
    }
}

TEST(SMBIOSDataTest, OemStrings)
{
    struct {
        const char* name;
        Bytes table;
        BOOL found;
        BYTE count;
    } cases[] = {
        {"two strings", Structure(11, 2, {2}, {"oem-a", "oem-b"}), TRUE, 2},
        {"count 0", Structure(11, 2, {0}, {}), TRUE, 0},
        // The count is bounded by the strings actually present.
        {"count above the strings", Structure(11, 2, {5}, {"only"}), TRUE, 1},
        {"no count byte", Structure(11, 2, {}, {"x"}), TRUE, 0},
        {"no type 11", Structure(1, 1, Type1Fields(27), kType1Strings), FALSE, 0},
    };
    for (const auto& c : cases) {
        CFakeSource source(2, 6, c.table);
        CSMBIOSData data(source);
        ASSERT_TRUE(data.FetchSMBiosData());
        SMBiosType11 t11;
        t11.bCount = 99;
        EXPECT_EQ(c.found, data.GetData(&t11)) << c.name;
        if (!c.found)
            continue;
        EXPECT_EQ(c.count, t11.bCount) << c.name;
        for (BYTE i = 0; i < t11.bCount; ++i) {
            EXPECT_NE(nullptr, t11.szStrings[i]) << c.name << " string " << int(i);
        }
    }
}

// Cut or malformed tables answer "not found"; nothing is read past the table
// (each table is copied to an exact-size heap block, so a stray read shows
// under a heap checker too).
TEST(SMBIOSDataTest, MalformedTables)
{
    Bytes good = Structure(1, 1, Type1Fields(27), kType1Strings);
    Bytes noDoubleNull = good;
    noDoubleNull.pop_back();
    Bytes lengthPastEnd = {1, 200, 0, 0, 1, 2, 0, 0};
    Bytes lengthBelowHeader = Concat({{1, 2, 0, 0, 0, 0}, good});
    Bytes headerCut = {1, 27};
    Bytes lastCut = Concat({Structure(0, 0, {1}, {"B"}), Bytes(good.begin(), good.begin() + 20)});
    struct {
        const char* name;
        Bytes table;
    } cases[] = {
        {"empty table", {}},
        {"header cut", headerCut},
        {"length past the end", lengthPastEnd},
        {"length below the header", lengthBelowHeader},
        {"strings without end", noDoubleNull},
        {"last structure cut", lastCut},
    };
    for (const auto& c : cases) {
        CFakeSource source(2, 6, c.table);
        CSMBIOSData data(source);
        ASSERT_TRUE(data.FetchSMBiosData());
        SMBiosType1 t1;
        EXPECT_FALSE(data.GetData(&t1)) << c.name;
        SMBiosType11 t11;
        EXPECT_FALSE(data.GetData(&t11)) << c.name;
    }
}

struct EnumRecord {
    std::vector<SMBiosStructInfo> infos;
};

void CollectStructure(void* pvContext, const SMBiosStructInfo* pInfo)
{
    static_cast<EnumRecord*>(pvContext)->infos.push_back(*pInfo);
}

TEST(SMBIOSDataTest, EnumStructures)
{
    Bytes s0 = Structure(0, 0, {1, 2}, {"BIOS"});   // 6 + "BIOS"
    Bytes s1 = Structure(1, 1, Type1Fields(27), kType1Strings);
    Bytes s2 = Structure(127, 2, {}, {});
    CFakeSource source(2, 6, Concat({s0, s1, s2, {3, 50}}));
    CSMBIOSData data(source);
    ASSERT_TRUE(data.FetchSMBiosData());
    EnumRecord record;
    data.EnumStructures(&record, CollectStructure);
    ASSERT_EQ(3u, record.infos.size()) << "the cut fourth structure is not reported";
    struct {
        DWORD offset, size, index, type;
    } expected[] = {
        {0, 6 + 4, 0, 0},
        {static_cast<DWORD>(s0.size()), static_cast<DWORD>(s1.size() - 2), 1, 1},
        {static_cast<DWORD>(s0.size() + s1.size()), 4, 2, 127},
    };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].offset, record.infos[i].dwOffset) << "structure " << i;
        EXPECT_EQ(expected[i].size, record.infos[i].dwSize) << "structure " << i;
        EXPECT_EQ(expected[i].index, record.infos[i].dwIndex) << "structure " << i;
        EXPECT_EQ(expected[i].type, record.infos[i].dwType) << "structure " << i;
    }
    data.EnumStructures(&record, nullptr);
}

TEST(SMBIOSDataTest, FailedFetchKeepsTheTable)
{
    CFakeSource source(2, 6, Structure(1, 1, Type1Fields(27), kType1Strings));
    CSMBIOSData data(source);
    SMBiosType1 t1;
    EXPECT_FALSE(data.GetData(&t1)) << "nothing fetched yet";
    ASSERT_TRUE(data.FetchSMBiosData());
    source.m_bFail = true;
    EXPECT_FALSE(data.FetchSMBiosData());
    EXPECT_TRUE(data.GetData(&t1)) << "a failed fetch dropped the table";
    EXPECT_EQ(2, data.GetMajorVersion());
}

// Wine's WMI class has no version properties: the real source reports no
// table and leaves the caller's values alone, and the fetch fails cleanly.
TEST(SMBIOSDataTest, SystemSourceUnderThisSystem)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    BYTE bMajor = 0x5A, bMinor = 0x5A;
    std::vector<BYTE> table(3, 0x5A);
    EXPECT_FALSE(SystemSMBiosSource().GetRawTable(&bMajor, &bMinor, table));
    EXPECT_EQ(0x5A, bMajor);
    EXPECT_EQ(0x5A, bMinor);
    EXPECT_EQ(std::vector<BYTE>(3, 0x5A), table);
    CSMBIOSData data;
    EXPECT_FALSE(data.FetchSMBiosData());
    SMBiosType1 t1;
    EXPECT_FALSE(data.GetData(&t1));
    EXPECT_EQ(0, data.GetMajorVersion());
    CoUninitialize();
}

} // namespace
