// Wimsplice.dll loaded by name as the programs load it: a split replaces the
// file by n.dat and pieces, a merge gives back the same bytes and keeps them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Wimsplice.h"

namespace {

std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    unsigned v = 7;
    for (size_t i = 0; i < size; ++i) {
        v = v * 1103515245u + 12345u;
        s[i] = (char)(v >> 16);
    }
    return s;
}

bool Write(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok && done == bytes.size();
}

std::string Read(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

class WimspliceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_lib = LoadLibraryW(L"Wimsplice.dll");
        ASSERT_NE(nullptr, m_lib);
        m_split = reinterpret_cast<PFN_SplitBigWIM>(reinterpret_cast<void (*)()>(GetProcAddress(m_lib, "SplitBigWIM")));
        m_merge = reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(GetProcAddress(m_lib, "MergeIntoWIM")));
        ASSERT_NE(nullptr, m_split);
        ASSERT_NE(nullptr, m_merge);
        CreateDirectoryW(L"V:\\s", nullptr);
    }
    void TearDown() override { FreeLibrary(m_lib); }

    HMODULE m_lib = nullptr;
    PFN_SplitBigWIM m_split = nullptr;
    PFN_MergeIntoWIM m_merge = nullptr;
};

} // namespace

TEST_F(WimspliceTest, SplitThenMergeIsByteIdentical)
{
    const size_t MiB = 1024 * 1024;
    struct Case {
        const wchar_t* name;
        size_t size;
        int pieces;
    } cases[] = {{L"a", 0, 1}, {L"b", 1, 1}, {L"c", MiB, 1}, {L"d", 2 * MiB + 5, 3}};
    for (const Case& c : cases) {
        std::wstring base = std::wstring(L"V:\\s\\") + c.name;
        std::string data = Pattern(c.size);
        ASSERT_TRUE(Write(base + L".wim", data));
        ASSERT_EQ(0, m_split((base + L".wim").c_str(), 1)) << c.name;
        EXPECT_FALSE(Exists(base + L".wim")) << c.name << ": not replaced";
        EXPECT_TRUE(Exists(base + L".dat")) << c.name;
        for (int i = 0; i < c.pieces; ++i)
            EXPECT_TRUE(Exists(base + L"." + std::to_wstring(i))) << c.name << " piece " << i;
        EXPECT_FALSE(Exists(base + L"." + std::to_wstring(c.pieces))) << c.name << ": one piece too many";
        // The merge finds n.DAT as well as n.dat.
        ASSERT_EQ(S_OK, m_merge((base + L".WIM").c_str())) << c.name;
        EXPECT_TRUE(Read(base + L".WIM") == data) << c.name << ": merged bytes differ";
        EXPECT_TRUE(Exists(base + L".dat")) << c.name << ": pieces must stay";
    }
}

TEST_F(WimspliceTest, MergeRefusesMissingOrDamagedPieces)
{
    std::string data = Pattern(3 * 1024 * 1024);
    ASSERT_TRUE(Write(L"V:\\s\\x.wim", data));
    ASSERT_EQ(0, m_split(L"V:\\s\\x.wim", 1));
    std::string piece = Read(L"V:\\s\\x.1");
    piece[10] ^= 1;
    ASSERT_TRUE(Write(L"V:\\s\\x.1", piece));
    EXPECT_LT(m_merge(L"V:\\s\\x.wim"), 0) << "a changed piece went unnoticed";
    EXPECT_FALSE(Exists(L"V:\\s\\x.wim"));
    DeleteFileW(L"V:\\s\\x.2");
    EXPECT_LT(m_merge(L"V:\\s\\x.wim"), 0) << "a missing piece went unnoticed";
    EXPECT_LT(m_merge(L"V:\\s\\none.wim"), 0) << "no index";
    EXPECT_NE(0, m_split(L"V:\\s\\none.wim", 1)) << "no file to split";
}
